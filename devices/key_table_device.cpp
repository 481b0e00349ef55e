#include "devices/key_table_device.h"

#include <algorithm>
#include <climits>
#include <thread>

#include <fmt/format.h>

#include "platform/log.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

CKeyTableDevice::CKeyTableDevice(Product product, std::shared_ptr<IHidBackend> backend,
                                 std::span<const AssignmentCode> factoryCodes, int noPosition,
                                 Clock& clock, std::string renderExitText)
    : CVexloUSBDevice(product, std::move(backend)),
      factoryCodes_(factoryCodes.begin(), factoryCodes.end()),
      noPosition_(noPosition),
      positions_(factoryCodes.size(), noPosition),
      clock_(clock),
      stream_(clock),
      renderer_(clock, {[this] { return Plan(); }, [this](SteadyTime now) { RenderFrame(now); }},
                std::move(renderExitText)) {}

std::span<const std::uint8_t> CKeyTableDevice::KeyTableBytes() const {
    if (!keyTableValid_) return {};
    return std::span<const std::uint8_t>(keyTable_).first(static_cast<std::size_t>(tableKeyCount_) *
                                                          3);
}

bool CKeyTableDevice::GateLink() {
    if (!Link().IsOpen()) return false;
    return !OnReceiver() || Link().QueryLink();
}

LinkResult CKeyTableDevice::Session(const std::function<LinkResult()>& body) {
    if (!Link().IsOpen()) return LinkResult::Failed;
    const LinkResult entered = Link().EnterConfig();
    if (entered != LinkResult::Ok) return entered;
    const LinkResult result = body();
    const LinkResult left = Link().LeaveConfig();
    return result != LinkResult::Ok ? result : left;
}

void CKeyTableDevice::InvalidateKeyTable() {
    keyTableValid_ = false;
    tableKeyCount_ = 0;
    keyTable_.fill(0);
    std::fill(positions_.begin(), positions_.end(), noPosition_);
}

LinkResult CKeyTableDevice::ReadKeyTables(std::vector<std::uint8_t>* ledMap) {
    KeyTableImage table{};
    std::vector<std::uint8_t> map;
    int keyCount = 0;
    const LinkResult result = ConfigurationWrite([&] {
        LinkResult read = ReadInfoBlock();
        if (read != LinkResult::Ok) return read;
        keyCount = info_.KeyCount();
        // More than 170 keys do not fit the 512-byte table: refused unsent.
        if (!Link().SetTransferSize(static_cast<std::uint16_t>(keyCount * 3))) {
            return LinkResult::WriteFailed;
        }
        read = Link().ReadKeyTable(table);
        if (read != LinkResult::Ok || ledMap == nullptr) return read;
        map.assign(static_cast<std::size_t>(keyCount), static_cast<std::uint8_t>(0xFF));
        return Link().ReadLedMap(map);
    });
    if (result != LinkResult::Ok) {
        LogDebug(fmt::format("key table not read ({})", static_cast<int>(result)));
        InvalidateKeyTable();
        return result;
    }
    keyTable_ = table;
    tableKeyCount_ = keyCount;
    keyTableValid_ = true;
    positions_ = MapKeyPositions(factoryCodes_, keyTable_, keyCount, noPosition_);
    if (ledMap != nullptr) *ledMap = std::move(map);
    return LinkResult::Ok;
}

std::optional<int> CKeyTableDevice::MacroCount() {
    MacroStore store(Folders().deviceFolder, GetProduct());
    const MacroList list = store.ListMacros();
    if (list.status == MacroListStatus::Unreadable) return std::nullopt;
    return static_cast<int>(list.entries.size());
}

DeviceAssignments CKeyTableDevice::CurrentAssignments(int macroCount) {
    const std::vector<KeyEntry> entries = ProfileData().GetKeyList();
    return AssignmentsForDevice(entries, factoryCodes_, positions_, noPosition_, macroCount);
}

