#include "profiles/shoot_panel.h"

#include <algorithm>

#include "platform/log.h"
#include "platform/text.h"

namespace q731 {

using namespace shoot_control;

namespace {

int EditNumber(const IShootView& view, std::string_view name, int highest) {
    return static_cast<int>(std::clamp<long long>(ParseDecimal(view.Text(name)), 0, highest));
}

std::string Numbered(std::string_view prefix, int number) {
    return std::string(prefix) + std::to_string(number);
}

}  // namespace

bool ShootPanel::PrepareShootingFiles() {
    static constexpr const char* kNamed[] = {
        kImport,        kExport,         kSave,         kReset,    kPictures,
        kEditLayout,    kBulletIndex,    kPrevious,     kNext,     kHorizontalCheck,
        kVerticalCheck, kHorizontalEdit, kVerticalEdit, kDelayEdit};
    controlsFound_ = std::all_of(std::begin(kNamed), std::end(kNamed),
                                 [this](const char* name) { return view_.HasControl(name); });
    for (int slot = 0; slot < kShootingSlotCount; ++slot)
        controlsFound_ = controlsFound_ && view_.HasControl(Numbered(kSlotOption, slot));
    for (int bullet = 0; bullet < kShootBulletCount; ++bullet)
        controlsFound_ = controlsFound_ && view_.HasControl(Numbered(kBulletOption, bullet));

    ShootingFiles files = Files();
    for (int slot = 0; slot < kShootingSlotCount; ++slot) {
        const SlotStatus status = files.Read(slot).status;
        if (status != SlotStatus::Missing && status != SlotStatus::Damaged) continue;
        // Shown and sent from the default either way; without a default the
        // file stays as it is and the next preparation tries again.
        if (files.ResetSlot(slot) != ShootResult::Done)
            LogWarning("shooting slot " + std::to_string(slot) + " was not made from its default");
    }
    return controlsFound_;
}

void ShootPanel::MarkOnly(std::string_view prefix, int count, int chosen) {
    for (int i = 0; i < count; ++i)
        view_.SetFlag(Numbered(prefix, i), i == chosen);
}

void ShootPanel::SelectSlot(int slot) {
    slot_ = std::clamp(slot, 0, kShootingSlotCount - 1);
    MarkOnly(kSlotOption, kShootingSlotCount, slot_);
    view_.ShowSlotPicture(slot_);
}

void ShootPanel::SelectBullet(int bullet) {
    bullet_ = std::clamp(bullet, 0, kShootBulletCount - 1);
    MarkOnly(kBulletOption, kShootBulletCount, bullet_);
    view_.SetText(kBulletIndex, std::to_string(bullet_ + 1));
    ShowBullet(slot_, bullet_);
}

void ShootPanel::ShowValues(const BulletSetting& bullet) {
    view_.SetFlag(kHorizontalCheck, bullet.left);
    view_.SetFlag(kVerticalCheck, bullet.up);
    ShowDirectionCaptions();
    view_.SetText(kHorizontalEdit, std::to_string(bullet.horizontal));
    view_.SetText(kVerticalEdit, std::to_string(bullet.vertical));
    view_.SetText(kDelayEdit, std::to_string(bullet.delay));
}

void ShootPanel::ShowBullet(int slot, int bullet) {
    if (bullet < 0 || bullet >= kShootBulletCount) return;
    ShowValues(Files().Read(slot).pattern[static_cast<std::size_t>(bullet)]);
}

void ShootPanel::ShowDirectionCaptions() {
    view_.SetCaption(kHorizontalCheck,
                     view_.Flag(kHorizontalCheck) ? shoot_text::kLeft : shoot_text::kRight);
    view_.SetCaption(kVerticalCheck,
                     view_.Flag(kVerticalCheck) ? shoot_text::kUp : shoot_text::kDown);
}

BulletSetting ShootPanel::EnteredBullet() {
    BulletSetting bullet;
    bullet.left = view_.Flag(kHorizontalCheck);
    bullet.up = view_.Flag(kVerticalCheck);
    bullet.horizontal = EditNumber(view_, kHorizontalEdit, kMaxShootDistance);
    bullet.vertical = EditNumber(view_, kVerticalEdit, kMaxShootDistance);
    bullet.delay = EditNumber(view_, kDelayEdit, kMaxShootDelay);
    return bullet;
}

bool ShootPanel::StoreBullet(int slot, int bullet) {
    if (bullet < 0 || bullet >= kShootBulletCount) return false;
    const BulletSetting entered = EnteredBullet();
    // What the mouse will get, so that the edits never show more than that.
    ShowValues(entered);
    return Report(Files().StoreBullet(slot, bullet, entered), shoot_text::kWriteFailed);
}

bool ShootPanel::ResetSlot(int slot) {
    const bool done = Report(Files().ResetSlot(slot), shoot_text::kWriteFailed);
    SelectBullet(bullet_);
    return done;
}

bool ShootPanel::ImportSlot(const fs::path& source) {
    if (source.empty()) return false;
    const bool done = Report(Files().ImportSlot(slot_, source), shoot_text::kWriteFailed);
    SelectBullet(bullet_);
    return done;
}

bool ShootPanel::ExportSlot(const fs::path& target) {
    if (target.empty()) return false;
    return Report(Files().ExportSlot(slot_, target), shoot_text::kExportFailed);
}

bool ShootPanel::Report(ShootResult result, const char* writeFailedText) {
    const char* text = nullptr;
    switch (result) {
        case ShootResult::Done:
            return true;
        case ShootResult::NoDefault:
            text = shoot_text::kNoDefault;
            break;
        case ShootResult::Unreadable:
            text = shoot_text::kImportUnreadable;
            break;
        case ShootResult::NotShooting:
            text = shoot_text::kNotShooting;
            break;
        case ShootResult::WriteFailed:
            text = writeFailedText;
            break;
    }
    LogWarning(std::string("shooting panel: ") + text);
    if (asker_) ShowNotice(*asker_, text);
    return false;
}

}  // namespace q731
