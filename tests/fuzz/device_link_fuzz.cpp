// A device's replies to the link's commands. The input is a script: a set-up
// byte (channel, bus mode), then commands for the link to run, and for every
// frame the link writes, the replies the "device" sends back: none, one or
// several; echoing this request or the previous one (a late answer), on the
// command report or on another report of the interface (a stray); of any
// length, with any status and data. Each buffer handed to the link has exactly
// the size the command asks for, so a byte written or read past it is caught.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "device_access/device_path.h"
#include "devices/device_link.h"
#include "sim/sim_bus.h"
#include "sim/sim_products.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace q731;
using fuzz::FuzzInput;

// Every reply is there before the link reads, so no read needs to wait.
constexpr ChannelTimeouts kNoWait{50, 0, 50, 0};
constexpr int kMaxCommands = 24;
constexpr std::size_t kMaxTransfer = 600;

class ScriptedDevice final : public ISimFirmware {
public:
    explicit ScriptedDevice(FuzzInput& input) : input_(input) {}

    bool OnOutputReport(uint16_t interfaceNumber, std::span<const uint8_t> report,
                        const SimPort& port) override {
        const std::vector<uint8_t> request(report.begin(), report.end());
        const uint8_t plan = input_.Byte();
        const int replies = plan & 0x03;
        const bool failWrite = (plan & 0x0C) == 0x0C;
        for (int reply = 0; reply < replies; ++reply)
            port.SendInput(interfaceNumber, Reply(request));
        previous_ = request;
        return !failWrite;
    }

private:
    // Reply header byte: bits 0-1 the report id (the command report, the
    // event report, the mouse report, or the next byte), bit 2 answers the
    // previous request instead of this one, bit 3 copies that request's
    // header, bits 4-7 with the next byte give the length.
    std::vector<uint8_t> Reply(const std::vector<uint8_t>& request) {
        const uint8_t header = input_.Byte();
        const std::size_t length = 1 + (((header >> 4) << 2) | (input_.Byte() & 0x03));
        std::vector<uint8_t> reply(std::min(length, kFrameBytes), 0);
        const std::vector<uint8_t>& answered =
            (header & 0x04) != 0 && !previous_.empty() ? previous_ : request;
        std::size_t from = 1;
        if ((header & 0x08) != 0) {
            const std::size_t echoed = std::min({reply.size(), answered.size(), kFrameStatus});
            std::copy_n(answered.begin(), echoed, reply.begin());
            from = kFrameData;
        }
        for (std::size_t i = from; i < reply.size(); ++i)
            reply[i] = input_.Byte();
        static constexpr uint8_t kIds[] = {kSimCommandReportId, kSimEventReportId,
                                           kSimMouseReportId};
        const int idChoice = header & 0x03;
        reply[0] = idChoice < 3 ? kIds[idChoice] : input_.Byte();
        return reply;
    }

    FuzzInput& input_;
    std::vector<uint8_t> previous_;
};

std::string CommandPath(const SimBus& bus, int unit) {
    for (const std::string& path : bus.PathsOf(unit)) {
        const PathIds ids = ParseDevicePath(path);
        if (ids.interfaceNumber == kSimCommandInterface && ids.collection == 4) return path;
    }
    return {};
}

std::vector<uint8_t> Payload(FuzzInput& input, std::size_t length) {
    std::vector<uint8_t> bytes(length);
    for (uint8_t& byte : bytes)
        byte = input.Byte();
    return bytes;
}

// Runs one command; its result does not matter, only that nothing breaks.
void RunCommand(CDeviceLink& link, FuzzInput& input) {
    const uint8_t command = input.Byte();
    switch (command % 15) {
        case 0: {
            std::vector<uint8_t> info(kDeviceInfoBytes);
            (void)link.ReadDeviceInfo(info);
            break;
        }
        case 1: {
            std::vector<uint8_t> memory(input.U16() % kMaxTransfer);
            (void)link.ReadMemory(memory, input.U16());
            break;
        }
        case 2: {
            const uint16_t address = input.U16();
            const std::vector<uint8_t> source = Payload(input, input.U16() % kMaxTransfer);
            (void)link.WriteMemory(source, address);
            break;
        }
        case 3: {
            std::vector<uint8_t> table(link.TransferSize());
            (void)link.ReadKeyTable(table);
            break;
        }
        case 4: {
            std::vector<uint8_t> map(link.TransferSize() / 3u);
            (void)link.ReadLedMap(map);
            break;
        }
        case 5: {
            const uint8_t length = input.Byte();
            std::vector<uint8_t> power(std::min<std::size_t>(length, kFrameDataBytes));
            (void)link.ReadPowerStatus(power, length, input.U16());
            break;
        }
        case 6: {
            bool up = false;
            (void)link.QueryLinkDetailed(up);
            (void)link.QueryLink();
            break;
        }
        case 7:
            (void)link.EnterConfig();
            (void)link.EnableHostLighting();
            break;
        case 8:
            (void)link.WriteKeyTable(Payload(input, link.TransferSize()), 0);
            break;
        case 9:
            (void)link.SetTransferSize(input.U16() % kMaxTransfer);
            break;
        case 10: {
            const std::vector<uint8_t> request = Payload(input, input.Byte() % (kFrameBytes + 1));
            std::vector<uint8_t> reply(kFrameBytes);
            std::size_t got = 0;
            const bool light = (command & 0x80) != 0;
            (void)(light ? link.ExchangeLight(request, reply, &got)
                         : link.Exchange(request, reply, &got));
            if (got > kFrameBytes) fuzz::Fail("an exchange counted more than a frame");
            break;
        }
        case 11:
            (void)link.StreamLightFrame(Payload(input, input.U16() % kMaxTransfer));
            break;
        case 12: {
            const uint8_t profile = input.Byte();
            const uint16_t stride = input.U16();
            (void)link.WriteKeyColours(Payload(input, input.Byte()), profile, stride);
            break;
        }
        case 13:
            (void)link.WriteMacroMemory(Payload(input, input.U16() % kMaxTransfer));
            break;
        default:
            (void)link.WriteShootData(Payload(input, input.U16() % kMaxTransfer));
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const uint8_t setup = input.Byte();
    const bool receiver = (setup & 0x01) != 0;
    const bool hidraw = (setup & 0x02) != 0;
    auto bus = std::make_shared<SimBus>(hidraw ? SimBusMode::Hidraw : SimBusMode::Plain);
    const int unit = bus->Plug(receiver ? MouseReceiverProduct() : MouseWiredProduct(),
                               std::make_shared<ScriptedDevice>(input));
    const Channel channel = receiver ? Channel::Receiver : Channel::Cable;
    CDeviceLink link(bus);
    link.SetTimeouts(channel, kNoWait);
    if (!link.OpenChannel(channel, CommandPath(*bus, unit))) fuzz::Fail("cannot open the link");
    for (int command = 0; command < kMaxCommands && !input.Empty(); ++command)
        RunCommand(link, input);
    return 0;
}