LinkResult CKeyTableDevice::WriteKeysFor(int bank) {
    if (!keyTableValid_) return LinkResult::Failed;
    const std::optional<int> macroCount = MacroCount();
    if (!macroCount) return LinkResult::Failed;
    const DeviceAssignments assignments = CurrentAssignments(*macroCount);
    const KeyTableImage table = FillKeyTable(keyTable_, assignments, positions_);
    if (!GateLink()) return LinkResult::Failed;
    const LinkResult info = ReadInfoBlock();
    if (info != LinkResult::Ok) return info;
    if (info_.KeyCount() != tableKeyCount_) {
        // Another device answers now: the table read before is not its table.
        InvalidateKeyTable();
        return LinkResult::Failed;
    }
    return Session([&] { return Link().WriteKeyTable(table, bank); });
}

std::vector<int> CKeyTableDevice::ListUsedMacros() {
    if (!keyTableValid_) return {};
    const std::optional<int> macroCount = MacroCount();
    if (!macroCount) return {};
    return CurrentAssignments(*macroCount).renumbered.usedMacros;
}

MacroWriteResult CKeyTableDevice::WriteMacros() {
    if (!keyTableValid_) return MacroWriteResult::Failed;
    const std::optional<int> macroCount = MacroCount();
    if (!macroCount) return MacroWriteResult::Failed;
    const std::vector<int> used = CurrentAssignments(*macroCount).renumbered.usedMacros;
    if (!GateLink()) return MacroWriteResult::Failed;
    const LinkResult info = ReadInfoBlock();
    if (info != LinkResult::Ok) return MacroWriteResult::Failed;

    MacroStore store(Folders().deviceFolder, GetProduct());
    std::vector<std::vector<MacroEventRecord>> entries;
    for (int macro : used) {
        const std::optional<std::vector<MacroEvent>> events = store.ReadEventsForDevice(macro);
        if (!events) {
            // Sending it empty would erase the macro on the device without a word.
            LogWarning("macro " + std::to_string(macro) + " cannot be read; nothing sent");
            return MacroWriteResult::Failed;
        }
        std::vector<MacroEventRecord>& records = entries.emplace_back();
        for (const MacroEvent& event : *events)
            records.push_back(MacroEventRecord::FromEvent(event));
    }
    const MacroImage image =
        BuildMacroImage(entries, static_cast<std::uint32_t>(info_.MacroCapacityBytes()));
    if (!image.Fits()) {
        return MacroOverflow(static_cast<int>(std::min<std::uint32_t>(image.overflow, INT_MAX)));
    }
    if (!GateLink()) return MacroWriteResult::Failed;
    const LinkResult result = Session([&] { return Link().WriteMacroMemory(image.bytes); });
    if (result == LinkResult::Ok) return MacroWriteResult::Written;
    return result == LinkResult::Failed ? MacroWriteResult::Failed
                                        : static_cast<MacroWriteResult>(result);
}

bool CKeyTableDevice::CheckMacroAssignments() {
    LoadDefinitions();
    const std::optional<int> macroCount = MacroCount();
    if (!macroCount) return false;
    std::vector<KeyEntry> entries = ProfileData().GetKeyList();
    std::vector<AssignmentCode> current;
    std::vector<AssignmentCode> defaults;
    for (const KeyEntry& entry : entries) {
        current.push_back(CodeOf(entry.current));
        defaults.push_back(CodeOf(entry.factory));
    }
    if (!ResetMissingMacroAssignments(current, defaults, *macroCount)) return false;
    for (std::size_t key = 0; key < entries.size(); ++key) {
        entries[key].current =
            KeyBinding::FromCode(entries[key].current.keyIndex, current[key].ToInt());
    }
    ProfileData().SetKeyList(entries);
    SaveProfileOrLog("resetting assignments of deleted macros");
    if (View() != nullptr) View()->Refresh();
    return true;
}

bool CKeyTableDevice::StoreKeyAssignment(int key, AssignmentCode code) {
    std::vector<KeyEntry> keys = ProfileData().GetKeyList();
    if (key < 0 || key >= static_cast<int>(keys.size())) return false;
    KeyEntry& entry = keys[static_cast<std::size_t>(key)];
    entry.current = KeyBinding::FromCode(entry.current.keyIndex, code.ToInt());
    ProfileData().SetKeyList(keys);
    return true;
}

