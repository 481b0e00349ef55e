#include "macros/macro_editor.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

#include "platform/log.h"

namespace q731 {

namespace {

constexpr std::uint32_t kMaxDelay = 65535;

struct ButtonItem {
    std::string_view name;
    MouseButton button;
};
constexpr std::array<ButtonItem, 5> kButtonItems = {{
    {"left", MouseButton::Left},
    {"middle", MouseButton::Middle},
    {"right", MouseButton::Right},
    {"forward", MouseButton::Forward},
    {"back", MouseButton::Back},
}};

MacroEvent ButtonEvent(MouseButton button, bool down) {
    MacroEvent event;
    event.type = static_cast<int>(MacroEventType::MouseButton);
    event.button = static_cast<int>(button);
    event.action = down ? kActionDown : kActionUp;
    return event;
}

std::string Decimal(std::uint32_t value) {
    return std::to_string(value);
}

}  // namespace

std::uint32_t LeadingNumber(std::string_view text, std::uint32_t limit) {
    std::uint64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(c - '0'), limit);
    }
    return static_cast<std::uint32_t>(value);
}

MacroEditor::MacroEditor(MacroStore& store, IMacroEditorView& view, IMacroEditorHost& host,
                         IQuestionAsker* asker)
    : store_(store), view_(view), host_(host), asker_(asker) {}

void MacroEditor::Tell(const char* textId) {
    if (asker_) ShowNotice(*asker_, textId);
}

void MacroEditor::ShowNames() {
    std::vector<std::string> names;
    for (const MacroEntry& entry : macros_)
        names.push_back(entry.name);
    view_.ShowMacroNames(names, selectedMacro_);
}

void MacroEditor::ShowRowsAndSelection() {
    view_.ShowRows(rows_, selectedRow_);
}

void MacroEditor::Load() {
    macros_ = store_.ListMacros().entries;
    selectedMacro_ = -1;
    rows_.clear();
    selectedRow_ = -1;
    ShowNames();
    ShowRowsAndSelection();
    view_.EnableEditing(false);
}

void MacroEditor::SelectMacro(int index) {
    if (recording_) return;
    selectedMacro_ = index >= 0 && index < static_cast<int>(macros_.size()) ? index : -1;
    ShowMacro();
}

void MacroEditor::SelectRow(int row) {
    selectedRow_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

void MacroEditor::ShowMacro() {
    if (selectedMacro_ < 0) return;
    view_.EnableEditing(true);
    rows_.clear();
    for (const MacroEvent& event : store_.LoadEvents(selectedMacro_))
        rows_.push_back({event, Decimal(std::min(event.delay, kMaxDelay))});
    selectedRow_ = -1;
    ShowRowsAndSelection();
}

std::string MacroEditor::DelayOfRow(int row) const {
    // A delay field the view does not have keeps the row's own text.
    std::string text = view_.DelayText(row);
    return text;
}

std::vector<MacroEvent> MacroEditor::EventsForSave() {
    std::vector<MacroEvent> events;
    events.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        MacroRow& row = rows_[i];
        const std::string typed = DelayOfRow(static_cast<int>(i));
        // Empty is 0; "007" is 7; beyond a device record's 16 bits, 65535.
        const std::uint32_t delay = LeadingNumber(typed, kMaxDelay);
        row.event.delay = delay;
        row.delay = Decimal(delay);
        events.push_back(row.event);
    }
    return events;
}

bool MacroEditor::SaveMacro() {
    if (selectedMacro_ < 0) return false;
    const MacroEntry& entry = macros_[static_cast<std::size_t>(selectedMacro_)];
    if (entry.name.empty()) return false;
    const std::vector<MacroEvent> events = EventsForSave();
    ShowRowsAndSelection();
    if (!store_.SaveEvents(selectedMacro_, entry.name, events)) {
        LogWarning("macros: the macro could not be saved");
        // Once per failing stretch: the box takes the focus from a delay
        // field, whose focus loss saves again.
        if (!lastSaveFailed_) {
            lastSaveFailed_ = true;
            Tell(macro_text::kSaveFailed);
        }
        return false;
    }
    lastSaveFailed_ = false;
    return true;
}

