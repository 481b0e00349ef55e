#include "headset/headset_audio.h"

#include <algorithm>
#include <cctype>

namespace q731 {
namespace {

constexpr auto kPlayback = AudioDirection::Playback;
constexpr auto kRecording = AudioDirection::Recording;
constexpr int kBandCount = CHs6533Profiledata::kBandCount;
constexpr int kPresetCount = CHs6533Profiledata::kPresetCurveCount;
// More endpoints than any USB audio chip lists: a count beyond it is garbage.
constexpr int kMaxEndpoints = 64;

// clang-format off
constexpr std::array<EqualiserCurve, kPresetCount> kPresetCurves = {{
    { 7, 11,   2, -3,  -1,  4,  9, 12,  9,  5},
    { 7, 11,   6, -3, -11, -1,  6, 13,  6, 13},
    {10,  4,   0, -3,  -4, -3, -2, -1,  0,  0},
    { 2,  1,  -2, -3,  -5, -7,  0,  4,  9,  8},
    { 0,  0,   0,  0,   0,  0,  0,  0,  0,  0},
    { 7, 14, -13, -6,  -1,  8, 13,  7,  2,  6},
    {14, 10,   4,  0,  -4, -3, -1,  1,  2,  3},
    { 2,  1,  -2, -3,  -5, -1,  7, 11, 15, 13},
    { 8,  2,  -4, -8,   1,  3,  8, 11, 14, 16},
    {-3,  4,  10,  0, -11,  3,  9, 13,  6,  0},
    {18, 14,   8,  2,  -3, -6, -1,  2,  5,  6},
    { 2,  1,  -2, -4,  -8,  4, 12, 16, 18, 15},
}};

// Audio start reads each of these and writes the value (with its own
// parameter) only where the property has never been given one.
struct StartupDefault {
    AudioDirection direction;
    const char* property;
    PropertyParameter readParameter;
    AudioValue value;
    PropertyParameter writeParameter;
};

const StartupDefault kStartupDefaults[] = {
    {kPlayback,  "VirtualSurroundEffectControl", kSurroundParameter, 0,    kSurroundParameter},
    {kRecording, "Enable_ENC_LFX",               kFirstChannel,      0,    {}},
    {kRecording, "VolumeControl",                kAllChannels,       0.0F, kAllChannels},
    {kPlayback,  "Enable_EQ_GFX",                {},                 0,    {}},
    {kPlayback,  "EQ_Slider1",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider2",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider3",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider4",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider5",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider6",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider7",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider8",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider9",                   {},                 0,    {}},
    {kPlayback,  "EQ_Slider10",                  {},                 0,    {}},
    {kPlayback,  "Enable_RFX_GFX",               {},                 0,    {}},
    {kPlayback,  "RFX_ENVIRONMENT",              {},                 0,    {}},
    {kPlayback,  "RFX_ROOMSIZE",                 {},                 0,    {}},
    {kRecording, "MuteControl",                  {},                 0,    {}},
    {kRecording, "VolumeScalarControl",          kAllChannels,       0.0F, kAllChannels},
    {kRecording, "AAVolumeControl",              kFirstChannel,      0.0F, kFirstChannel},
    {kRecording, "AAMuteControl",                {},                 0,    {}},
    {kRecording, "AAVolumeScalarControl",        kFirstChannel,      0.0F, kFirstChannel},
    {kRecording, "Enable_MAGICVOICE",            {},                 0,    {}},
    {kRecording, "MagicVoice_Selection",         {},                 0,    {}},
};
// clang-format on

std::string BandProperty(int band) {
    return "EQ_Slider" + std::to_string(band + 1);
}

std::vector<ConfDeviceInfo> ListEndpoints(IAudioConfLib& library, AudioDirection direction,
                                          int count) {
    std::vector<ConfDeviceInfo> endpoints;
    count = std::min(count, kMaxEndpoints);
    for (int index = 0; index < count; ++index) {
        if (const auto endpoint = library.GetDeviceById(direction, index)) {
            endpoints.push_back(*endpoint);
        }
    }
    return endpoints;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::int32_t Flag(bool on) {
    return on ? 1 : 0;
}

}  // namespace

void PanelStateView::SetBandSlider(int band, int value) {
    if (band >= 0 && band < kBandCount) panels.bandSliders[static_cast<std::size_t>(band)] = value;
}

int PanelStateView::BandSlider(int band) const {
    if (band < 0 || band >= kBandCount) return 0;
    return panels.bandSliders[static_cast<std::size_t>(band)];
}

void PanelStateView::SetCustomNames(const std::vector<std::string>& names) {
    panels.customNames = names;
    panels.customSelection = -1;
}

EqualiserCurve PresetCurve(int choice) {
    return kPresetCurves[static_cast<std::size_t>(CHs6533Profiledata::PresetCurveFor(choice) - 1)];
}

HeadsetAudio::HeadsetAudio(IAudioConfLib* library, CHs6533Profiledata& profile,
                           std::function<bool()> saveProfile, IQuestionAsker* asker)
    : library_(library), profile_(profile), saveProfile_(std::move(saveProfile)), asker_(asker) {}

void HeadsetAudio::SetView(IHeadsetAudioView* view) {
    view_ = view != nullptr ? view : &ownPanels_;
}

void HeadsetAudio::Start() {
    loaded_ = false;
    playback_.reset();
    recording_.reset();
    playbackFeatures_ = recordingFeatures_ = 0;
    if (library_ == nullptr || !library_->Load()) return;
    loaded_ = true;
    // A failed initialisation is reported but not fatal: the endpoints may
    // still answer, and every later call checks its own result.
    if (!library_->ConfLibInit()) Notify("ConfLibInit called failed!", false);
    library_->CreateDeviceList();
    const int playbackCount = library_->GetDeviceCount(kPlayback);
    if (playbackCount <= 0) return;
    playback_ = ChoosePlaybackEndpoint(ListEndpoints(*library_, kPlayback, playbackCount));
    recording_ = ChooseRecordingEndpoint(
        ListEndpoints(*library_, kRecording, library_->GetDeviceCount(kRecording)));
    ReadFeatureMasks();
    WriteStartupDefaults();
    ReadCurrentValues();
}

void HeadsetAudio::Connect() {
    if (!loaded_) {
        Start();
        return;
    }
    loaded_ = library_->Load();
    ReadCurrentValues();
}

void HeadsetAudio::ReadFeatureMasks() {
    if (recording_) recordingFeatures_ = ReadFeatureMask(*recording_);
    if (playback_) playbackFeatures_ = ReadFeatureMask(*playback_);
}

std::uint32_t HeadsetAudio::ReadFeatureMask(const ConfDeviceInfo& endpoint) {
    const AudioTextReading answer = library_->ReadPropertyText(endpoint, "GetSupportFeature");
    const std::optional<std::uint32_t> mask =
        answer.result == AudioResult::Ok ? ParseSupportFeature(answer.text) : std::nullopt;
    if (!mask) {
        Notify("UpdateAPOAvailable failed!", false);
        return 0;
    }
    return *mask;
}

void HeadsetAudio::WriteStartupDefaults() {
    // Only a property that has never been set gets its default: a read that
    // failed for any other reason says nothing about the value, and writing
    // over it would, for one, mute a working microphone.
    for (const StartupDefault& row : kStartupDefaults) {
        const std::optional<AudioReading> reading =
            Read(row.direction, row.property, row.readParameter);
        if (reading && reading->result == AudioResult::NoValue) {
            Write(row.direction, row.property, row.value, row.writeParameter);
        }
    }
}

void HeadsetAudio::ReadCurrentValues() {
    auto readOk = [this](std::string_view property, const PropertyParameter& parameter = {}) {
        std::optional<AudioReading> reading = Read(kRecording, property, parameter);
        return reading && reading->Ok() ? std::optional<AudioValue>(reading->value) : std::nullopt;
    };
    if (const auto muted = readOk("MuteControl")) {
        micMuted_ = AsInteger(*muted) != 0;
        state_.micInSelect = Flag(!micMuted_);
    }
    if (const auto level = readOk("VolumeScalarControl", kAllChannels)) {
        state_.micInValue = ScalarToLevel(AsNumber(*level));
    }
    if (readOk("GetAAMaxVol")) {
        if (const auto muted = readOk("AAMuteControl")) {
            monitorMuted_ = AsInteger(*muted) != 0;
            state_.micMonitorSelect = Flag(!monitorMuted_);
        }
        if (const auto level = readOk("AAVolumeScalarControl", kFirstChannel)) {
            state_.micMonitorValue = ScalarToLevel(AsNumber(*level));
        }
    }
    // Without the feature bit the endpoint has no voice changer to ask.
    if ((recordingFeatures_ & kVoiceChangerFeature) != 0) {
        if (const auto enabled = readOk("Enable_MAGICVOICE")) {
            state_.magicEnable = Flag(AsInteger(*enabled) != 0);
        }
    }
    if (const auto selection = readOk("MagicVoice_Selection")) {
        const std::int32_t voiceIndex = AsInteger(*selection);
        if (voiceIndex >= 0 && voiceIndex < kVoiceCount) state_.magicType = voiceIndex + 1;
    }
}

void HeadsetAudio::LoadFromProfile() {
    state_ = profile_.GetSystemSettings();
    bandValues_ = profile_.GetEqualiserCurve(state_.eqType);
    customNames_ = profile_.GetCustomCurveNames();
    // The switches toggle these flags: they follow the profile's switches so
    // that the first click after a profile switch turns what the panel shows.
    micMuted_ = state_.micInSelect == 0;
    monitorMuted_ = state_.micMonitorSelect == 0;
}

void HeadsetAudio::Refresh() {
    IHeadsetAudioView& view = *view_;
    view.SetVoiceChangerSwitch(state_.magicEnable != 0);
    view.SetVoiceLayoutEnabled(state_.magicEnable != 0);
    view.SelectVoice(state_.magicType);
    view.SetMicSwitch(state_.micInSelect != 0);
    view.SetMicLevel(std::clamp(state_.micInValue, 0, 100));
    view.SetMonitorSwitch(state_.micMonitorSelect != 0);
    view.SetMonitorLevel(std::clamp(state_.micMonitorValue, 0, 100));
    view.SelectEqualiserOption(state_.eqType);
    view.SetCustomNames(customNames_);
    const int index = state_.customEqSelectIndex;
    view.SelectCustomName(index >= 0 && index < static_cast<int>(customNames_.size()) ? index : -1);
    view.SetCustomRowEnabled(state_.eqType == kCustomChoice);
    ShowCurve(bandValues_);
}

const std::optional<ConfDeviceInfo>& HeadsetAudio::EndpointOf(AudioDirection direction) const {
    return direction == kPlayback ? playback_ : recording_;
}

std::optional<AudioReading> HeadsetAudio::Read(AudioDirection direction, std::string_view property,
                                               const PropertyParameter& parameter) {
    const std::optional<ConfDeviceInfo>& endpoint = EndpointOf(direction);
    if (!loaded_ || !endpoint) return std::nullopt;
    return library_->ReadProperty(*endpoint, property, parameter);
}

bool HeadsetAudio::Write(AudioDirection direction, std::string_view property,
                         const AudioValue& value, const PropertyParameter& parameter) {
    const std::optional<ConfDeviceInfo>& endpoint = EndpointOf(direction);
    if (!loaded_ || !endpoint) return true;
    return library_->WriteProperty(*endpoint, property, value, parameter) == AudioResult::Ok;
}

void HeadsetAudio::ShowCurve(const EqualiserCurve& curve) {
    for (int band = 0; band < kBandCount; ++band) {
        view_->SetBandSlider(band, curve[static_cast<std::size_t>(band)]);
    }
}

EqualiserCurve HeadsetAudio::SliderValues() const {
    EqualiserCurve values{};
    for (int band = 0; band < kBandCount; ++band) {
        values[static_cast<std::size_t>(band)] = view_->BandSlider(band);
    }
    return values;
}

void HeadsetAudio::ApplyCurve(const EqualiserCurve& curve) {
    bandValues_ = curve;
    // Band results are not checked: a band that fails keeps its old gain and
    // the next change of curve writes it again.
    Write(kPlayback, "Enable_EQ_GFX", 1);
    ShowCurve(curve);
    for (int band = 0; band < kBandCount; ++band) {
        Write(kPlayback, BandProperty(band), curve[static_cast<std::size_t>(band)]);
    }
}

bool HeadsetAudio::IsCustomIndex(int index) const {
    return index >= 0 && index < static_cast<int>(customNames_.size());
}

bool HeadsetAudio::ApplyChosenCustomCurve() {
    const int index = view_->SelectedCustomName();
    if (!IsCustomIndex(index)) return false;
    ApplyCurve(profile_.GetCustomCurve(index));
    state_.customEqSelectIndex = index;
    StoreSettings();
    return true;
}

void HeadsetAudio::OnEqualiserOption(int choice) {
    if (choice == kCustomChoice) {
        state_.eqType = kCustomChoice;
        view_->SelectEqualiserOption(kCustomChoice);
        view_->SetCustomRowEnabled(true);
        ApplyChosenCustomCurve();
        Save();
        return;
    }
    if (choice < 1 || choice > kPresetCount) return;
    const EqualiserCurve curve = PresetCurve(choice);
    ApplyCurve(curve);
    state_.eqType = choice;
    view_->SelectEqualiserOption(choice);
    view_->SetCustomRowEnabled(false);
    StoreSettings();
    profile_.SetPresetCurve(choice, curve);
    Save();
}

void HeadsetAudio::OnBandSlider(int band) {
    if (band < 0 || band >= kBandCount) return;
    if (state_.eqType != kCustomChoice) {
        state_.eqType = kCustomChoice;
        view_->SelectEqualiserOption(kCustomChoice);
        view_->SelectCustomName(-1);
        view_->SetNameEditText("");
        view_->SetCustomRowEnabled(true);
    }
    const int value = view_->BandSlider(band);
    bandValues_[static_cast<std::size_t>(band)] = value;
    Write(kPlayback, BandProperty(band), value);
}

void HeadsetAudio::OnCustomNameChosen() {
    if (ApplyChosenCustomCurve()) Save();
}

void HeadsetAudio::OnSaveCustomCurve() {
    const std::string name = view_->NameEditText();
    if (name.empty()) {
        const int index = view_->SelectedCustomName();
        if (!IsCustomIndex(index)) return;
        bandValues_ = SliderValues();
        state_.customEqSelectIndex = index;
        StoreSettings();
        profile_.SetCustomCurve(index, bandValues_);
        Save();
        return;
    }
    if (static_cast<int>(customNames_.size()) >= kMaxCustomCurves) return;
    if (HasCustomName(name)) {
        Notify("message_text_5", true);
        return;
    }
    customNames_.push_back(name);
    view_->SetCustomNames(customNames_);
    bandValues_ = SliderValues();
    const int index = static_cast<int>(customNames_.size()) - 1;
    state_.customEqSelectIndex = index;
    view_->SelectCustomName(index);
    StoreSettings();
    // The name first: the profile keeps curves only for listed names.
    profile_.SetCustomCurveNames(customNames_);
    profile_.SetCustomCurve(index, bandValues_);
    Save();
}

void HeadsetAudio::OnDeleteCustomCurve() {
    const int index = view_->SelectedCustomName();
    if (!IsCustomIndex(index)) return;
    std::vector<EqualiserCurve> curves;
    for (int curve = 0; curve < static_cast<int>(customNames_.size()); ++curve) {
        curves.push_back(profile_.GetCustomCurve(curve));
    }
    customNames_.erase(customNames_.begin() + index);
    curves.erase(curves.begin() + index);
    profile_.SetCustomCurveNames(customNames_);
    for (int curve = 0; curve < static_cast<int>(curves.size()); ++curve) {
        profile_.SetCustomCurve(curve, curves[static_cast<std::size_t>(curve)]);
    }
    view_->SetCustomNames(customNames_);
    // Nothing is written to the headset: it keeps playing what it played
    // until the user picks a curve.
    if (customNames_.empty()) {
        state_.eqType = 1;
        view_->SelectEqualiserOption(1);
        StoreSettings();
        ShowCurve(profile_.GetEqualiserCurve(1));
        view_->SetCustomRowEnabled(false);
    } else {
        state_.customEqSelectIndex = 0;
        view_->SelectCustomName(0);
        StoreSettings();
        bandValues_ = curves.front();
        ShowCurve(bandValues_);
    }
    Save();
}

void HeadsetAudio::ToggleMute(bool& muted, std::int32_t& select, const char* property,
                              void (IHeadsetAudioView::*show)(bool)) {
    muted = !muted;
    (view_->*show)(!muted);
    // The option stays as clicked when the write fails; the profile keeps
    // what the headset still does.
    if (!Write(kRecording, property, Flag(muted))) return;
    select = Flag(!muted);
    Record();
}

void HeadsetAudio::OnMicSwitch() {
    ToggleMute(micMuted_, state_.micInSelect, "MuteControl", &IHeadsetAudioView::SetMicSwitch);
}

void HeadsetAudio::OnMonitorSwitch() {
    ToggleMute(monitorMuted_, state_.micMonitorSelect, "AAMuteControl",
               &IHeadsetAudioView::SetMonitorSwitch);
}

void HeadsetAudio::WriteLevel(int level, std::int32_t& stateLevel, const char* property,
                              const PropertyParameter& channel) {
    level = std::clamp(level, 0, 100);
    if (!Write(kRecording, property, LevelToScalar(level), channel)) return;
    stateLevel = level;
    Record();
}

void HeadsetAudio::OnMicSlider() {
    WriteLevel(view_->MicLevel(), state_.micInValue, "VolumeScalarControl", kAllChannels);
}

void HeadsetAudio::OnMonitorSlider() {
    WriteLevel(view_->MonitorLevel(), state_.micMonitorValue, "AAVolumeScalarControl",
               kFirstChannel);
}

void HeadsetAudio::OnVoiceChangerSwitch() {
    const bool on = view_->VoiceChangerSwitch();
    view_->SetVoiceLayoutEnabled(on);
    Write(kRecording, "Enable_MAGICVOICE", Flag(on));
    if (on) Write(kRecording, "Enable_MICECHO", 0);
    state_.magicEnable = Flag(on);
    Record();
}

void HeadsetAudio::OnVoice(int voice) {
    // Only the four voices exist; any other number would select a voice the
    // library does not have.
    if (voice < 1 || voice > kVoiceCount) return;
    Write(kRecording, "MagicVoice_Selection", voice - 1);
    state_.magicType = voice;
    view_->SelectVoice(voice);
    Record();
}

bool HeadsetAudio::HasCustomName(const std::string& name) const {
    return std::any_of(customNames_.begin(), customNames_.end(),
                       [&](const std::string& known) { return EqualIgnoringCase(known, name); });
}

void HeadsetAudio::StoreSettings() {
    profile_.SetSystemSettings(state_);
}

void HeadsetAudio::Save() {
    // A failed save leaves the document in memory; the next save writes it,
    // and the panels already show what the user chose.
    if (saveProfile_) saveProfile_();
}

void HeadsetAudio::Record() {
    StoreSettings();
    Save();
}

void HeadsetAudio::Notify(const char* text, bool textIsId) {
    if (asker_ == nullptr) return;
    Question question;
    question.text = text;
    question.textIsId = textIsId;
    asker_->Ask(question);
}

}  // namespace q731
