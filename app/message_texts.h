#pragma once
// Every language text id the application itself hands to the message box. The
// skin's tests hold each language file to this list, so a text the program can
// show never appears as a bare id.

#include <array>
#include <cerrno>
#include <string_view>

namespace q731 {

inline constexpr std::array<std::string_view, 10> kAppMessageTexts = {
    "message_title_text",       "message_ok_text", "message_cancel_text", "save_failed_title_text",
    "message_text_101",  // a folder cannot be written: read-only or not ours
    "message_text_102",  // the disk is full
    "message_text_103",  // any other write failure; the system's reason is appended
    "access_denied_title_text",
    "message_text_104",  // a device node may not be opened: the udev rule is missing
    "message_text_105",  // a background picture cannot be shown; %s is the picture
};

// The notice shown once per run when a device of ours may not be opened; %s
// is the node.
inline constexpr const char* kAccessDeniedTitle = "access_denied_title_text";
inline constexpr const char* kAccessDeniedText = "message_text_104";

// The notice for a background picture that cannot be shown; %s is the picture.
inline constexpr const char* kPictureFailedText = "message_text_105";

// Which text tells the user about a failed save, by the system's error code.
struct SaveFailureText {
    const char* id;
    bool appendReason;
};
constexpr SaveFailureText SaveFailureTextFor(int error) {
    if (error == EROFS || error == EACCES || error == EPERM) return {"message_text_101", false};
    if (error == ENOSPC || error == EDQUOT) return {"message_text_102", false};
    return {"message_text_103", true};
}

}  // namespace q731
