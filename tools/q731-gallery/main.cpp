// The widget gallery: a window whose layout uses every control of the toolkit,
// for looking at the controls and for screenshots.
//   q731-gallery [--dpi N] [--tab N] [--skin DIR] [--screenshot FILE.png]

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ui_loop.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/qt_window.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/container.h"
#include "ui/widgets/menu.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

class GalleryWnd : public WindowImplBase {
public:
    explicit GalleryWnd(UiLoop& loop) : WindowImplBase(loop) {}
    std::string GetWindowClassName() const override { return "GalleryWnd"; }
    std::string GetSkinFile() override { return "gallery/gallery.xml"; }

    void InitWindow() override {
        if (auto* busy = m_pm.FindControl("busy")) m_pm.SetTimer(busy, 1, 40);
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
        auto* option =
            dynamic_cast<COptionUI*>(m_pm.FindControl(index == 1 ? "tab_images" : "tab_colour"));
        if (option) option->Selected(true);
    }
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
    if (!screenshot.empty()) {
        QTimer::singleShot(300, [&] {
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
