#pragma once
// The headset's audio settings without widgets: what audio start asks of the
// configuration library, how current values are read back, and what every
// control of the audio panel and the voice changer panel does to the library,
// the panels and the profile.
//
// The panels are reached through IHeadsetAudioView, which the headset page
// implements; PanelStateView keeps the same state in memory when no page is
// bound (and is what tests look at). A null library means none could be
// loaded: every library call is skipped and the controls still update the
// panels and the profile. Everything here runs on the UI thread.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "headset/audio_conf.h"
#include "platform/question.h"
#include "profiles/hs6533_profiledata.h"

namespace q731 {

using EqualiserCurve = CHs6533Profiledata::Curve;

// What the audio panel ("Voice6533ControlItem") and the voice changer panel
// ("MagicControlItem") show, and the few things the logic reads back from them.
class IHeadsetAudioView {
public:
    virtual ~IHeadsetAudioView() = default;

    // "6533_eq_option_" + choice (1-13) selected.
    virtual void SelectEqualiserOption(int choice) = 0;
    // "custom_eq_option_layout".
    virtual void SetCustomRowEnabled(bool enabled) = 0;
    // "6533_eq_hz_slider_" + band (0-9).
    virtual void SetBandSlider(int band, int value) = 0;
    virtual int BandSlider(int band) const = 0;
    // "custom_eq_name_combo": refilled with `names` (text and user data = the
    // name); the selection is -1 for none.
    virtual void SetCustomNames(const std::vector<std::string>& names) = 0;
    virtual void SelectCustomName(int index) = 0;
    virtual int SelectedCustomName() const = 0;
    // "custom_eq_name_edit".
    virtual void SetNameEditText(const std::string& text) = 0;
    virtual std::string NameEditText() const = 0;
    // "6533_MicIn_option" / "6533_MicMoniter_option" (selected = on) and their sliders (0-100).
    virtual void SetMicSwitch(bool on) = 0;
    virtual void SetMicLevel(int level) = 0;
    virtual int MicLevel() const = 0;
    virtual void SetMonitorSwitch(bool on) = 0;
    virtual void SetMonitorLevel(int level) = 0;
    virtual int MonitorLevel() const = 0;
    // "magic_enable_option", "magic_option_" + voice (1-4), "magic_option_layout".
    virtual void SetVoiceChangerSwitch(bool on) = 0;
    virtual bool VoiceChangerSwitch() const = 0;
    virtual void SelectVoice(int voice) = 0;
    virtual void SetVoiceLayoutEnabled(bool enabled) = 0;
};

// Both panels as plain state.
struct AudioPanels {
    int equaliserOption = 0;
    bool customRowEnabled = false;
    EqualiserCurve bandSliders{};
    std::vector<std::string> customNames;
    int customSelection = -1;
    std::string nameEdit;
    bool micSwitch = false;
    int micLevel = 0;
    bool monitorSwitch = false;
    int monitorLevel = 0;
    bool voiceChangerSwitch = false;
    int voice = 0;
    bool voiceLayoutEnabled = false;
};

class PanelStateView final : public IHeadsetAudioView {
public:
    AudioPanels panels;

    void SelectEqualiserOption(int choice) override { panels.equaliserOption = choice; }
    void SetCustomRowEnabled(bool enabled) override { panels.customRowEnabled = enabled; }
    void SetBandSlider(int band, int value) override;
    int BandSlider(int band) const override;
    void SetCustomNames(const std::vector<std::string>& names) override;
    void SelectCustomName(int index) override { panels.customSelection = index; }
    int SelectedCustomName() const override { return panels.customSelection; }
    void SetNameEditText(const std::string& text) override { panels.nameEdit = text; }
    std::string NameEditText() const override { return panels.nameEdit; }
    void SetMicSwitch(bool on) override { panels.micSwitch = on; }
    void SetMicLevel(int level) override { panels.micLevel = level; }
    int MicLevel() const override { return panels.micLevel; }
    void SetMonitorSwitch(bool on) override { panels.monitorSwitch = on; }
    void SetMonitorLevel(int level) override { panels.monitorLevel = level; }
    int MonitorLevel() const override { return panels.monitorLevel; }
    void SetVoiceChangerSwitch(bool on) override { panels.voiceChangerSwitch = on; }
    bool VoiceChangerSwitch() const override { return panels.voiceChangerSwitch; }
    void SelectVoice(int voice) override { panels.voice = voice; }
    void SetVoiceLayoutEnabled(bool enabled) override { panels.voiceLayoutEnabled = enabled; }
};

// The fixed equaliser curves of choices 1-12, band 1 first.
EqualiserCurve PresetCurve(int choice);

class HeadsetAudio {
public:
    static constexpr int kMaxCustomCurves = 20;
    static constexpr int kCustomChoice = CHs6533Profiledata::kCustomCurveType;
    static constexpr int kVoiceCount = 4;

    // `library` may be null (none could be loaded); `asker` may be null (no
    // messages are shown); `saveProfile` writes the profile file.
    HeadsetAudio(IAudioConfLib* library, CHs6533Profiledata& profile,
                 std::function<bool()> saveProfile, IQuestionAsker* asker);
    // The view may point into the object itself.
    HeadsetAudio(const HeadsetAudio&) = delete;
    HeadsetAudio& operator=(const HeadsetAudio&) = delete;

