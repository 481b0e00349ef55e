#pragma once
// Requests that q731ctl sends over the local bus and their answers. A request
// is the message messages::kControlRequest with an id in wParam and a JSON
// object in the payload ({"op": "devices"}); the answer is
// messages::kControlReply with the same id, the result code in lParam and a
// JSON object in the payload. Requests are performed on the UI thread, with
// the devices the window owns.

#include <cstdint>
#include <string_view>

#include "devices/device_manager.h"
#include "platform/message_bus.h"
#include "platform/message_names.h"

namespace q731 {

// What lParam of an answer says; q731ctl exits with the same number.
enum class ControlResult : std::int64_t { Done = 0, Failed = 1, BadArguments = 2 };

// The answer to `request`. Anything the request carries is checked: an
// unknown operation or a payload that is not a JSON object is answered with
// BadArguments and the reason ("error" in the answer).
BusMessage AnswerControlRequest(const BusMessage& request, DeviceManager& devices);

}  // namespace q731
