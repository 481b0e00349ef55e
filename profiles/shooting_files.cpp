#include "profiles/shooting_files.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

using json::Member;

namespace {

// The pauses after the click and after the horizontal move are fixed.
constexpr std::uint32_t kClickPause = 10;
constexpr std::uint32_t kHorizontalPause = 5;

constexpr std::int32_t kLeftButton = 1;
constexpr auto kClick = static_cast<std::int32_t>(MacroEventType::MouseButton);
constexpr auto kMoveX = static_cast<std::int32_t>(MacroEventType::MoveHorizontal);
constexpr auto kMoveY = static_cast<std::int32_t>(MacroEventType::MoveVertical);

const char* Direction(bool down) {
    return down ? kActionDown : kActionUp;
}

// The group of bullet `index` in `events`, when all six are objects.
bool HasGroup(const Json::Value& events, int index) {
    const auto first = static_cast<std::int64_t>(index) * kShootEventsPerBullet;
    for (int i = 0; i < kShootEventsPerBullet; ++i) {
        if (!json::At(events, first + i).isObject()) return false;
    }
    return true;
}

BulletSetting BulletOfGroup(const Json::Value& events, int index) {
    const auto first = static_cast<std::int64_t>(index) * kShootEventsPerBullet;
    const Json::Value& horizontal = json::At(events, first + 2);
    const Json::Value& vertical = json::At(events, first + 3);
    BulletSetting bullet;
    bullet.left = SameTextIgnoringCase(json::GetString(horizontal, "Action"), kActionDown);
    bullet.up = SameTextIgnoringCase(json::GetString(vertical, "Action"), kActionDown);
    bullet.horizontal = static_cast<int>(
        std::clamp<std::int64_t>(json::GetInt64(horizontal, "Button"), 0, kMaxShootDistance));
    bullet.vertical = static_cast<int>(
        std::clamp<std::int64_t>(json::GetInt64(vertical, "Button"), 0, kMaxShootDistance));
    bullet.delay = static_cast<int>(
        std::min<std::uint32_t>(ParseDelay(Member(vertical, "Delay")), kMaxShootDelay));
    return bullet;
}

// The bullets of `document` where it has them, the others from `fallback`.
ShootPattern PatternOf(const Json::Value& document, const ShootPattern& fallback) {
    ShootPattern pattern = fallback;
    const Json::Value& events = Member(document, "Events");
    for (int b = 0; b < kShootBulletCount; ++b) {
        if (HasGroup(events, b)) pattern[static_cast<std::size_t>(b)] = BulletOfGroup(events, b);
    }
    return pattern;
}

bool IsEventObject(const Json::Value& event) {
    if (!event.isObject() || !Member(event, "Action").isString()) return false;
    const std::optional<std::int64_t> type = json::IntegerOf(Member(event, "Type"));
    if (!type || (*type != kClick && *type != kMoveX && *type != kMoveY)) return false;
    if (!json::IntegerOf(Member(event, "Button"))) return false;
    const Json::Value& delay = Member(event, "Delay");
    return delay.isString() || json::IntegerOf(delay).has_value();
}

bool ValidSlot(int slot) {
    return slot >= 0 && slot < kShootingSlotCount;
}

}  // namespace

BulletSetting BulletSetting::Clamped() const {
    BulletSetting clamped = *this;
    clamped.horizontal = std::clamp(horizontal, 0, kMaxShootDistance);
    clamped.vertical = std::clamp(vertical, 0, kMaxShootDistance);
    clamped.delay = std::clamp(delay, 0, kMaxShootDelay);
    return clamped;
}

std::array<MacroEvent, kShootEventsPerBullet> BulletEvents(const BulletSetting& bullet) {
    const BulletSetting b = bullet.Clamped();
    return {{
        {kActionDown, kClick, kLeftButton, kClickPause},
        {kActionUp, kClick, kLeftButton, 0},
        {Direction(b.left), kMoveX, b.horizontal, kHorizontalPause},
        {Direction(b.up), kMoveY, b.vertical, static_cast<std::uint32_t>(b.delay)},
        {Direction(b.left), kMoveX, 0, 0},
        {Direction(b.up), kMoveY, 0, 0},
    }};
}

std::vector<MacroEvent> PatternEvents(const ShootPattern& pattern) {
    std::vector<MacroEvent> events;
    events.reserve(kShootEventsPerSlot);
    for (const BulletSetting& bullet : pattern) {
        for (const MacroEvent& event : BulletEvents(bullet))
            events.push_back(event);
    }
    return events;
}

Json::Value PatternDocument(const ShootPattern& pattern) {
    Json::Value document(Json::objectValue);
    Json::Value& events = document["Events"] = Json::Value(Json::arrayValue);
    for (const MacroEvent& event : PatternEvents(pattern))
        events.append(MacroEventToJson(event, DelayForm::Integer));
    return document;
}

bool IsShootingDocument(const Json::Value& document) {
    const Json::Value& events = Member(document, "Events");
    if (!events.isArray() || events.size() > kShootEventsPerSlot) return false;
    return std::all_of(events.begin(), events.end(), IsEventObject);
}

