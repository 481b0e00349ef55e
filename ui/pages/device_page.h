#pragma once
// Device pages: what the mouse, keyboard and mouse-pad pages show of their
// device and what their controls do to it. A page binds the buttons of the
// device picture to key and LED numbers and the panels of its layout, shows
// the device's state when the device asks (IDeviceView), follows the LED
// colours in the picture, and carries out the actions the main window routes
// to it (lighting, key assignment, the device's own settings).

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/key_table_device.h"
#include "devices/lighting/led_colours.h"
#include "devices/usb_device.h"
#include "platform/question.h"
#include "ui/controls/device_tab_controls.h"
#include "ui/widgets/paint_manager.h"

namespace q731 {

class CDeviceKeyButtonUI;
class CSelectPanelUI;
class CLightControlUI;
class CKeySetControlUI;
class CDeviceProfileUI;
class CWindowWnd;

// A control's notification as the main window hands it on: the sender's name
// (for a numbered name its prefix, with `number` the index) and the value the
// notification carries.
enum class PageNotify {
    Click,
    SelectChanged,
    ValueChanged,
    MoveValueChanged,
    ItemSelect,
    KillFocus,
    ColorChanged
};

struct PageEvent {
    PageNotify kind = PageNotify::Click;
    std::string name;
    int number = -1;
    CControlUI* sender = nullptr;
    std::uintptr_t wParam = 0;
};

// Everything a page needs from the window that holds it.
struct PageContext {
    CPaintManagerUI* manager = nullptr;
    CControlUI* root = nullptr;  // the page's own root control
    CVexloUSBDevice* device = nullptr;
    IQuestionAsker* asker = nullptr;
    CMpDevicePowerUI* powerPanel = nullptr;
    CWindowWnd* owner = nullptr;  // the window file dialogs belong to
    // Ends synchronised lighting for this device (its link flag and its tab's).
    std::function<void()> clearSync;
    // After a profile was reset to its defaults (the music styles go back to
    // theirs with it).
    std::function<void()> profileReset;
};

class CDevicePage {
public:
    explicit CDevicePage(PageContext context);
    virtual ~CDevicePage();
    CDevicePage(const CDevicePage&) = delete;
    CDevicePage& operator=(const CDevicePage&) = delete;

    // The device's view of this page.
    virtual IDeviceView& View() = 0;

    // Binds the picture buttons and the panels (once, after the page was built).
    void BuildPage();

    // Actions routed by the main window. False when the event is not this
    // page's (another kind of device, or a control it does not have).
    bool OnLighting(const PageEvent& event);
    bool OnKeyAssignment(const PageEvent& event);
    virtual bool OnSettings(const PageEvent& event) {
        (void)event;
        return false;
    }
    // The profile panel's buttons (add, delete, copy, reset, import, export,
    // rename, the button area).
    bool OnProfile(const PageEvent& event);
    // The music mode's colours on the lighting panel (a keyboard's only).
    virtual bool OnMusicLighting(const PageEvent& event) {
        (void)event;
        return false;
    }
    // The mouse's shooting panel: slots, bullets, the bullet's values, reset,
    // import, export and sending; false on any other kind of device.
    virtual bool OnShooting(const PageEvent& event) {
        (void)event;
        return false;
    }
    // Stores, saves and sends `light` and shows it in the lighting panel (a
    // change made for the device rather than on its page).
    void ApplyLighting(const LightSetting& light);
    // Makes the profile chosen in the panel's list current and sends it to
    // the device (the main window runs it a moment after the choice).
    void SwitchProfile();
    // The same for entry `index` of the list, chosen from outside the page
    // (q731ctl): the list, when the page has one, shows it selected. False when
    // there is no such entry, the choice cannot be stored or the device did not
    // take the profile.
    bool SwitchToProfile(int index);
    // The device's macro list changed: its definitions are read again and the
    // key panel and key captions show the new names.
    void MacrosChanged();
    // The key page's save sequence: macros, then keys, then the profile.
    void SaveKeySequence() { SaveKeys(); }
    // A key pressed while the key box waits for one (scan code and extended
    // flag): a modifier picks its option, any other key of the key list
    // becomes the captured key; the selection applies at once.
    void OnCapturedKey(std::uint16_t scanCode, bool extended);

