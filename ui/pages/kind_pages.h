#pragma once
// The four device pages: mouse, keyboard, mouse pad and headset.

#include <optional>
#include <string>
#include <vector>

#include "devices/keyboard_device.h"
#include "devices/mouse_device.h"
#include "devices/mouse_pad_device.h"
#include "headset/headset_audio.h"
#include "ui/pages/device_page.h"

namespace q731 {

class CShootControlUI;
class CVoice6533ControlUI;
class CMagicControlUI;
class CVexloHS6533Device;

class CKeyboardPage final : public CDevicePage, public IKeyboardView {
public:
    explicit CKeyboardPage(PageContext context) : CDevicePage(std::move(context)) {}
    IDeviceView& View() override { return *this; }
    bool OnSettings(const PageEvent& event) override;
    bool OnMusicLighting(const PageEvent& event) override;

    // IKeyboardView.
    void Refresh() override;
    void ShowPower(std::span<const std::uint8_t> block) override { ShowPowerImpl(block); }
    void ShowFunctionPage(int page) override { ShowFunctionPageImpl(page); }
    void ShowSelectedKey(int key) override { ShowSelectedKeyImpl(key); }
    void ShowPollingRate(int index) override;
    void ShowRepeatDelay(int index, int milliseconds) override;

protected:
    void BindPicture() override;
    void BeginKeyFunctions() override;
    void ShowKeyFunction(int key, const std::string& caption) override;
    void EndKeyFunctions() override;

private:
    std::vector<KeyEntry> keys_;  // the assignments being shown
    CVexloKeyboardDevice& Keyboard() {
        return static_cast<CVexloKeyboardDevice&>(*context_.device);
    }
    void ShowMusicControls();
    void ShowRepeatHint();
};

class CMousePage final : public CDevicePage, public IMouseView {
public:
    explicit CMousePage(PageContext context) : CDevicePage(std::move(context)) {}
    IDeviceView& View() override { return *this; }
    bool OnSettings(const PageEvent& event) override;
    bool OnShooting(const PageEvent& event) override;
    void ShowPicture(std::span<const LedColour> leds) override;

    // IMouseView.
    void Refresh() override;
    void ShowPower(std::span<const std::uint8_t> block) override { ShowPowerImpl(block); }
    void ShowFunctionPage(int page) override;
    void ShowSelectedKey(int key) override { ShowSelectedKeyImpl(key); }
    void ShowStageEnabled(int stage, bool on) override;
    void ShowStageValue(int stage, int step) override;
    void ShowStageColour(int stage, std::uint32_t colour) override;
    void ShowPollingRate(int index) override;

    // Settings sub-page n (0 when the layout has no such page).
    void ShowSettingsPage(int page);
    CDeviceKeyButtonUI* SecondLedButton(int led) const;
    CDeviceKeyButtonUI* LogoButton() const { return logo_; }
    CShootControlUI* ShootControl() const { return shootControl_; }

protected:
    void BindPicture() override;
    void BindButton(CDeviceKeyButtonUI& button, CSelectPanelUI* panel) override;
    void AfterBinding() override;
    std::optional<std::string> CaptionOf(const AssignmentCode& code) override;
    void BeginKeyFunctions() override;
    void ShowKeyFunction(int key, const std::string& caption) override;
    void EndKeyFunctions() override;

private:
    CVexloMouseDevice& Mouse() { return static_cast<CVexloMouseDevice&>(*context_.device); }
    void ShowLogoTooltip();
    void ShowKeyInfoRow(int button);
    // The shooting panel in the page-builder order.
    void BindShootPanel();
    // "shootdate_save_btn": all four slots to the mouse.
    void SendShootData();

    std::vector<CDeviceKeyButtonUI*> secondLeds_;
    CControlUI* secondPicture_ = nullptr;
    CDeviceKeyButtonUI* logo_ = nullptr;
    CShootControlUI* shootControl_ = nullptr;
};

// The headset's page: its LEDs in the picture, the lighting panel.
// The headset's page: its picture and lighting as the mouse pad's, and the
// sound and voice changer panels, which it shows for the headset's audio
// logic and whose controls it hands to that logic.
class CHeadsetPage final : public CDevicePage, public IDeviceView, public IHeadsetAudioView {
public:
    explicit CHeadsetPage(PageContext context) : CDevicePage(std::move(context)) {}
    ~CHeadsetPage() override;
    IDeviceView& View() override { return *this; }
    bool OnSettings(const PageEvent& event) override;

    void Refresh() override { RefreshLighting(); }
    void ShowFunctionPage(int page) override { ShowFunctionPageImpl(page); }

    // IHeadsetAudioView, over the two panels (a panel the layout lacks shows
    // nothing and reads as its defaults).
    void SelectEqualiserOption(int choice) override;
    void SetCustomRowEnabled(bool enabled) override;
    void SetBandSlider(int band, int value) override;
    int BandSlider(int band) const override;
    void SetCustomNames(const std::vector<std::string>& names) override;
    void SelectCustomName(int index) override;
    int SelectedCustomName() const override;
    void SetNameEditText(const std::string& text) override;
    std::string NameEditText() const override;
    void SetMicSwitch(bool on) override;
    void SetMicLevel(int level) override;
    int MicLevel() const override;
    void SetMonitorSwitch(bool on) override;
    void SetMonitorLevel(int level) override;
    int MonitorLevel() const override;
    void SetVoiceChangerSwitch(bool on) override;
    bool VoiceChangerSwitch() const override;
    void SelectVoice(int voice) override;
    void SetVoiceLayoutEnabled(bool enabled) override;

    CVoice6533ControlUI* SoundPanel() const { return soundPanel_; }
    CMagicControlUI* VoicePanel() const { return voicePanel_; }

protected:
    void BindPicture() override;
    void AfterBinding() override;

private:
    CVexloHS6533Device* Headset() const;

    CVoice6533ControlUI* soundPanel_ = nullptr;
    CMagicControlUI* voicePanel_ = nullptr;
};

class CPadPage final : public CDevicePage, public IDeviceView {
public:
    explicit CPadPage(PageContext context) : CDevicePage(std::move(context)) {}
    IDeviceView& View() override { return *this; }

    void Refresh() override { RefreshLighting(); }
    void ShowPower(std::span<const std::uint8_t> block) override { ShowPowerImpl(block); }
    void ShowFunctionPage(int page) override { ShowFunctionPageImpl(page); }

protected:
    void BindPicture() override;
};

}  // namespace q731
