#pragma once
// CVexloKeyboardDevice: a keyboard by cable or through its receiver. It maps
// the keyboard's keys to 170 logical keys, reads and writes the key table,
// keeps one colour per key, writes custom colour groups, streams host-driven
// lighting through the keyboard's LED map and writes one settings block with
// lighting, polling rate and the keyboard flags.

#include <array>
#include <atomic>
#include <span>
#include <vector>

#include "devices/key_table_device.h"
#include "devices/keys/keyboard_keys.h"
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

// What the keyboard's render thread draws in a mode. Modes not listed have no
// renderer here and draw nothing.
enum class KeyboardRenderer {
    TimedSteps,
    Spectrum,
    BreatheColours,
    Static,
    Blink,
    BreathePalette,
    BlinkPalette,
    Off,
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

// clang-format off
inline constexpr std::array<KeyboardModeRow, 11> kKeyboardModes{{
    {0,  KeyboardRenderer::TimedSteps,     true,  kStepWakes},
    {4,  KeyboardRenderer::Spectrum,       true,  kKeyboardPacing},
    {5,  KeyboardRenderer::BreatheColours, true,  kKeyboardPacing},
    {6,  KeyboardRenderer::Static,         false, kKeyboardPacing},
    {19, KeyboardRenderer::TimedSteps,     true,  kStepWakes},
    {23, KeyboardRenderer::Blink,          true,  kKeyboardPacing},
    {26, KeyboardRenderer::BreathePalette, true,  kKeyboardPacing},
    {27, KeyboardRenderer::BlinkPalette,   true,  kKeyboardPacing},
    {28, KeyboardRenderer::Off,            false, kSlowPacing},
    {30, KeyboardRenderer::TimedSteps,     true,  kStepWakes},
    // Changes only when a colour is pushed, which wakes the thread.
    {31, KeyboardRenderer::HostColour,     false, kHostFillPacing},
}};
// clang-format on

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
    // Render thread only.
    EffectCounters counters_;
    ZoneEffects zoneEffects_;
};

}  // namespace q731
