// Runs a short script of link commands against a simulated device and prints
// every frame both ways in hex, to debug the protocol or check the wire format
// by hand.
//
//   q731-sim-frames [--receiver] [--keyboard|--pad] "enter; info; write-memory 0 66 0102; leave"
//
// Numbers are decimal or 0x-prefixed hex; data is hex, zero-padded to the length.

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "device_access/device_path.h"
#include "devices/device_link.h"
#include "sim/sim_firmware.h"
#include "sim/sim_products.h"

namespace q731 {
namespace {

using Bytes = std::vector<uint8_t>;

bool ParseNumber(const std::string& text, uint32_t& value) {
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || parsed > 0xFFFFFFFFul) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseHex(const std::string& text, std::size_t length, Bytes& out) {
    out.assign(length, 0);
    if (text.size() % 2 != 0 || text.size() / 2 > length) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        out[i / 2] = static_cast<uint8_t>(std::strtoul(pair.c_str(), &end, 16));
        if (*end != '\0') return false;
    }
    return true;
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    for (uint8_t b : bytes)
        text += fmt::format("{:02x}", b);
    return text;
}

// Runs one command; returns its printable outcome or an error text.
std::string RunCommand(CDeviceLink& link, const std::vector<std::string>& words) {
    const std::string& name = words[0];
    auto number = [&](std::size_t index, uint32_t& value) {
        return index < words.size() && ParseNumber(words[index], value);
    };
    auto result = [](LinkResult code) { return fmt::format("result {}", static_cast<int>(code)); };
    uint32_t address = 0;
    uint32_t length = 0;
    Bytes data;
    if (name == "enter") return result(link.EnterConfig());
    if (name == "leave") return result(link.LeaveConfig());
    if (name == "query") return link.QueryLink() ? "link up" : "link down";
    if (name == "host-lighting") return result(link.EnableHostLighting());
    if (name == "info") {
        data.resize(kDeviceInfoBytes);
        const LinkResult code = link.ReadDeviceInfo(data);
        return result(code) + " " + Hex(data);
    }
    if (name == "power") {
        data.resize(kPowerStatusBytes);
        const LinkResult code = link.ReadPowerStatus(data, kPowerStatusBytes, 0);
        return result(code) + " " + Hex(data);
    }
    if (name == "read-memory" && number(1, address) && number(2, length) && length <= 0x10000) {
        data.resize(length);
        const LinkResult code = link.ReadMemory(data, address);
        return result(code) + " " + Hex(data);
    }
    const bool writes = name == "write-memory" || name == "write-keys" || name == "shoot" ||
                        name == "macro" || name == "light";
    if (writes) {
        const bool hasAddress = name == "write-memory";
        const std::size_t lengthAt = hasAddress ? 2 : 1;
        if ((hasAddress && !number(1, address)) || !number(lengthAt, length) || length > 0x10000 ||
            !ParseHex(lengthAt + 1 < words.size() ? words[lengthAt + 1] : "", length, data)) {
            return "error: expected " + name + (hasAddress ? " <address>" : "") + " <length> <hex>";
        }
        if (name == "write-memory") return result(link.WriteMemory(data, address));
        if (name == "write-keys") {
            if (!link.SetTransferSize(static_cast<uint16_t>(std::min<uint32_t>(length, 0xFFFF)))) {
                return "error: transfer size above 512";
            }
            return result(link.WriteKeyTable(data, 0));
        }
        if (name == "shoot") return result(link.WriteShootData(data));
        if (name == "macro") return result(link.WriteMacroMemory(data));
        return result(link.StreamLightFrame(data));
    }
    return "error: unknown or malformed command '" + name + "'";
}

int Run(int argc, char** argv) {
    bool receiver = false;
    SimProductSpec product = MouseWiredProduct();
    SimMemoryLayout layout = MouseMemoryLayout();
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--receiver") {
            receiver = true;
        } else if (arg == "--keyboard") {
            layout = KeyboardMemoryLayout();
        } else if (arg == "--pad") {
            layout = MousePadMemoryLayout();
        } else {
            script += arg + " ";
        }
    }
    if (script.empty()) {
        fmt::print(stderr,
                   "usage: q731-sim-frames [--receiver] [--keyboard|--pad] \"enter; info; "
                   "write-memory 0 66 <hex>; leave\"\n");
        return 2;
    }
    if (receiver) product = MouseReceiverProduct();
    auto bus = std::make_shared<SimBus>();
    auto firmware = std::make_shared<SimCommandFirmware>(
        receiver ? SimChannel::Receiver : SimChannel::Wired, layout);
    const int unit = bus->Plug(product, firmware);
    CDeviceLink link(bus);
    std::string path;
    for (const std::string& candidate : bus->PathsOf(unit)) {
        const PathIds ids = ParseDevicePath(candidate);
        if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4) path = candidate;
    }
    if (!link.OpenChannel(receiver ? Channel::Receiver : Channel::Cable, path)) {
        fmt::print(stderr, "cannot open the simulated device\n");
        return 1;
    }
    int failures = 0;
    std::stringstream commands(script);
    std::string command;
    while (std::getline(commands, command, ';')) {
        std::stringstream wordStream(command);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;)
            words.push_back(word);
        if (words.empty()) continue;
        firmware->ClearLog();
        const std::string outcome = RunCommand(link, words);
        failures += outcome.rfind("result 1", 0) == 0 || outcome.rfind("link", 0) == 0 ? 0 : 1;
        fmt::print("> {}: {}\n{}", command.substr(command.find_first_not_of(' ')), outcome,
                   firmware->FrameLogHex());
        for (const SimViolation& violation : firmware->Violations()) {
            fmt::print("  firmware objects (frame {}): {}\n", violation.frameNumber,
                       violation.what);
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    return q731::Run(argc, argv);
}