void MacroEditor::AddMacro() {
    if (recording_ || macros_.size() >= static_cast<std::size_t>(kMaxMacros)) return;
    const std::string identifier = store_.AddMacro();
    if (identifier.empty()) {
        Tell(macro_text::kSaveFailed);
        return;
    }
    macros_ = store_.ListMacros().entries;
    selectedMacro_ = -1;
    for (std::size_t i = 0; i < macros_.size(); ++i) {
        if (macros_[i].identifier == identifier) selectedMacro_ = static_cast<int>(i);
    }
    ShowNames();
    ShowMacro();
    host_.MacroListChanged();
}

void MacroEditor::RenameMacro() {
    if (recording_ || selectedMacro_ < 0) return;
    const std::string name = view_.FieldText(macro_field::kNewName);
    switch (store_.RenameMacro(selectedMacro_, name)) {
        case RenameResult::Blank:
            return;
        case RenameResult::Duplicate:
            Tell(macro_text::kNameTaken);
            return;
        case RenameResult::Failed:
            Tell(macro_text::kRenameFailed);
            return;
        case RenameResult::Done:
            break;
    }
    macros_[static_cast<std::size_t>(selectedMacro_)].name = name;
    ShowNames();
    host_.MacroListChanged();
}

void MacroEditor::DeleteMacroSequence() {
    if (recording_) return;
    if (asker_ && !AskToConfirm(*asker_, macro_text::kDeleteMacro)) return;
    const int macro = selectedMacro_;
    if (macro < 0) return;
    if (host_.CurrentKeysUse(macro) && asker_ && !AskToConfirm(*asker_, macro_text::kMacroInUse)) {
        return;
    }
    // The list goes first: when it cannot be written nothing else changes,
    // so no key is left pointing at the wrong macro.
    if (!store_.DeleteMacro(macro)) {
        Tell(macro_text::kDeleteFailed);
        return;
    }
    const bool keysChanged = host_.FixKeyReferences(macro);
    macros_ = store_.ListMacros().entries;
    rows_.clear();
    selectedRow_ = -1;
    selectedMacro_ = macros_.empty() ? -1 : 0;
    ShowNames();
    ShowRowsAndSelection();
    ShowMacro();
    view_.EnableEditing(false);
    host_.MacroListChanged();
    if (keysChanged) host_.SaveKeys();
}

void MacroEditor::ImportMacro(const std::filesystem::path& source) {
    if (recording_ || macros_.size() >= static_cast<std::size_t>(kMaxMacros)) return;
    const std::string identifier = store_.ImportMacro(source);
    if (identifier.empty()) {
        Tell(macro_text::kImportRefused);
        return;
    }
    macros_ = store_.ListMacros().entries;
    for (std::size_t i = 0; i < macros_.size(); ++i) {
        if (macros_[i].identifier == identifier) selectedMacro_ = static_cast<int>(i);
    }
    ShowNames();
    ShowMacro();
    host_.MacroListChanged();
}

void MacroEditor::ExportMacro(const std::filesystem::path& target) {
    if (selectedMacro_ < 0 || target.empty()) return;
    if (!store_.ExportMacro(selectedMacro_, target)) Tell(macro_text::kExportFailed);
}

void MacroEditor::MoveRow(RowMove move) {
    const int s = selectedRow_;
    const int n = static_cast<int>(rows_.size());
    int to = -1;
    switch (move) {
        case RowMove::Up:
            if (s > 0) to = s - 1;
            break;
        case RowMove::Down:
            if (s != -1 && s < n - 1) to = s + 1;
            break;
        case RowMove::Top:
            if (s > 0) to = 0;
            break;
        case RowMove::Bottom:
            if (s != -1 && s < n - 1) to = n - 1;
            break;
    }
    if (to >= 0) {
        // Delay edits of every row are taken before the order changes.
        (void)EventsForSave();
        MacroRow row = rows_[static_cast<std::size_t>(s)];
        rows_.erase(rows_.begin() + s);
        rows_.insert(rows_.begin() + to, std::move(row));
        selectedRow_ = to;
        ShowRowsAndSelection();
        view_.ScrollToSelectedRow();
    }
    SaveMacro();
}

