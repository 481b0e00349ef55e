#pragma once
// The profile panel of a device page without widgets: the profiles of one
// device kind in a drop-down list with a name field, and what its buttons do
// (add, delete, copy, rename, reset, import, export). Every operation goes
// through the profile list first; the display follows only what the list
// reports done, and after a failure it shows what the files hold.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/products.h"
#include "platform/question.h"
#include "profiles/profile_list.h"

namespace q731 {

namespace fs = std::filesystem;

// What the panel shows: the list control, the name field and the page tabs of
// the window the panel is in.
class IProfileListView {
public:
    virtual ~IProfileListView() = default;
    // Replaces the entries and selects `selected` (-1: none) without telling
    // anyone of the selection.
    virtual void ShowEntries(const std::vector<std::string>& names, int selected) = 0;
    virtual int SelectedEntry() const = 0;
    virtual void ShowName(const std::string& name) = 0;
    virtual std::string EnteredName() const = 0;
    virtual void ShowPageTab(std::string_view tab, bool shown) = 0;
    virtual void MarkPageTab(std::string_view tab, bool marked) = 0;
};

// Language text ids the panel shows.
namespace profile_text {
inline constexpr const char* kConfirmReset = "message_text_22";
inline constexpr const char* kNameTaken = "message_text_5";
inline constexpr const char* kNameBlank = "message_text_25";
inline constexpr const char* kWriteFailed = "message_text_120";
inline constexpr const char* kImportUnreadable = "message_text_121";
inline constexpr const char* kImportNotAProfile = "message_text_122";
inline constexpr const char* kImportOtherKind = "message_text_123";
inline constexpr const char* kExportUnreadable = "message_text_124";
inline constexpr const char* kExportFailed = "message_text_125";
}  // namespace profile_text
inline constexpr std::array<std::string_view, 9> kProfileMessageTexts = {
    profile_text::kConfirmReset,     profile_text::kNameTaken,
    profile_text::kNameBlank,        profile_text::kWriteFailed,
    profile_text::kImportUnreadable, profile_text::kImportNotAProfile,
    profile_text::kImportOtherKind,  profile_text::kExportUnreadable,
    profile_text::kExportFailed,
};

// The page tabs in their numbering (1 lighting ... 8 virtual surround).
inline constexpr std::array<std::string_view, 8> kPageTabs = {
    "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
    "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"};
// Whether page tab `tab` is offered for `product`.
bool PageTabOffered(Product product, std::string_view tab);

class DeviceProfilePanel {
public:
    // `list` is the device's own profile list: what the panel selects is the
    // profile the device loads. `asker` may be null (nothing is shown then).
    DeviceProfilePanel(ProfileList& list, IProfileListView& view, IQuestionAsker* asker);

    void SetProduct(Product product) { product_ = product; }
    Product GetProduct() const { return product_; }

    // Reads the list (making the first profile when there is none), shows it
    // with the stored entry selected, and shows the page tabs of the kind.
    bool LoadProfileList();
    // Stores entry `index` as the selection; its profile becomes current.
    bool SelectProfileEntry(int index);
    int SelectedIndex() const { return view_.SelectedEntry(); }
    const std::string& CurrentIdentifier() const { return list_.CurrentIdentifier(); }

    // Each true when the files changed. A failed write is shown to the user.
    bool AddProfile();
    // True when the selected entry was deleted: its neighbour is current now
    // and the device must load it at once.
    bool DeleteProfile();
    bool CopyProfile();
    bool ImportProfile(const fs::path& source);
    bool ExportProfile(const fs::path& target);
    // Rewrites the selected profile from the defaults (no question asked here).
    bool ResetProfile();
    RenameResult RenameProfile(const std::string& name);
    // The name field's text as the selected entry's name, with the messages
    // for a blank or taken name. Nothing for an empty field.
    void RenameFromField();

    int ProfileCount() { return list_.ProfileCount(); }
    fs::path ProfileFilePath(int index) { return list_.ProfileFilePath(index); }

    // Hides the page tabs the kind has no page for.
    void ShowPageTabs();
    // Marks page tab `page` (1-8) and clears the others; any other number
    // clears all but the virtual-surround tab.
    void MarkPageTab(int page);

    ProfileList& List() { return list_; }

private:
    // The display from the list as last read.
    void Refill();
    // After a failure: the message, then the display from the files.
    void Fail(const char* textId);
    void Tell(const char* textId);

    ProfileList& list_;
    IProfileListView& view_;
    IQuestionAsker* asker_;
    Product product_ = Product::Keyboard;
};

}  // namespace q731
