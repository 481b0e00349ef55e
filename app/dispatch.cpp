#include "app/dispatch.h"

#include <array>
#include <charconv>
#include <climits>

namespace q731 {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

struct Entry {
    std::string_view name;
    Owner owner;
    bool caseSensitive = false;
};

constexpr Entry kClickExact[] = {
    {"closebtn", Owner::MainWindow},
    {"nodevice_ok_btn", Owner::MainWindow},
    {"control_light_status", Owner::MainWindow},
    {"minbtn", Owner::MainWindow},
    {"maxbtn", Owner::MainWindow},
    {"restorebtn", Owner::MainWindow},
    {"skinbtn", Owner::MainWindow},
    {"setbtn", Owner::MainWindow},
    {"gamemodebtn", Owner::MainWindow},
    {"cloudbtn", Owner::MainWindow},
    {"smarteyesbtn", Owner::MainWindow},
    {"default_btn", Owner::KeyAssignment},
    {"reset_repeat_btn", Owner::KeyboardSettings},
    {"device_add_btn", Owner::ProfileList},
    {"device_sub_btn", Owner::ProfileList},
    {"device_export_btn", Owner::ProfileList},
    {"device_import_btn", Owner::ProfileList},
    {"device_copy_btn", Owner::ProfileList},
    {"device_reset_btn", Owner::ProfileList},
    {"device_profile_edit_save_btn", Owner::ProfileList},
    {"profile_fun_spread_btn", Owner::ProfileList},
    {"key_butt_keysave", Owner::KeyAssignment},
    {"key_butt_keydefalut", Owner::KeyAssignment},
    {"key_butt_keycancel", Owner::KeyAssignment},
    {"key_butt_prosave", Owner::KeyAssignment},
    {"macro_btn_starredio", Owner::MacroRecording},
    {"macro_btn_stopredio", Owner::MacroRecording},
    {"macro_btn_name_add", Owner::MacroEditor},
    {"macro_btn_name_sub", Owner::MacroEditor},
    {"macro_btn_name_edit", Owner::MacroEditor},
    {"macro_btn_save", Owner::MacroEditor},
    {"macro_btn_cancel", Owner::MacroEditor},
    {"macro_btn_export", Owner::MacroEditor},
    {"macro_btn_import", Owner::MacroEditor},
    {"macro_btn_up", Owner::MacroEditor},
    {"macro_btn_down", Owner::MacroEditor},
    {"macro_btn_uptop", Owner::MacroEditor},
    {"macro_btn_downbottom", Owner::MacroEditor},
    {"macro_btn_delete", Owner::MacroEditor},
    {"macro_btn_deleteall", Owner::MacroEditor},
    {"macro_inset_moveleftkey_btn", Owner::MacroEditor, true},
    {"macro_inset_moverightkey_btn", Owner::MacroEditor, true},
    {"macro_inset_moveupkey_btn", Owner::MacroEditor, true},
    {"macro_inset_movedownkey_btn", Owner::MacroEditor, true},
    {"shootdate_save_btn", Owner::Shooting},
    {"shootdate_reset_btn", Owner::Shooting},
    {"shootdate_import_btn", Owner::Shooting},
    {"shootdate_export_btn", Owner::Shooting},
    {"bullet_selected_prev", Owner::Shooting},
    {"bullet_selected_next", Owner::Shooting},
    {"keyset_gunkey_shoot_btn", Owner::Shooting},
    {"custom_bright_color_btn", Owner::Lighting},
    {"custom_off_color_btn", Owner::Lighting},
    {"deng_same_mode", Owner::LightingSync},
    {"hs_EQ_btn_save", Owner::Headset},
    {"hs_EQ_btn_delete", Owner::Headset},
    {"device_select_prev", Owner::DeviceTabs},
    {"device_select_next", Owner::DeviceTabs},
    {"Close_bkColor_btn", Owner::MusicLighting},
    {"music_setting_btn", Owner::MusicLighting},
    {"music_setting_text", Owner::MusicLighting},
};

constexpr Entry kClickNumbered[] = {
    {"key_", Owner::KeyAssignment},
    {"color_option_", Owner::Lighting},
    {"audiocolor_option_", Owner::MusicLighting},
    {"DPI_color_option_", Owner::ColourPalette},
    {"windowdeviceset_", Owner::SystemSettings},
};

// Selection, slider, combo and edit names (one table: a name belongs to one
// owner whatever the notification).
constexpr Entry kValueExact[] = {
    {"device_select", Owner::DeviceTabs},
    {"synchro_device_select", Owner::LightingSync},
    {"deng_Op_tab", Owner::PageTabs},
    {"key_Op_tab", Owner::PageTabs},
    {"macro_Op_tab", Owner::PageTabs},
    {"system_Op_tab", Owner::PageTabs},
    {"cursor_Op_tab", Owner::PageTabs},
    {"6533_voice_Op_tab", Owner::PageTabs},
    {"magic_Op_tab", Owner::PageTabs},
    {"Virtual7.1_Op_tab", Owner::PageTabs},
    {"winlockflag_option", Owner::KeyboardSettings},
    {"wflag_option", Owner::KeyboardSettings},
    {"6flag_option", Owner::KeyboardSettings},
    {"repeat_rate_slider", Owner::KeyboardSettings},
    {"bullet_x_check", Owner::Shooting},
    {"bullet_y_check", Owner::Shooting},
    {"bullet_x_eidt", Owner::Shooting},
    {"bullet_y_eidt", Owner::Shooting},
    {"bullet_delay_eidt", Owner::Shooting},
    {"magic_enable_option", Owner::Headset},
    {"6533_MicIn_option", Owner::Headset},
    {"6533_MicMoniter_option", Owner::Headset},
    {"6533_MicIn_slider", Owner::Headset},
    {"6533_MicMoniter_slider", Owner::Headset},
    {"custom_eq_name_combo", Owner::Headset},
    {"pointer_precision_check", Owner::MouseSettings},
    {"scrolls_page_check", Owner::MouseSettings},
    {"pointer_speed_slider", Owner::MouseSettings},
    {"scroll_speed_slider", Owner::MouseSettings},
    {"double_click_slider", Owner::MouseSettings},
    {"deng_FXL_check", Owner::Lighting},
    {"deng_FXR_check", Owner::Lighting},
    {"deng_7color_check", Owner::Lighting},
    {"deng_light_slider", Owner::Lighting},
    {"deng_speed_slider", Owner::Lighting},
    {"deng_Color_Pallet", Owner::Lighting},
    {"deng_audioColor_Pallet", Owner::MusicLighting},
    {"deng_edit_R", Owner::Lighting},
    {"deng_edit_G", Owner::Lighting},
    {"deng_edit_B", Owner::Lighting},
    {"light_combo_modeSelect", Owner::Lighting},
    {"light_combo_custommodeSelect", Owner::Lighting},
    {"light_combo_ZZCCmodeSelect", Owner::Lighting},
    {"R_light_slider", Owner::MusicLighting},
    {"G_light_slider", Owner::MusicLighting},
    {"B_light_slider", Owner::MusicLighting},
    {"deng_7audiocolor_check", Owner::MusicLighting},
    {"audio_BkColor_check", Owner::MusicLighting},
    {"audio_FgColor_check", Owner::MusicLighting},
    {"deng_audioedit_R", Owner::MusicLighting},
    {"deng_audioedit_G", Owner::MusicLighting},
    {"deng_audioedit_B", Owner::MusicLighting},
    {"light_combo_audiomodeSelect", Owner::MusicLighting},
    {"keyset_function_combo", Owner::KeyAssignment},
    {"keyset_mousekey_combo", Owner::KeyAssignment},
    {"keyset_mouseswing_combo", Owner::KeyAssignment},
    {"keyset_mousewheel_combo", Owner::KeyAssignment},
    {"keyset_mousedpi_combo", Owner::KeyAssignment},
    {"keyset_media_combo", Owner::KeyAssignment},
    {"keyset_system_combo", Owner::KeyAssignment},
    {"keyset_macro_combo", Owner::KeyAssignment},
    {"keyset_macro_over_combo", Owner::KeyAssignment},
    {"keyset_gunkey_combo", Owner::KeyAssignment},
    {"keyset_combokey_combo", Owner::KeyAssignment},
    {"keyset_keyboard_text_edit", Owner::KeyAssignment},
    {"keyset_mouseswing_num_edit", Owner::KeyAssignment},
    {"keyset_mouseswing_delay_edit", Owner::KeyAssignment},
    {"keyset_mouseswing_speed_edit", Owner::KeyAssignment},
    {"keyset_mousewheel_num_edit", Owner::KeyAssignment},
    {"keyset_mousewheel_delay_edit", Owner::KeyAssignment},
    {"keyset_mousewheel_speed_edit", Owner::KeyAssignment},
    {"keyset_mousefire_interval_edit", Owner::KeyAssignment},
    {"keyset_mousefire_num_edit", Owner::KeyAssignment},
    {"keyset_macro_cycle_edit", Owner::KeyAssignment},
    {"macro_name_list", Owner::MacroEditor},
    {"macro_action_list", Owner::MacroEditor},
    {"macro_delay", Owner::MacroEditor},
    {"device_profile_combo", Owner::ProfileList},
};

constexpr Entry kValueNumbered[] = {
    {"DPI_enable_check_", Owner::MouseSettings},
    {"DPI_select_check_", Owner::MouseSettings},
    {"DPI_slider_", Owner::MouseSettings},
    {"DPI_edit_", Owner::MouseSettings},
    {"polling_rate_option_", Owner::MouseSettings},
    {"mouse_device_seting_option_", Owner::MouseSettings},
    {"repeat_delay_check_", Owner::KeyboardSettings},
    {"key_ComBox_check_", Owner::KeyAssignment},
    {"shoot_gun_op_", Owner::Shooting},
    {"bullet_op_", Owner::Shooting},
    {"magic_option_", Owner::Headset},
    {"6533_eq_option_", Owner::Headset},
    {"6533_eq_hz_slider_", Owner::Headset},
    {"tamry_DPI_slider_", Owner::MouseSettings},
    {"tamry_DPI_edit_", Owner::MouseSettings},
    {"audiocolor_option_", Owner::MusicLighting},
};

constexpr std::array<std::string_view, 8> kPageTabs = {
    "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
    "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"};

template <std::size_t N>
const Entry* FindExact(const Entry (&table)[N], std::string_view name) {
    for (const Entry& entry : table) {
        if (entry.caseSensitive ? entry.name == name : EqualNoCase(entry.name, name)) return &entry;
    }
    return nullptr;
}

}  // namespace

Route RouteNotification(NotifyKind kind, std::string_view sender) {
    if (kind == NotifyKind::MoveValueChanged) {
        // During a drag only the DPI sliders follow.
        const auto split = SplitNumberedName(sender);
        if (split && (EqualNoCase(split->prefix, "DPI_slider_") ||
                      EqualNoCase(split->prefix, "tamry_DPI_slider_"))) {
            return {Owner::MouseSettings, split->prefix, split->number};
        }
        return {};
    }
    const bool click = kind == NotifyKind::Click;
    const Entry* exact = click ? FindExact(kClickExact, sender) : FindExact(kValueExact, sender);
    if (exact) return {exact->owner, std::string(exact->name), -1};
    const auto split = SplitNumberedName(sender);
    if (!split) return {};
    const Entry* numbered =
        click ? FindExact(kClickNumbered, split->prefix) : FindExact(kValueNumbered, split->prefix);
    if (!numbered) return {};
    return {numbered->owner, std::string(numbered->name), split->number};
}

int PageTabNumber(std::string_view name) {
    for (std::size_t i = 0; i < kPageTabs.size(); ++i) {
        if (EqualNoCase(kPageTabs[i], name)) return static_cast<int>(i) + 1;
    }
    return 0;
}

}  // namespace q731
