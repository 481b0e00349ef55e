#pragma once
// The custom controls the layouts name by element: one header for all of them,
// and the call that makes them creatable from layouts.

#include "ui/controls/charts.h"
#include "ui/controls/device_profile.h"
#include "ui/controls/hand_image_buttons.h"
#include "ui/controls/headset_panels.h"
#include "ui/controls/host_controls.h"
#include "ui/controls/key_buttons.h"
#include "ui/controls/key_set_control.h"
#include "ui/controls/light_control.h"
#include "ui/controls/shoot_control.h"

namespace q731 {

// Registers every custom control with CControlFactory under its class name
// ("CircleProgress", "DeviceKeyButton", ...). Safe to call more than once.
void RegisterCustomControls();

}  // namespace q731
