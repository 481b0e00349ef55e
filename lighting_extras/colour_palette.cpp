#include "lighting_extras/colour_palette.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

namespace {

constexpr int kSaveTimer = 1;

bool InRange(int index) {
    return index >= 0 && index < kPaletteSwatches;
}

std::size_t At(int index) {
    return static_cast<std::size_t>(index);
}

}  // namespace

std::string ColourString(ArgbColour colour) {
    return fmt::format("{:08X}", colour);
}

std::optional<ArgbColour> ParseColourString(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    ArgbColour colour = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
        colour = colour << 4 | digit;
    }
    return colour;
}

ChannelReading ReadChannelBox(std::string_view text) {
    ChannelReading reading;
    reading.value = static_cast<int>(std::clamp(ParseDecimal(text), 0LL, 255LL));
    reading.rewrite = text != std::to_string(reading.value);
    return reading;
}

ColourPaletteModel::ColourPaletteModel(IColourPaletteView& view, UiLoop& loop, fs::path userFolder,
                                       fs::path defaultFolder)
    : view_(view),
      loop_(loop),
      userFolder_(std::move(userFolder)),
      defaultFolder_(std::move(defaultFolder)) {
    writable_ = !userFolder_.empty();
}

ColourPaletteModel::~ColourPaletteModel() {
    loop_.KillTimers(this);
}

void ColourPaletteModel::SetColour(ArgbColour colour) {
    view_.ShowPreviewColour(colour);
    SevenColourOff();
    if (view_.HasPalette()) view_.ShowPaletteColour(colour);
    colour_ = colour;
    ShowChannels(colour);
}

void ColourPaletteModel::SetSevenColourAvailable(bool available) {
    view_.ShowSevenColourAvailable(available);
    if (!available) SevenColourOff();
}

void ColourPaletteModel::Load() {
    for (int i = 0; i < kPaletteSwatches; ++i) {
        presets_[At(i)] = view_.PresetColour(i);
        if (const std::optional<ArgbColour> colour = view_.CollectedColour(i)) {
            collected_[At(i)] = Collected{*colour, {}};
        } else {
            collected_[At(i)].reset();
        }
    }

    Json::Value document;
    const fs::path user = UserFile();
    const DocumentRead read = writable_ ? DocumentFile::Read(user) : DocumentRead{};
    if (read.status == DocumentStatus::Ok && !read.value.isNull()) {
        document = read.value;
    } else if (read.status == DocumentStatus::Unreadable) {
        // Never replace what we could not read: the swatches stay unsaved.
        LogWarning("colour palette: cannot read " + user.string() + "; changes are not saved");
        writable_ = false;
    } else if (writable_) {
        if (read.Damaged() && DocumentFile::KeepAside(user).empty()) {
            LogWarning("colour palette: cannot keep " + user.string() +
                       " aside; changes are not saved");
            writable_ = false;
        }
        const DocumentRead defaults = DocumentFile::Read(defaultFolder_ / kColourOptionsFileName);
        if (defaults.status == DocumentStatus::Ok && !defaults.value.isNull()) {
            document = defaults.value;
            if (writable_ && EnsureDirectory(userFolder_))
                (void)DocumentFile::WriteJsonFile(user, document);
        }
    }

    SetColour(colour_);
    view_.ShowSevenColour(sevenColour_);

    const Json::Value& root = json::Member(document, colour_keys::kRoot);
    if (const std::optional<std::int64_t> index =
            json::IntegerOf(json::Member(root, colour_keys::kPresetIndex));
        index && *index >= 0 && *index < kPaletteSwatches) {
        presetIndex_ = static_cast<int>(*index);
    }
    ApplyCollected(json::Member(root, colour_keys::kCollected));
    // The window never opens with a target: colour changes fill nothing until
    // the user picks a collected swatch.
    if (!json::Member(root, colour_keys::kCollectedIndex).isNull()) collectedIndex_ = -1;
}

void ColourPaletteModel::ApplyCollected(const Json::Value& entries) {
    for (int i = 0; i < kPaletteSwatches; ++i) {
        std::optional<Collected>& swatch = collected_[At(i)];
        if (!swatch) continue;
        const Json::Value& entry = json::At(entries, i);
        const std::optional<ArgbColour> colour =
            ParseColourString(json::GetString(entry, colour_keys::kColour));
        if (!colour) continue;  // no usable colour: the swatch stays as laid out
        swatch->userData = json::GetString(entry, colour_keys::kUserData);
        const bool filled = swatch->userData == "1";
        swatch->colour = filled ? *colour : 0xFFFFFFFFu;
        view_.ShowCollected(i, swatch->colour, filled);
    }
}

void ColourPaletteModel::ChoosePreset(int index) {
    if (!InRange(index) || !presets_[At(index)]) return;
    presetIndex_ = index;
    RequestSave(kPresetSection);
    colour_ = *presets_[At(index)];
    if (view_.HasPalette()) view_.ShowPaletteColour(colour_);
    FillTarget();
    ShowChannels(colour_);
}

