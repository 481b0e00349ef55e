// q731ctl: talks to the running control centre over the local bus: sends one
// message, or asks something and prints the answer.
//
//   q731ctl Game_Kill 0 5
//   q731ctl {4695579F-999A-41d4-9FAF-EFFCE93EBF17} 1 0
//   q731ctl devices [--json]
//   q731ctl dpi mouse --stage 2 --set 1600
//   q731ctl polling keyboard --set 1000
//   q731ctl profile keyboard --select Game
//   q731ctl watch [--json]

#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folders.h"
#include "platform/message_bus.h"
#include "platform/message_names.h"

namespace {

void PrintHelp() {
    std::printf(
        "usage: q731ctl [--socket PATH] NAME [WPARAM [LPARAM]]\n"
        "       q731ctl [--socket PATH] devices [--json]\n"
        "       q731ctl [--socket PATH] dpi DEVICE [--stage N --set DPI] [--select N]\n"
        "                               [--enable N | --disable N] [--json]\n"
        "       q731ctl [--socket PATH] polling DEVICE [--set HZ] [--json]\n"
        "       q731ctl [--socket PATH] lighting DEVICE [--mode N] [--colour RRGGBB]\n"
        "                               [--brightness 0-4] [--speed 0-4] [--json]\n"
        "       q731ctl [--socket PATH] profile DEVICE [--select NAME] [--json]\n"
        "       q731ctl [--socket PATH] lighting --all on|off\n"
        "       q731ctl [--socket PATH] watch [--json]\n"
        "       q731ctl [--socket PATH] quit\n"
        "\n"
        "devices  each device the control centre shows, how it is connected (cable\n"
        "         or receiver) and its firmware version\n"
        "dpi      the mouse's DPI stages (1-5): set a stage's resolution, switch to a\n"
        "         stage, enable or disable one; then shows the stages\n"
        "polling  the polling rate of the mouse or the keyboard (125, 250, 500, 1000,\n"
        "         and 2000 for the mouse)\n"
        "lighting a device's lighting: the mode (its number in the page's list, from\n"
        "         0), colour, brightness and speed\n"
        "lighting --all on|off: whether the control centre drives the lighting\n"
        "         at all (off leaves it to the devices and other programs)\n"
        "profile  a device's profiles, the current one marked; --select makes the\n"
        "         named one current and sends it to the device, as the page's list does\n"
        "watch    one line per event until the control centre ends: lighting control\n"
        "         on or off (and its state at once), devices arriving and going,\n"
        "         profile switches\n"
        "quit     ends the control centre as the tray's \"exit\" does\n"
        "The change goes to the device and its profile as the page makes it. --json\n"
        "prints the answer as it came. Exit status: 0 done, 1 refused or failed (with\n"
        "the reason), 2 bad arguments, 3 no control centre running.\n"
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

void ShowDpi(const Json::Value& answer) {
    for (const Json::Value& stage : answer["stages"]) {
        std::printf("stage %d  %5d dpi  %s%s\n", stage["stage"].asInt(), stage["dpi"].asInt(),
                    stage["enabled"].asBool() ? "enabled" : "disabled",
                    stage["stage"].asInt() == answer["active"].asInt() ? "  (active)" : "");
    }
}

void ShowLighting(const Json::Value& answer) {
    std::printf("mode %d of %d, colour %s, brightness %d, speed %d\n", answer["mode"].asInt(),
                answer["modes"].asInt(), answer["colour"].asString().c_str(),
                answer["brightness"].asInt(), answer["speed"].asInt());
}

void ShowProfiles(const Json::Value& answer) {
    for (const Json::Value& name : answer["profiles"]) {
        const bool current = name.asString() == answer["current"].asString();
        std::printf("%s %s\n", current ? "*" : " ", name.asString().c_str());
    }
}

void ShowNothing(const Json::Value&) {}

void ShowPolling(const Json::Value& answer) {
    std::printf("%d Hz\n", answer["hz"].asInt());
}

// Prints each event as it comes: "lighting-control on", "device-arrived mouse",
// "profile-switched keyboard Game".
int Watch(const std::string& socketPath, bool json) {
    std::error_code ec;
    if (!std::filesystem::exists(socketPath, ec)) {
        std::fprintf(stderr, "q731ctl: the control centre is not running (no %s)\n",
                     socketPath.c_str());
        return kNotRunning;
    }
    const q731::BusMessage request{std::string(q731::messages::kControlRequest), ::getpid(), 0,
                                   R"({"op":"watch"})"};
    int status = 0;
    std::string error;
    const bool answered = q731::WatchBusMessages(
        socketPath, request, kAnswerWithinMs,
        [&](const q731::BusMessage& message) {
            if (message.name == q731::messages::kControlReply) {
                if (message.lParam == 0) return true;
                std::fprintf(stderr, "q731ctl: the control centre refused to be watched\n");
                status = 1;
                return false;
            }
            if (message.name != q731::messages::kControlEvent) return true;
            if (json) {
                std::printf("%s\n", message.payload.c_str());
            } else {
                Json::Value event;
                Json::CharReaderBuilder reader;
                std::istringstream in(message.payload);
                std::string why;
                if (!Json::parseFromStream(reader, in, &event, &why) || !event.isObject())
                    return true;
                std::string line = event["event"].asString();
                if (event.isMember("on")) line += event["on"].asBool() ? " on" : " off";
                for (const char* member : {"device", "profile"}) {
                    if (event[member].isString()) line += " " + event[member].asString();
                }
                std::printf("%s\n", line.c_str());
            }
            std::fflush(stdout);
            return true;
        },
        &error);
    if (!answered) {
        std::fprintf(stderr, "q731ctl: %s\n", error.c_str());
        return error.rfind("cannot reach", 0) == 0 ? kNotRunning : 1;
    }
    return status;
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
    if (next < argc && std::strcmp(argv[next], "watch") == 0) {
        bool json = false;
        for (int i = next + 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--json") == 0) {
                json = true;
            } else {
                std::fprintf(stderr, "q731ctl watch: unknown option %s\n", argv[i]);
                return 2;
            }
        }
        return Watch(socketPath, json);
    }
    // lighting --all on|off: whether the program drives the lighting at all.
    if (argc - next == 3 && std::strcmp(argv[next], "lighting") == 0 &&
        std::strcmp(argv[next + 1], "--all") == 0) {
        const std::string_view state = argv[next + 2];
        if (state != "on" && state != "off") {
            std::fprintf(stderr, "q731ctl lighting --all: on or off\n");
            return 2;
        }
        std::error_code ec;
        if (!std::filesystem::exists(socketPath, ec)) {
            std::fprintf(stderr, "q731ctl: the control centre is not running\n");
            return kNotRunning;
        }
        std::string error;
        const q731::BusMessage message{
            std::string(q731::messages::kLightingControl), 1, state == "on" ? 1 : 0, {}};
        if (!q731::SendBusMessageWithin(socketPath, message, 1500, &error)) {
            std::fprintf(stderr, "q731ctl: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    // Questions: a sub-command, maybe a device, integer options, --json.
    struct Question {
        const char* name;
        bool device;
        std::vector<std::string_view> options;
        void (*show)(const Json::Value&);
    };
    const Question questions[] = {
        {"devices", false, {}, ShowDevices},
        {"dpi", true, {"stage", "set", "select", "enable", "disable"}, ShowDpi},
        {"polling", true, {"set"}, ShowPolling},
        {"lighting", true, {"mode", "colour", "brightness", "speed"}, ShowLighting},
        {"profile", true, {"select"}, ShowProfiles},
        {"quit", false, {}, ShowNothing},
    };
    for (const Question& question : questions) {
        if (next >= argc || std::strcmp(argv[next], question.name) != 0) continue;
        Json::Value request(Json::objectValue);
        request["op"] = question.name;
        bool json = false;
        int i = next + 1;
        if (question.device) {
            if (i >= argc || argv[i][0] == '-') {
                std::fprintf(stderr, "q731ctl %s: name the device (mouse, keyboard, ...)\n",
                             question.name);
                return 2;
            }
            request["device"] = argv[i++];
        }
        for (; i < argc; ++i) {
            const std::string_view argument = argv[i];
            if (argument == "--json") {
                json = true;
                continue;
            }
            if (argument == "--help" || argument == "-h") {
                PrintHelp();
                return 0;
            }
            const std::string_view option =
                argument.starts_with("--") ? argument.substr(2) : std::string_view();
            long long value = 0;
            if (std::find(question.options.begin(), question.options.end(), option) ==
                question.options.end()) {
                std::fprintf(stderr, "q731ctl %s: unknown option %s\n", question.name, argv[i]);
                return 2;
            }
            if ((option == "colour" || option == "select") && i + 1 < argc) {
                request[std::string(option)] = argv[++i];
                continue;
            }
            if (i + 1 >= argc || !ParseInt(argv[i + 1], value) || value < INT32_MIN ||
                value > INT32_MAX) {
                std::fprintf(stderr, "q731ctl %s: --%s needs a whole number\n", question.name,
                             std::string(option).c_str());
                return 2;
            }
            request[std::string(option)] = static_cast<int>(value);
            ++i;
        }
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        return Ask(socketPath, Json::writeString(writer, request), json, question.show);
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
