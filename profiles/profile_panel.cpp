#include "profiles/profile_panel.h"

#include <algorithm>

#include "platform/log.h"
#include "profiles/document_file.h"

namespace q731 {

bool PageTabOffered(Product product, std::string_view tab) {
    const bool keys = product == Product::Keyboard || product == Product::Mouse;
    if (tab == "key_Op_tab" || tab == "macro_Op_tab" || tab == "system_Op_tab") return keys;
    if (tab == "cursor_Op_tab") return product == Product::Mouse;
    if (tab == "6533_voice_Op_tab" || tab == "magic_Op_tab" || tab == "Virtual7.1_Op_tab")
        return product == Product::Headset;
    return tab == "deng_Op_tab";
}

DeviceProfilePanel::DeviceProfilePanel(ProfileList& list, IProfileListView& view,
                                       IQuestionAsker* asker)
    : list_(list), view_(view), asker_(asker) {}

void DeviceProfilePanel::Refill() {
    const std::vector<ProfileEntry>& entries = list_.Entries();
    const int selected = list_.SelectedIndex();
    view_.ShowEntries(list_.ProfileNames(), selected);
    view_.ShowName(selected >= 0 && selected < static_cast<int>(entries.size())
                       ? entries[static_cast<std::size_t>(selected)].name
                       : std::string());
}

void DeviceProfilePanel::Tell(const char* textId) {
    if (asker_) ShowNotice(*asker_, textId);
}

void DeviceProfilePanel::Fail(const char* textId) {
    LogWarning(std::string("profile panel: ") + textId);
    Tell(textId);
    // What is on disk now, whatever the failed step left.
    (void)list_.LoadProfileList();
    Refill();
}

bool DeviceProfilePanel::LoadProfileList() {
    const bool loaded = list_.LoadProfileList();
    Refill();
    ShowPageTabs();
    return loaded;
}

bool DeviceProfilePanel::SelectProfileEntry(int index) {
    if (!list_.SelectProfile(index)) {
        Fail(profile_text::kWriteFailed);
        return false;
    }
    Refill();
    return true;
}

bool DeviceProfilePanel::AddProfile() {
    if (list_.ProfileCount() >= kProfileLimit) return false;
    Json::Value defaults = DocumentFile::ReadJsonFile(list_.DefaultProfilePath());
    if (!defaults.isObject()) defaults = Json::Value(Json::objectValue);
    // The new entry is not selected: the device stays on the profile the list
    // shows until the user chooses another.
    if (list_.MakeProfile(defaults, NewProfileName(list_.Entries()), false).empty()) {
        Fail(profile_text::kWriteFailed);
        return false;
    }
    Refill();
    return true;
}

bool DeviceProfilePanel::DeleteProfile() {
    const int selected = view_.SelectedEntry();
    if (selected < 0 || list_.ProfileCount() <= 1) return false;
    if (!list_.DeleteProfile(selected)) {
        Fail(profile_text::kWriteFailed);
        return false;
    }
    Refill();
    return true;
}

bool DeviceProfilePanel::CopyProfile() {
    const int selected = view_.SelectedEntry();
    if (selected < 0 || selected >= list_.ProfileCount()) return false;
    if (list_.CopyProfile(selected).empty()) {
        Fail(profile_text::kWriteFailed);
        return false;
    }
    Refill();
    return true;
}

bool DeviceProfilePanel::ImportProfile(const fs::path& source) {
    switch (list_.ImportProfile(source)) {
        case ImportResult::Imported:
            Refill();
            return true;
        case ImportResult::Unreadable:
            Tell(profile_text::kImportUnreadable);
            return false;
        case ImportResult::NotAProfile:
            Tell(profile_text::kImportNotAProfile);
            return false;
        case ImportResult::OtherKind:
            Tell(profile_text::kImportOtherKind);
            return false;
        case ImportResult::Failed:
            break;
    }
    Fail(profile_text::kWriteFailed);
    return false;
}

bool DeviceProfilePanel::ExportProfile(const fs::path& target) {
    const int selected = view_.SelectedEntry();
    if (selected < 0) return false;
    switch (list_.ExportProfile(selected, target)) {
        case ExportResult::Exported:
            return true;
        case ExportResult::Unreadable:
            Tell(profile_text::kExportUnreadable);
            return false;
        case ExportResult::Failed:
            break;
    }
    Tell(profile_text::kExportFailed);
    return false;
}

bool DeviceProfilePanel::ResetProfile() {
    const int selected = view_.SelectedEntry();
    if (selected < 0) return false;
    if (!list_.ResetProfile(selected)) {
        Fail(profile_text::kWriteFailed);
        return false;
    }
    return true;
}

RenameResult DeviceProfilePanel::RenameProfile(const std::string& name) {
    const RenameResult result = list_.RenameProfile(view_.SelectedEntry(), name);
    if (result == RenameResult::Done) Refill();
    if (result == RenameResult::Failed) Fail(profile_text::kWriteFailed);
    return result;
}

void DeviceProfilePanel::RenameFromField() {
    const std::string name = view_.EnteredName();
    if (name.empty()) return;
    const RenameResult result = RenameProfile(name);
    if (result == RenameResult::Duplicate) Tell(profile_text::kNameTaken);
    if (result == RenameResult::Blank) Tell(profile_text::kNameBlank);
}

void DeviceProfilePanel::ShowPageTabs() {
    for (std::string_view tab : kPageTabs)
        view_.ShowPageTab(tab, PageTabOffered(product_, tab));
}

void DeviceProfilePanel::MarkPageTab(int page) {
    for (std::size_t i = 0; i < kPageTabs.size(); ++i) {
        const bool surround = kPageTabs[i] == "Virtual7.1_Op_tab";
        if (page >= 1 && page <= static_cast<int>(kPageTabs.size())) {
            view_.MarkPageTab(kPageTabs[i], static_cast<int>(i) + 1 == page);
        } else if (!surround) {
            view_.MarkPageTab(kPageTabs[i], false);
        }
    }
}

}  // namespace q731
