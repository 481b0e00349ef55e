// Drives the running program through the states users see and writes a picture
// of the screen in each: the main window on the simulated family with a message
// box open, in both languages, the skin window and a background of the user's own. Run on a private
// X server at one screen size per run (the window's scale follows the monitor); the file names
// carry the scale.
//
//   q731-screenshots OUTPUT_DIR
//
// Exit status: 0 when every picture was written and shows something.

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "app/application.h"
#include "app/colour_select_window.h"
#include "app/macro_control.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/music_window.h"
#include "app/settings_window.h"
#include "app/skin.h"
#include "devices/keyboard_device.h"
#include "tests/update/update_fixture.h"
#include "ui/controls/custom_controls.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/list.h"
#include "ui/widgets/range.h"

namespace {

namespace fs = std::filesystem;
using q731::CMainWnd;

// Lets the program run (devices connect, windows paint) for `ms`.
void Pump(int ms) {
    QEventLoop wait;
    QTimer::singleShot(ms, &wait, &QEventLoop::quit);
    wait.exec();
}

// A picture of uniform colour means nothing was drawn.
bool ShowsSomething(const QImage& image) {
    if (image.isNull()) return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            if (image.pixel(x, y) != first) return true;
        }
    }
    return false;
}

class Shooter {
public:
    explicit Shooter(fs::path folder) : folder_(std::move(folder)) {}

    bool Shoot(const std::string& name) {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QImage image = screen ? screen->grabWindow(0).toImage() : QImage();
        const fs::path file = folder_ / (name + ".png");
        const bool ok = ShowsSomething(image) && image.save(QString::fromStdString(file.string()));
        std::fprintf(stderr, "q731-screenshots: %s %s\n", file.c_str(), ok ? "written" : "FAILED");
        failures_ += ok ? 0 : 1;
        return ok;
    }

    // Opens a box over the window and takes the picture while it is open.
    void ShootWithBox(CMainWnd& window, const std::string& name, const q731::Question& question) {
        QTimer::singleShot(400, [this, name] {
            Shoot(name);
            q731::CMsgWnd::CloseAll();
        });
        if (window.Ask(question) != 0) ++failures_;  // closed, never confirmed
    }

    int Failures() const { return failures_; }

private:
    fs::path folder_;
    int failures_ = 0;
};

// Acts on the window as a user would: options, combos and clicks notify the
// window exactly as the pointer would make them.
class User {
public:
    explicit User(CMainWnd& window) : window_(window), pm_(*window.GetPaintManager()) {}

    bool SelectTab(q731::Product product) {
        q731::DeviceManager& devices = window_.Devices();
        const int tab = devices.TabOfProduct(product);
        if (tab < 0) return false;
        devices.SelectTab(tab);
        Pump(150);
        return true;
    }
    void Choose(const char* option) {
        if (auto* control = dynamic_cast<q731::COptionUI*>(Find(option))) control->Selected(true);
        Pump(150);
    }
    void Click(const char* name) {
        if (q731::CControlUI* control = Find(name)) pm_.SendNotify(control, "click");
        Pump(150);
    }
    void Slide(const char* name, int value) {
        if (auto* slider = dynamic_cast<q731::CSliderUI*>(Find(name))) {
            slider->SetValue(value);
            pm_.SendNotify(slider, "valuechanged");
        }
        Pump(150);
    }
    void Pick(const char* combo, int entry) {
        if (auto* list = dynamic_cast<q731::CComboUI*>(Find(combo)))
            list->SelectItem(entry, false, true);
        Pump(150);
    }

private:
    // In the page of the current device (names repeat across pages).
    q731::CControlUI* Find(const char* name) {
        q731::DeviceManager& devices = window_.Devices();
        q731::CDevicePage* page = window_.PageOf(devices.CurrentDevice());
        q731::CControlUI* root = page ? page->Root() : nullptr;
        q731::CControlUI* found =
            root ? root->FindControl([name](q731::CControlUI* c) { return c->GetName() == name; })
                 : nullptr;
        return found ? found : pm_.FindControl(name);
    }

    CMainWnd& window_;
    q731::CPaintManagerUI& pm_;
};

