#pragma once
// The production back end on Linux: hidraw nodes, reached through the raw layer
// of hidraw_system.h (the real kernel, or a fake one in tests).
//
// One hidraw node carries every top-level collection of its USB interface, so
// the back end hands out one path per collection ("/dev/hidraw3#vid_320f&
// pid_221d&mi_01&col04&sn_0003:320F:221D.0007"), numbered in report-descriptor
// order. "&sn_" carries the HID device's name, which is new on every plug: a
// node number reused by another device never passes for the old one. All
// connections of the process to one node share one open file (hidraw_node.h),
// and each connection reads only the reports of its own collection.

#include <memory>
#include <string>

#include "device_access/hid_backend.h"
#include "device_access/hidraw_system.h"

namespace q731 {

// The udev rule that grants the logged-in user access to the family's nodes.
inline constexpr const char* kUdevRuleName = "70-q731-control-center.rules";
// Where the README explains it.
inline constexpr const char* kUdevReadmeSection = "Real devices";

// On the real kernel.
std::unique_ptr<IHidBackend> MakeHidrawBackend();
// On any raw layer (the simulator's kernel, in tests).
std::unique_ptr<IHidBackend> MakeHidrawBackend(std::shared_ptr<IHidrawSystem> system);

// The text logged when a node cannot be opened for lack of permission.
std::string AccessDeniedMessage(const std::string& node);

// Splits a path of this back end into its node and its marker part.
bool SplitHidrawPath(const std::string& path, std::string& node, std::string& markers);

}  // namespace q731
