#pragma once
// Every language text id the application itself hands to the message box. The
// skin's tests hold each language file to this list, so a text the program can
// show never appears as a bare id.

#include <array>
#include <string_view>

namespace q731 {

inline constexpr std::array<std::string_view, 3> kAppMessageTexts = {
    "message_title_text",
    "message_ok_text",
    "message_cancel_text",
};

}  // namespace q731
