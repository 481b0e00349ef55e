#pragma once
// Fixed-layout records that the device code sends to the hardware, and that the
// profile-data classes convert to and from the JSON sections of a profile.

#include <cstdint>
#include <string>

namespace q731 {

// Fourteen bytes, in the order the devices and the lighting page share.
struct LightSetting {
    std::uint8_t selectItem = 0;  // mode index
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multiColor = 0;  // colour-wheel flag
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t reserved1 = 0;
    std::uint8_t reserved2 = 0;
    std::uint8_t present = 0;   // set only for the elements of "LightList"
    std::uint8_t zzccMode = 0;  // keyboard zone sub-mode
    std::uint8_t customGroup = 0;
    std::uint8_t oldMode = 0;

    friend bool operator==(const LightSetting&, const LightSetting&) = default;
};
static_assert(sizeof(LightSetting) == 14);

struct AudioLightSetting {
    std::uint8_t audioMode = 0;
    std::uint8_t backgroundRed = 0;
    std::uint8_t backgroundGreen = 0;
    std::uint8_t backgroundBlue = 0;
    std::uint8_t foregroundRed = 0;
    std::uint8_t foregroundGreen = 0;
    std::uint8_t foregroundBlue = 0;
    std::uint8_t sevenColors = 0;
    std::uint8_t colorType = 0;

    friend bool operator==(const AudioLightSetting&, const AudioLightSetting&) = default;
};
static_assert(sizeof(AudioLightSetting) == 9);

// One three-byte assignment code and the key it belongs to.
struct KeyBinding {
    std::uint16_t keyIndex = 0;
    std::uint8_t type = 0;    // bits 16-23 of the stored code
    std::uint8_t middle = 0;  // bits 8-15
    std::uint8_t low = 0;     // bits 0-7

    std::uint32_t Code() const {
        return (std::uint32_t{type} << 16) + (std::uint32_t{middle} << 8) + low;
    }
    static KeyBinding FromCode(std::uint16_t keyIndex, std::uint32_t code) {
        return {keyIndex, static_cast<std::uint8_t>(code >> 16),
                static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
    }
    friend bool operator==(const KeyBinding&, const KeyBinding&) = default;
};

struct KeyEntry {
    KeyBinding current;
    KeyBinding factory;
    friend bool operator==(const KeyEntry&, const KeyEntry&) = default;
};

struct DpiStage {
    std::uint8_t enabled = 0;
    std::uint8_t separateXY = 0;
    std::uint8_t dpiX[2] = {0, 0};  // low byte first
    std::uint8_t dpiY[2] = {0, 0};
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    std::uint16_t DpiX() const { return static_cast<std::uint16_t>(dpiX[0] | dpiX[1] << 8); }
    std::uint16_t DpiY() const { return static_cast<std::uint16_t>(dpiY[0] | dpiY[1] << 8); }
    void SetDpiX(std::uint16_t value) {
        dpiX[0] = static_cast<std::uint8_t>(value);
        dpiX[1] = static_cast<std::uint8_t>(value >> 8);
    }
    void SetDpiY(std::uint16_t value) {
        dpiY[0] = static_cast<std::uint8_t>(value);
        dpiY[1] = static_cast<std::uint8_t>(value >> 8);
    }
    friend bool operator==(const DpiStage&, const DpiStage&) = default;
};
static_assert(sizeof(DpiStage) == 9);

struct KeyboardSystemSettings {
    std::uint16_t repeat = 0;
    std::uint16_t repeatDelay = 0;
    std::uint16_t key6Flag = 0;
    std::uint16_t pollingRate = 0;
    std::uint16_t wFlag = 0;
    std::uint16_t winFlag = 0;
    friend bool operator==(const KeyboardSystemSettings&, const KeyboardSystemSettings&) = default;
};

struct MouseSystemSettings {
    std::uint16_t doubleClickTime = 0;
    std::uint16_t mouseSpeed = 0;
    std::uint16_t pointerPrecision = 0;
    std::uint16_t scrollPage = 0;
    std::uint16_t wheelScrollLines = 0;
    std::uint16_t reportStage = 0;  // polling-rate stage, kept in "ReportStages"
    friend bool operator==(const MouseSystemSettings&, const MouseSystemSettings&) = default;
};

struct HeadsetSystemSettings {
    std::int32_t magicEnable = 0;
    std::int32_t magicType = 0;
    std::int32_t eqType = 0;
    std::int32_t customEqSelectIndex = 0;
    std::int32_t micInSelect = 0;
    std::int32_t micInValue = 0;
    std::int32_t micMonitorSelect = 0;
    std::int32_t micMonitorValue = 0;
    friend bool operator==(const HeadsetSystemSettings&, const HeadsetSystemSettings&) = default;
};

struct KeyColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
    friend bool operator==(const KeyColour&, const KeyColour&) = default;
};
static_assert(sizeof(KeyColour) == 4);

struct CorrectEntry {
    std::uint8_t pixThresh = 0;
    std::uint8_t minSq = 0;
    std::uint8_t select = 0;
    std::string name;
    friend bool operator==(const CorrectEntry&, const CorrectEntry&) = default;
};

// One timed step of a user's custom effect.
struct LedEffectStep {
    LightSetting light;
    std::int32_t time = 0;  // milliseconds
    std::int32_t cycle = 0;
    friend bool operator==(const LedEffectStep&, const LedEffectStep&) = default;
};

}  // namespace q731
