#include "app/macro_control.h"

#include <algorithm>

#include "devices/usb_device.h"
#include "platform/log.h"
#include "profiles/macro_fixup.h"
#include "ui/pages/device_page.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/notify.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

namespace {

constexpr UiColor kPressColour = 0xFF5BD18B;
constexpr UiColor kReleaseColour = 0xFFFFB45B;
constexpr UiColor kKeyColour = 0xFFE8ECF2;
constexpr UiColor kMouseColour = 0xFF7CD3FF;

// The controls that need a selected macro, and those a run locks.
constexpr std::string_view kEditing[] = {"macro_action_layout", "mouse_move_layout",
                                         "macro_btn_export", "macro_btn_name_sub",
                                         "macro_btn_name_edit"};
constexpr std::string_view kLockedByRun[] = {
    "macro_name_list",   "macro_action_list", "macro_btn_starredio", "macro_names_card",
    "macro_row_buttons", "mouse_move_layout", "macro_save_buttons",  "macro_fixed_row"};

}  // namespace

MacroRowCaption CaptionOfEvent(const MacroEvent& event) {
    MacroRowCaption caption;
    switch (static_cast<MacroEventType>(event.type)) {
        case MacroEventType::Key:
        case MacroEventType::Modifier:
            if (const auto row = FindMacroKeyForEvent(event.type, event.button)) {
                caption.nameId = row->name;
                caption.keyboard = true;
            }
            break;
        case MacroEventType::MouseButton:
            for (const MouseActionRow& row : kMouseActions) {
                if (row.message >= 0x200 && row.button == event.button) {
                    caption.nameId = row.name;
                    break;
                }
            }
            break;
        case MacroEventType::MoveHorizontal:
            caption.nameId =
                event.IsDown() ? "mouse_move_to_left_text" : "mouse_move_to_right_text";
            caption.suffix = std::to_string(event.button);
            break;
        case MacroEventType::MoveVertical:
            caption.nameId = event.IsDown() ? "mouse_move_to_up_text" : "mouse_move_to_down_text";
            caption.suffix = std::to_string(event.button);
            break;
    }
    return caption;
}

void CMacroActionRowUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEventType::ContextMenu && IsEnabled()) {
        SendNotify(notify::kMenu);
        return;
    }
    CListContainerElementUI::DoEvent(event);
}

// What the editor's changes mean for the page and the device.
class CMacroControlUI::Host final : public IMacroEditorHost {
public:
    Host(CVexloUSBDevice& device, CDevicePage& page) : device_(device), page_(page) {}

    void MacroListChanged() override { page_.MacrosChanged(); }
    bool CurrentKeysUse(int macro) override {
        for (const KeyEntry& key : device_.ProfileData().GetKeyList()) {
            if (IsMacroAssignment(key.current) && key.current.middle == macro) return true;
        }
        return false;
    }
    bool FixKeyReferences(int deletedMacro) override {
        CBasicProfiledata& profile = device_.ProfileData();
        std::vector<std::uint32_t> before;
        for (const KeyEntry& key : profile.GetKeyList())
            before.push_back(key.current.Code());
        if (FixMacroReferencesInProfiles(device_.Profiles(), profile, deletedMacro) < 0)
            LogWarning("macros: a profile's key references could not be brought in line");
        std::vector<std::uint32_t> after;
        for (const KeyEntry& key : profile.GetKeyList())
            after.push_back(key.current.Code());
        return before != after;
    }
    void SaveKeys() override { page_.SaveKeySequence(); }

private:
    CVexloUSBDevice& device_;
    CDevicePage& page_;
};

CMacroControlUI::CMacroControlUI() = default;
CMacroControlUI::~CMacroControlUI() = default;

void CMacroControlUI::Bind(CVexloUSBDevice& device, CDevicePage& page, IQuestionAsker* asker) {
    editor_.reset();
    store_ = std::make_unique<MacroStore>(device.Folders().deviceFolder, device.GetProduct());
    host_ = std::make_unique<Host>(device, page);
    editor_ = std::make_unique<MacroEditor>(*store_, *this, *host_, asker);
    editor_->Load();
}

CControlUI* CMacroControlUI::Child(std::string_view name) const {
    return const_cast<CMacroControlUI*>(this)->FindControl(
        [name](CControlUI* control) { return control->GetName() == name; });
}

CListUI* CMacroControlUI::NameList() const {
    return dynamic_cast<CListUI*>(Child("macro_name_list"));
}

CListUI* CMacroControlUI::ActionList() const {
    return dynamic_cast<CListUI*>(Child("macro_action_list"));
}

std::string CMacroControlUI::Language(std::string_view id) const {
    return CResourceManager::GetInstance().GetText(id).value_or(std::string(id));
}

void CMacroControlUI::ShowMacroNames(const std::vector<std::string>& names, int selected) {
    CListUI* list = NameList();
    if (!list) return;
    list->RemoveAll();
    for (const std::string& name : names) {
        auto item = std::make_unique<CListLabelElementUI>();
        item->SetText(name);
        list->Add(std::move(item));
    }
    list->SelectItem(selected, false, false);
}

