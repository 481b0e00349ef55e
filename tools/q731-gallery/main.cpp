// The widget gallery: a window whose layout uses every control of the toolkit,
// and a page with the custom controls, for looking at them and for screenshots.
//   q731-gallery [--dpi N] [--tab N] [--skin DIR] [--screenshot FILE.png]
// Tabs: 0 colour picker, 1 images, 2 custom controls.

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ui_loop.h"
#include "ui/controls/custom_controls.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/qt_window.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/container.h"
#include "ui/widgets/menu.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

// A small native window that the "Wnd" control of the custom page carries.
class HostedWnd : public WindowImplBase {
public:
    explicit HostedWnd(UiLoop& loop) : WindowImplBase(loop) {}
    std::string GetWindowClassName() const override { return "GalleryHostedWnd"; }
    std::string GetSkinFile() override {
        return R"(<Window size="200,36"><HorizontalLayout bkcolor="#FF24466E">)"
               R"(<Label text="A native window" textcolor="#FFFFFFFF" )"
               R"(align="center"/></HorizontalLayout></Window>)";
    }
};

class GalleryWnd : public WindowImplBase {
public:
    explicit GalleryWnd(UiLoop& loop) : WindowImplBase(loop), hosted_(loop) {}
    std::string GetWindowClassName() const override { return "GalleryWnd"; }
    std::string GetSkinFile() override { return "gallery/gallery.xml"; }

    void InitWindow() override {
        if (auto* busy = m_pm.FindControl("busy")) m_pm.SetTimer(busy, 1, 40);
        FillCustomPage();
    }

    // Fills the custom controls with sample data, as the device pages would.
    void FillCustomPage() {
        if (auto* level = dynamic_cast<CRerurIvavudUI*>(m_pm.FindControl("audio_level"))) {
            // A decaying beat; a few samples out of range show that they are clamped.
            std::vector<int> samples(CRerurIvavudUI::kSampleCount);
            for (std::size_t i = 0; i < samples.size(); ++i) {
                const double t = double(i);
                const double envelope = 0.55 + 0.45 * std::sin(t / 9.0);
                samples[i] = int(7000 * envelope * std::abs(std::sin(t / 2.3)));
            }
            samples[40] = 20000;
            samples[41] = -5000;
            level->SetSamples(samples);
        }
        static constexpr std::pair<const char*, double> kShares[] = {
            {"Lighting", 42}, {"Macros", 23}, {"Keys", 18}, {"DPI", 11}, {"Other", 6}};
        for (const char* name : {"chart_pie", "chart_bars"}) {
            if (auto* chart = dynamic_cast<CChartViewUI*>(m_pm.FindControl(name))) {
                for (const auto& [label, value] : kShares)
                    chart->AddItem(label, value);
            }
        }
        if (auto* empty = dynamic_cast<CChartViewUI*>(m_pm.FindControl("chart_empty"))) {
            empty->AddItem("zero", 0);
            empty->AddItem("nothing", 0);
        }
        static constexpr const char* kEvents[][3] = {{"Press", "Left button", "35"},
                                                     {"Release", "Left button", "120"},
                                                     {"Press", "R", "10"}};
        for (int row = 0; row < 3; ++row) {
            auto* element = dynamic_cast<CComboEditContainerElementUI*>(
                m_pm.FindControl("macro_event_" + std::to_string(row)));
            if (!element) continue;
            if (auto* text = element->GetText1()) text->SetText(kEvents[row][0]);
            if (auto* text = element->GetText2()) text->SetText(kEvents[row][1]);
            if (auto* edit = element->GetDelayEdit()) edit->SetText(kEvents[row][2]);
        }
        if (auto* record = dynamic_cast<CRedioMacroButtonUI*>(m_pm.FindControl("record_btn"))) {
            record->SetBlinking(true);
        }
    }

    // Called once the gallery shows, so that the hosted window opens above it.
    void AttachHostedWindow() {
        auto* host = dynamic_cast<CWndUI*>(m_pm.FindControl("native_host"));
        hosted_.GetPaintManager()->SetDPI(m_pm.GetDPIObj()->GetDPI());
        if (host && hosted_.Create(this, "hosted", kWsPopup, kWsExToolWindow | kWsExNoActivate)) {
            host->Attach(&hosted_);
        }
    }

