#pragma once
// The mouse's shooting panel without widgets: four slot options with a picture
// each, thirty bullet options with previous and next, the five values of the
// current bullet, and reset, import and export of the current slot. The panel
// keeps only the folders, the current slot and the current bullet; every show
// and store reads the slot's file again.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/question.h"
#include "profiles/shooting_files.h"

namespace q731 {

namespace fs = std::filesystem;

// The panel's controls by name: flags are checks and options (set without
// notifying anyone), texts are edits and labels.
class IShootView {
public:
    virtual ~IShootView() = default;
    virtual bool HasControl(std::string_view name) const = 0;
    virtual bool Flag(std::string_view name) const = 0;
    virtual void SetFlag(std::string_view name, bool on) = 0;
    virtual std::string Text(std::string_view name) const = 0;
    virtual void SetText(std::string_view name, const std::string& text) = 0;
    // Shows the language text `textId` as the control's caption.
    virtual void SetCaption(std::string_view name, std::string_view textId) = 0;
    // Shows the picture of `slot`.
    virtual void ShowSlotPicture(int slot) = 0;
};

namespace shoot_control {
inline constexpr const char* kSlotOption = "shoot_gun_op_";
inline constexpr const char* kBulletOption = "bullet_op_";
inline constexpr const char* kImport = "shootdate_import_btn";
inline constexpr const char* kExport = "shootdate_export_btn";
inline constexpr const char* kSave = "shootdate_save_btn";
inline constexpr const char* kReset = "shootdate_reset_btn";
inline constexpr const char* kPictures = "shoot_image_display_switch";
inline constexpr const char* kEditLayout = "bullet_edit_layout";
inline constexpr const char* kBulletIndex = "bullet_select_index";
inline constexpr const char* kPrevious = "bullet_selected_prev";
inline constexpr const char* kNext = "bullet_selected_next";
inline constexpr const char* kHorizontalCheck = "bullet_x_check";
inline constexpr const char* kVerticalCheck = "bullet_y_check";
inline constexpr const char* kHorizontalEdit = "bullet_x_eidt";
inline constexpr const char* kVerticalEdit = "bullet_y_eidt";
inline constexpr const char* kDelayEdit = "bullet_delay_eidt";
}  // namespace shoot_control

// Language text ids the panel shows.
namespace shoot_text {
inline constexpr const char* kLeft = "mouse_move_to_left_text";
inline constexpr const char* kRight = "mouse_move_to_right_text";
inline constexpr const char* kUp = "mouse_move_to_up_text";
inline constexpr const char* kDown = "mouse_move_to_down_text";
inline constexpr const char* kWriteFailed = "message_text_130";
inline constexpr const char* kNoDefault = "message_text_131";
inline constexpr const char* kImportUnreadable = "message_text_132";
inline constexpr const char* kNotShooting = "message_text_133";
inline constexpr const char* kExportFailed = "message_text_134";
inline constexpr const char* kSendFailed = "message_text_135";
}  // namespace shoot_text
inline constexpr std::array<std::string_view, 6> kShootMessageTexts = {
    shoot_text::kWriteFailed, shoot_text::kNoDefault,    shoot_text::kImportUnreadable,
    shoot_text::kNotShooting, shoot_text::kExportFailed, shoot_text::kSendFailed,
};

class ShootPanel {
public:
    // `asker` may be null (nothing is shown then).
    ShootPanel(IShootView& view, IQuestionAsker* asker) : view_(view), asker_(asker) {}

    void SetDeviceFolder(fs::path folder) { deviceFolder_ = std::move(folder); }
    void SetDefaultFolder(fs::path folder) { defaultFolder_ = std::move(folder); }

    // Finds the controls and makes every slot readable: a missing slot file is
    // made from its default, a damaged one kept aside and then made so. False
    // when a control is missing.
    bool PrepareShootingFiles();
    void SelectSlot(int slot);
    // Also shows the bullet.
    void SelectBullet(int bullet);
    void PreviousBullet() { SelectBullet(bullet_ - 1); }
    void NextBullet() { SelectBullet(bullet_ + 1); }
    void ShowBullet(int slot, int bullet);
    // The edits are read, clamped to what the mouse takes and shown clamped,
    // then written into the slot's file.
    bool StoreBullet(int slot, int bullet);
    bool ResetSlot(int slot);
    // An empty path does nothing.
    bool ImportSlot(const fs::path& source);
    bool ExportSlot(const fs::path& target);
    // The direction captions as the checks stand; nothing is written.
    void ShowDirectionCaptions();

    int CurrentSlot() const { return slot_; }
    int CurrentBullet() const { return bullet_; }
    bool ControlsFound() const { return controlsFound_; }
    ShootingFiles Files() const { return {deviceFolder_, defaultFolder_}; }

private:
    BulletSetting EnteredBullet();
    void ShowValues(const BulletSetting& bullet);
    void MarkOnly(std::string_view prefix, int count, int chosen);
    // Tells the user what went wrong; true for Done.
    bool Report(ShootResult result, const char* writeFailedText);

    IShootView& view_;
    IQuestionAsker* asker_;
    fs::path deviceFolder_;
    fs::path defaultFolder_;
    int slot_ = 0;
    int bullet_ = -1;
    bool controlsFound_ = false;
};

}  // namespace q731
