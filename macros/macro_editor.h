#pragma once
// The macro panel's logic, without widgets: the device folder's macro list,
// the action list of the selected macro (one row per event, each with a delay
// field that is the authority for the row's delay), the changes the panel's
// buttons and menu make, and the recording run that turns key and button
// input into rows. Every change is written to the macro's file at once; the
// panel itself only shows what the editor hands it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "macros/macro_input.h"
#include "platform/question.h"
#include "profiles/macro_event.h"
#include "profiles/macro_store.h"

namespace q731 {

struct MacroRow {
    MacroEvent event;
    std::string delay;  // the delay field's text
    friend bool operator==(const MacroRow&, const MacroRow&) = default;
};

// Field names the editor reads and writes through the view.
namespace macro_field {
inline constexpr std::string_view kNewName = "macro_edit_macroname";
inline constexpr std::string_view kFixedDelay = "macro_fixed_time_edit";
inline constexpr std::string_view kMoveLeft = "mouse_x_left_edit";
inline constexpr std::string_view kMoveRight = "mouse_x_right_edit";
inline constexpr std::string_view kMoveUp = "mouse_y_up_edit";
inline constexpr std::string_view kMoveDown = "mouse_y_down_edit";
}  // namespace macro_field

// Texts the editor tells the user, by language id.
namespace macro_text {
inline constexpr const char* kDeleteMacro = "message_text_4";
inline constexpr const char* kMacroInUse = "message_text_2";
inline constexpr const char* kNameTaken = "message_text_5";
inline constexpr const char* kDeleteFailed = "message_text_140";
inline constexpr const char* kImportRefused = "message_text_141";
inline constexpr const char* kSaveFailed = "message_text_142";
inline constexpr const char* kExportFailed = "message_text_143";
inline constexpr const char* kRenameFailed = "message_text_144";
}  // namespace macro_text

class IMacroEditorView {
public:
    virtual ~IMacroEditorView() = default;
    virtual void ShowMacroNames(const std::vector<std::string>& names, int selected) = 0;
    virtual void ShowRows(const std::vector<MacroRow>& rows, int selected) = 0;
    // Brings the selected row into view (shortly after a recorded row).
    virtual void ScrollToSelectedRow() {}
    // The editing groups and buttons that need a selected macro.
    virtual void EnableEditing(bool enabled) = 0;
    // The delay field of `row` as the user left it.
    virtual std::string DelayText(int row) const = 0;
    virtual std::string FieldText(std::string_view field) const = 0;
    virtual void SetFieldText(std::string_view field, const std::string& text) = 0;
    // True when "macro_check_time" asks for the fixed delay while recording.
    virtual bool FixedDelayChecked() const { return false; }
    // The macro list, tabs, action list and start button while a run lasts.
    virtual void LockForRecording(bool locked) = 0;
};

// What a change of the macro list means beyond the panel: the device reads
// its definitions again and the key-assignment page shows the new names; a
// deleted macro's key references are brought in line.
class IMacroEditorHost {
public:
    virtual ~IMacroEditorHost() = default;
    virtual void MacroListChanged() = 0;
    // True when a key of the current profile refers to `macro`.
    virtual bool CurrentKeysUse(int macro) = 0;
    // Fixes the references in every profile the device kind fixes; true when
    // the current profile's keys changed.
    virtual bool FixKeyReferences(int deletedMacro) = 0;
    // The key page's save sequence (macros, then keys, then the profile).
    virtual void SaveKeys() = 0;
};

enum class RowMove { Up, Down, Top, Bottom };
enum class Movement { Left, Right, Up, Down };

// How recorded rows get their delays, and where they go.
enum class DelayMode { Real = 1, Fixed = 2, None = 3 };
enum class HookMode : int {
    Capture = 1,
    Append = 4,
    InsertBefore = 8,
    InsertAfter = 0x10,
    Replace = 0x20,
};

class MacroEditor {
public:
    static constexpr std::uint16_t kDefaultFixedDelay = 50;
    static constexpr std::size_t kMaxRecordedRows = 4000;

    MacroEditor(MacroStore& store, IMacroEditorView& view, IMacroEditorHost& host,
                IQuestionAsker* asker);

    // Fills the macro list; nothing selected.
    void Load();
    int SelectedMacro() const { return selectedMacro_; }
    int SelectedRow() const { return selectedRow_; }
    const std::vector<MacroRow>& Rows() const { return rows_; }
    const std::vector<MacroEntry>& Macros() const { return macros_; }
    std::uint16_t FixedDelay() const { return fixedDelay_; }

    void SelectMacro(int index);
    void SelectRow(int row);
    // Rows of the selected macro from its file; unsaved delay edits are dropped.
    void ShowMacro();
    // Writes the rows (delays from their fields) to the selected macro's file.
    bool SaveMacro();

    void AddMacro();
    void RenameMacro();
    void DeleteMacroSequence();
    void ImportMacro(const std::filesystem::path& source);
    void ExportMacro(const std::filesystem::path& target);
    bool CanExport() const { return selectedMacro_ >= 0; }

    void MoveRow(RowMove move);
    void DeleteRow();
    void DeleteAllRows();
    void InsertButton(MouseButton button, bool down);
    void InsertMovement(Movement movement);
    // The action menu's button items ("left_down", "back_click", ...); false
    // for any other name.
    bool RunMenuItem(std::string_view item);

    // Recording. A run starts locked and ends unlocked with the rows saved.
    void StartRun(DelayMode delayMode, HookMode hookMode, SteadyTime now);
    void EndRun();
    bool Recording() const { return recording_; }
    HookMode RunHookMode() const { return hookMode_; }
    void OnInput(const InputRecord& input);

private:
    void ShowNames();
    void ShowRowsAndSelection();
    void Tell(const char* textId);
    std::vector<MacroEvent> EventsForSave();
    std::string DelayOfRow(int row) const;
    void InsertRow(MacroRow row);
    std::optional<MacroEvent> EventOf(const InputRecord& input);
    void AddRecorded(const MacroEvent& event, SteadyTime time);
    void ReadFixedDelay();

    MacroStore& store_;
    IMacroEditorView& view_;
    IMacroEditorHost& host_;
    IQuestionAsker* asker_;
    std::vector<MacroEntry> macros_;
    int selectedMacro_ = -1;
    std::vector<MacroRow> rows_;
    int selectedRow_ = -1;
    std::uint16_t fixedDelay_ = kDefaultFixedDelay;
    bool lastSaveFailed_ = false;

    bool recording_ = false;
    DelayMode delayMode_ = DelayMode::Real;
    HookMode hookMode_ = HookMode::Append;
    SteadyTime lastTick_{};
    bool runStarted_ = false;
    std::optional<int> lastKey_;
};

// The leading decimal digits of `text` (0 without any), capped at `limit`.
std::uint32_t LeadingNumber(std::string_view text, std::uint32_t limit);

}  // namespace q731
