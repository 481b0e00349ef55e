// q731ctl: talks to the running control centre over the local bus: sends one
// message, or asks something and prints the answer.
//
//   q731ctl Game_Kill 0 5
//   q731ctl {4695579F-999A-41d4-9FAF-EFFCE93EBF17} 1 0
//   q731ctl devices [--json]

#include <json/json.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/folders.h"
#include "platform/message_bus.h"
#include "platform/message_names.h"

namespace {

void PrintHelp() {
    std::printf(
        "usage: q731ctl [--socket PATH] NAME [WPARAM [LPARAM]]\n"
        "       q731ctl [--socket PATH] devices [--json]\n"
        "\n"
        "devices: each device the control centre shows, how it is connected\n"
        "(cable or receiver) and its firmware version; --json prints the answer\n"
        "as it came. Exit status: 0 done, 1 refused or failed (with the reason),\n"
        "2 bad arguments, 3 no control centre running.\n"
        "\n"
        "Sends the message NAME with two integer parameters (default 0) to the\n"
        "control centre running for this user, over the socket in\n"
        "$XDG_RUNTIME_DIR/q731-control-center/. Exit status: 0 sent, 1 not sent,\n"
        "2 bad arguments.\n"
        "\n"
        "Messages the control centre acts on:\n"
        "  Q731                                    bring the window to the front\n"
        "  Game_Start | Game_End | Game_Kill | Game_Death  VARIANT MODE\n"
        "                                          show lighting mode MODE on the current\n"
        "                                          device for five seconds (VARIANT 0 keeps\n"
        "                                          the mode to return to; 1 and 2 do not)\n"
        "  {4695579F-999A-41d4-9FAF-EFFCE93EBF17}  1 STATE  lighting control on (1) / off (0)\n"
        "  {4695579F-999A-41d4-9FAF-EFFCE93EBF18}  send the device-tab table to WorkTool\n"
        "  {4695579F-999A-41d4-9FAF-EFFCE93EBF15}  forwarded to the settings window\n");
}

constexpr int kNotRunning = 3;
constexpr int kAnswerWithinMs = 2000;

// Asks the running control centre `request` and prints the answer (the JSON as
// it came with `json`, else `show` of it); the exit status.
int Ask(const std::string& socketPath, const std::string& request, bool json,
        void (*show)(const Json::Value& answer)) {
    std::error_code ec;
    if (!std::filesystem::exists(socketPath, ec)) {
        std::fprintf(stderr, "q731ctl: the control centre is not running (no %s)\n",
                     socketPath.c_str());
        return kNotRunning;
    }
    q731::BusMessage message{std::string(q731::messages::kControlRequest), ::getpid(), 0, request};
    std::string error;
    const std::optional<q731::BusMessage> answer =
        q731::RequestBusMessage(socketPath, message, kAnswerWithinMs, &error);
    if (!answer) {
        std::fprintf(stderr, "q731ctl: %s\n", error.c_str());
        return error.rfind("cannot reach", 0) == 0 ? kNotRunning : 1;
    }
    Json::Value body;
    Json::CharReaderBuilder reader;
    std::string why;
    std::istringstream in(answer->payload);
    if (answer->name != q731::messages::kControlReply || answer->wParam != message.wParam ||
        !Json::parseFromStream(reader, in, &body, &why) || !body.isObject()) {
        std::fprintf(stderr, "q731ctl: the answer cannot be read\n");
        return 1;
    }
    const long long result = answer->lParam;
    if (result != 0) {
        std::fprintf(stderr, "q731ctl: %s\n", body["error"].asString().c_str());
        return result == 2 ? 2 : 1;
    }
    if (json) {
        std::printf("%s\n", answer->payload.c_str());
    } else {
        show(body);
    }
    return 0;
}

void ShowDevices(const Json::Value& answer) {
    const Json::Value& devices = answer["devices"];
    if (!devices.isArray() || devices.empty()) {
        std::printf("no device\n");
        return;
    }
    for (const Json::Value& device : devices) {
        std::printf("%-10s %-8s %s%s%s\n", device["product"].asString().c_str(),
                    device["channel"].asString().c_str(),
                    device["connected"].asBool() ? "connected" : "not connected",
                    device.isMember("firmware") ? ", firmware " : "",
                    device["firmware"].asString().c_str());
    }
}

bool ParseInt(std::string_view text, long long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
    std::string socketPath;
    int next = 1;
    if (next < argc &&
        (std::strcmp(argv[next], "--help") == 0 || std::strcmp(argv[next], "-h") == 0)) {
        PrintHelp();
        return 0;
    }
    if (next + 1 < argc && std::strcmp(argv[next], "--socket") == 0) {
        socketPath = argv[next + 1];
        next += 2;
    }
    if (socketPath.empty()) {
        const auto runtime = q731::Folders::Detect().RuntimeFolder();
        if (runtime.empty()) {
            std::fprintf(stderr, "q731ctl: no private runtime folder for this user\n");
            return 1;
        }
        socketPath = q731::BusSocketPath(runtime).string();
    }
    if (next < argc && std::strcmp(argv[next], "devices") == 0) {
        bool json = false;
        for (int i = next + 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--json") == 0) {
                json = true;
            } else if (std::strcmp(argv[i], "--help") == 0) {
                PrintHelp();
                return 0;
            } else {
                std::fprintf(stderr, "q731ctl devices: unknown option %s\n", argv[i]);
                return 2;
            }
        }
        return Ask(socketPath, R"({"op":"devices"})", json, ShowDevices);
    }
    const int rest = argc - next;
    if (rest < 1 || rest > 3) {
        PrintHelp();
        return 2;
    }
    q731::BusMessage message;
    message.name = argv[next];
    long long values[2] = {0, 0};
    for (int i = 0; i < rest - 1; ++i) {
        if (!ParseInt(argv[next + 1 + i], values[i])) {
            std::fprintf(stderr, "q731ctl: not an integer: %s\n", argv[next + 1 + i]);
            return 2;
        }
    }
    message.wParam = values[0];
    message.lParam = values[1];
    std::string error;
    // A running program whose bus is busy for a moment (a burst of other
    // clients) is tried again briefly; no socket at all fails at once.
    std::error_code ec;
    const bool present = std::filesystem::exists(socketPath, ec);
    const bool sent = present ? q731::SendBusMessageWithin(socketPath, message, 1500, &error)
                              : q731::SendBusMessage(socketPath, message, &error);
    if (!sent) {
        std::fprintf(stderr, "q731ctl: %s (is the control centre running?)\n", error.c_str());
        return 1;
    }
    return 0;
}
