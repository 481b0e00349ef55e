#pragma once
// What the music end-to-end test and the music bench share: a simulated
// keyboard by cable set up as device selection does, showing music bars in
// red on black (so any colour at all is the music's); the companion program
// started with its own arguments; and what the sound server says about its
// clients and recording streams, through pactl (PULSE_SERVER names the
// private server both run on).

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/device_tabs.h"
#include "device_access/device_path.h"
#include "devices/keyboard_device.h"
#include "devices/keys/keyboard_keys.h"
#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

extern char** environ;

namespace q731::music_rig {

namespace fs = std::filesystem;

// Light-frame reports carry the command at byte 3, their length at byte 4 and
// the colours from byte 8.
inline constexpr std::uint8_t kLightFrameCommand = 0x12;
inline constexpr std::size_t kReportCommand = 3;
inline constexpr std::size_t kReportLength = 4;
inline constexpr std::size_t kReportData = 8;

// Whether `report` is a piece of a light frame with any colour in it.
inline bool LitLightFrame(std::span<const std::uint8_t> report) {
    if (report.size() <= kReportData || report[kReportCommand] != kLightFrameCommand) return false;
    const std::size_t end = std::min(report.size(), kReportData + report[kReportLength]);
    return std::any_of(report.begin() + kReportData, report.begin() + static_cast<long>(end),
                       [](std::uint8_t byte) { return byte != 0; });
}

// Bars in red on black: a dark key shows nothing, a lit one shows music.
inline constexpr AudioLightSetting kRedBarsOnBlack{0, 0, 0, 0, 255, 0, 0, 0, 0};

class SimMusicKeyboard {
public:
    // `front`, when given, sits between the bus and `firmware` (made here
    // when not given).
    SimMusicKeyboard(const fs::path& folder, std::chrono::microseconds usbLatency,
                     std::shared_ptr<ISimFirmware> front = nullptr,
                     std::shared_ptr<SimCommandFirmware> firmware = nullptr)
        : folder_(folder),
          firmware_(firmware ? std::move(firmware)
                             : std::make_shared<SimCommandFirmware>(SimChannel::Wired,
                                                                    KeyboardMemoryLayout())) {
        firmware_->SetLatency(usbLatency);
        std::vector<std::uint8_t> table;
        for (const AssignmentCode& code : kKeyboardFactoryCodes)
            table.insert(table.end(), {code.type, code.value1, code.value2});
        firmware_->FillRegion(SimRegion::KeyTable, 0, table);
        std::vector<std::uint8_t> ledMap;
        for (int key = 0; key < kKeyboardLogicalKeys; ++key)
            ledMap.push_back(static_cast<std::uint8_t>(key));
        firmware_->FillRegion(SimRegion::LedMap, 0, ledMap);
        unit_ = bus_->Plug(KeyboardWiredProduct(), front ? std::move(front) : firmware_);
        device_ = std::make_unique<CVexloKeyboardDevice>(bus_);
    }
    ~SimMusicKeyboard() { device_->CloseDevice(); }

    // Opened, connected, the lighting handed to the host, red bars on black in
    // `mode`; false with the reason when a step failed.
    bool Start(int mode, std::string* error) {
        const ProductRecord& record = RecordOf(Product::Keyboard);
        device_->SetNames(std::string(TabOf(Product::Keyboard).pageLayout), "keyboard",
                          std::string(record.lightingConfig));
        device_->SetKeyCount(record.keyCount);
        device_->SetLedCount(record.ledCount);
        fs::create_directories(folder_ / "keyboard");
        device_->SetFolders({folder_ / "keyboard", fs::path(Q731_SOURCE_DIR) / "DefaultData"});
        device_->SetProfileMode(record.profileMode);
        if (!device_->StartProfiles()) return Fail(error, "the profiles did not start");
        device_->Initialise();
        device_->SetAttention(false);  // the window is hidden: only the stream needs frames
        std::string path;
        for (const std::string& candidate : bus_->PathsOf(unit_)) {
            const PathIds ids = ParseDevicePath(candidate);
            if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4)
                path = candidate;
        }
        if (!device_->Link().OpenChannel(Channel::Cable, path))
            return Fail(error, "the command collection did not open");
        if (device_->Connect() != LinkResult::Ok) return Fail(error, "connect failed");
        if (device_->EnableHostLighting(true) != LinkResult::Ok)
            return Fail(error, "the keyboard refused host lighting");
        device_->SetAudioSettings(kRedBarsOnBlack);
        SetMode(mode);
        return true;
    }

