// Repaint and relayout of a full window: 1000x640 design pixels holding 300
// controls, at 144 dpi (1500x960 device pixels), painted with QPainter into an
// image the way the native window paints.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <string>

#include "app/device_tabs.h"
#include "platform/ui_loop.h"
#include "sim/sim_bus.h"
#include "ui/controls/custom_controls.h"
#include "ui/pages/kind_pages.h"
#include "ui/qt/qt_platform.h"
#include "ui/qt/qt_renderer.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/paint_manager.h"

namespace q731 {
namespace {

std::string Layout() {
    std::string xml =
        "<Window size='1000,640'><Font id='0' size='14' default='true'/>"
        "<VerticalLayout bkcolor='#FF161B22' inset='8,8,8,8' childpadding='2'>";
    for (int row = 0; row < 30; ++row) {
        xml += "<HorizontalLayout childpadding='4'>";
        for (int col = 0; col < 10; ++col) {
            switch (col % 5) {
                case 0:
                    xml +=
                        "<Button text='Button' bkcolor='#FF2F8CFF' borderround='4' "
                        "textcolor='#FFFFFFFF' align='center'/>";
                    break;
                case 1:
                    xml +=
                        "<Label text='Label text that is long' endellipsis='true' "
                        "textcolor='#FFC9D2DE'/>";
                    break;
                case 2:
                    xml += "<Option group='g" + std::to_string(row) +
                           "' text='Opt' textpadding='22,0,0,0' "
                           "normalimage=\"file='gallery/img/radio_off.svg' dest='0,2,16,18'\" "
                           "selectedimage=\"file='gallery/img/radio_on.svg' dest='0,2,16,18'\"/>";
                    break;
                case 3:
                    xml +=
                        "<Slider min='0' max='100' value='40' thumbsize='14,14' "
                        "bkimage=\"file='gallery/img/track.svg' corner='4,0,4,0'\" "
                        "foreimage=\"file='gallery/img/track_fill.svg' corner='4,0,4,0'\" "
                        "thumbimage='gallery/img/thumb.svg'/>";
                    break;
                default:
                    xml +=
                        "<Control bkimage=\"file='gallery/img/frame.png' corner='6,6,6,6'\" "
                        "bordercolor='#FF3A4658' bordersize='1'/>";
                    break;
            }
        }
        xml += "</HorizontalLayout>";
    }
    return xml + "</VerticalLayout></Window>";
}

struct Fixture {
    Fixture() : pm(loop) {
        CPaintManagerUI::SetResourcePath(Q731_SOURCE_DIR "/skin");
        CDialogBuilder builder;
        pm.AttachDialog(builder.Create(Layout(), {}, nullptr, &pm));
        pm.SetDPI(144);
        pm.SetClientSize(pm.GetDPIObj()->Scale(pm.GetInitSize()));
        pm.UpdateLayout();
    }
    UiLoop loop;
    CPaintManagerUI pm;
};

void BM_FullRepaint144(benchmark::State& state) {
    Fixture fixture;
    UiSize size = fixture.pm.GetClientSize();
    QImage target(size.cx, size.cy, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        QtRenderer renderer(painter);
        fixture.pm.Paint(renderer, {0, 0, size.cx, size.cy});
    }
    state.counters["controls"] = 300;
}
BENCHMARK(BM_FullRepaint144)->Unit(benchmark::kMillisecond);

void BM_Relayout144(benchmark::State& state) {
    Fixture fixture;
    for (auto _ : state) {
        fixture.pm.NeedUpdate();
        fixture.pm.UpdateLayout();
    }
}
BENCHMARK(BM_Relayout144)->Unit(benchmark::kMicrosecond);

// The keyboard page's picture: every key a lit DeviceKeyButton.
struct KeyboardPicture {
    KeyboardPicture() : pm(loop), keyboard(std::make_shared<SimBus>()) {
        CPaintManagerUI::SetResourcePath(Q731_SOURCE_DIR "/skin");
        RegisterCustomControls();
        CDialogBuilder builder;
        pm.AttachDialog(builder.Create(
            "<Window size='1000,640'><VerticalLayout bkcolor='#FF111419'>"
            "<Include source='XML/DeviceXml/keyboard_keys.xml'/></VerticalLayout></Window>",
            {}, nullptr, &pm));
        pm.SetDPI(144);
        pm.SetClientSize(pm.GetDPIObj()->Scale(pm.GetInitSize()));
        pm.UpdateLayout();
        const ProductRecord& record = RecordOf(Product::Keyboard);
        keyboard.SetNames(std::string(TabOf(Product::Keyboard).pageLayout), "keyboard",
                          "tamry_light");
        keyboard.SetKeyCount(record.keyCount);
        keyboard.SetLedCount(record.ledCount);
        PageContext context;
        context.manager = &pm;
        context.root = pm.GetRoot();
        context.device = &keyboard;
        page = MakeDevicePage(std::move(context));
        page->BuildPage();
        leds.assign(static_cast<std::size_t>(record.ledCount), LedColour{});
    }
    // A spectrum-like frame: every LED another colour, `phase` moving it on.
    void Frame(int phase) {
        for (std::size_t i = 0; i < leds.size(); ++i) {
            const auto step = static_cast<std::uint8_t>(phase + static_cast<int>(i) * 3);
            leds[i] = {step, static_cast<std::uint8_t>(255 - step), 128, 255};
        }
    }
    UiLoop loop;
    CPaintManagerUI pm;
    CVexloKeyboardDevice keyboard;
    std::unique_ptr<CDevicePage> page;
    std::vector<LedColour> leds;
};

void BM_KeyboardPageRepaintAllLit144(benchmark::State& state) {
    KeyboardPicture picture;
    picture.Frame(0);
    picture.page->ShowPicture(picture.leds);
    UiSize size = picture.pm.GetClientSize();
    QImage target(size.cx, size.cy, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        QtRenderer renderer(painter);
        picture.pm.Paint(renderer, {0, 0, size.cx, size.cy});
    }
}
BENCHMARK(BM_KeyboardPageRepaintAllLit144)->Unit(benchmark::kMillisecond);

// What the UI thread does with one lighting frame before it paints.
void BM_KeyboardPictureUpdate(benchmark::State& state) {
    KeyboardPicture picture;
    int phase = 0;
    for (auto _ : state) {
        state.PauseTiming();
        picture.Frame(++phase);
        state.ResumeTiming();
        picture.page->ShowPicture(picture.leds);
    }
}
BENCHMARK(BM_KeyboardPictureUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace q731