// The keyboard in music mode, column bars in wheel colours, fed generated
// sample frames through the program's own analysis (as the capture companion
// sends them); then the music styles window over it.
void ShootMusic(Shooter& shooter, CMainWnd& window, User& user, const std::string& suffix) {
    auto* keyboard = dynamic_cast<q731::CVexloKeyboardDevice*>(window.Devices().CurrentDevice());
    if (keyboard == nullptr) return;
    q731::AudioLightSetting audio = keyboard->AudioSettings();
    audio.audioMode = 0;
    audio.sevenColors = 1;
    keyboard->SetAudioSettings(audio);
    user.Pick("light_combo_modeSelect", q731::CVexloKeyboardDevice::kMusicMode);
    int step = 0;
    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout, [&] {
        // Band b moves by an amount that sweeps across the bands over time.
        std::string payload(q731::kMaxSamplesBlockBytes, '\0');
        for (std::size_t i = 0; i < q731::kFrameValues; ++i) {
            const double band = static_cast<double>(i / 5);
            const double swing = 300 + 280 * std::sin((step + band * 3) / 6.0);
            const auto value = static_cast<std::int32_t>((step % 2 == 0 ? 1 : -1) * swing);
            std::memcpy(payload.data() + 4 * i, &value, 4);
        }
        (void)window.Music().HandleBlock(static_cast<int>(q731::MusicBlock::Samples), payload);
        ++step;
    });
    frames.start(5);
    Pump(800);
    shooter.Shoot("keyboard_music" + suffix);
    QTimer::singleShot(300, [&] {
        if (q731::CMusicWnd* styles = window.MusicWindow()) {
            Pump(200);
            shooter.Shoot("music_window" + suffix);
            styles->Close(0);
        }
    });
    user.Click("music_setting_btn");
    frames.stop();
}

// Sends a key press and release to our window as the keyboard would (the
// native code is the Linux key code + 8).
void TypeKey(int linuxCode, Qt::Key key, const QString& text) {
    QWindow* target = QGuiApplication::focusWindow();
    if (!target && !QGuiApplication::topLevelWindows().isEmpty())
        target = QGuiApplication::topLevelWindows().first();
    if (!target) return;
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, Qt::NoModifier, static_cast<quint32>(linuxCode + 8), 0, 0, text);
        QCoreApplication::sendEvent(target, &event);
        Pump(60);
    }
}

// The keyboard's macro panel: a new macro with a click inserted from the
// menu, then a run that records keys typed into the window.
void ShootMacros(Shooter& shooter, CMainWnd& window, User& user, const std::string& suffix) {
    q731::CMacroControlUI* panel = window.MacroPanelOf(window.Devices().CurrentDevice());
    if (!panel || !panel->Editor()) return;
    user.Choose("macro_Op_tab");
    user.Click("macro_btn_name_add");
    panel->Editor()->RunMenuItem("left_click");
    Pump(150);
    shooter.Shoot("keyboard_macros" + suffix);
    user.Click("macro_btn_starredio");
    TypeKey(35, Qt::Key_H, "h");  // H
    TypeKey(18, Qt::Key_E, "e");  // E
    TypeKey(57, Qt::Key_Space, " ");
    Pump(200);
    shooter.Shoot("keyboard_macro_recording" + suffix);
    user.Click("macro_btn_stopredio");
}

// The colour palette over the mouse's DPI page, opened from stage 3's swatch:
// a collected swatch chosen as target and filled by a drag across the palette.
void ShootPalette(Shooter& shooter, CMainWnd& window, User& user, const std::string& suffix) {
    QTimer::singleShot(400, [&] {
        q731::CColorSelectWnd* palette = window.ColourPalette();
        if (palette == nullptr) return;
        q731::CPaintManagerUI& pm = *palette->GetPaintManager();
        if (auto* target = dynamic_cast<q731::COptionUI*>(pm.FindControl("collect_color_option_2")))
            target->Selected(true);
        if (auto* field = dynamic_cast<q731::CColorPaletteUI*>(pm.FindControl("Pallet"))) {
            field->SetSelectColor(0xFF8A2BE2u);
            pm.SendNotify(field, q731::notify::kColorChanged, 0xFF8A2BE2u);
        }
        Pump(300);
        shooter.Shoot("mouse_palette" + suffix);
        palette->Close(0);
    });
    user.Click("DPI_color_option_3");
}

