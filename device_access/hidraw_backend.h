#pragma once
// The production back end on Linux: hidapi over hidraw.
//
// One hidraw node carries every top-level collection of its USB interface, so
// the back end hands out one path per collection ("/dev/hidraw3#vid_320f&
// pid_221d&mi_01&col04"), numbered in report-descriptor order, and each open
// connection keeps only the input reports whose report id its collection owns
// (every open of a node sees every report of the interface).

#include <memory>

#include "device_access/hid_backend.h"

namespace q731 {

// The udev rule that grants the logged-in user access to the family's nodes.
inline constexpr const char* kUdevRuleName = "70-q731-control-center.rules";

// Longest a blocked read waits before it looks at its abort flag again.
inline constexpr uint32_t kHidrawAbortSliceMs = 20;

std::unique_ptr<IHidBackend> MakeHidrawBackend();

// The text shown when a node cannot be opened for lack of permission.
std::string AccessDeniedMessage(const std::string& node);

// Splits a path of this back end into its node and its marker part.
bool SplitHidrawPath(const std::string& path, std::string& node, std::string& markers);

}  // namespace q731
