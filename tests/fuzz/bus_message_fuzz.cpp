// A packet arriving on the local message bus. A packet the decoder accepts
// must be exactly the encoding of what it decoded to: the format has no two
// spellings of one message, so anything else means a field was misread.

#include <cstdint>
#include <string>

#include "platform/message_bus.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace q731;
    const std::string_view packet = fuzz::AsText(data, size);
    std::string why;
    const auto message = DecodeBusMessage(packet, &why);
    if (!message) {
        if (why.empty()) fuzz::Fail("a dropped packet gave no reason");
        return 0;
    }
    if (message->name.size() > kMaxBusName || message->payload.size() > kMaxBusPayload)
        fuzz::Fail("a decoded message is over the limits");
    if (EncodeBusMessage(*message) != packet) fuzz::Fail("decoding and encoding differ");
    return 0;
}
