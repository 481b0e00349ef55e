#include <algorithm>
#include <cctype>
#include <string>

#include "devices/keys/key_list.h"
#include "devices/keys/keyboard_keys.h"
#include "ui/controls/custom_controls.h"
#include "ui/controls/light_control.h"
#include "ui/pages/kind_pages.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"
#include "ui/widgets/range.h"

namespace q731 {

namespace {

bool SameTextNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The display-name text id of logical key `key`: the key-list row carrying
// the key's factory code.
std::string_view KeyNameId(int key) {
    if (key < 0 || key >= kKeyboardLogicalKeys) return {};
    const int row = FindKeyListRow(kKeyboardFactoryCodes[static_cast<std::size_t>(key)]);
    return row >= 0 ? kKeyList[static_cast<std::size_t>(row)].nameKey : std::string_view();
}

}  // namespace

void CKeyboardPage::BindPicture() {
    CControlUI* picture = Find("keyboard_device_key_light");
    if (!picture) return;
    picture_ = picture;
    picture->FindControl([this](CControlUI* control) {
        if (auto* button = dynamic_cast<CDeviceKeyButtonUI*>(control)) BindButton(*button, nullptr);
        return false;
    });
}

void CKeyboardPage::BeginKeyFunctions() {
    keys_ = Keyboard().ProfileData().GetKeyList();
}

void CKeyboardPage::ShowKeyFunction(int key, const std::string& caption) {
    CDeviceKeyButtonUI* button = KeyButton(key);
    if (!button) return;
    const std::string name = Text(KeyNameId(key));
    button->SetToolTipTitle(name);
    // Keys doing something other than their own function carry the mark; a
    // key whose code is its factory code never does, even when its name and
    // the caption of that code are worded differently.
    const bool factory = key < static_cast<int>(keys_.size()) &&
                         keys_[static_cast<std::size_t>(key)].current.Code() ==
                             keys_[static_cast<std::size_t>(key)].factory.Code();
    button->SetKeySetHidden(factory || SameTextNoCase(name, caption));
    button->SetToolTip(name + Text("Key_Set") + caption);
}

void CKeyboardPage::EndKeyFunctions() {
    ShowRepeatHint();
}

void CKeyboardPage::ShowRepeatHint() {
    const KeyboardSystemSettings settings = Keyboard().Profile().GetSystemSettings();
    const int delay =
        settings.repeatDelay < CVexloKeyboardDevice::kRepeatDelays ? settings.repeatDelay : 0;
    if (CControlUI* label = Find("repeat_delay_time_label1")) {
        label->SetText(Text("Repeat_Delay_Time") +
                       std::to_string(CVexloKeyboardDevice::RepeatDelayMs(delay)) + "ms");
    }
    if (auto* box = Find<CEditUI>("repeat_input_richedit"))
        box->SetTipValue(Text("Repeat_input_text"));
}

void CKeyboardPage::ShowMusicControls() {
    const AudioLightSetting audio = Keyboard().Profile().GetAudioLightSetting();
    if (auto* modes = Find<CComboUI>("light_combo_audiomodeSelect")) {
        if (audio.audioMode < modes->GetCount()) modes->SelectItem(audio.audioMode, false, false);
    }
    const bool foreground = audio.colorType != 0;
    if (auto* check = Find<COptionUI>("audio_FgColor_check")) check->Selected(foreground, false);
    if (auto* check = Find<COptionUI>("audio_BkColor_check")) check->Selected(!foreground, false);
    if (foreground) {
        if (auto* seven = Find<COptionUI>("deng_7audiocolor_check"))
            seven->Selected(audio.sevenColors != 0, false);
    }
    const std::uint8_t red = foreground ? audio.foregroundRed : audio.backgroundRed;
    const std::uint8_t green = foreground ? audio.foregroundGreen : audio.backgroundGreen;
    const std::uint8_t blue = foreground ? audio.foregroundBlue : audio.backgroundBlue;
    const std::uint8_t channels[] = {red, green, blue};
    const char* boxes[] = {"deng_audioedit_R", "deng_audioedit_G", "deng_audioedit_B"};
    for (int i = 0; i < 3; ++i) {
        if (CControlUI* box = Find(boxes[i])) box->SetText(std::to_string(channels[i]));
    }
    const UiColor colour =
        0xFF000000u | std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
    if (auto* palette = Find<CColorPaletteUI>("deng_audioColor_Pallet"))
        palette->SetSelectColor(colour);
    if (CControlUI* preview = Find("deng_audiocolordp_btn")) preview->SetBkColor(colour);
    // The mode that follows the music's own colours takes no colour.
    const bool colours = audio.audioMode != 3;
    if (CControlUI* layout = Find("light_audiocolor_layout")) layout->SetEnabled(colours);
    if (CControlUI* layout = Find("audiocolorpallet_layout")) layout->SetEnabled(colours);
}

void CKeyboardPage::Refresh() {
    RefreshKeyFunctions();
    RefreshLighting();
    ShowMusicControls();
    const KeyboardSystemSettings settings = Keyboard().Profile().GetSystemSettings();
    if (auto* option = Find<COptionUI>("winlockflag_option"))
        option->Selected(settings.winFlag != 0, false);
    if (auto* option = Find<COptionUI>("wflag_option"))
        option->Selected(settings.wFlag != 0, false);
    if (auto* option = Find<COptionUI>("6flag_option"))
        option->Selected(settings.key6Flag != 0, false);
    if (auto* slider = Find<CSliderUI>("repeat_rate_slider")) slider->SetValue(settings.repeat);
    const int delay = settings.repeatDelay;
    ShowRepeatDelay(delay, CVexloKeyboardDevice::RepeatDelayMs(delay));
    if (auto* box = Find<CEditUI>("repeat_input_richedit")) {
        box->SetText("");
        box->SetTipValue(Text("Repeat_input_text"));
    }
    ShowPollingRate(settings.pollingRate);
}

void CKeyboardPage::ShowPollingRate(int index) {
    const int count = CVexloKeyboardDevice::kPollingRates;
    SelectOnly("polling_rate_option_", count, index >= 0 && index < count ? index : 0);
}

void CKeyboardPage::ShowRepeatDelay(int index, int milliseconds) {
    const int count = CVexloKeyboardDevice::kRepeatDelays;
    const bool known = index >= 0 && index < count;
    SelectOnly("repeat_delay_check_", count, known ? index : 0);
    if (CControlUI* label = Find("repeat_delay_time_label1")) {
        const int ms = known ? milliseconds : CVexloKeyboardDevice::RepeatDelayMs(0);
        label->SetText(Text("Repeat_Delay_Time") + std::to_string(ms) + "ms");
    }
}

bool CKeyboardPage::OnSettings(const PageEvent& event) {
    CVexloKeyboardDevice& keyboard = Keyboard();
    auto* option = dynamic_cast<COptionUI*>(event.sender);
    if (event.kind == PageNotify::SelectChanged && option) {
        static constexpr std::pair<std::string_view, KeyboardFlag> kFlags[] = {
            {"winlockflag_option", KeyboardFlag::WinLock},
            {"wflag_option", KeyboardFlag::WKey},
            {"6flag_option", KeyboardFlag::SixKey}};
        for (const auto& [name, flag] : kFlags) {
            if (event.name == name) {
                (void)keyboard.SetFlag(flag, option->IsSelected());  // refused only while closed
                return true;
            }
        }
        if (!option->IsSelected()) return true;  // only the newly chosen option acts
        if (event.name == "polling_rate_option_") {
            (void)keyboard.SetPollingRate(event.number);  // kept in the profile either way
            return true;
        }
        if (event.name == "repeat_delay_check_") {
            (void)keyboard.SetRepeatDelay(event.number);  // an unknown option is ignored
            return true;
        }
    }
    if (event.name == "repeat_rate_slider" && event.kind == PageNotify::ValueChanged) {
        if (auto* slider = dynamic_cast<CSliderUI*>(event.sender))
            keyboard.SetRepeatRate(slider->GetValue());
        return true;
    }
    return false;
}

bool CKeyboardPage::OnMusicLighting(const PageEvent& event) {
    CVexloKeyboardDevice& keyboard = Keyboard();
    AudioLightSetting audio = keyboard.Profile().GetAudioLightSetting();
    const bool foreground = audio.colorType != 0;
    // The colour the edits change: the foreground's or the background's.
    std::uint8_t* channels[] = {foreground ? &audio.foregroundRed : &audio.backgroundRed,
                                foreground ? &audio.foregroundGreen : &audio.backgroundGreen,
                                foreground ? &audio.foregroundBlue : &audio.backgroundBlue};
    auto setColour = [&](std::uint32_t rgb) {
        *channels[0] = static_cast<std::uint8_t>(rgb >> 16);
        *channels[1] = static_cast<std::uint8_t>(rgb >> 8);
        *channels[2] = static_cast<std::uint8_t>(rgb);
    };
    auto* option = dynamic_cast<COptionUI*>(event.sender);
    const bool chosen = event.kind == PageNotify::SelectChanged && option && option->IsSelected();
    const std::string_view name = event.name;
    if (name == "deng_audioColor_Pallet" && event.kind == PageNotify::ColorChanged) {
        setColour(static_cast<std::uint32_t>(event.wParam));
    } else if (name == "audiocolor_option_" && chosen) {
        setColour(option->GetBkColor());
    } else if ((name == "deng_audioedit_R" || name == "deng_audioedit_G" ||
                name == "deng_audioedit_B") &&
               event.kind == PageNotify::KillFocus && event.sender) {
        // Decimal text, capped to 0-255; empty or unreadable text is 0.
        const std::string text = event.sender->GetText();
        long value = 0;
        try {
            value = text.empty() ? 0 : std::stol(text);
        } catch (...) {
            value = 0;
        }
        const int channel = name.back() == 'R' ? 0 : name.back() == 'G' ? 1 : 2;
        *channels[channel] = static_cast<std::uint8_t>(std::clamp(value, 0L, 255L));
        if (foreground) audio.sevenColors = 0;
    } else if (name == "Close_bkColor_btn" && event.kind == PageNotify::Click) {
        audio.backgroundRed = audio.backgroundGreen = audio.backgroundBlue = 0;
    } else if (name == "light_combo_audiomodeSelect" && event.kind == PageNotify::ItemSelect) {
        auto* modes = dynamic_cast<CComboUI*>(event.sender);
        if (!modes || modes->GetCurSel() < 0) return true;
        audio.audioMode = static_cast<std::uint8_t>(std::min(modes->GetCurSel(), 255));
    } else if (name == "deng_7audiocolor_check" && event.kind == PageNotify::SelectChanged &&
               option) {
        audio.sevenColors = option->IsSelected() ? 1 : 0;
    } else if ((name == "audio_FgColor_check" || name == "audio_BkColor_check") && chosen) {
        audio.colorType = name == "audio_FgColor_check" ? 1 : 0;
    } else {
        return false;
    }
    keyboard.SetAudioSettings(audio);
    ShowMusicControls();
    return true;
}

}  // namespace q731