std::unique_ptr<CListContainerElementUI> CMacroControlUI::NewRow() {
    auto row = std::make_unique<CMacroActionRowUI>();
    row->SetName("macro_action");
    row->SetFixedHeight(28);
    row->SetAttribute("inset", "8,2,8,2");
    row->SetAttribute("childpadding", "6");
    auto mark = std::make_unique<CLabelUI>();
    mark->SetFixedWidth(20);
    mark->SetFont(7);
    mark->SetMouseEnabled(false);
    row->Add(std::move(mark));
    auto name = std::make_unique<CLabelUI>();
    name->SetFont(7);
    name->SetAttribute("endellipsis", "true");
    name->SetMouseEnabled(false);
    row->Add(std::move(name));
    auto delay = std::make_unique<CEditUI>();
    delay->SetName("macro_delay");
    delay->SetFixedWidth(64);
    delay->SetMaxChar(6);
    delay->SetNumberOnly(true);
    delay->SetFont(8);
    delay->SetAttribute("align", "center");
    delay->ApplyAttributeList(
        "textcolor=\"#FFE8ECF2\" bkcolor=\"#FF161A21\" bordercolor=\"#FF2E3643\" bordersize=\"1\" "
        "borderround=\"4\"");
    row->Add(std::move(delay));
    auto unit = std::make_unique<CLabelUI>();
    unit->SetFixedWidth(24);
    unit->SetFont(8);
    unit->SetText("ms");
    unit->SetTextColor(0xFF8E99AB);
    unit->SetMouseEnabled(false);
    row->Add(std::move(unit));
    return row;
}

void CMacroControlUI::FillRow(CListContainerElementUI& row, const MacroRow& shown) {
    auto* mark = dynamic_cast<CLabelUI*>(row.GetItemAt(0));
    auto* name = dynamic_cast<CLabelUI*>(row.GetItemAt(1));
    auto* delay = dynamic_cast<CEditUI*>(row.GetItemAt(2));
    if (!mark || !name || !delay) return;
    const bool down = shown.event.IsDown();
    const bool move = shown.event.type == static_cast<int>(MacroEventType::MoveHorizontal) ||
                      shown.event.type == static_cast<int>(MacroEventType::MoveVertical);
    mark->SetText(move ? "↔" : down ? "↓" : "↑");
    mark->SetTextColor(move ? kMouseColour : down ? kPressColour : kReleaseColour);
    const MacroRowCaption caption = CaptionOfEvent(shown.event);
    std::string text = caption.nameId.empty() ? "?" : Language(caption.nameId);
    if (!caption.suffix.empty()) text += " " + caption.suffix;
    name->SetText(text);
    name->SetTextColor(caption.keyboard ? kKeyColour : kMouseColour);
    if (delay->GetText() != shown.delay) delay->SetText(shown.delay);
}

void CMacroControlUI::ShowRows(const std::vector<MacroRow>& rows, int selected) {
    CListUI* list = ActionList();
    if (!list) return;
    // Rows are reused: a recorded action changes a few texts, not the list.
    while (list->GetCount() > static_cast<int>(rows.size()))
        list->RemoveAt(list->GetCount() - 1);
    while (list->GetCount() < static_cast<int>(rows.size()))
        list->Add(NewRow());
    for (int i = 0; i < list->GetCount(); ++i) {
        if (auto* row = dynamic_cast<CListContainerElementUI*>(list->GetItemAt(i)))
            FillRow(*row, rows[static_cast<std::size_t>(i)]);
    }
    list->SelectItem(selected, false, false);
}

void CMacroControlUI::ScrollToSelectedRow() {
    CListUI* list = ActionList();
    if (!list) return;
    if (CControlUI* row = list->GetItemAt(list->GetCurSel())) list->EnsureVisible(row);
}

void CMacroControlUI::EnableEditing(bool enabled) {
    for (std::string_view name : kEditing) {
        if (CControlUI* control = Child(name)) control->SetEnabled(enabled);
    }
}

std::string CMacroControlUI::DelayText(int row) const {
    CListUI* list = ActionList();
    auto* element = list ? dynamic_cast<CContainerUI*>(list->GetItemAt(row)) : nullptr;
    auto* delay = element ? dynamic_cast<CEditUI*>(element->GetItemAt(2)) : nullptr;
    return delay ? delay->GetText() : std::string();
}

std::string CMacroControlUI::FieldText(std::string_view field) const {
    const CControlUI* control = Child(field);
    return control ? control->GetText() : std::string();
}

void CMacroControlUI::SetFieldText(std::string_view field, const std::string& text) {
    if (CControlUI* control = Child(field)) control->SetText(text);
}

bool CMacroControlUI::FixedDelayChecked() const {
    const auto* check = dynamic_cast<const COptionUI*>(Child("macro_check_time"));
    return check && check->IsSelected();
}

void CMacroControlUI::LockForRecording(bool locked) {
    for (std::string_view name : kLockedByRun) {
        if (CControlUI* control = Child(name)) control->SetEnabled(!locked);
    }
    if (CControlUI* stop = Child("macro_btn_stopredio")) stop->SetEnabled(locked);
    if (CControlUI* mark = Child("macro_recording_label")) mark->SetVisible(locked);
    if (!locked && editor_ && editor_->SelectedMacro() < 0) EnableEditing(false);
}

void CMacroControlUI::ShowRecording(bool on) {
    LockForRecording(on);
}

}  // namespace q731
