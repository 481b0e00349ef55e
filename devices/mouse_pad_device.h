#pragma once
// CVexloMousePadDevice: the illuminated mouse pad with its phone charger. It
// has no keys and no macros: lighting, a power display with the kind of phone
// lying on the charger, and one event interface, on the cable only.
//
// The pad keeps the first 21 bytes of its settings block. The lighting bytes
// are kept in index and level form and encoded only when written; the bytes
// whose meaning is the pad's own (4 and 9-20) are only ever taken from the
// pad, so a write hands them back unchanged.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

#include "devices/lighting/pad_effects.h"
#include "devices/lighting/render_thread.h"
#include "devices/settings_block.h"
#include "devices/usb_device.h"
#include "platform/clock.h"
#include "profiles/basic_profiledata.h"

namespace q731 {

// The pad's settings block.
namespace pad_block {
inline constexpr std::size_t kBytes = 21;
inline constexpr std::uint32_t kProfileStride = 64;  // profile p's block starts at p * 64
inline constexpr std::size_t kProfile = 0;
// Device code on the wire, mode index kept.
inline constexpr std::size_t kMode = lighting_bytes::kMode;
inline constexpr std::size_t kBrightness = lighting_bytes::kBrightness;  // level 0-4
// 4 - level on the wire, level kept.
inline constexpr std::size_t kSpeed = lighting_bytes::kSpeed;
// Where the mouse and keyboard keep the direction.
inline constexpr std::size_t kPadOwnByte = lighting_bytes::kDirection;
inline constexpr std::size_t kMultiColor = lighting_bytes::kColourWheel;
inline constexpr std::size_t kRed = lighting_bytes::kRed;
inline constexpr std::size_t kGreen = lighting_bytes::kGreen;
inline constexpr std::size_t kBlue = lighting_bytes::kBlue;
inline constexpr std::size_t kPadOwnFirst = 9;  // 9-20: the pad's own
}  // namespace pad_block

using PadBlock = std::array<std::uint8_t, pad_block::kBytes>;

// What the power status block says about the charger.
enum class SupplyState : int { Cable = 0, Charging = 1, Battery = 2, Unknown = -1 };
enum class PhoneKind : int { None = 0, IPhone = 1, Samsung = 2, Other = 3 };

struct PadPowerStatus {
    int charge = 0;  // percent, clamped to 0-100
    SupplyState supply = SupplyState::Unknown;
    PhoneKind phone = PhoneKind::None;
    friend bool operator==(const PadPowerStatus&, const PadPowerStatus&) = default;
};
PadPowerStatus DecodePadPower(std::span<const std::uint8_t> block);

class CVexloMousePadDevice final : public CVexloUSBDevice {
public:
    static constexpr Millis kResyncDelay{500};

    explicit CVexloMousePadDevice(std::shared_ptr<IHidBackend> backend,
                                  Clock& clock = SteadyClock::Instance());
    ~CVexloMousePadDevice() override;

    CBasicProfiledata& ProfileData() override { return profile_; }

    // Reads the information block and the settings block, loads the profile,
    // refreshes the view and starts the render thread.
    LinkResult Connect() override;
    // Reads the active profile's block into the kept block; the profile
    // document is left alone. A failed read keeps the previous block.
    LinkResult Resync() override;
    // Lighting from the profile into the kept block, the zone settings and
    // the timed steps.
    void ApplyProfile() override;
    // Settings of profile 0, which the main window always writes.
    LinkResult WriteSettings() override { return WriteSettingsFor(0); }
    [[nodiscard]] LinkResult WriteSettingsFor(int profile);
    // The picture of the pad; the pad has no streamed mode.
    void LightTick() override;
    // The charger's power block, read whenever the link is open.
    [[nodiscard]] bool ReadPower() override;
    // The pad is on the cable only.
    [[nodiscard]] bool CheckLink() override { return true; }
    // The charger's state and the phone on it are shown like a battery.
    bool PollsPower() const override { return true; }
    // The pad's one listener is opened once and left as it is.
    [[nodiscard]] bool OpenListener(Channel channel, const std::string& path) override {
        return Listener().IsOpen(channel) || CVexloUSBDevice::OpenListener(channel, path);
    }
    void CloseDevice() override;
    void OnDeviceEvent(std::uint16_t value, Channel channel) override;
    void RefreshView();

    PadBlock KeptBlock() const;
    // True once a block has been read from the pad, so its own bytes are known.
    bool BlockRead() const;
    const PadPowerStatus& LastPower() const { return lastPower_; }

    // The device picture: handed the LED colours on every lighting tick while
    // the window pays attention. UI thread.
    using PictureSink = std::function<void(std::span<const LedColour>)>;
    void SetPictureSink(PictureSink sink) { pictureSink_ = std::move(sink); }

    // What the render thread is to do now, and one frame of it. The render
    // thread calls both; tests call them directly.
    RenderPlan Plan();
    void RenderFrame(SteadyTime now);
    RenderThread& Renderer() { return renderer_; }

private:
    // The lighting the renderer draws: mode and speed as last read from or
    // written to the pad, the rest from the lighting record.
    LightSetting RenderSetting() const;
    [[nodiscard]] LinkResult ReadBlock();

    Clock& clock_;
    CBasicProfiledata profile_;
    mutable std::mutex blockMutex_;  // the render thread reads the kept block
    PadBlock block_{};
    bool blockRead_ = false;
    PadPowerStatus lastPower_;
    PictureSink pictureSink_;
    // Inputs of the render plan as the last tick saw them.
    std::uint32_t lastPlanInputs_ = 0;
    // Render thread only.
    PadEffects effects_;
    int renderedMode_ = -1;
    RenderThread renderer_;
};

}  // namespace q731