void MacroEditor::DeleteRow() {
    if (selectedRow_ >= 0 && selectedRow_ < static_cast<int>(rows_.size())) {
        (void)EventsForSave();
        rows_.erase(rows_.begin() + selectedRow_);
        selectedRow_ = -1;
        ShowRowsAndSelection();
    }
    SaveMacro();
}

void MacroEditor::DeleteAllRows() {
    rows_.clear();
    selectedRow_ = -1;
    ShowRowsAndSelection();
    SaveMacro();
}

void MacroEditor::InsertRow(MacroRow row) {
    (void)EventsForSave();
    const int position = rows_.empty() ? 0 : std::max(selectedRow_, 0) + 1;
    rows_.insert(rows_.begin() + position, std::move(row));
    selectedRow_ = position;
    ShowRowsAndSelection();
}

void MacroEditor::InsertButton(MouseButton button, bool down) {
    MacroEvent event = ButtonEvent(button, down);
    event.delay = fixedDelay_;
    InsertRow({event, Decimal(fixedDelay_)});
}

void MacroEditor::InsertMovement(Movement movement) {
    MacroEvent event;
    std::string_view field;
    switch (movement) {
        case Movement::Left:
            event.type = static_cast<int>(MacroEventType::MoveHorizontal);
            event.action = kActionDown;
            field = macro_field::kMoveLeft;
            break;
        case Movement::Right:
            event.type = static_cast<int>(MacroEventType::MoveHorizontal);
            event.action = kActionUp;
            field = macro_field::kMoveRight;
            break;
        case Movement::Up:
            event.type = static_cast<int>(MacroEventType::MoveVertical);
            event.action = kActionDown;
            field = macro_field::kMoveUp;
            break;
        case Movement::Down:
            event.type = static_cast<int>(MacroEventType::MoveVertical);
            event.action = kActionUp;
            field = macro_field::kMoveDown;
            break;
    }
    // A distance is one byte on the device: larger numbers are the largest
    // distance, not what is left of them after the top bits go.
    const std::uint32_t distance = LeadingNumber(view_.FieldText(field), 255);
    view_.SetFieldText(field, Decimal(distance));
    event.button = static_cast<int>(distance);
    event.delay = fixedDelay_;
    InsertRow({event, Decimal(fixedDelay_)});
}

bool MacroEditor::RunMenuItem(std::string_view item) {
    for (const ButtonItem& entry : kButtonItems) {
        if (!item.starts_with(entry.name) || item.size() <= entry.name.size() ||
            item[entry.name.size()] != '_') {
            continue;
        }
        const std::string_view action = item.substr(entry.name.size() + 1);
        if (action == "down" || action == "click") InsertButton(entry.button, true);
        if (action == "up" || action == "click") InsertButton(entry.button, false);
        if (action != "down" && action != "up" && action != "click") return false;
        SaveMacro();
        return true;
    }
    return false;
}

void MacroEditor::ReadFixedDelay() {
    const std::string text = view_.FieldText(macro_field::kFixedDelay);
    const auto value = static_cast<std::uint16_t>(LeadingNumber(text, kMaxDelay));
    if (value != fixedDelay_ || text != Decimal(value)) {
        fixedDelay_ = value;
        view_.SetFieldText(macro_field::kFixedDelay, Decimal(value));
    }
}

