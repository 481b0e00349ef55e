#pragma once
// The headset's two audio panels. CVoice6533ControlUI holds the microphone
// and monitoring switches and levels and the equaliser (13 choices, 10 bands,
// the custom curves' row); CMagicControlUI the voice changer. Both only show
// and read back their controls: what the controls do is the headset's audio
// logic, bound through the headset page. Nothing here sends a notification.

#include <string>
#include <string_view>
#include <vector>

#include "ui/widgets/container.h"

namespace q731 {

class CVoice6533ControlUI : public CVerticalLayoutUI {
public:
    static constexpr int kEqualiserChoices = 13;
    static constexpr int kBands = 10;

    std::string_view GetClass() const override { return "Voice6533Control"; }

    // "6533_eq_option_" + choice (1-13) selected, the others not.
    void SelectEqualiserOption(int choice);
    // "custom_eq_option_layout".
    void SetCustomRowEnabled(bool enabled);
    // "6533_eq_hz_slider_" + band (0-9); a band the layout lacks reads 0.
    void SetBandSlider(int band, int value);
    int BandSlider(int band);
    // "custom_eq_name_combo": one 30-pixel entry per name, its text and user
    // data the name (never a language id); -1 selects none.
    void SetCustomNames(const std::vector<std::string>& names);
    void SelectCustomName(int index);
    int SelectedCustomName();
    // "custom_eq_name_edit".
    void SetNameEditText(const std::string& text);
    std::string NameEditText();
    // "6533_MicIn_option", "6533_MicIn_slider", "6533_MicMoniter_option",
    // "6533_MicMoniter_slider" (levels 0-100).
    void SetMicSwitch(bool on);
    void SetMicLevel(int level);
    int MicLevel();
    void SetMonitorSwitch(bool on);
    void SetMonitorLevel(int level);
    int MonitorLevel();

private:
    template <typename T>
    T* Find(std::string_view name) {
        return dynamic_cast<T*>(
            FindControl([name](CControlUI* control) { return control->GetName() == name; }));
    }
    void SetSwitch(std::string_view name, bool on);
    void SetLevel(std::string_view name, int level);
    int Level(std::string_view name);
};

class CMagicControlUI : public CVerticalLayoutUI {
public:
    static constexpr int kVoices = 4;

    std::string_view GetClass() const override { return "MagicControl"; }

    // "magic_enable_option".
    void SetVoiceChangerSwitch(bool on);
    bool VoiceChangerSwitch();
    // "magic_option_" + voice (1-4) selected, the others not.
    void SelectVoice(int voice);
    // "magic_option_layout".
    void SetVoiceLayoutEnabled(bool enabled);

private:
    CControlUI* Find(std::string_view name) {
        return FindControl([name](CControlUI* control) { return control->GetName() == name; });
    }
};

}  // namespace q731