    // For screenshots of the custom page: the pointer rests on the picture
    // button's delete corner, so that the corner shows.
    void HoverDeleteCorner() {
        auto* hand = dynamic_cast<CHandImgButtonUI*>(m_pm.FindControl("hand_btn"));
        if (!hand || !hand->IsVisible()) return;
        const UiRect corner = hand->GetDeleteRect();
        m_pm.HandleMouseMove({(corner.left + corner.right) / 2, (corner.top + corner.bottom) / 2});
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType != "timer" && msg.pSender) {
            if (auto* status = m_pm.FindControl("status")) {
                status->SetText(msg.sType + " from \"" + msg.pSender->GetName() + "\"");
            }
        }
        const std::string& name = msg.pSender ? msg.pSender->GetName() : std::string();
        if (msg.sType == "timer" && name == "busy") {
            auto* busy = static_cast<CProgressUI*>(msg.pSender);
            busy->SetValue(busy->GetValue() >= busy->GetMaxValue() ? 0 : busy->GetValue() + 2);
        } else if ((msg.sType == "valuechanged" || msg.sType == "movevaluechanged") &&
                   name == "DPI_slider_0") {
            auto* slider = static_cast<CSliderUI*>(msg.pSender);
            if (auto* value = m_pm.FindControl("dpi_value")) {
                value->SetText(std::to_string(slider->GetValue()));
            }
            if (auto* progress = dynamic_cast<CProgressUI*>(m_pm.FindControl("progress"))) {
                progress->SetValue(slider->GetValue() * 100 / slider->GetMaxValue());
            }
        } else if (msg.sType == "colorchanged") {
            auto color = static_cast<UiColor>(msg.wParam);
            if (auto* swatch = m_pm.FindControl("swatch")) swatch->SetBkColor(color);
            if (auto* text = m_pm.FindControl("swatch_text")) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "#%06X", color & 0xFFFFFF);
                text->SetText(hex);
            }
        } else if (msg.sType == "selectchanged" &&
                   (name == "page_toolkit" || name == "page_custom")) {
            if (auto* pages = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("pages"))) {
                pages->SelectItem(name == "page_toolkit" ? 0 : 1);
            }
        } else if (msg.sType == "dbclick") {
            if (auto* key = dynamic_cast<CDeviceKeyButtonUI*>(msg.pSender)) {
                key->SetLight(!key->IsLight());
            }
        } else if (msg.sType == "click_select_end") {
            int selected = 0;
            for (CControlUI* control : m_pm.FindSubControlsByClass(msg.pSender, "DeviceKeyButton"))
                selected += static_cast<CDeviceKeyButtonUI*>(control)->IsSelected() ? 1 : 0;
            if (auto* label = m_pm.FindControl("select_status")) {
                label->SetText(std::to_string(selected) + " keys selected");
            }
        } else if (msg.sType == "click" && name == "record_btn") {
            auto* record = static_cast<CRedioMacroButtonUI*>(msg.pSender);
            record->SetBlinking(!record->IsBlinking());
            if (auto* label = m_pm.FindControl("record_state")) {
                label->SetText(record->IsBlinking() ? "recording (blinking)" : "stopped");
            }
        } else if (msg.sType == "selectchanged" && (name == "tab_colour" || name == "tab_images")) {
            if (auto* tabs = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("tabs"))) {
                tabs->SelectItem(name == "tab_colour" ? 0 : 1);
            }
        } else if (msg.sType == "click" && name == "menubtn") {
            const UiRect& rc = msg.pSender->GetPos();
            UiRect window = GetWindowRect();
            CMenuWnd::Show(this, "gallery/menu.xml",
                           {window.left + rc.left, window.top + rc.bottom},
                           kMenuAlignLeft | kMenuAlignTop, [this](const std::string& item, int) {
                               if (auto* status = m_pm.FindControl("status")) {
                                   status->SetText("menu: " + item);
                               }
                               if (item == "menu_exit") Close(0);
                           });
        }
        WindowImplBase::Notify(msg);
    }

    LRESULT HandleCustomMessage(unsigned msg, WPARAM, LPARAM, bool& handled) override {
        if (msg == kMsgDestroy) {
            handled = true;
            if (IUiPlatform* platform = GetUiPlatform()) platform->QuitMessageLoop();
        }
        return 0;
    }

    void ShowTab(int index) {
        const char* name = index == 2 ? "page_custom" : index == 1 ? "tab_images" : "tab_colour";
        if (auto* option = dynamic_cast<COptionUI*>(m_pm.FindControl(name))) option->Selected(true);
    }

private:
    HostedWnd hosted_;
};

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    using namespace q731;
    int dpi = 96;
    int tab = 0;
    std::string skin = Q731_SOURCE_DIR "/skin";
    std::string screenshot;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--dpi")) dpi = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--tab")) tab = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--skin")) skin = argv[i + 1];
        if (!std::strcmp(argv[i], "--screenshot")) screenshot = argv[i + 1];
    }
    PrepareQtEnvironment();
    QApplication app(argc, argv);
    UiLoop loop;
    QtUiPlatform platform(loop);
    SetUiPlatform(&platform);
    CPaintManagerUI::SetResourcePath(skin);
    CResourceManager::GetInstance().LoadLanguage("gallery/lan_en.xml");
    RegisterCustomControls();

    GalleryWnd window(loop);
    window.GetPaintManager()->SetDPI(dpi);
    window.GetPaintManager()->SetHSL(120, 100, 100);
    if (!window.Create(nullptr, "Widget gallery", kWsPopup)) {
        std::fprintf(stderr, "q731-gallery: cannot build the gallery layout under %s\n",
                     skin.c_str());
        return 1;
    }
    window.ShowTab(tab);
    window.CenterWindow();
    window.ShowWindow(true, true);
    window.AttachHostedWindow();
    if (!screenshot.empty()) {
        QTimer::singleShot(300, [&] {
            if (tab == 2) window.HoverDeleteCorner();
            auto* backend = static_cast<QtWindowBackend*>(window.GetBackend());
            bool saved = backend->Widget()->grab().save(QString::fromStdString(screenshot));
            std::fprintf(stderr, "q731-gallery: %s %s\n", saved ? "saved" : "could not save",
                         screenshot.c_str());
            QCoreApplication::quit();
        });
    }
    int code = QApplication::exec();
    SetUiPlatform(nullptr);
    return code;
}