void MacroEditor::StartRun(DelayMode delayMode, HookMode hookMode, SteadyTime now) {
    if (selectedMacro_ < 0 || recording_) return;
    delayMode_ = delayMode;
    hookMode_ = hookMode;
    lastTick_ = now;
    runStarted_ = false;
    lastKey_.reset();
    if (delayMode == DelayMode::Fixed) ReadFixedDelay();
    (void)EventsForSave();
    recording_ = true;
    view_.LockForRecording(true);
}

void MacroEditor::EndRun() {
    if (!recording_) return;
    recording_ = false;
    lastKey_.reset();
    view_.LockForRecording(false);
    SaveMacro();
}

std::optional<MacroEvent> MacroEditor::EventOf(const InputRecord& input) {
    if (input.kind == InputRecord::Kind::Key) {
        // One row per press: a press of the key held last is its auto-repeat.
        if (input.down) {
            if (input.repeat || lastKey_ == input.code) return std::nullopt;
            lastKey_ = input.code;
        } else if (lastKey_ == input.code) {
            lastKey_.reset();
        }
        const std::optional<MacroKeyRow> row = MacroKeyOfLinuxKey(input.code);
        if (!row) return std::nullopt;
        MacroEvent event;
        event.type = row->EventType();
        event.button = row->code;
        event.action = input.down ? kActionDown : kActionUp;
        return event;
    }
    if (input.kind == InputRecord::Kind::Button) {
        for (const ButtonItem& entry : kButtonItems) {
            if (static_cast<int>(entry.button) == input.code)
                return ButtonEvent(entry.button, input.down);
        }
    }
    // Wheel turns and movements are never recorded.
    return std::nullopt;
}

void MacroEditor::OnInput(const InputRecord& input) {
    if (!recording_) return;
    const std::optional<MacroEvent> event = EventOf(input);
    if (!event) return;
    if (hookMode_ == HookMode::Replace) {
        if (selectedRow_ < 0 || selectedRow_ >= static_cast<int>(rows_.size())) return;
        MacroEvent& target = rows_[static_cast<std::size_t>(selectedRow_)].event;
        target.type = event->type;
        target.button = event->button;
        ShowRowsAndSelection();
        return;
    }
    AddRecorded(*event, input.time);
}

void MacroEditor::AddRecorded(const MacroEvent& recorded, SteadyTime time) {
    if (rows_.size() >= kMaxRecordedRows) return;
    const bool before = hookMode_ == HookMode::InsertBefore;
    const bool after = hookMode_ == HookMode::InsertAfter;
    const bool selected = selectedRow_ >= 0 && selectedRow_ < static_cast<int>(rows_.size());
    if ((before || after) && !selected) return;
    const int position = before  ? selectedRow_
                         : after ? selectedRow_ + 1
                                 : static_cast<int>(rows_.size());

    std::uint32_t measured = 0;
    switch (delayMode_) {
        case DelayMode::Real: {
            const auto gap =
                std::chrono::duration_cast<std::chrono::milliseconds>(time - lastTick_).count();
            lastTick_ = time;
            measured = gap <= 0 ? 0 : gap > 65534 ? kMaxDelay : static_cast<std::uint32_t>(gap);
            break;
        }
        case DelayMode::Fixed:
            measured = fixedDelay_;
            break;
        case DelayMode::None:
            break;
    }
    MacroRow row{recorded, "0"};
    row.event.delay = 0;
    if (!rows_.empty() && delayMode_ == DelayMode::Fixed) {
        row.event.delay = fixedDelay_;
        row.delay = Decimal(fixedDelay_);
    }
    if (runStarted_ && position > 0) {
        MacroRow& previous = rows_[static_cast<std::size_t>(position - 1)];
        previous.event.delay = measured;
        previous.delay = Decimal(measured);
    }
    rows_.insert(rows_.begin() + position, std::move(row));
    runStarted_ = true;
    if (before) {
        ++selectedRow_;  // the selection stays on the row it was on
    } else {
        selectedRow_ = position;
    }
    ShowRowsAndSelection();
    view_.ScrollToSelectedRow();
}

}  // namespace q731