    // Binds the page's panels; null returns to the in-memory panels.
    void SetView(IHeadsetAudioView* view);
    IHeadsetAudioView& View() { return *view_; }
    // The page's panels, or null while the in-memory ones are used.
    IHeadsetAudioView* BoundView() const { return view_ == &ownPanels_ ? nullptr : view_; }
    // Who is asked to show the library's messages (null: nobody).
    void SetAsker(IQuestionAsker* asker) { asker_ = asker; }
    IQuestionAsker* Asker() const { return asker_; }

    // Audio start: load and initialise the library, choose the endpoints, read
    // their feature masks, give unset properties their defaults, then read the
    // current values.
    void Start();
    // The microphone, monitoring and voice changer values the library holds,
    // into the audio state (not the profile).
    void ReadCurrentValues();
    // At every connect: the library finds the headset again (a replugged
    // headset may come back under another sound card), then the current
    // values are read. When audio start never reached the library (the
    // headset's audio was not there yet) the whole start runs now.
    void Connect();
    // The audio state, band values and custom names from the profile. Makes
    // no library call: a profile switch reaches the library only when the
    // user next changes a control.
    void LoadFromProfile();
    // Both panels from the audio state.
    void Refresh();

    // Control actions, named after the controls.
    void OnEqualiserOption(int choice);  // "6533_eq_option_" + choice
    void OnBandSlider(int band);         // "6533_eq_hz_slider_" + band
    void OnCustomNameChosen();           // "custom_eq_name_combo"
    void OnSaveCustomCurve();            // "hs_EQ_btn_save"
    void OnDeleteCustomCurve();          // "hs_EQ_btn_delete"
    void OnMicSwitch();                  // "6533_MicIn_option"
    void OnMonitorSwitch();              // "6533_MicMoniter_option"
    void OnMicSlider();                  // "6533_MicIn_slider"
    void OnMonitorSlider();              // "6533_MicMoniter_slider"
    void OnVoiceChangerSwitch();         // "magic_enable_option"
    void OnVoice(int voice);             // "magic_option_" + voice

    // The audio state in the order of "SystemSetStages".
    const HeadsetSystemSettings& State() const { return state_; }
    bool MicMuted() const { return micMuted_; }
    bool MonitorMuted() const { return monitorMuted_; }
    const EqualiserCurve& BandValues() const { return bandValues_; }
    const std::vector<std::string>& CustomNames() const { return customNames_; }
    std::optional<ConfDeviceInfo> PlaybackEndpoint() const { return playback_; }
    std::optional<ConfDeviceInfo> RecordingEndpoint() const { return recording_; }
    std::uint32_t RecordingFeatures() const { return recordingFeatures_; }
    std::uint32_t PlaybackFeatures() const { return playbackFeatures_; }

private:
    void ReadFeatureMasks();
    void WriteStartupDefaults();
    std::uint32_t ReadFeatureMask(const ConfDeviceInfo& endpoint);

    // Skipped (nothing) without a library or without the endpoint.
    std::optional<AudioReading> Read(AudioDirection direction, std::string_view property,
                                     const PropertyParameter& parameter = {});
    // True when written, and when skipped for want of a library or endpoint:
    // the panels and profile then follow the control as if it had worked.
    bool Write(AudioDirection direction, std::string_view property, const AudioValue& value,
               const PropertyParameter& parameter = {});
    const std::optional<ConfDeviceInfo>& EndpointOf(AudioDirection direction) const;

    // Gives the headset a whole curve and shows it on the band sliders.
    void ApplyCurve(const EqualiserCurve& curve);
    // The curve of the custom name selected in the list, when one is.
    bool ApplyChosenCustomCurve();
    bool IsCustomIndex(int index) const;
    EqualiserCurve SliderValues() const;
    void ShowCurve(const EqualiserCurve& curve);
    void ToggleMute(bool& muted, std::int32_t& select, const char* property,
                    void (IHeadsetAudioView::*show)(bool));
    void WriteLevel(int level, std::int32_t& stateLevel, const char* property,
                    const PropertyParameter& channel);
    bool HasCustomName(const std::string& name) const;
    void StoreSettings();
    void Save();
    void Record();
    void Notify(const char* text, bool textIsId);

    IAudioConfLib* library_;
    bool loaded_ = false;
    CHs6533Profiledata& profile_;
    std::function<bool()> saveProfile_;
    IQuestionAsker* asker_;
    PanelStateView ownPanels_;
    IHeadsetAudioView* view_ = &ownPanels_;

    std::optional<ConfDeviceInfo> playback_;
    std::optional<ConfDeviceInfo> recording_;
    std::uint32_t playbackFeatures_ = 0;
    std::uint32_t recordingFeatures_ = 0;

    HeadsetSystemSettings state_;
    bool micMuted_ = false;
    bool monitorMuted_ = false;
    EqualiserCurve bandValues_{};
    std::vector<std::string> customNames_;
};

}  // namespace q731
