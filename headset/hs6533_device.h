#pragma once
// CVexloHS6533Device: the headset on its C-Media chip. Its lighting is the
// mouse pad's (the same host-drawn modes over its 13 LEDs, on a render thread
// of its own), but the colours reach it as HID output reports, and it has no
// command collection: nothing is read from it and no command frame is sent.
//
// The render thread draws a frame and sends its twelve reports when the frame
// differs from the one sent last, and at least once a second; the UI thread's
// lighting tick only shows the picture, so a headset that stops answering can
// hold up the render thread and never the window.
//
// Its sound settings (microphone, monitoring, equaliser, voice changer) go
// through the audio configuration library, never through HID: the device
// object owns the audio logic and starts it once, reads the library's values
// again at every connect, and takes a profile's values without a library call.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "devices/lighting/pad_effects.h"
#include "devices/lighting/render_thread.h"
#include "devices/usb_device.h"
#include "headset/audio_conf.h"
#include "headset/headset_audio.h"
#include "headset/led_report.h"
#include "platform/clock.h"
#include "profiles/hs6533_profiledata.h"

namespace q731 {

class CVexloHS6533Device final : public CVexloUSBDevice {
public:
    // However still the picture, its reports go out this often.
    static constexpr Millis kResendInterval{1000};
    // One report may take this long before the headset counts as not answering.
    static constexpr std::uint32_t kReportTimeoutMs = 100;

    explicit CVexloHS6533Device(std::shared_ptr<IHidBackend> backend,
                                Clock& clock = SteadyClock::Instance());
    ~CVexloHS6533Device() override;

    CBasicProfiledata& ProfileData() override { return profile_; }
    CHs6533Profiledata& HeadsetProfile() { return profile_; }

    // The audio configuration library (null: none could be loaded, and the
    // panels and profile still follow the controls). Set before Initialise.
    void SetAudioLibrary(std::unique_ptr<IAudioConfLib> library);
    IAudioConfLib* AudioLibrary() const { return audioLibrary_.get(); }
    HeadsetAudio& Audio() { return *audio_; }

    // Starts the audio settings: defaults for what the library has not
    // stored, then its current values.
    void Initialise() override;

    // An audio change saves the profile at once, and later ones at most this
    // often: a slider's drag would otherwise write the whole file, synced to
    // disk, at every step on the UI thread.
    static constexpr Millis kAudioSaveInterval{200};
    // Writes an audio change still waiting for its save (before the profile
    // is read again, and when the headset goes).
    void FlushAudioSave();
    bool AudioSavePending() const { return audioSavePending_; }
    // Any change still waiting is saved before the profile is read again.
    [[nodiscard]] bool LoadProfile() override;

    // Loads the profile, reads the audio library's current values, refreshes
    // the view and starts the render thread.
    LinkResult Connect() override;
    // Nothing to read back: the headset keeps no settings block.
    LinkResult Resync() override { return LinkResult::Ok; }
    // Lighting from the profile: zone settings and timed steps; the audio
    // panels from the profile, with no library call.
    void ApplyProfile() override;
    // The lighting goes out with the render thread's next frame.
    LinkResult WriteSettings() override;
    // The picture of the headset; nothing is sent from here.
    void LightTick() override;
    // The headset is on the cable only.
    [[nodiscard]] bool CheckLink() override { return true; }
    void CloseDevice() override;
    void RefreshView();

    // The device picture, as the mouse pad's. UI thread.
    using PictureSink = std::function<void(std::span<const LedColour>)>;
    void SetPictureSink(PictureSink sink) { pictureSink_ = std::move(sink); }

    // The render thread's plan and frame; tests call them directly.
    RenderPlan Plan();
    void RenderFrame(SteadyTime now);
    RenderThread& Renderer() { return renderer_; }
    // Frames whose twelve reports were all accepted.
    std::uint64_t FramesSent() const { return framesSent_.load(); }

private:
    std::unique_ptr<HeadsetAudio> MakeAudio(IAudioConfLib* library);
    bool SaveAudioChange();
    bool SendFrame(const HeadsetFrame& frame);

    Clock& clock_;
    CHs6533Profiledata profile_;
    std::unique_ptr<IAudioConfLib> audioLibrary_;
    std::unique_ptr<HeadsetAudio> audio_;
    bool audioSavePending_ = false;
    std::optional<SteadyTime> lastAudioSave_;
    PictureSink pictureSink_;
    std::uint32_t lastPlanInputs_ = 0;
    std::atomic<std::uint64_t> framesSent_{0};
    // Render thread only.
    PadEffects effects_;
    int renderedMode_ = -1;
    std::optional<HeadsetFrame> lastSent_;
    SteadyTime lastSentAt_{};
    RenderThread renderer_;
};

}  // namespace q731
