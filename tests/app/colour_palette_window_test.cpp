// The colour palette opened from the mouse page of the running window, on the
// headless platform, against the simulated mouse on both channels.

#include <gtest/gtest.h>

#include "app/colour_select_window.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"
#include "tests/app/mouse_window_fixture.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/color_palette.h"

namespace q731 {
namespace {

using PaletteAct = std::function<void(CColorSelectWnd&)>;

class PaletteWindowTest : public MouseWindowTest {
protected:
    CControlUI* PageControl(const std::string& name) {
        CDevicePage* page = window_->PageOf(devices_.CurrentDevice());
        CControlUI* root = page ? page->Root() : window_->GetPaintManager()->GetRoot();
        return window_->GetPaintManager()->FindSubControlByName(root, name);
    }
    // Clicks `sender` as the user would while `act` runs on the open palette;
    // returns once the palette has ended and its effects reached the mouse.
    // False when no palette opened.
    bool ClickWhile(CControlUI* sender, const PaletteAct& act) {
        bool opened = false;
        loop_.Post([this, act, &opened] {
            if (CColorSelectWnd* palette = window_->ColourPalette()) {
                opened = true;
                act(*palette);
            }
        });
        TNotifyUI click;
        click.sType = notify::kClick;
        click.pSender = sender;
        window_->Notify(click);
        RunFor(loop_, clock_, 300ms);
        return opened;
    }
    static CControlUI* Find(CColorSelectWnd& palette, const char* name) {
        CControlUI* control = palette.GetPaintManager()->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    static void Click(CColorSelectWnd& palette, const char* name) {
        palette.GetPaintManager()->SendNotify(Find(palette, name), notify::kClick);
    }
    static void Drag(CColorSelectWnd& palette, ArgbColour colour) {
        auto* control = dynamic_cast<CColorPaletteUI*>(Find(palette, "Pallet"));
        control->SetSelectColor(colour);
        palette.GetPaintManager()->SendNotify(control, notify::kColorChanged, colour);
    }
    static void Select(CColorSelectWnd& palette, const char* name) {
        dynamic_cast<COptionUI*>(Find(palette, name))->Selected(true);
    }
    std::vector<std::uint8_t> Settings() const { return firmware_->Region(SimRegion::Settings); }
    Json::Value Collected(int index) const {
        const Json::Value root =
            json::Member(DocumentFile::ReadJsonFile(data_ / "user" / kColourOptionsFileName),
                         colour_keys::kRoot);
        return json::At(json::Member(root, colour_keys::kCollected), index);
    }
};

class PaletteOnBothChannels : public PaletteWindowTest,
                              public ::testing::WithParamInterface<SimChannel> {
protected:
    PaletteOnBothChannels() { channel_ = GetParam(); }
};

TEST_P(PaletteOnBothChannels, OkWritesTheStageColourAndEveryOtherEndLeavesTheMouseAlone) {
    auto* mouse = dynamic_cast<CVexloMouseDevice*>(devices_.CurrentDevice());
    ASSERT_NE(mouse, nullptr);
    // The block as the mouse sends it now, to compare every later state with.
    ASSERT_EQ(mouse->WriteSettings(), LinkResult::Ok);
    RunFor(loop_, clock_, 100ms);
    const std::vector<std::uint8_t> before = Settings();
    CControlUI* swatch = PageControl("DPI_color_option_2");
    ASSERT_NE(swatch, nullptr);

    // Every way of closing without OK: the firmware stays byte-identical, the
    // swatch filled on the way stays saved, and the main window runs on.
    const std::vector<std::pair<const char*, PaletteAct>> closes = {
        {"closebtn", [](CColorSelectWnd& p) { Click(p, "closebtn"); }},
        {"laterbtn", [](CColorSelectWnd& p) { Click(p, "laterbtn"); }},
        {"window manager", [](CColorSelectWnd& p) { p.Close(0); }},
        {"Escape", [](CColorSelectWnd& p) { p.GetPaintManager()->HandleKeyDown(kKeyEscape); }},
    };
    ArgbColour filled = 0xFF102030u;
    for (const auto& [how, close] : closes) {
        SCOPED_TRACE(how);
        filled += 0x010101u;
        ASSERT_TRUE(ClickWhile(swatch, [&, close = close](CColorSelectWnd& p) {
            Select(p, "collect_color_option_1");
            Drag(p, filled);
            close(p);
        }));
        EXPECT_EQ(window_->ColourPalette(), nullptr);
        EXPECT_FALSE(window_->IsClosing());
        EXPECT_EQ(Settings(), before);
        EXPECT_EQ(json::GetString(Collected(1), "color"), ColourString(filled));
        EXPECT_EQ(json::GetString(Collected(1), "UserData"), "1");
    }

    // OK: stage 2's three colour bytes change, nothing else.
    ASSERT_TRUE(ClickWhile(swatch, [](CColorSelectWnd& p) {
        Drag(p, 0xFF3366CCu);
        Click(p, "okbtn");
    }));
    std::vector<std::uint8_t> expected = before;
    const std::size_t at = mouse_block::kStages + 2 * mouse_block::kStageBytes + 6;
    expected[at] = 0x33;
    expected[at + 1] = 0x66;
    expected[at + 2] = 0xCC;
    EXPECT_EQ(Settings(), expected);
    EXPECT_EQ(swatch->GetBkColor(), 0xFF3366CCu);
    const DpiStage& stage = mouse->Stages()[2];
    EXPECT_EQ(std::make_tuple(stage.red, stage.green, stage.blue),
              std::make_tuple(0x33, 0x66, 0xCC));

    // The palette opens on the stage's colour; a filled collected swatch and
    // OK give that swatch's colour.
    ASSERT_TRUE(ClickWhile(swatch, [&](CColorSelectWnd& p) {
        EXPECT_EQ(p.Colour(), 0xFF3366CCu);
        Select(p, "collect_color_option_1");
        Click(p, "okbtn");
    }));
    EXPECT_EQ(swatch->GetBkColor(), filled);
}

INSTANTIATE_TEST_SUITE_P(Channels, PaletteOnBothChannels,
                         ::testing::Values(SimChannel::Wired, SimChannel::Receiver));

class PaletteWithKeyboard : public PaletteWindowTest {
protected:
    PaletteWithKeyboard() { withKeyboard_ = true; }
};

TEST_F(PaletteWithKeyboard, OpensOnlyForStagesZeroToFourOfAMouse) {
    const std::vector<std::uint8_t> before = Settings();
    const std::size_t windows = platform_.windows.size();
    CControlUI stranger;
    stranger.SetName("DPI_color_option_7");
    EXPECT_FALSE(ClickWhile(&stranger, [](CColorSelectWnd& p) { p.Close(1); }));

    CControlUI* swatch = PageControl("DPI_color_option_0");
    ASSERT_NE(swatch, nullptr);
    devices_.SelectTab(devices_.TabOfProduct(Product::Keyboard));
    ASSERT_EQ(devices_.CurrentDevice()->GetProduct(), Product::Keyboard);
    EXPECT_FALSE(ClickWhile(swatch, [](CColorSelectWnd& p) { p.Close(1); }));
    EXPECT_EQ(platform_.windows.size(), windows);
    EXPECT_EQ(Settings(), before);
}

TEST_F(PaletteWindowTest, OnALargeMonitorThePaletteAndItsSwatchesScale) {
    platform_.screens = {{{0, 0, 2560, 1440}, {0, 0, 2560, 1400}, 96}};
    window_->RefitToMonitor();
    ASSERT_EQ(window_->Scale(), 144);
    ASSERT_TRUE(ClickWhile(PageControl("DPI_color_option_0"), [](CColorSelectWnd& p) {
        EXPECT_EQ(p.Scale(), 144);
        const UiRect rect = p.GetWindowRect();
        EXPECT_EQ(rect.right - rect.left, 1200);
        EXPECT_EQ(rect.bottom - rect.top, 858);
        p.GetPaintManager()->UpdateLayout();
        const UiRect swatch = Find(p, "collect_color_option_0")->GetPos();
        EXPECT_EQ(swatch.right - swatch.left, 33);
        Click(p, "closebtn");
    }));
}

}  // namespace
}  // namespace q731
