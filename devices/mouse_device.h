#pragma once
// CVexloMouseDevice: a mouse by cable or through its receiver. It reads the
// mouse's buttons and settings and writes its button assignments, macros,
// shooting patterns and the one settings block that carries lighting, DPI
// stages, polling rate and straight-line correction.

#include <array>
#include <atomic>
#include <optional>
#include <random>
#include <span>
#include <string_view>
#include <vector>

#include "devices/dpi_steps.h"
#include "devices/key_table_device.h"
#include "profiles/mouse_profiledata.h"

namespace q731 {

// What the mouse page offers beyond the common view.
class IMouseView : public IDeviceView {
public:
    virtual void ShowStageEnabled(int stage, bool on) {
        (void)stage;
        (void)on;
    }
    // Shows a stage's step in its slider and its resolution in its box.
    virtual void ShowStageValue(int stage, int step) {
        (void)stage;
        (void)step;
    }
    virtual void ShowPollingRate(int index) { (void)index; }
    // A stage's colour, 0xAARRGGBB (alpha always 0xFF).
    virtual void ShowStageColour(int stage, std::uint32_t colour) {
        (void)stage;
        (void)colour;
    }
};

// Factory codes of the logical buttons 0-10, in logical order.
inline constexpr std::array<AssignmentCode, 11> kMouseFactoryCodes = {{
    {0x10, 0x01, 0x00},
    {0x10, 0x02, 0x00},
    {0x10, 0x04, 0x00},
    {0x10, 0x10, 0x00},
    {0x10, 0x08, 0x00},
    {0x13, 0x01, 0x00},
    {0x13, 0x02, 0x00},
    {0x13, 0x03, 0x00},
    {0xA0, 0x1B, 0x00},
    {0x16, 0x90, 0x01},
    {0x14, 0x78, 0x02},
}};

// The settings block: profile p at p × 128; 71 bytes are read, 66 written.
namespace mouse_block {
inline constexpr std::uint32_t kStride = 128;
inline constexpr std::size_t kReadBytes = 71;
inline constexpr std::size_t kWriteBytes = 66;
inline constexpr std::size_t kProfile = 0;
inline constexpr std::size_t kMode = lighting_bytes::kMode;
inline constexpr std::size_t kBrightness = lighting_bytes::kBrightness;
inline constexpr std::size_t kSpeed = lighting_bytes::kSpeed;  // 4 - speed level
inline constexpr std::size_t kDirection = lighting_bytes::kDirection;
inline constexpr std::size_t kColourWheel = lighting_bytes::kColourWheel;
inline constexpr std::size_t kRed = lighting_bytes::kRed;
inline constexpr std::size_t kGreen = lighting_bytes::kGreen;
inline constexpr std::size_t kBlue = lighting_bytes::kBlue;
inline constexpr std::size_t kCleared = 9;  // zeroed when read back
inline constexpr std::size_t kPollingRate = 11;
inline constexpr std::size_t kActiveStage = 12;
inline constexpr std::size_t kStages = 14;  // stage i at 14 + 9i
inline constexpr std::size_t kStageBytes = 9;
inline constexpr std::size_t kByte59 = 59;
inline constexpr std::size_t kScreenWidth = 60;   // 16-bit
inline constexpr std::size_t kScreenHeight = 62;  // 16-bit
inline constexpr std::size_t kCorrectMinSq = 64;
inline constexpr std::size_t kCorrectPixThresh = 65;
}  // namespace mouse_block

using MouseSettingsBlock = std::array<std::uint8_t, mouse_block::kReadBytes>;

// What the render thread draws in each mouse mode; the index is the mode.
enum class MouseRenderer {
    Wave,
    Spectrum,
    BreatheColours,
    Static,
    Blink,
    TimedSteps,
    Reactive,
    BreathePalette,
    BlinkPalette,
    Ripple,
    Off,
};

struct MouseModeRow {
    MouseRenderer renderer;
    bool moving;  // false: the picture is still and is drawn once per change
};

// clang-format off
inline constexpr std::array<MouseModeRow, 12> kMouseModes{{
    {MouseRenderer::Wave,           true},   // 0
    {MouseRenderer::Spectrum,       true},   // 1
    {MouseRenderer::BreatheColours, true},   // 2
    {MouseRenderer::Static,         false},  // 3
    {MouseRenderer::Blink,          true},   // 4
    {MouseRenderer::TimedSteps,     true},   // 5
    {MouseRenderer::Reactive,       true},   // 6
    {MouseRenderer::BreathePalette, true},   // 7
    {MouseRenderer::BlinkPalette,   true},   // 8
    {MouseRenderer::Ripple,         true},   // 9
    {MouseRenderer::Off,            false},  // 10
    {MouseRenderer::TimedSteps,     true},   // 11: streamed
}};
// clang-format on
inline constexpr int kMouseReactiveMode = 6;

// How the mouse's render thread draws `mode` at `speedLevel`: every mode
// with the mouse's pacing row, the timed steps on every tick.
RenderPlan MousePlanFor(int mode, int speedLevel);

class CVexloMouseDevice final : public CKeyTableDevice {
public:
    static constexpr int kButtonCount = 11;
    static constexpr int kNoPosition = 170;
    static constexpr int kStageCount = 5;
    static constexpr int kPollingRates = 5;
    static constexpr int kHighestMode = 11;
    static constexpr int kStreamedMode = 11;
    // The device reports its active profile in 4 bits.
    static constexpr int kProfiles = 16;

