#pragma once
// Pure decisions of the main window: its scale on a monitor, and the device-tab
// table block an outside tool asks for.

#include <array>
#include <cstdint>
#include <vector>

namespace q731 {

inline constexpr int kMainWindowWidth = 1000;
inline constexpr int kMainWindowHeight = 640;

// 144 dpi on a monitor larger than 1500 x 960, else 96.
int ScaleForMonitor(int width, int height);
// The scales a window accepts; anything else falls back to 96.
bool IsAcceptedScale(int dpi);
int AcceptedScaleOr96(int dpi);
// The same for a secondary window, which says in the log when it refused one.
int SecondaryWindowScale(int dpi);

// The 1024-byte block sent to the "WorkTool" window: 2, 3, 0, 2, the row count,
// then vendor id, product id and device type of every device-tab row, each as
// a little-endian 32-bit value, the rest zero.
inline constexpr std::size_t kTabTableBlockBytes = 1024;
inline constexpr std::uint32_t kTabTableDataKind = 5;
std::vector<std::uint8_t> MakeTabTableBlock();

// A copy-data block copied into a fixed buffer: at most the buffer, the rest zero.
template <std::size_t N>
void CopyBlock(std::array<std::uint8_t, N>& buffer, const std::uint8_t* data, std::size_t size) {
    buffer.fill(0);
    for (std::size_t i = 0; i < size && i < N; ++i)
        buffer[i] = data[i];
}

}  // namespace q731