    // The main window's lighting change, without the write (UI thread).
    void SetMode(int mode) {
        LightSetting light = device_->GetLightInfo();
        light.selectItem = static_cast<std::uint8_t>(mode);
        light.brightness = 4;
        light.speed = 4;
        light.multiColor = 0;
        device_->SetLightInfo(light);
        device_->ApplyProfile();
    }
    bool ShowsMusic() const {
        return device_->GetLightInfo().selectItem == CVexloKeyboardDevice::kMusicMode;
    }

    // Whether any key of the LED colour list shows a colour.
    bool AnyKeyLit() const {
        const LedColourList& leds = device_->Leds();
        for (std::size_t i = 0; i < leds.Size(); ++i) {
            const LedColour led = leds.Get(i);
            if (led.brightness > 0 && (led.red | led.green | led.blue) != 0) return true;
        }
        return false;
    }
    // Whether the light frame the keyboard holds now shows any colour.
    bool FrameRegionLit() const {
        const std::vector<std::uint8_t> frame = firmware_->Region(SimRegion::LedFrame);
        return std::any_of(frame.begin(), frame.end(), [](std::uint8_t byte) { return byte; });
    }
    // Light-frame reports the keyboard received, and how many showed a colour.
    std::pair<int, int> StreamedReports() const {
        int all = 0;
        int lit = 0;
        for (const SimFrameRecord& record : firmware_->FrameLog()) {
            if (!record.toDevice || record.bytes.size() <= kReportCommand ||
                record.bytes[kReportCommand] != kLightFrameCommand) {
                continue;
            }
            ++all;
            if (LitLightFrame(record.bytes)) ++lit;
        }
        return {all, lit};
    }

    CVexloKeyboardDevice& Device() { return *device_; }
    SimCommandFirmware& Firmware() { return *firmware_; }

private:
    static bool Fail(std::string* error, const char* why) {
        if (error) *error = why;
        return false;
    }

    fs::path folder_;
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    std::shared_ptr<SimCommandFirmware> firmware_;
    int unit_ = -1;
    std::unique_ptr<CVexloKeyboardDevice> device_;
};

// The companion on the sound server, serving in `runtime`; its pid, or -1.
inline pid_t SpawnCompanion(const fs::path& program, const fs::path& runtime, int idleExitSeconds) {
    std::vector<std::string> args = {program.string(),
                                     "--runtime-dir",
                                     runtime.string(),
                                     "--source",
                                     "pulse",
                                     "--idle-exit",
                                     std::to_string(idleExitSeconds)};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

// A child that is ended (SIGKILL) and collected when it is still there at the end.
class ChildGuard {
public:
    ChildGuard() = default;
    explicit ChildGuard(pid_t pid) : pid_(pid) {}
    ~ChildGuard() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ChildGuard(const ChildGuard&) = delete;
    ChildGuard& operator=(const ChildGuard&) = delete;
    pid_t Pid() const { return pid_; }
    // The exit status once it ended within `limit` (128 + signal when killed).
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            ::usleep(10000);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

// What `pactl ARGS` prints (stderr too); nothing when it could not run.
inline std::optional<std::string> Pactl(const std::string& args) {
    FILE* pipe = ::popen(("pactl " + args + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[512];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    if (::pclose(pipe) != 0) return std::nullopt;
    return out;
}

// The tab-separated rows of a `pactl list short` listing.
inline std::vector<std::vector<std::string>> Rows(const std::string& listing) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        std::vector<std::string> row;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t'))
            row.push_back(field);
        rows.push_back(std::move(row));
    }
    return rows;
}

// The server's index of the client whose program is `binary`; nothing when
// none is connected.
inline std::optional<std::string> ClientOf(std::string_view binary) {
    const std::optional<std::string> listing = Pactl("list short clients");
    if (!listing) return std::nullopt;
    for (const std::vector<std::string>& row : Rows(*listing)) {
        if (row.size() >= 3 && row[2] == binary) return row[0];
    }
    return std::nullopt;
}

// The recording streams (source outputs) of client `client`.
inline int RecordingStreamsOf(const std::string& client) {
    const std::optional<std::string> listing = Pactl("list short source-outputs");
    if (!listing) return -1;
    int count = 0;
    for (const std::vector<std::string>& row : Rows(*listing)) {
        if (row.size() >= 3 && row[2] == client) ++count;
    }
    return count;
}

}  // namespace q731::music_rig
