#include "app/window_fit.h"

#include <algorithm>

#include "app/device_tabs.h"
#include "platform/log.h"

namespace q731 {

int ScaleForMonitor(int width, int height) {
    return width > 1500 && height > 960 ? 144 : 96;
}

bool IsAcceptedScale(int dpi) {
    static constexpr int kAccepted[] = {48, 72, 96, 120, 144, 168, 192};
    return std::find(std::begin(kAccepted), std::end(kAccepted), dpi) != std::end(kAccepted);
}

int AcceptedScaleOr96(int dpi) {
    return IsAcceptedScale(dpi) ? dpi : 96;
}

int SecondaryWindowScale(int dpi) {
    if (IsAcceptedScale(dpi)) return dpi;
    LogWarning("SET_WND DPI SET ERROR");
    return 96;
}

std::vector<std::uint8_t> MakeTabTableBlock() {
    std::vector<std::uint8_t> block(kTabTableBlockBytes, 0);
    std::size_t at = 0;
    auto put = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            block[at++] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    for (std::uint32_t value : {2u, 3u, 0u, 2u})
        put(value);
    put(static_cast<std::uint32_t>(kDeviceTabs.size()));
    for (const DeviceTab& tab : kDeviceTabs) {
        // A tab stands for its product by cable.
        const ProductRecord& record = RecordOf(tab.product);
        put(record.vendorId);
        put(record.cable.productId);
        put(record.cable.type);
    }
    return block;
}

}  // namespace q731
