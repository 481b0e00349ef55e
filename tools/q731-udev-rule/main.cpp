// Prints the udev rule for the supported devices (packaging/70-q731-control-center.rules).
#include <cstdio>

#include "device_access/udev_rule.h"

int main() {
    std::fputs(q731::MakeUdevRule().c_str(), stdout);
    return 0;
}