void CKeyTableDevice::RefreshView() {
    LoadDefinitions();
    if (View() != nullptr) View()->Refresh();
}

std::uint8_t CKeyTableDevice::ModeIndexOrCode(std::uint8_t code) const {
    const std::vector<int>& codes = Definitions().effectValues;
    const auto it = std::find(codes.begin(), codes.end(), code);
    return it == codes.end() ? code : static_cast<std::uint8_t>(it - codes.begin());
}

bool CKeyTableDevice::CheckLink() {
    const bool up = CVexloUSBDevice::CheckLink();
    // The receiver's stream starts again when its device answers, and stops
    // while it does not.
    if (OnReceiver()) stream_.OnLinkCheck(up);
    return up;
}

void CKeyTableDevice::CloseDevice() {
    renderer_.Stop();
    CVexloUSBDevice::CloseDevice();
}

void CKeyTableDevice::PauseAfterFailure() {
    // The UI thread never sleeps: colour writes are skipped until the pause is
    // over (the colours stay in the profile; the next write sends them all).
    pausedUntil_ = clock_.Now() + failurePause_;
}

bool CKeyTableDevice::Paused() const {
    return clock_.Now() < pausedUntil_;
}

bool CKeyTableDevice::RestoreDefaults() {
    Json::Value defaults = DocumentFile::ReadJsonFile(ProfileData().GetDefaultPath());
    const Json::Value& devices = json::Member(defaults, "Device");
    const Json::Value& document =
        json::At(devices, static_cast<Json::ArrayIndex>(ProfileData().GetDocumentIndex()));
    if (!document.isObject()) {
        LogWarning("no default document to restore");
        return false;
    }
    ProfileData().SetDocument(document);
    {
        std::lock_guard lock(lightMutex_);
        light_ = ProfileData().GetLightSetting();
    }
    // Key assignments and page settings are read from the document where
    // they are used; ApplyProfile takes the rest (the mouse's DPI stages).
    ApplyProfile();
    SaveProfileOrLog("restoring the defaults");
    RefreshView();
    return true;
}

void CKeyTableDevice::SetRenderLighting(int mode, int speedLevel) {
    const int speed = ClampLevel(speedLevel);
    const bool changed = renderMode_.exchange(mode) != mode;
    const bool faster = renderSpeed_.exchange(speed) != speed;
    if (changed) modeGeneration_.fetch_add(1);
    if (changed || faster) renderer_.Wake();
}

void CKeyTableDevice::RestartRenderer() {
    modeGeneration_.fetch_add(1);
    renderer_.Wake();
}

RenderPlan CKeyTableDevice::Plan() {
    if (!Link().IsOpen() || Link().SyncFlag()) return {};
    const int mode = renderMode_.load();
    // With the window hidden the picture is not shown: only a streamed mode
    // still needs its frames.
    if (!Attention() && !(HostLighting() && StreamedMode(mode))) return {};
    return PlanFor(mode, renderSpeed_.load());
}

void CKeyTableDevice::RenderFrame(SteadyTime now) {
    const std::uint32_t generation = modeGeneration_.load();
    if (generation != renderedGeneration_) {
        renderedGeneration_ = generation;
        ResetEffects();
        Steps().ResetCounters();
    }
    LightSetting light = GetLightInfo();
    light.selectItem = static_cast<std::uint8_t>(renderMode_.load());
    light.speed = static_cast<std::uint8_t>(renderSpeed_.load());
    DrawFrame(light, now);
}

void CKeyTableDevice::LightTick() {
    const bool open = Link().IsOpen();
    const std::uint32_t inputs = (open ? 1u : 0u) | (Link().SyncFlag() ? 2u : 0u) |
                                 (HostLighting() ? 4u : 0u) | (Attention() ? 8u : 0u);
    if (inputs != lastPlanInputs_) {
        lastPlanInputs_ = inputs;
        renderer_.Wake();
    }
    if (!open) return;
    if (Attention() && pictureSink_) {
        const std::vector<LedColour> picture = Leds().Snapshot();
        pictureSink_(picture);
    }
    if (HostLighting() && StreamedMode(GetLightInfo().selectItem)) StreamLeds();
}

}  // namespace q731
