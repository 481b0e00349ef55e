#include "headset/hs6533_device.h"
#include "ui/controls/headset_panels.h"
#include "ui/pages/kind_pages.h"
#include "ui/widgets/buttons.h"

namespace q731 {

CHeadsetPage::~CHeadsetPage() {
    if (CVexloHS6533Device* headset = Headset(); headset && headset->Audio().BoundView() == this)
        headset->Audio().SetView(nullptr);
}

CVexloHS6533Device* CHeadsetPage::Headset() const {
    return dynamic_cast<CVexloHS6533Device*>(context_.device);
}

void CHeadsetPage::BindPicture() {
    BindLedButtons("hs6533_device_key_light");
}

void CHeadsetPage::AfterBinding() {
    auto byClass = [this](std::string_view className) {
        return context_.root->FindControl(
            [className](CControlUI* control) { return control->GetClass() == className; });
    };
    soundPanel_ = dynamic_cast<CVoice6533ControlUI*>(byClass("Voice6533Control"));
    voicePanel_ = dynamic_cast<CMagicControlUI*>(byClass("MagicControl"));
    if (CVexloHS6533Device* headset = Headset()) {
        HeadsetAudio& audio = headset->Audio();
        audio.SetView(this);
        if (!audio.Asker()) audio.SetAsker(context_.asker);
        audio.Refresh();
    }
}

bool CHeadsetPage::OnSettings(const PageEvent& event) {
    CVexloHS6533Device* headset = Headset();
    if (!headset) return false;
    HeadsetAudio& audio = headset->Audio();
    const std::string_view name = event.name;
    const bool selectChanged = event.kind == PageNotify::SelectChanged;
    // An option group reports the option that lost the selection as well.
    auto* option = dynamic_cast<COptionUI*>(event.sender);
    const bool chosen = selectChanged && option && option->IsSelected();
    // A slider acts on every step of a drag as well as where it is let go,
    // so that the sound follows the handle.
    const bool sliderMoved =
        event.kind == PageNotify::ValueChanged || event.kind == PageNotify::MoveValueChanged;
    const bool click = event.kind == PageNotify::Click;

    if (name == "6533_eq_option_") {
        if (chosen) audio.OnEqualiserOption(event.number);
    } else if (name == "6533_eq_hz_slider_") {
        if (sliderMoved) audio.OnBandSlider(event.number);
    } else if (name == "custom_eq_name_combo") {
        if (event.kind == PageNotify::ItemSelect) audio.OnCustomNameChosen();
    } else if (name == "hs_EQ_btn_save") {
        if (click) audio.OnSaveCustomCurve();
    } else if (name == "hs_EQ_btn_delete") {
        if (click) audio.OnDeleteCustomCurve();
    } else if (name == "6533_MicIn_option") {
        if (selectChanged) audio.OnMicSwitch();
    } else if (name == "6533_MicMoniter_option") {
        if (selectChanged) audio.OnMonitorSwitch();
    } else if (name == "6533_MicIn_slider") {
        if (sliderMoved) audio.OnMicSlider();
    } else if (name == "6533_MicMoniter_slider") {
        if (sliderMoved) audio.OnMonitorSlider();
    } else if (name == "magic_enable_option") {
        if (selectChanged) audio.OnVoiceChangerSwitch();
    } else if (name == "magic_option_") {
        if (chosen) audio.OnVoice(event.number);
    } else {
        return false;
    }
    return true;
}

void CHeadsetPage::SelectEqualiserOption(int choice) {
    if (soundPanel_) soundPanel_->SelectEqualiserOption(choice);
}

void CHeadsetPage::SetCustomRowEnabled(bool enabled) {
    if (soundPanel_) soundPanel_->SetCustomRowEnabled(enabled);
}

void CHeadsetPage::SetBandSlider(int band, int value) {
    if (soundPanel_) soundPanel_->SetBandSlider(band, value);
}

int CHeadsetPage::BandSlider(int band) const {
    return soundPanel_ ? soundPanel_->BandSlider(band) : 0;
}

void CHeadsetPage::SetCustomNames(const std::vector<std::string>& names) {
    if (soundPanel_) soundPanel_->SetCustomNames(names);
}

void CHeadsetPage::SelectCustomName(int index) {
    if (soundPanel_) soundPanel_->SelectCustomName(index);
}

int CHeadsetPage::SelectedCustomName() const {
    return soundPanel_ ? soundPanel_->SelectedCustomName() : -1;
}

void CHeadsetPage::SetNameEditText(const std::string& text) {
    if (soundPanel_) soundPanel_->SetNameEditText(text);
}

std::string CHeadsetPage::NameEditText() const {
    return soundPanel_ ? soundPanel_->NameEditText() : std::string();
}

void CHeadsetPage::SetMicSwitch(bool on) {
    if (soundPanel_) soundPanel_->SetMicSwitch(on);
}

void CHeadsetPage::SetMicLevel(int level) {
    if (soundPanel_) soundPanel_->SetMicLevel(level);
}

int CHeadsetPage::MicLevel() const {
    return soundPanel_ ? soundPanel_->MicLevel() : 0;
}

void CHeadsetPage::SetMonitorSwitch(bool on) {
    if (soundPanel_) soundPanel_->SetMonitorSwitch(on);
}

void CHeadsetPage::SetMonitorLevel(int level) {
    if (soundPanel_) soundPanel_->SetMonitorLevel(level);
}

int CHeadsetPage::MonitorLevel() const {
    return soundPanel_ ? soundPanel_->MonitorLevel() : 0;
}

void CHeadsetPage::SetVoiceChangerSwitch(bool on) {
    if (voicePanel_) voicePanel_->SetVoiceChangerSwitch(on);
}

bool CHeadsetPage::VoiceChangerSwitch() const {
    return voicePanel_ && voicePanel_->VoiceChangerSwitch();
}

void CHeadsetPage::SelectVoice(int voice) {
    if (voicePanel_) voicePanel_->SelectVoice(voice);
}

void CHeadsetPage::SetVoiceLayoutEnabled(bool enabled) {
    if (voicePanel_) voicePanel_->SetVoiceLayoutEnabled(enabled);
}

}  // namespace q731