// The device pages: lighting with a moving effect drawn by the host, the
// profile panel with its buttons shown, and the key-assignment panel open on a
// chosen key.
void ShootPages(Shooter& shooter, CMainWnd& window, const std::string& suffix) {
    User user(window);
    if (user.SelectTab(q731::Product::Mouse)) {
        user.Choose("deng_Op_tab");
        user.Pick("light_combo_modeSelect", 0);  // wave, drawn in the picture
        Pump(500);
        shooter.Shoot("mouse_lighting" + suffix);
        user.Click("profile_fun_spread_btn");
        shooter.Shoot("mouse_profiles" + suffix);
        user.Click("profile_fun_spread_btn");
        user.Choose("key_Op_tab");
        user.Click("key_3");
        shooter.Shoot("mouse_keys" + suffix);
        user.Choose("system_Op_tab");
        shooter.Shoot("mouse_dpi" + suffix);
        ShootPalette(shooter, window, user, suffix);
        user.Choose("cursor_Op_tab");
        shooter.Shoot("mouse_pointer" + suffix);
        // The shooting panel, opened from the key panel's gun-key page: the
        // third slot's default at bullet 12 pulls the pointer down by 2 counts.
        user.Choose("key_Op_tab");
        user.Click("key_3");
        user.Click("keyset_gunkey_shoot_btn");
        user.Choose("shoot_gun_op_2");
        user.Choose("bullet_op_11");
        shooter.Shoot("mouse_shooting" + suffix);
    }
    if (user.SelectTab(q731::Product::Keyboard)) {
        // Coming from the mouse's pointer page, which the keyboard does not have.
        shooter.Shoot("keyboard_from_pointer" + suffix);
        user.Choose("deng_Op_tab");
        user.Pick("light_combo_modeSelect", 4);  // spectrum
        user.Slide("deng_light_slider", 4);
        Pump(500);
        shooter.Shoot("keyboard_lighting" + suffix);
        user.Click("profile_fun_spread_btn");
        shooter.Shoot("keyboard_profiles" + suffix);
        user.Click("profile_fun_spread_btn");
        user.Choose("key_Op_tab");
        user.Click("key_44");
        shooter.Shoot("keyboard_keys" + suffix);
        user.Choose("system_Op_tab");
        shooter.Shoot("keyboard_system" + suffix);
        // The keyboard's own per-key effects, drawn in its picture.
        user.Choose("deng_Op_tab");
        user.Pick("light_combo_modeSelect", 13);  // fountain
        Pump(700);
        shooter.Shoot("keyboard_fountain" + suffix);
        user.Pick("light_combo_modeSelect", 15);  // twinkle
        Pump(700);
        shooter.Shoot("keyboard_twinkle" + suffix);
        ShootMusic(shooter, window, user, suffix);
        ShootMacros(shooter, window, user, suffix);
    }
    if (user.SelectTab(q731::Product::MousePad)) {
        user.Choose("deng_Op_tab");
        user.Pick("light_combo_modeSelect", 0);
        user.Slide("deng_light_slider", 4);
        Pump(500);
        shooter.Shoot("pad_lighting" + suffix);
    }
    if (user.SelectTab(q731::Product::Headset)) {
        user.Choose("deng_Op_tab");
        user.Pick("light_combo_modeSelect", 0);  // wave, drawn by the program and sent as reports
        user.Slide("deng_light_slider", 4);
        Pump(500);
        shooter.Shoot("headset_lighting" + suffix);
        // The sound page on the simulated sound card: a level set and a
        // preset chosen, with the note on what reaches the headset.
        user.Choose("6533_voice_Op_tab");
        user.Slide("6533_MicIn_slider", 64);
        user.Choose("6533_eq_option_2");
        Pump(200);
        shooter.Shoot("headset_sound" + suffix);
        user.Choose("magic_Op_tab");
        user.Choose("magic_enable_option");
        user.Choose("magic_option_3");
        Pump(200);
        shooter.Shoot("headset_voice_changer" + suffix);
        user.Choose("Virtual7.1_Op_tab");
        Pump(200);
        shooter.Shoot("headset_surround" + suffix);
        user.Choose("deng_Op_tab");
    }
    // Every device in step with the mouse's colour cycle, marked on its tab.
    if (user.SelectTab(q731::Product::Mouse)) {
        user.Choose("deng_Op_tab");
        user.Pick("light_combo_modeSelect", 1);  // colour cycle
        user.Click("deng_same_mode");
        Pump(600);
        shooter.Shoot("synchronised_mouse" + suffix);
        if (user.SelectTab(q731::Product::Keyboard)) {
            Pump(300);
            shooter.Shoot("synchronised_keyboard" + suffix);
        }
        // Choosing another mode on a device ends its part.
        user.Pick("light_combo_modeSelect", 6);
        if (user.SelectTab(q731::Product::Mouse)) user.Pick("light_combo_modeSelect", 0);
    }
}

