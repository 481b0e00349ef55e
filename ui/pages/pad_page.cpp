#include "ui/controls/custom_controls.h"
#include "ui/pages/kind_pages.h"

namespace q731 {

void CPadPage::BindPicture() {
    BindLedButtons("mousepad_device_key_light");
}

std::unique_ptr<CDevicePage> MakeDevicePage(PageContext context) {
    if (!context.device || !context.manager || !context.root) return nullptr;
    switch (context.device->GetProduct()) {
        case Product::Keyboard:
            return std::make_unique<CKeyboardPage>(std::move(context));
        case Product::Mouse:
            return std::make_unique<CMousePage>(std::move(context));
        case Product::MousePad:
            return std::make_unique<CPadPage>(std::move(context));
        case Product::Headset:
            return std::make_unique<CHeadsetPage>(std::move(context));
        default:
            return nullptr;
    }
}

}  // namespace q731
