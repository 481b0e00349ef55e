#pragma once
// CVexloKeyboardDevice: a keyboard by cable or through its receiver. It maps
// the keyboard's keys to 170 logical keys, reads and writes the key table,
// keeps one colour per key, writes custom colour groups, streams host-driven
// lighting through the keyboard's LED map and writes one settings block with
// lighting, polling rate and the keyboard flags.

#include <array>
#include <atomic>
#include <mutex>
#include <random>
#include <span>
#include <vector>

#include "devices/key_table_device.h"
#include "devices/keys/keyboard_keys.h"
#include "devices/lighting/key_effects.h"
#include "devices/lighting/music_renderers.h"
#include "devices/lighting/zone_effects.h"
#include "profiles/keyboard_profiledata.h"

namespace q731 {

// What the keyboard page offers beyond the common view.
class IKeyboardView : public IDeviceView {
public:
    virtual void ShowPollingRate(int index) { (void)index; }
    // The delay option and its label's milliseconds.
    virtual void ShowRepeatDelay(int index, int milliseconds) {
        (void)index;
        (void)milliseconds;
    }
};

// The settings block: profile p at p × 64, 64 bytes.
namespace keyboard_block {
inline constexpr std::uint32_t kStride = 64;
inline constexpr std::size_t kBytes = 64;
inline constexpr std::size_t kProfile = 0;
inline constexpr std::size_t kMode = lighting_bytes::kMode;
inline constexpr std::size_t kBrightness = lighting_bytes::kBrightness;
inline constexpr std::size_t kSpeed = lighting_bytes::kSpeed;  // 4 - speed level
inline constexpr std::size_t kDirection = lighting_bytes::kDirection;
inline constexpr std::size_t kColourWheel = lighting_bytes::kColourWheel;
inline constexpr std::size_t kRed = lighting_bytes::kRed;
inline constexpr std::size_t kGreen = lighting_bytes::kGreen;
inline constexpr std::size_t kBlue = lighting_bytes::kBlue;
inline constexpr std::size_t kCleared = 16;  // zeroed when read back
inline constexpr std::size_t kZoneMode = 18;
inline constexpr std::size_t kWFlag = 19;
inline constexpr std::size_t kKey6Flag = 20;
inline constexpr std::size_t kWinFlag = 21;
inline constexpr std::size_t kPollingRate = 22;
inline constexpr std::size_t kCustomGroup = 25;
inline constexpr std::size_t kStage = 26;  // kept only: the listener's stage nibble
}  // namespace keyboard_block

using KeyboardSettingsBlock = std::array<std::uint8_t, keyboard_block::kBytes>;

enum class KeyboardFlag { WinLock, WKey, SixKey };

// What the keyboard's render thread draws in a mode.
enum class KeyboardRenderer {
    TimedSteps,
    PerKey,  // the keyboard's own renderers over the per-key state
    Spectrum,
    Blink,
    BreathePalette,
    BlinkPalette,
    Off,
    ZoneColour,  // every key one wheel colour chosen by the zone sub-mode
    Custom,      // the custom group's colours at the current brightness
    Music,
    HostColour,
};

struct KeyboardModeRow {
    int mode;
    KeyboardRenderer renderer;
    bool moving;  // false: still picture, drawn once per change
    PacingRow pacing;
};

// The timed steps wake once per batch of ticks and count each tick.
inline constexpr PacingRow kStepWakes = {kTimedStepTicksPerWake, kTimedStepTicksPerWake,
                                         kTimedStepTicksPerWake, kTimedStepTicksPerWake,
                                         kTimedStepTicksPerWake};
// The music mode draws every second tick at every speed.
inline constexpr PacingRow kMusicPacing = {2, 2, 2, 2, 2};

// One row per mode, at the mode's index.
// clang-format off
inline constexpr std::array<KeyboardModeRow, 32> kKeyboardModes{{
    {0,  KeyboardRenderer::TimedSteps,     true,  kStepWakes},
    {1,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {2,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {3,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {4,  KeyboardRenderer::Spectrum,       true,  kKeyboardPacing},
    {5,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {6,  KeyboardRenderer::PerKey,         false, kKeyboardPacing},
    {7,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {8,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {9,  KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {10, KeyboardRenderer::PerKey,         true,  kSlowPacing},
    {11, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {12, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {13, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {14, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {15, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {16, KeyboardRenderer::PerKey,         true,  kCornerPacing},
    {17, KeyboardRenderer::ZoneColour,     false, kKeyboardPacing},
    {18, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {19, KeyboardRenderer::TimedSteps,     true,  kStepWakes},
    {20, KeyboardRenderer::Custom,         false, kKeyboardPacing},
    {21, KeyboardRenderer::Music,          true,  kMusicPacing},
    {22, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {23, KeyboardRenderer::Blink,          true,  kKeyboardPacing},
    {24, KeyboardRenderer::PerKey,         true,  kKeyboardPacing},
    {25, KeyboardRenderer::PerKey,         true,  kSlowPacing},
    {26, KeyboardRenderer::BreathePalette, true,  kKeyboardPacing},
    {27, KeyboardRenderer::BlinkPalette,   true,  kKeyboardPacing},
    {28, KeyboardRenderer::Off,            false, kSlowPacing},
    {29, KeyboardRenderer::PerKey,         true,  kSlowPacing},
    {30, KeyboardRenderer::TimedSteps,     true,  kStepWakes},
    // Changes only when a colour is pushed, which wakes the thread.
    {31, KeyboardRenderer::HostColour,     false, kHostFillPacing},
}};
// clang-format on
static_assert([] {
    for (std::size_t i = 0; i < kKeyboardModes.size(); ++i) {
        if (kKeyboardModes[i].mode != static_cast<int>(i)) return false;
    }
    return true;
}());

// How the keyboard's render thread draws `mode` at `speedLevel`. With zone
// settings present every mode is paced by the keyboard's row, since the zones
// move even where the mode draws nothing or a still picture.
RenderPlan KeyboardPlanFor(int mode, int speedLevel, bool zones);

class CVexloKeyboardDevice final : public CKeyTableDevice {
public:
    static constexpr int kNoPosition = 255;
    static constexpr int kHighestMode = 30;
    static constexpr int kCustomMode = 20;
    static constexpr int kMusicMode = 21;
    static constexpr int kHostColourMode = 31;
    static constexpr int kPollingRates = 4;
    static constexpr int kRepeatDelays = 4;
    static constexpr int kProfiles = 16;
    static constexpr int kCustomGroupCount = CKeyboardProfiledata::kMaxCustomGroups;
    // Group g of custom colours starts at g × 512 in the keyboard.
    static constexpr std::uint32_t kCustomGroupStride = 512;
    // PaintKey always sends the colours of all 170 logical keys.
    static constexpr std::size_t kPaintBytes = 3 * kKeyboardLogicalKeys;

    explicit CVexloKeyboardDevice(std::shared_ptr<IHidBackend> backend,
                                  Clock& clock = SteadyClock::Instance());
    ~CVexloKeyboardDevice() override;

    CBasicProfiledata& ProfileData() override { return profile_; }
    CKeyboardProfiledata& Profile() { return profile_; }

    // Key table and LED map (kept only when both were read), profile and
    // settings. Returns 1 or the failing code of the table reads.
    LinkResult Connect() override;
    [[nodiscard]] LinkResult ReadSettings();
    LinkResult Resync() override;
    void ApplyProfile() override;
    LinkResult WriteSettings() override { return WriteSettings(0); }
    [[nodiscard]] LinkResult WriteSettings(int profile);
    void OnDeviceEvent(std::uint16_t value, Channel channel) override;
    void OnProfileStage(int profile, int stage) override;

    // Custom colours (mode 20).
    [[nodiscard]] LinkResult SendCustomColours();
    [[nodiscard]] bool SelectCustomGroup(int group);
    [[nodiscard]] LinkResult LoadCustomGroup();
    [[nodiscard]] LinkResult FillAllKeys(bool on);
    // Gives one key the single colour; stores the group when one is selected
    // and sends all keys' colours on the cable. True when the key was painted.
    [[nodiscard]] bool PaintKey(int key);
    // The application takes over the lighting (on) or gives it back.
    [[nodiscard]] LinkResult EnableHostLighting(bool on);
    // The colour of the host colour fill: the first three values are red,
    // green and blue (each taken modulo 256); fewer than three are ignored.
    void PushHostColour(std::span<const std::uint32_t> values);
    // The music levels for the next music frame: the first 25 values (fewer
    // are padded with silence). In audio mode 2 of the music mode the push
    // itself may start a ripple, which the render thread draws.
    void PushAudioLevels(std::span<const std::int32_t> values);
    // The music mode's audio mode and colours, kept here and in the profile.
    void SetAudioSettings(const AudioLightSetting& settings);
    AudioLightSetting AudioSettings() const;

    // The host-driven frame: each key's shaded colour at 3 × its LED index.
    std::vector<std::uint8_t> BuildStreamFrame();
    // LED index of a logical key, 255 when it has none.
    int LedOfKey(int key) const;
    const KeyboardSettingsBlock& SettingsBlock() const { return block_; }

    // Page actions.
    [[nodiscard]] bool SetFlag(KeyboardFlag flag, bool on);
    [[nodiscard]] bool SetPollingRate(int index);
    [[nodiscard]] bool SetRepeatDelay(int index);
    void SetRepeatRate(int rate);
    // 250, 500, 750 or 1000 ms; an unknown option reads as option 0.
    static int RepeatDelayMs(int index);

protected:
    RenderPlan PlanFor(int mode, int speedLevel) const override {
        return KeyboardPlanFor(mode, speedLevel, zonesPresent_.load());
    }
    bool StreamedMode(int mode) const override {
        return mode == kMusicMode || mode == kHostColourMode;
    }
    void DrawFrame(const LightSetting& light, SteadyTime now) override;
    void ResetEffects() override;
    void StreamLeds() override;

private:
    IKeyboardView* KeyboardView() const;
    void DrawMusicFrame(const LightSetting& light, LedColourList& leds);
    void BuildLedMap(const std::vector<std::uint8_t>& ledMap);
    std::vector<KeyColour> LedsAsKeyColours();
    void LedsFromKeyColours(const std::vector<KeyColour>& colours);
    [[nodiscard]] bool StoreSystemSettings(const KeyboardSystemSettings& settings, bool send);

    CKeyboardProfiledata profile_;
    KeyboardSettingsBlock block_{};
    std::array<std::uint8_t, kKeyboardLogicalKeys> ledOfKey_{};
    std::atomic<bool> reloadProfile_{false};
    std::atomic<std::uint32_t> hostColour_{0};
    std::atomic<bool> zonesPresent_{false};
    // Pushed by the UI thread, taken by the render thread.
    mutable std::mutex musicMutex_;
    AudioLightSetting audio_{};
    MusicLevels pushedLevels_{};
    MusicRippleTrigger rippleTrigger_;
    bool rippleQueued_ = false;
    // Render thread only.
    EffectCounters counters_;
    ZoneEffects zoneEffects_;
    KeyEffects keyEffects_;
    std::mt19937 random_{0x5EED};
};

}  // namespace q731