    explicit CVexloMouseDevice(std::shared_ptr<IHidBackend> backend,
                               Clock& clock = SteadyClock::Instance());
    ~CVexloMouseDevice() override;

    CBasicProfiledata& ProfileData() override { return profile_; }
    CMouseProfiledata& Profile() { return profile_; }

    // Information block and key table (any failure ends it and the old state
    // stays), then the profile. Returns 1 or the failing link code.
    LinkResult Connect() override;
    // Reads the active profile's block back into the lighting state and the
    // active stage, and saves the profile. 1, or 0 / the failing code.
    LinkResult Resync() override;
    void ApplyProfile() override;
    // The page's write: profile 0, byte 0 = 0, byte 59 = 1, the screen size.
    LinkResult WriteSettings() override;
    [[nodiscard]] LinkResult WriteSettings(int profile, std::uint8_t byte0, std::uint8_t byte59,
                                           int screenWidth, int screenHeight);
    // The four shooting files as one image. 1, the failing code, or 0 when the
    // image cannot be built.
    [[nodiscard]] LinkResult WriteShootData();
    void OnDeviceEvent(std::uint16_t value, Channel channel) override;
    void OnProfileStage(int profile, int stage) override;

    // The primary screen's size, taken once at start-up.
    void SetScreenSize(int width, int height);
    const DpiScale& Scale() const { return scale_; }
    int StepLimit() const { return scale_.steps; }
    int ResolutionLimit() const { return scale_.steps * scale_.stepSize; }
    const MouseSettingsBlock& SettingsBlock() const { return block_; }
    const std::vector<DpiStage>& Stages() const { return stages_; }
    int ButtonPosition(int button) const;

    // Page actions. Stage numbers outside 0-4 are ignored (false).
    [[nodiscard]] bool EnableStage(int stage, bool on);
    // `sliders` holds the five sliders' values; a missing slider reads 0.
    [[nodiscard]] bool SelectStage(int stage, std::span<const std::optional<int>> sliders);
    [[nodiscard]] bool SetStageStep(int stage, int step);
    // The stage's colour from a 0xAARRGGBB value (alpha ignored).
    [[nodiscard]] bool SetStageColour(int stage, std::uint32_t colour);
    void PreviewStageStep(int stage, int step);
    // A typed resolution; ignored when the device gives no step size.
    [[nodiscard]] bool EnterStageResolution(int stage, std::string_view text);
    [[nodiscard]] bool SetPollingRate(int index);
    void SetPointerSpeed(int speed);
    void SetDoubleClickTime(int milliseconds);
    void SetPointerPrecision(bool on);
    void SetScrollLines(int lines);
    void SetScrollPage(bool on, int lines);

    // A button press waiting for the render thread to flash the LEDs.
    bool ReactivePending() const { return reactivePending_.load(); }

protected:
    RenderPlan PlanFor(int mode, int speedLevel) const override {
        return MousePlanFor(mode, speedLevel);
    }
    bool StreamedMode(int mode) const override { return mode == kStreamedMode; }
    void DrawFrame(const LightSetting& light, SteadyTime now) override;
    void ResetEffects() override;
    void StreamLeds() override;

private:
    MouseSettingsBlock BuildSettingsBlock(std::uint8_t byte0, std::uint8_t byte59, int width,
                                          int height);
    IMouseView* MouseView() const;
    bool ValidStage(int stage) const { return stage >= 0 && stage < kStageCount; }
    void EnsureStages(int count);
    // Stage list into the profile, SaveProfile, WriteSettings.
    [[nodiscard]] bool StoreStages();
    void SaveSystemSettings(const MouseSystemSettings& settings);

    CMouseProfiledata profile_;
    MouseSettingsBlock block_{};
    std::vector<DpiStage> stages_;
    DpiScale scale_;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    // Set by the listener thread, taken by the render thread.
    std::atomic<bool> reactivePending_{false};
    // Render thread only.
    MouseEffects effects_;
    std::mt19937 random_{0x5EED};
};

}  // namespace q731
