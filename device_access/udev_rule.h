#pragma once
// The udev rule that lets the user at the seat open the family's hidraw nodes,
// made from the supported-device table so the two never drift apart.

#include <string>

namespace q731 {

std::string MakeUdevRule();

}  // namespace q731