void ColourPaletteModel::ChooseCollected(int index) {
    if (!InRange(index) || !collected_[At(index)]) return;
    collectedIndex_ = index;
    const Collected& swatch = *collected_[At(index)];
    if (swatch.userData != "1") return;  // empty: the target of the next change
    RequestSave(kCollectedSection);
    // The preview, not the current colour, is what OK returns.
    view_.ShowPreviewColour(swatch.colour);
    SevenColourOff();
    if (view_.HasPalette()) view_.ShowPaletteColour(swatch.colour);
    ShowChannels(swatch.colour);
}

void ColourPaletteModel::PaletteDragged(ArgbColour colour) {
    colour_ = colour;
    FillTarget();
    ShowChannels(colour_);
}

void ColourPaletteModel::ChannelsEdited() {
    static constexpr ColourChannel kChannels[] = {ColourChannel::Red, ColourChannel::Green,
                                                  ColourChannel::Blue};
    ArgbColour colour = 0xFF000000u;
    for (const ColourChannel channel : kChannels) {
        const ChannelReading reading = ReadChannelBox(view_.ChannelText(channel));
        if (reading.rewrite) view_.ShowChannelText(channel, std::to_string(reading.value));
        colour |= static_cast<ArgbColour>(reading.value) << (16 - 8 * static_cast<int>(channel));
    }
    colour_ = colour;
    if (view_.HasPalette()) view_.ShowPaletteColour(colour_);
    FillTarget();
}

void ColourPaletteModel::SevenColourToggled(bool selected) {
    sevenColour_ = selected;
    view_.ShowSevenColour(selected);
}

int ColourPaletteModel::Accept() {
    if (!view_.HasPalette()) return palette_result::kNoPalette;
    colour_ = view_.PreviewColour().value_or(0);
    return palette_result::kOk;
}

void ColourPaletteModel::Finish() {
    WritePending();
}

void ColourPaletteModel::ShowChannels(ArgbColour colour) {
    view_.ShowChannelText(ColourChannel::Red, std::to_string(colour >> 16 & 0xFF));
    view_.ShowChannelText(ColourChannel::Green, std::to_string(colour >> 8 & 0xFF));
    view_.ShowChannelText(ColourChannel::Blue, std::to_string(colour & 0xFF));
}

void ColourPaletteModel::FillTarget() {
    if (InRange(collectedIndex_) && collected_[At(collectedIndex_)] &&
        view_.CollectedSelected(collectedIndex_)) {
        Collected& swatch = *collected_[At(collectedIndex_)];
        swatch.colour = colour_;
        swatch.userData = "1";
        view_.ShowCollected(collectedIndex_, colour_, true);
        RequestSave(kCollectedSection);
    }
    view_.ShowPreviewColour(colour_);
    SevenColourOff();
}

void ColourPaletteModel::SevenColourOff() {
    sevenColour_ = false;
    view_.ShowSevenColour(false);
}

void ColourPaletteModel::RequestSave(unsigned sections) {
    pending_ |= sections;
    if (!writable_) return;
    const SteadyTime now = loop_.GetClock().Now();
    if (!lastWrite_ || now - *lastWrite_ >= kSaveInterval) {
        WritePending();
        return;
    }
    if (loop_.HasTimer(this, kSaveTimer)) return;
    const auto wait = std::chrono::ceil<Millis>(*lastWrite_ + kSaveInterval - now);
    loop_.SetOneShotTimer(this, kSaveTimer, wait, [this] { WritePending(); });
}

void ColourPaletteModel::WritePending() {
    loop_.KillTimer(this, kSaveTimer);
    if (pending_ == 0 || !writable_) return;
    const fs::path user = UserFile();
    Json::Value document;
    if (!DocumentFile::ReadForUpdate(user, document)) {
        LogWarning("colour palette: cannot update " + user.string() + "; changes are not saved");
        writable_ = false;
        return;
    }
    Json::Value& root = json::ObjectMember(document, colour_keys::kRoot);
    if (pending_ & kPresetSection) {
        Json::Value& list = json::ArrayMember(root, colour_keys::kPresets);
        for (int i = 0; i < kPaletteSwatches; ++i) {
            if (!presets_[At(i)]) continue;
            json::ObjectAt(list, static_cast<Json::ArrayIndex>(i))[colour_keys::kColour] =
                ColourString(*presets_[At(i)]);
        }
        root[colour_keys::kPresetIndex] = presetIndex_;
    }
    if (pending_ & kCollectedSection) {
        Json::Value& list = json::ArrayMember(root, colour_keys::kCollected);
        for (int i = 0; i < kPaletteSwatches; ++i) {
            if (!collected_[At(i)]) continue;
            Json::Value& entry = json::ObjectAt(list, static_cast<Json::ArrayIndex>(i));
            entry[colour_keys::kColour] = ColourString(collected_[At(i)]->colour);
            entry[colour_keys::kUserData] = collected_[At(i)]->userData;
        }
        root[colour_keys::kCollectedIndex] = collectedIndex_;
    }
    pending_ = 0;
    lastWrite_ = loop_.GetClock().Now();
    ++writes_;
    if (EnsureDirectory(userFolder_)) (void)DocumentFile::WriteJsonFile(user, document);
}

}  // namespace q731
