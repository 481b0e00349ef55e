#pragma once
// One macro or shooting action as stored in files ("Action", "Type", "Button",
// "Delay") and the four bytes in which it reaches a device.

#include <json/json.h>

#include <array>
#include <cstdint>
#include <string>

namespace q731 {

// Event types.
enum class MacroEventType : int {
    MouseButton = 1,
    MoveHorizontal = 4,  // "down" moves left
    MoveVertical = 5,    // "down" moves up
    Modifier = 9,
    Key = 10,
};

inline constexpr const char* kActionDown = "down";
inline constexpr const char* kActionUp = "up";
// Longest delay a device record can carry.
inline constexpr std::uint32_t kMaxRecordDelay = 0xFFFF;

struct MacroEvent {
    std::string action;       // "down" presses; anything else releases
    std::int32_t type = 0;    // 0-127 in valid files
    std::int32_t button = 0;  // 0-255 in valid files
    std::uint32_t delay = 0;  // milliseconds after the action, as the file holds it

    bool IsDown() const { return action == kActionDown; }
    friend bool operator==(const MacroEvent&, const MacroEvent&) = default;
};

// Byte 0-1 delay (low byte first), byte 2 type with bit 7 for "down", byte 3 button.
struct MacroEventRecord {
    std::array<std::uint8_t, 4> bytes{};

    // A delay past 16 bits becomes the longest one rather than wrapping round,
    // and the type keeps to its 7 bits so that it cannot fake the down flag.
    static MacroEventRecord FromEvent(const MacroEvent& event);
    friend bool operator==(const MacroEventRecord&, const MacroEventRecord&) = default;
};
static_assert(sizeof(MacroEventRecord) == 4);

// The decimal value of a delay: a string's leading digits (nothing gives 0) or
// a number; saturates at the 32-bit maximum and never goes below 0.
std::uint32_t ParseDelay(const Json::Value& delay);

MacroEvent MacroEventFromJson(const Json::Value& object);
// Macro files hold the delay as decimal text, shooting files as an integer.
enum class DelayForm { Text, Integer };
Json::Value MacroEventToJson(const MacroEvent& event, DelayForm form = DelayForm::Text);

}  // namespace q731
