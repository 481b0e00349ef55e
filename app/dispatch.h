#pragma once
// How the main window routes a control's notification: by the sender's exact
// name, or by a numbered name (prefix + "_" + N). The tables say which part of
// the program owns each name; the main window then calls that owner.

#include <optional>
#include <string>
#include <string_view>

#include "ui/widgets/numbered_name.h"

namespace q731 {

enum class Owner {
    None,
    MainWindow,      // the window's own buttons and labels
    DeviceTabs,      // device tab selection, previous/next
    KeyAssignment,   // key codes and the key-assignment page
    ProfileList,     // the profile panel
    MacroRecording,  // macro recording
    MacroEditor,
    Shooting,
    Lighting,      // the lighting page
    LightingSync,  // synchronised lighting
    Headset,
    MusicLighting,
    MouseSettings,  // DPI, polling rate, pointer settings
    KeyboardSettings,
    PageTabs,  // the function page tabs
    ColourPalette,
    SystemSettings,  // the system's own mouse and keyboard settings
};

enum class NotifyKind {
    Click,
    SelectChanged,
    ValueChanged,
    MoveValueChanged,
    ItemSelect,
    KillFocus,
    ColorChanged,
};

struct Route {
    Owner owner = Owner::None;
    std::string name;  // the table's spelling (prefix for numbered names)
    int number = -1;   // N of a numbered name, -1 otherwise
};

// The owner of a notification of `kind` from the control named `sender`.
// Names compare without regard to case, except the four macro nudge buttons.
Route RouteNotification(NotifyKind kind, std::string_view sender);

// The page number (1-8) of a page tab option, 0 for any other name.
int PageTabNumber(std::string_view name);

}  // namespace q731
