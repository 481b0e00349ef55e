#pragma once
// Names of the messages the control centre exchanges with other programs and
// with its own parts. The spellings are fixed: other programs use them.

#include <array>
#include <string_view>

namespace q731::messages {

// Wake message; also the name of the single-instance lock.
inline constexpr std::string_view kWake = "Q731";

// Process-wide messages, registered in this order at start-up.
inline constexpr std::string_view kSettingsForward = "{4695579F-999A-41d4-9FAF-EFFCE93EBF15}";
inline constexpr std::string_view kStartAnnounce = "{4695579F-999A-41d4-9FAF-EFFCE93EBF16}";
inline constexpr std::string_view kLightingControl = "{4695579F-999A-41d4-9FAF-EFFCE93EBF17}";
inline constexpr std::string_view kTabTableRequest = "{4695579F-999A-41d4-9FAF-EFFCE93EBF18}";
// The last group reads EBE19, not EBF19: the audio-capture program expects it so.
inline constexpr std::string_view kAudioCommand = "{4695579F-999A-41d4-9FAF-EFFCE93EBE19}";

inline constexpr std::array<std::string_view, 5> kProcessMessages = {
    kSettingsForward, kStartAnnounce, kLightingControl, kTabTableRequest, kAudioCommand};

inline constexpr std::array<std::string_view, 4> kGameEvents = {"Game_Start", "Game_End",
                                                                "Game_Kill", "Game_Death"};

inline constexpr std::array<std::string_view, 14> kHookMessages = {
    "WM_HOOK_KEY_SINGLEKEY_MSG",       "WM_HOOK_KEY_HITKEY_MSG",
    "WM_HOOK_KEY_KBMACRO_MSG",         "WM_HOOK_KEY_MSMACRO_MSG",
    "WM_HOOK_KEY_KBMACROSINGLE_MSG",   "WM_HOOK_KEY_KBMACROPREVIOUS_MSG",
    "WM_HOOK_KEY_KBMACROLATER_MSG",    "WM_HOOK_MOU_SINGLEKEY_MSG",
    "WM_HOOK_MOU_HITKEY_MSG",          "WM_HOOK_MOU_KBMACRO_MSG",
    "WM_HOOK_MOU_MSMACRO_MSG",         "WM_HOOK_KEY_MSMACROSINGLE_MSG",
    "WM_HOOK_KEY_MSMACROPREVIOUS_MSG", "WM_HOOK_KEY_MSMACROLATER_MSG"};

// The list names the right-button-down message twice; both register as one id.
inline constexpr std::array<std::string_view, 6> kMouseMessages = {
    "UWM_MOUSERBUTTONDOWN_USER_MSG", "UWM_MOUSELBUTTONUP_USER_MSG",
    "UWM_MOUSELBUTTONDOWN_USER_MSG", "UWM_MOUSERBUTTONUP_USER_MSG",
    "UWM_MOUSEMOVE_USER_MSG",        "UWM_MOUSERBUTTONDOWN_USER_MSG"};

inline constexpr std::string_view kDeviceChange = "winmm_devicechange";

// Messages that other programs of the same user may deliver over the local bus.
inline constexpr std::array<std::string_view, 9> kAcceptedFromOutside = {
    kWake,          kSettingsForward, kLightingControl, kTabTableRequest, kStartAnnounce,
    kGameEvents[0], kGameEvents[1],   kGameEvents[2],   kGameEvents[3]};

// q731ctl's requests and their answers, which go back on the request's own
// connection (our own names; no other program uses them).
inline constexpr std::string_view kControlRequest = "q731.control";
inline constexpr std::string_view kControlReply = "q731.control.reply";
// What a watching client is told, on the connection of its watch request.
inline constexpr std::string_view kControlEvent = "q731.control.event";

}  // namespace q731::messages