// The settings window beside the main window, its update list filled by a
// local update server: the mouse has a newer firmware, the rest is current.
void ShootSettings(Shooter& shooter, CMainWnd& window, const std::string& suffix) {
    QTimer::singleShot(1500, [&shooter, &window, suffix] {
        shooter.Shoot("settings" + suffix);
        q731::CSetWnd* settings = window.SettingsWindow();
        q731::CPaintManagerUI* pm = settings ? settings->GetPaintManager() : nullptr;
        q731::CControlUI* update = pm ? pm->FindControl("update_fw_and_ap") : nullptr;
        if (update) pm->SendNotify(update, "click");
        Pump(300);
        shooter.Shoot("settings_confirm" + suffix);
        if (settings) settings->ForceClose();
    });
    window.OpenSettingsWindow(true);
    Pump(200);
}

// The skin window open under its button, then a picture of the user's own
// (a quote in its name) as the main window's background.
void ShootSkins(Shooter& shooter, CMainWnd& window, const std::string& scale) {
    q731::CPaintManagerUI& pm = *window.GetPaintManager();
    if (q731::CControlUI* button = pm.FindControl("skinbtn")) pm.SendNotify(button, "click");
    Pump(400);
    shooter.Shoot("skin_window_" + scale);
    if (q731::CSkinFrame* frame = q731::CSkinFrame::Current()) frame->Close(0);
    Pump(100);
    const fs::path picture = fs::temp_directory_path() / "q731 user's picture.png";
    std::error_code ec;
    fs::copy_file(fs::path(q731::CPaintManagerUI::GetResourcePath()) / "skin/skin_3.png", picture,
                  fs::copy_options::overwrite_existing, ec);
    window.Receive({false, 0, picture.string()});
    Pump(300);
    shooter.Shoot("custom_background_" + scale);
    fs::remove(picture, ec);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: q731-screenshots OUTPUT_DIR\n");
        return 2;
    }
    Shooter shooter(argv[1]);
    // The update server the settings window asks: the mouse's firmware has a
    // newer version, everything else is current.
    q731::testing::TlsServer updates([](const httplib::Request& request,
                                        httplib::Response& response) {
        const bool mouse = request.body.find("_M1_") != std::string::npos;
        response.set_content(mouse
                                 ? R"({"name":"Q731 Mouse","version":"0200","version_name":"2.0",)"
                                   R"("path":"https://example.com/q731/mouse-0200"})"
                                 : R"({"name":"","version":"0"})",
                             "application/json");
    });
    ::setenv("Q731_UPDATE_URL", updates.Url().c_str(), 1);
    ::setenv("Q731_UPDATE_CA_FILE", q731::testing::TestCertificates().caFile.c_str(), 1);
    q731::AppHooks hooks;
    hooks.windowShown = [&shooter](CMainWnd& window) {
        Pump(1500);  // the simulated devices connect and draw
        const std::string scale = std::to_string(window.Scale());
        const char* languages[] = {"cn", "en"};
        for (int language = 0; language < 2; ++language) {
            window.SendMessage(q731::main_msg::kLanguage, static_cast<q731::WPARAM>(language));
            Pump(200);
            const std::string suffix = std::string("_") + scale + "_" + languages[language];
            shooter.Shoot("main" + suffix);
            shooter.ShootWithBox(window, "message_box" + suffix,
                                 {"", "message_text_22", true, q731::QuestionButtons::OkCancel});
            ShootPages(shooter, window, suffix);
            ShootSettings(shooter, window, suffix);
        }
        ShootSkins(shooter, window, scale);
        window.Exit();
    };
    const int code = q731::RunControlCentre(1, argv, hooks);
    return code != 0 || shooter.Failures() != 0 ? 1 : 0;
}
