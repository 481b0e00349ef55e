#pragma once
// What the control centre and its audio-capture companion say to each other.
//
// The companion ("RerurIvavud", a program of its own so that capture never
// runs inside the window's process) holds an instance lock in the user's
// runtime folder and serves a Unix seqpacket socket there, mode 0600, refusing
// peers of another user id. One client at a time: a newer connection replaces
// the older one. Every packet is a bus message (platform/message_bus.h):
//
//   control centre -> companion
//     "command"  wParam = a MusicCommand, lParam = its value (channels 6-8)
//     "style"    payload = kStyleBlockBytes: R, G, B of the active style as
//                three little-endian int32, the rest zero
//   companion -> control centre
//     "frame"    wParam = a MusicBlock type, payload = the block
//
// The companion acts on the state reached after reading every queued command,
// so "capture" followed at once by "stop" opens no stream. With no client for
// kCompanionIdleExit it ends by itself.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace q731 {

inline constexpr std::string_view kCompanionProgram = "RerurIvavud";
// The instance lock's name (a file of that name in the runtime folder).
inline constexpr std::string_view kCompanionLockName = "GamingKeyboardQ731ControlCenterRerurIvavud";
inline constexpr std::string_view kCompanionSocketName = "RerurIvavud.sock";

inline std::filesystem::path CompanionLockPath(const std::filesystem::path& runtimeFolder) {
    return runtimeFolder / std::string(kCompanionLockName);
}
inline std::filesystem::path CompanionSocketPath(const std::filesystem::path& runtimeFolder) {
    return runtimeFolder / std::string(kCompanionSocketName);
}

// Message names.
inline constexpr std::string_view kMusicCommandName = "command";
inline constexpr std::string_view kMusicStyleName = "style";
inline constexpr std::string_view kMusicFrameName = "frame";

enum class MusicCommand : int {
    Register = 0,    // the control centre introduces itself
    Capture = 1,     // capture and send frames
    Stop = 2,        // stop capturing (and sending)
    Connect = 3,     // connect to the sound server
    Disconnect = 4,  // leave the sound server
    Exit = 5,        // end the companion
    ChannelR = 6,    // the style's three weights, one at a time (lParam 0-9)
    ChannelG = 7,
    ChannelB = 8,
};

enum class MusicBlock : int {
    Samples = 1,  // kFrameValues int32: magnitudes of the sound, 0-2000 for loud music
    Colour = 2,   // up to six int32: bass, mid, treble weighted by the style, each 0-255
};

inline constexpr std::size_t kFrameValues = 500;
inline constexpr std::size_t kMaxSamplesBlockBytes = kFrameValues * 4;  // 2000
inline constexpr std::size_t kColourValues = 6;
inline constexpr std::size_t kMaxColourBlockBytes = kColourValues * 4;  // 24
inline constexpr std::size_t kStyleBlockBytes = 40;

inline constexpr std::chrono::seconds kCompanionIdleExit{10};

}  // namespace q731
