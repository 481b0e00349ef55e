#pragma once
// What the mouse and the keyboard share on top of the device base: the key
// table read at connect and written back with the current assignments, the
// macro image built from the keys that use macros, the light stream with its
// back-off, and the render thread that draws the host-side lighting. A key
// table is used only when it was read completely; until then nothing that
// depends on it is sent.

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "devices/keys/key_positions.h"
#include "devices/lighting/light_stream.h"
#include "devices/lighting/render_thread.h"
#include "devices/settings_block.h"
#include "devices/usb_device.h"
#include "platform/clock.h"
#include "profiles/macro_store.h"

namespace q731 {

class CKeyTableDevice : public CVexloUSBDevice {
public:
    CKeyTableDevice(Product product, std::shared_ptr<IHidBackend> backend,
                    std::span<const AssignmentCode> factoryCodes, int noPosition, Clock& clock,
                    std::string renderExitText);

    // The key table as read at the last complete read; empty when there is none.
    bool KeyTableValid() const { return keyTableValid_; }
    std::span<const std::uint8_t> KeyTableBytes() const;
    // Device position of each logical key (NoPosition() where it has none).
    const std::vector<int>& Positions() const { return positions_; }
    int NoPosition() const { return noPosition_; }

    LinkResult WriteKeys() override { return WriteKeysFor(0); }
    // The key table with the current assignments, into `bank`. Returns the
    // first failing link code; nothing is sent without a valid key table.
    [[nodiscard]] virtual LinkResult WriteKeysFor(int bank);
    // Written, the overflow when the image does not fit, Failed when the link
    // or the macro list fails, or the link's own negative code.
    MacroWriteResult WriteMacros() override;
    // Macro list positions the mapped keys use, in the order of the image.
    std::vector<int> ListUsedMacros();
    // Resets stored assignments naming a macro that no longer exists; true
    // when the profile changed (it is then saved).
    [[nodiscard]] bool CheckMacroAssignments();

    // Stores `code` as the current assignment of logical key `key` in the
    // profile's document (the file and the device follow on the next save);
    // false for a key the assignment list does not hold.
    bool StoreKeyAssignment(int key, AssignmentCode code);

    // Reloads the definitions and redraws the page.
    virtual void RefreshView();
    // The mode index of a device mode code: the first index with that code, or
    // the code itself when the table has none (an unknown code is kept).
    std::uint8_t ModeIndexOrCode(std::uint8_t code) const;

    // Also restarts (or stops) the receiver's light stream.
    [[nodiscard]] bool CheckLink() override;
    // Stops the render thread, then the listeners and the link.
    void CloseDevice() override;
    // The default profile's document replaces the profile's: lighting, key
    // assignments and page settings; then ApplyProfile, SaveProfile and
    // RefreshView. False when the default profile has no document.
    [[nodiscard]] bool RestoreDefaults() override;

    // After a failed write of custom colours, further ones are skipped this long.
    void SetFailurePause(Millis pause) { failurePause_ = pause; }

    // The picture of the device: the LED colours on every lighting tick while
    // the window pays attention, then the stream of a host-driven mode. UI
    // thread.
    using PictureSink = std::function<void(std::span<const LedColour>)>;
    void SetPictureSink(PictureSink sink) { pictureSink_ = std::move(sink); }
    void LightTick() override;

    // What the render thread is to do now, and one frame of it. The render
    // thread calls both; tests may call them with the thread stopped.
    RenderPlan Plan();
    void RenderFrame(SteadyTime now);
    RenderThread& Renderer() { return renderer_; }
    const LightStream& StreamState() const { return stream_; }
    // The mode and speed level the renderer draws: those of the kept settings
    // block, as last read from or written to the device.
    int RenderMode() const { return renderMode_.load(); }
    int RenderSpeed() const { return renderSpeed_.load(); }

protected:
    // False (nothing sent) while the link is closed or, on the receiver, while
    // the receiver says the device does not answer.
    [[nodiscard]] bool GateLink();
    // EnterConfig, `body`, LeaveConfig (always after a successful EnterConfig);
    // the first failing code. No link query: callers gate first.
    LinkResult Session(const std::function<LinkResult()>& body);

    // One configuration session: information block, transfer size, key table
    // into a temporary and, when `ledMap` is given, the LED map. The kept table
    // (and `ledMap`) change only when every read succeeded.
    LinkResult ReadKeyTables(std::vector<std::uint8_t>* ledMap);
    void InvalidateKeyTable();

    // Macro count of the device folder's macro list; nothing when the list
    // cannot be read (changing keys then could drop assignments).
    std::optional<int> MacroCount();
    DeviceAssignments CurrentAssignments(int macroCount);

    // The light stream, with the back-off of the current channel.
    LightStream& Stream() { return stream_; }
    // A (re)connect starts the current channel's stream afresh.
    void RestartStream() { stream_.Restart(Link().SelectedChannel()); }
    void PauseAfterFailure();
    // True while colour writes wait after a failure.
    bool Paused() const;
    Clock& DeviceClock() const { return clock_; }

    // The kept block's mode and speed level changed (UI thread). A new mode
    // makes the render thread clear its counters and effect state before its
    // next frame; either wakes it.
    void SetRenderLighting(int mode, int speedLevel);
    // Forces the reset even when the mode is the same (a profile reapplied).
    void RestartRenderer();

    // Per device: how `mode` is drawn at `speedLevel` (Idle: not at all), and
    // whether the mode's frames are streamed to the device.
    virtual RenderPlan PlanFor(int mode, int speedLevel) const = 0;
    virtual bool StreamedMode(int mode) const = 0;
    // One frame of `light` (mode and speed as the renderer draws them).
    virtual void DrawFrame(const LightSetting& light, SteadyTime now) = 0;
    // Clears the device's effect counters and state (render thread).
    virtual void ResetEffects() = 0;
    // The stream of a host-driven mode (UI thread, from LightTick).
    virtual void StreamLeds() = 0;

private:
    std::vector<AssignmentCode> factoryCodes_;
    int noPosition_;
    KeyTableImage keyTable_{};
    int tableKeyCount_ = 0;
    bool keyTableValid_ = false;
    std::vector<int> positions_;
    Millis failurePause_{200};
    SteadyTime pausedUntil_{};
    Clock& clock_;
    LightStream stream_;
    PictureSink pictureSink_;
    std::uint32_t lastPlanInputs_ = 0;  // UI thread
    std::atomic<int> renderMode_{0};
    std::atomic<int> renderSpeed_{0};
    std::atomic<std::uint32_t> modeGeneration_{0};
    std::uint32_t renderedGeneration_ = ~std::uint32_t{0};  // render thread
    // Declared last: stopped before anything it draws with goes away.
    RenderThread renderer_;
};

}  // namespace q731
