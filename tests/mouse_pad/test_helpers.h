#pragma once
// Small helpers shared by the mouse-pad suites: hex strings, the simulated
// product's paths, frame counts and a private folder per test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <thread>

#include "device_access/device_path.h"
#include "sim/sim_bus.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {

// Lower-case hex, a space between groups of three bytes when `grouped`.
inline std::string Hex(std::span<const std::uint8_t> bytes, bool grouped = true) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (grouped && i > 0 && i % 3 == 0) out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

inline std::string PathOfCollection(SimBus& bus, int unit, int collection) {
    for (const std::string& path : bus.PathsOf(unit)) {
        const PathIds ids = ParseDevicePath(path);
        if (ids.interfaceNumber == kSimCommandInterface && ids.collection == collection)
            return path;
    }
    return {};
}
inline std::string CommandPathOf(SimBus& bus, int unit) {
    return PathOfCollection(bus, unit, 4);
}
inline std::string EventPathOf(SimBus& bus, int unit) {
    return PathOfCollection(bus, unit, 3);
}

// Frames of `command` the host wrote.
inline int CountFrames(const SimCommandFirmware& firmware, int command) {
    int count = 0;
    for (const SimFrameRecord& record : firmware.FrameLog()) {
        if (record.toDevice && record.bytes.size() > 3 && record.bytes[3] == command) ++count;
    }
    return count;
}

// Waits in real time (at most 5 s) for something another thread does.
inline bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class PadTestFolder {
public:
    PadTestFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("q731-pad-" + std::to_string(::getpid()) + "-" +
                 (info ? std::string(info->test_suite_name()) + "." + info->name() : "x"));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~PadTestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    PadTestFolder(const PadTestFolder&) = delete;
    PadTestFolder& operator=(const PadTestFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace q731
