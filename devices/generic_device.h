#pragma once
// A device of the family whose own class is not part of this build: it
// connects (information block), reads its power status, keeps its profile and
// shows its tab, but changes nothing on the device.

#include "devices/usb_device.h"

namespace q731 {

class CGenericDevice final : public CVexloUSBDevice {
public:
    CGenericDevice(Product product, std::shared_ptr<IHidBackend> backend)
        : CVexloUSBDevice(product, std::move(backend)) {}
    ~CGenericDevice() override { CloseDevice(); }

    CBasicProfiledata& ProfileData() override { return profile_; }
    LinkResult Connect() override {
        if (!Link().IsOpen()) return LinkResult::Failed;
        // A product that speaks through output reports of its own has nothing
        // to read here.
        // Without a readable profile the device keeps the settings it had.
        if (RecordOf(GetProduct()).protocol != Protocol::CommandFrames) {
            (void)LoadProfile();
            return LinkResult::Ok;
        }
        const LinkResult result = ConfigurationWrite([this] { return ReadInfoBlock(); });
        if (result != LinkResult::Ok) return LinkResult::Failed;
        (void)LoadProfile();
        return LinkResult::Ok;
    }

private:
    CBasicProfiledata profile_;
};

}  // namespace q731