    // What the binding found (for tests and the picture).
    CDeviceKeyButtonUI* KeyButton(int key) const;
    CDeviceKeyButtonUI* LedButton(int led) const;
    int KeyButtonCount() const { return static_cast<int>(keyButtons_.size()); }
    CControlUI* Picture() const { return picture_; }
    CControlUI* Root() const { return context_.root; }
    CLightControlUI* LightPanel() const { return lightPanel_; }
    CKeySetControlUI* KeyPanel() const { return keyPanel_; }
    CDeviceProfileUI* ProfilePanel() const { return profilePanel_; }

    // The language text of `key`, read through the page's hidden "text_test".
    std::string Text(std::string_view key);
    // Shows the LED colours in the picture (the device's lighting tick).
    virtual void ShowPicture(std::span<const LedColour> leds);

protected:
    // The picture buttons of the layout; the base binds every DeviceKeyButton
    // under `container`.
    virtual void BindPicture();
    // Binds one picture button by its name and user data.
    virtual void BindButton(CDeviceKeyButtonUI& button, CSelectPanelUI* panel);
    // The picture of a device without keys: every LED button under `container`.
    void BindLedButtons(std::string_view container);
    virtual void AfterBinding() {}
    // The panels; only when the page has a device picture.
    void BindPanels();

    // IDeviceView parts every page shares.
    void ShowFunctionPageImpl(int page);
    void ShowSelectedKeyImpl(int key);
    void ShowPowerImpl(std::span<const std::uint8_t> block);
    // The lighting panel from the device's record.
    void RefreshLighting();
    // Captions of every key (keyboard and mouse), handed to ShowKeyFunction.
    void RefreshKeyFunctions();
    virtual void ShowKeyFunction(int key, const std::string& caption) {
        (void)key;
        (void)caption;
    }
    virtual void BeginKeyFunctions() {}
    virtual void EndKeyFunctions() {}
    // The caption of `code` for this device kind; nullopt keeps the key's.
    virtual std::optional<std::string> CaptionOf(const AssignmentCode& code);

    template <typename T = CControlUI>
    T* Find(std::string_view name) const {
        return dynamic_cast<T*>(FindIn(context_.root, name));
    }
    static CControlUI* FindIn(CControlUI* parent, std::string_view name);
    void SelectOnly(std::string_view prefix, int count, int chosen);
    // The four steps every lighting change ends with.
    void Apply(const LightSetting& light);
    void ClearSync();
    CKeyTableDevice* KeyDevice() const;
    bool IsKeyboard() const;
    bool IsMouse() const;

    PageContext context_;
    std::vector<CDeviceKeyButtonUI*> keyButtons_;
    std::vector<CDeviceKeyButtonUI*> ledButtons_;
    CControlUI* picture_ = nullptr;
    CLightControlUI* lightPanel_ = nullptr;
    CKeySetControlUI* keyPanel_ = nullptr;
    CDeviceProfileUI* profilePanel_ = nullptr;

private:
    void BindProfilePanel();
    // Loads the current profile and sends it: settings, then (keyboard and
    // mouse) macros and keys. `reset` hides the key editor and leaves the
    // macro assignments as the defaults give them.
    // Loads the current profile and sends it; false when the device lacks it.
    bool SendProfile(bool reset);
    void ResetProfile();
    // Shows "message_text_16" with the count of events that do not fit.
    void TellMacroOverflow(int count);
    // The macros, then the key table unless the macros do not fit (false then).
    bool SendMacrosAndKeys();
    bool OnColourChosen(UiColor colour, bool fromPalette);
    bool OnColourBox(int component, CControlUI& box);
    void ApplyKeySelection();
    void SaveKeys();
    void RestoreFactoryKeys();
};

// The page of a device object, by the device's kind.
std::unique_ptr<CDevicePage> MakeDevicePage(PageContext context);

}  // namespace q731
