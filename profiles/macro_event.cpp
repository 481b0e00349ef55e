#include "profiles/macro_event.h"

#include <algorithm>
#include <limits>

#include "profiles/json_fields.h"

namespace q731 {

MacroEventRecord MacroEventRecord::FromEvent(const MacroEvent& event) {
    const std::uint32_t delay = std::min(event.delay, kMaxRecordDelay);
    const auto type = static_cast<std::uint8_t>(event.type & 0x7F);
    return {{static_cast<std::uint8_t>(delay & 0xFF), static_cast<std::uint8_t>(delay >> 8),
             static_cast<std::uint8_t>(type | (event.IsDown() ? 0x80 : 0x00)),
             static_cast<std::uint8_t>(event.button & 0xFF)}};
}

std::uint32_t ParseDelay(const Json::Value& delay) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (delay.isString()) {
        std::uint64_t value = 0;
        for (const char c : delay.asString()) {
            if (c < '0' || c > '9') break;
            value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), kMax);
        }
        return static_cast<std::uint32_t>(value);
    }
    const std::int64_t value = json::IntegerOf(delay).value_or(0);
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, kMax));
}

MacroEvent MacroEventFromJson(const Json::Value& object) {
    MacroEvent event;
    event.action = json::GetString(object, "Action");
    event.type = json::GetI32(object, "Type");
    event.button = json::GetI32(object, "Button");
    event.delay = ParseDelay(json::Member(object, "Delay"));
    return event;
}

Json::Value MacroEventToJson(const MacroEvent& event, DelayForm form) {
    Json::Value object(Json::objectValue);
    object["Action"] = event.action;
    object["Type"] = event.type;
    object["Button"] = event.button;
    if (form == DelayForm::Text) {
        object["Delay"] = std::to_string(event.delay);
    } else {
        object["Delay"] = event.delay;
    }
    return object;
}

}  // namespace q731
