#include "app/control_requests.h"

#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "platform/log.h"
#include "profiles/document_file.h"

namespace q731 {

namespace {

// The polling rates the pages offer, by index.
constexpr int kPollingHz[] = {125, 250, 500, 1000, 2000};

// A refusal on its way to the answer: the result and the reason.
struct Refusal {
    ControlResult result;
    std::string why;
};

// A name the client sent, as an answer repeats it: at most 64 bytes, never cut
// inside a UTF-8 sequence, so the answer always fits in one message.
std::string Echoed(const std::string& text, std::size_t limit = 64) {
    if (text.size() <= limit) return text;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "...";
}

// Names compare without case, spaces or hyphens: "mouse-pad" is "mouse pad".
std::string Folded(std::string_view name) {
    std::string folded;
    for (const char c : name) {
        if (c == ' ' || c == '-' || c == '_') continue;
        folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return folded;
}

// The connected device the request names in "device".
CVexloUSBDevice* NamedDevice(const Json::Value& request, DeviceManager& devices,
                             std::optional<Refusal>& refusal) {
    const Json::Value& name = request["device"];
    if (!name.isString()) {
        refusal = Refusal{ControlResult::BadArguments, "the request names no \"device\""};
        return nullptr;
    }
    std::optional<Product> product;
    std::string known;
    for (const ProductRecord& record : kProducts) {
        known += (known.empty() ? "" : ", ") + std::string(record.name);
        if (Folded(record.name) == Folded(name.asString())) product = record.product;
    }
    if (!product) {
        refusal =
            Refusal{ControlResult::BadArguments,
                    "unknown device \"" + Echoed(name.asString()) + "\" (one of: " + known + ")"};
        return nullptr;
    }
    for (const TabState& tab : devices.Tabs()) {
        if (tab.product == *product && tab.device && tab.visible && tab.device->Link().IsOpen())
            return tab.device;
    }
    refusal = Refusal{ControlResult::Failed,
                      "the " + std::string(RecordOf(*product).name) + " is not connected"};
    return nullptr;
}

// An optional integer member within [low, high]; a refusal naming it otherwise.
std::optional<int> IntegerMember(const Json::Value& request, const char* member, int low, int high,
                                 std::optional<Refusal>& refusal) {
    const Json::Value& value = request[member];
    if (value.isNull()) return std::nullopt;
    if (!value.isInt() || value.asInt() < low || value.asInt() > high) {
        refusal = Refusal{
            ControlResult::BadArguments,
            fmt::format("{} must be a whole number from {} to {}",
                        member == std::string_view("set") ? "the value" : member, low, high)};
        return std::nullopt;
    }
    return value.asInt();
}

Json::Value DpiStages(CVexloMouseDevice& mouse) {
    Json::Value out(Json::objectValue);
    Json::Value stages(Json::arrayValue);
    const std::vector<DpiStage>& list = mouse.Stages();
    for (std::size_t i = 0; i < list.size() && i < CVexloMouseDevice::kStageCount; ++i) {
        Json::Value stage(Json::objectValue);
        stage["stage"] = static_cast<int>(i) + 1;
        stage["dpi"] = mouse.Scale().Usable() ? mouse.Scale().ResolutionOfStep(list[i].DpiX())
                                              : static_cast<int>(list[i].DpiX());
        stage["enabled"] = list[i].enabled != 0;
        stages.append(stage);
    }
    out["stages"] = stages;
    out["active"] = mouse.Profile().GetActiveStage() + 1;
    return out;
}

// dpi: the mouse's stages; --stage N --set DPI, --select N, --enable N, --disable N.
std::optional<Refusal> Dpi(const Json::Value& request, DeviceManager& devices, Json::Value& body) {
    std::optional<Refusal> refusal;
    CVexloUSBDevice* device = NamedDevice(request, devices, refusal);
    if (!device) return refusal;
    auto* mouse = dynamic_cast<CVexloMouseDevice*>(device);
    if (!mouse) return Refusal{ControlResult::BadArguments, "only the mouse has DPI stages"};
    const int stages = CVexloMouseDevice::kStageCount;
    const std::optional<int> stage = IntegerMember(request, "stage", 1, stages, refusal);
    const std::optional<int> select = IntegerMember(request, "select", 1, stages, refusal);
    const std::optional<int> enable = IntegerMember(request, "enable", 1, stages, refusal);
    const std::optional<int> disable = IntegerMember(request, "disable", 1, stages, refusal);
    const DpiScale& scale = mouse->Scale();
    const int lowest = scale.Usable() ? scale.ResolutionOfStep(0) : 0;
    const int highest = scale.Usable() ? scale.ResolutionOfStep(scale.steps) : 0;
    const std::optional<int> set = IntegerMember(request, "set", lowest, highest, refusal);
    if (refusal) return refusal;
    if (set && !stage) return Refusal{ControlResult::BadArguments, "--set needs --stage"};
    if (set && !scale.Usable()) {
        return Refusal{ControlResult::Failed, "the mouse reported no DPI scale"};
    }
    auto failed = [](const char* what) { return Refusal{ControlResult::Failed, what}; };
    if (set && !mouse->EnterStageResolution(*stage - 1, std::to_string(*set)))
        return failed("the mouse did not take the new resolution");
    if (enable && !mouse->EnableStage(*enable - 1, true))
        return failed("the mouse did not take the enabled stage");
    if (disable && !mouse->EnableStage(*disable - 1, false))
        return failed("that stage cannot be disabled (the active one, or the last enabled one)");
    if (select) {
        std::vector<std::optional<int>> steps;
        for (const DpiStage& entry : mouse->Stages())
            steps.emplace_back(entry.DpiX());
        if (!mouse->SelectStage(*select - 1, steps))
            return failed("the mouse did not switch stage");
    }
    body = DpiStages(*mouse);
    return std::nullopt;
}

// polling: the rate of the mouse or the keyboard; --set HZ.
std::optional<Refusal> Polling(const Json::Value& request, DeviceManager& devices,
                               Json::Value& body) {
    std::optional<Refusal> refusal;
    CVexloUSBDevice* device = NamedDevice(request, devices, refusal);
    if (!device) return refusal;
    auto* mouse = dynamic_cast<CVexloMouseDevice*>(device);
    auto* keyboard = dynamic_cast<CVexloKeyboardDevice*>(device);
    if (!mouse && !keyboard) {
        return Refusal{ControlResult::BadArguments,
                       "only the mouse and the keyboard have a polling rate"};
    }
    const int rates =
        mouse ? CVexloMouseDevice::kPollingRates : CVexloKeyboardDevice::kPollingRates;
    const Json::Value& set = request["set"];
    if (!set.isNull()) {
        const int* found = set.isInt() ? std::find(kPollingHz, kPollingHz + rates, set.asInt())
                                       : kPollingHz + rates;
        if (found == kPollingHz + rates) {
            std::string offered;
            for (int i = 0; i < rates; ++i)
                offered += (i ? ", " : "") + std::to_string(kPollingHz[i]);
            return Refusal{ControlResult::BadArguments, "the rate must be one of " + offered};
        }
        const int index = static_cast<int>(found - kPollingHz);
        const bool taken = mouse ? mouse->SetPollingRate(index) : keyboard->SetPollingRate(index);
        if (!taken) return Refusal{ControlResult::Failed, "the device did not take the rate"};
    }
    const int index = mouse ? mouse->Profile().GetSystemSettings().reportStage
                            : keyboard->Profile().GetSystemSettings().pollingRate;
    body["hz"] = index >= 0 && index < rates ? kPollingHz[index] : 0;
    return std::nullopt;
}

// lighting: the device's lighting record; --mode N, --colour RRGGBB,
// --brightness 0-4, --speed 0-4. Saved, sent and shown as the page does.
std::optional<Refusal> Lighting(const Json::Value& request, DeviceManager& devices,
                                Json::Value& body) {
    std::optional<Refusal> refusal;
    CVexloUSBDevice* device = NamedDevice(request, devices, refusal);
    if (!device) return refusal;
    const int modes = static_cast<int>(device->Definitions().effectNames.size());
    if (modes == 0) return Refusal{ControlResult::Failed, "the device offers no lighting modes"};
    const std::optional<int> mode = IntegerMember(request, "mode", 0, modes - 1, refusal);
    const std::optional<int> brightness = IntegerMember(request, "brightness", 0, 4, refusal);
    const std::optional<int> speed = IntegerMember(request, "speed", 0, 4, refusal);
    if (refusal) return refusal;
    std::optional<std::uint32_t> colour;
    if (const Json::Value& text = request["colour"]; !text.isNull()) {
        const std::string digits = text.isString() ? text.asString() : std::string();
        std::uint32_t value = 0;
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (digits.size() != 6 || ec != std::errc() || end != digits.data() + digits.size()) {
            return Refusal{ControlResult::BadArguments,
                           "the colour must be six hexadecimal digits (RRGGBB)"};
        }
        colour = value;
    }
    LightSetting light = device->GetLightInfo();
    const LightSetting before = light;
    if (mode) light.selectItem = static_cast<std::uint8_t>(*mode);
    if (brightness) light.brightness = static_cast<std::uint8_t>(*brightness);
    if (speed) light.speed = static_cast<std::uint8_t>(*speed);
    if (colour) {
        light.red = static_cast<std::uint8_t>(*colour >> 16);
        light.green = static_cast<std::uint8_t>(*colour >> 8);
        light.blue = static_cast<std::uint8_t>(*colour);
        light.multiColor = 0;
    }
    if (light != before) {
        // A change of one device's lighting ends synchronised lighting, as on the page.
        if (device->Synchronised()) device->SetSynchronised(false);
        device->SetLightInfo(light);
        if (!device->SaveProfile()) LogWarning("lighting: the profile was not saved");
        device->ApplyProfile();
        if (device->WriteSettings() != LinkResult::Ok) {
            return Refusal{ControlResult::Failed,
                           "the device did not take it (kept in its profile for the next write)"};
        }
        if (IDeviceView* view = device->View()) view->Refresh();
    }
    body["mode"] = light.selectItem;
    body["modes"] = modes;
    body["brightness"] = light.brightness;
    body["speed"] = light.speed;
    body["colour"] = fmt::format("{:02X}{:02X}{:02X}", light.red, light.green, light.blue);
    return std::nullopt;
}

// profile: the device's profiles and the current one; "select" makes the
// named one current.
std::optional<Refusal> Profiles(const Json::Value& request, DeviceManager& devices,
                                const ProfileSelector& selectProfile, Json::Value& body) {
    std::optional<Refusal> refusal;
    CVexloUSBDevice* device = NamedDevice(request, devices, refusal);
    if (!device) return refusal;
    if (const Json::Value& name = request["select"]; !name.isNull()) {
        if (!name.isString() || name.asString().empty()) {
            return Refusal{ControlResult::BadArguments, "select needs a profile name"};
        }
        if (!selectProfile) {
            return Refusal{ControlResult::Failed, "profiles are switched only with the window"};
        }
        if (auto why = selectProfile(*device, name.asString()))
            return Refusal{why->rfind("no profile", 0) == 0 ? ControlResult::BadArguments
                                                            : ControlResult::Failed,
                           *why};
    }
    const std::vector<std::string> names = device->Profiles().ProfileNames();
    Json::Value list(Json::arrayValue);
    for (const std::string& name : names)
        list.append(name);
    body["profiles"] = list;
    const int index = device->Profiles().SelectedIndex();
    if (index >= 0 && index < static_cast<int>(names.size()))
        body["current"] = names[static_cast<std::size_t>(index)];
    return std::nullopt;
}

// Each connected device: its product, how it is reached, its firmware.
Json::Value ListDevices(DeviceManager& devices) {
    Json::Value list(Json::arrayValue);
    for (const TabState& tab : devices.Tabs()) {
        if (!tab.device || !tab.visible) continue;
        CDeviceLink& link = tab.device->Link();
        const bool receiver = tab.device->OnReceiver();
        Json::Value entry(Json::objectValue);
        entry["product"] = std::string(RecordOf(tab.product).name);
        entry["channel"] = receiver ? "receiver" : "cable";
        entry["connected"] = link.IsOpen();
        entry["selected"] = tab.selected;
        if (link.IsOpen()) {
            HidDevice& connection = receiver ? link.ReceiverConnection() : link.WiredConnection();
            entry["firmware"] = fmt::format("{:04x}", connection.Attributes().version);
        }
        list.append(entry);
    }
    return list;
}

std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Json::writeString(writer, value);
}

}  // namespace

BusMessage AnswerControlRequest(const BusMessage& request, DeviceManager& devices,
                                const ProfileSelector& selectProfile) {
    BusMessage answer{std::string(messages::kControlReply), request.wParam, 0, {}};
    Json::Value body(Json::objectValue);
    auto refuse = [&](ControlResult result, const std::string& why) {
        answer.lParam = static_cast<std::int64_t>(result);
        body["error"] = Echoed(why, 512);
        answer.payload = Compact(body);
        return answer;
    };
    Json::Value parsed;
    std::string why;
    if (!DocumentFile::Parse(request.payload, parsed, &why) || !parsed.isObject()) {
        return refuse(ControlResult::BadArguments, "the request is not a JSON object");
    }
    const Json::Value& op = parsed["op"];
    if (!op.isString()) return refuse(ControlResult::BadArguments, "the request names no \"op\"");
    if (op.asString() == "devices") {
        body["devices"] = ListDevices(devices);
    } else if (op.asString() == "profile") {
        if (const std::optional<Refusal> refusal = Profiles(parsed, devices, selectProfile, body))
            return refuse(refusal->result, refusal->why);
    } else if (op.asString() == "dpi" || op.asString() == "polling" ||
               op.asString() == "lighting") {
        const auto run = op.asString() == "dpi"       ? Dpi
                         : op.asString() == "polling" ? Polling
                                                      : Lighting;
        if (const std::optional<Refusal> refusal = run(parsed, devices, body))
            return refuse(refusal->result, refusal->why);
    } else {
        return refuse(ControlResult::BadArguments,
                      "unknown operation \"" + Echoed(op.asString()) + "\"");
    }
    answer.payload = Compact(body);
    if (answer.payload.size() > kMaxBusPayload) {
        return refuse(ControlResult::Failed, "the answer does not fit in one message");
    }
    return answer;
}

std::string ControlOperation(const BusMessage& request) {
    Json::Value parsed;
    if (!DocumentFile::Parse(request.payload, parsed) || !parsed.isObject()) return {};
    return parsed["op"].isString() ? parsed["op"].asString() : std::string();
}

bool ControlWatchers::IsWatchRequest(const BusMessage& request) {
    return ControlOperation(request) == "watch";
}

void ControlWatchers::Add(const BusMessage& request, std::shared_ptr<BusReply> reply,
                          const std::vector<Json::Value>& current) {
    BusMessage answer{std::string(messages::kControlReply), request.wParam, 0, {}};
    Json::Value body(Json::objectValue);
    // Clients that hung up since the last event make room first.
    std::erase_if(watchers_, [](const Watcher& watcher) { return watcher.reply->PeerGone(); });
    if (watchers_.size() >= kMaxWatchers) {
        answer.lParam = static_cast<std::int64_t>(ControlResult::Failed);
        body["error"] = fmt::format("already {} watchers", kMaxWatchers);
        answer.payload = Compact(body);
        (void)reply->Send(answer);
        return;
    }
    body["watching"] = true;
    answer.payload = Compact(body);
    if (!reply->Send(answer)) return;
    Watcher watcher{request.wParam, std::move(reply)};
    for (const Json::Value& event : current) {
        if (!Tell(watcher, event)) return;
    }
    watchers_.push_back(std::move(watcher));
}

void ControlWatchers::Announce(const Json::Value& event) {
    if (Compact(event).size() > kMaxBusPayload) {
        LogWarning("control: an event too large for one message was not told");
        return;
    }
    std::erase_if(watchers_, [&event](const Watcher& watcher) {
        if (Tell(watcher, event)) return false;
        LogInfo("control: a watcher that does not read (or is gone) was dropped");
        return true;
    });
}

bool ControlWatchers::Tell(const Watcher& watcher, const Json::Value& event) {
    return watcher.reply->Send(
        {std::string(messages::kControlEvent), watcher.id, 0, Compact(event)});
}

}  // namespace q731