ShootPattern ShootingFiles::DefaultPattern(int slot) const {
    const DocumentRead read = DocumentFile::Read(DefaultPath(slot));
    if (read.status != DocumentStatus::Ok) return {};
    return PatternOf(read.value, ShootPattern{});
}

SlotRead ShootingFiles::Read(int slot) const {
    if (!ValidSlot(slot)) return {};
    const DocumentRead read = DocumentFile::Read(SlotPath(slot));
    SlotRead result;
    switch (read.status) {
        case DocumentStatus::Ok:
            result.status = read.value.isObject() && Member(read.value, "Events").isArray()
                                ? SlotStatus::Ok
                                : SlotStatus::Damaged;
            break;
        case DocumentStatus::Missing:
            result.status = SlotStatus::Missing;
            break;
        case DocumentStatus::Unreadable:
            result.status = SlotStatus::Unreadable;
            break;
        default:
            result.status = SlotStatus::Damaged;
            break;
    }
    const ShootPattern defaults = DefaultPattern(slot);
    result.pattern = result.status == SlotStatus::Ok ? PatternOf(read.value, defaults) : defaults;
    return result;
}

bool ShootingFiles::ClearForWrite(int slot) const {
    const DocumentRead read = DocumentFile::Read(SlotPath(slot));
    if (read.status == DocumentStatus::Unreadable) return false;
    const bool sound = read.status == DocumentStatus::Missing ||
                       (read.status == DocumentStatus::Ok && read.value.isObject() &&
                        Member(read.value, "Events").isArray());
    return sound || !DocumentFile::KeepAside(SlotPath(slot)).empty();
}

ShootResult ShootingFiles::StoreBullet(int slot, int index, const BulletSetting& bullet) {
    if (!ValidSlot(slot) || index < 0 || index >= kShootBulletCount)
        return ShootResult::WriteFailed;
    if (!ClearForWrite(slot)) return ShootResult::WriteFailed;
    Json::Value document = DocumentFile::ReadJsonFile(SlotPath(slot));
    if (!document.isObject() || !Member(document, "Events").isArray()) {
        document = PatternDocument(DefaultPattern(slot));
    }
    // Groups the file lacks are filled from the default, so that no null
    // element can reach the mouse as an all-zero record.
    const ShootPattern shown = PatternOf(document, DefaultPattern(slot));
    Json::Value& events = document["Events"];
    for (int b = 0; b < kShootBulletCount; ++b) {
        const bool target = b == index;
        if (!target && HasGroup(events, b)) continue;
        const auto& setting = target ? bullet : shown[static_cast<std::size_t>(b)];
        const auto group = BulletEvents(setting);
        for (int i = 0; i < kShootEventsPerBullet; ++i) {
            const auto at = static_cast<Json::ArrayIndex>(b * kShootEventsPerBullet + i);
            events[at] = MacroEventToJson(group[static_cast<std::size_t>(i)], DelayForm::Integer);
        }
    }
    return DocumentFile::WriteJsonFile(SlotPath(slot), document) ? ShootResult::Done
                                                                 : ShootResult::WriteFailed;
}

ShootResult ShootingFiles::ResetSlot(int slot) {
    if (!ValidSlot(slot)) return ShootResult::WriteFailed;
    const DocumentRead defaults = DocumentFile::Read(DefaultPath(slot));
    if (defaults.status != DocumentStatus::Ok || !IsShootingDocument(defaults.value)) {
        LogWarning("no usable default for shooting slot " + std::to_string(slot));
        return ShootResult::NoDefault;
    }
    if (!ClearForWrite(slot)) return ShootResult::WriteFailed;
    return DocumentFile::WriteJsonFile(SlotPath(slot), defaults.value) ? ShootResult::Done
                                                                       : ShootResult::WriteFailed;
}

ShootResult ShootingFiles::ImportSlot(int slot, const fs::path& source) {
    if (!ValidSlot(slot)) return ShootResult::WriteFailed;
    std::string bytes;
    if (ReadFileBytes(source, bytes, kMaxShootFileBytes) != ReadStatus::Ok)
        return ShootResult::Unreadable;
    Json::Value document;
    if (!DocumentFile::Parse(bytes, document) || !IsShootingDocument(document)) {
        LogWarning("not a shooting file: " + source.string());
        return ShootResult::NotShooting;
    }
    if (!ClearForWrite(slot)) return ShootResult::WriteFailed;
    return DocumentFile::WriteJsonFile(SlotPath(slot), document) ? ShootResult::Done
                                                                 : ShootResult::WriteFailed;
}

ShootResult ShootingFiles::ExportSlot(int slot, const fs::path& target) const {
    if (!ValidSlot(slot)) return ShootResult::WriteFailed;
    const SlotRead read = Read(slot);
    if (read.status == SlotStatus::Unreadable) return ShootResult::WriteFailed;
    return DocumentFile::WriteJsonFile(target, PatternDocument(read.pattern))
               ? ShootResult::Done
               : ShootResult::WriteFailed;
}

}  // namespace q731
