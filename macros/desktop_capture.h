#pragma once
// Capture of the input other programs get, for recording macros: key and
// button presses and releases read passively (nothing is grabbed, every
// program keeps its input) on a thread of their own and handed to the UI
// thread. On X11 the X server's raw input events; on Wayland, where a client
// sees no other client's input, the kernel's input devices, for users who may
// already read them. Nothing here widens anyone's access to the keyboard.

#include <memory>
#include <string>

#include "macros/macro_input.h"
#include "platform/clock.h"
#include "platform/ui_loop.h"

namespace q731 {

// X11 raw input (XInput 2). Fails at start without a display or XInput 2.
std::unique_ptr<IInputSource> MakeX11Capture(UiLoop& loop, Clock& clock);
// The kernel's keyboards and mice under `/dev/input`, those this user can
// read; devices plugged in meanwhile are followed. Fails at start when none
// can be read.
std::unique_ptr<IInputSource> MakeEvdevCapture(UiLoop& loop, Clock& clock,
                                               std::string folder = "/dev/input");

// The capture for this desktop: `override` ("x11", "evdev", "window" for none
// at all) or else X11 on an X11 session and evdev on Wayland. Null for
// "window".
std::unique_ptr<IInputSource> MakeDesktopCapture(UiLoop& loop, Clock& clock,
                                                 const std::string& override);

}  // namespace q731
