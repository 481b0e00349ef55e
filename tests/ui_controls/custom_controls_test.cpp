#include "ui/controls/custom_controls.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "tests/ui_widgets/fixture.h"

namespace q731 {
namespace {

using Kind = RecordingRenderer::Kind;
using Op = RecordingRenderer::Op;

class CustomControls : public testing::ToolkitTest {
protected:
    CustomControls() { RegisterCustomControls(); }

    // What `control` paints, keeping only the kinds asked for.
    static std::vector<Op> Painted(CControlUI* control, std::initializer_list<Kind> kinds) {
        RecordingRenderer renderer;
        control->DoPaint(renderer, control->GetPos());
        std::vector<Op> kept;
        for (const Op& op : renderer.ops) {
            if (std::find(kinds.begin(), kinds.end(), op.kind) != kinds.end()) kept.push_back(op);
        }
        return kept;
    }

    // `element` (design sizes) stacked from the window's top left corner.
    std::unique_ptr<testing::TestWindow> MakeOne(const std::string& element, int dpi = 96) {
        return MakeWindow("<VerticalLayout>" + element + "</VerticalLayout>", dpi);
    }

    void Drag(CPaintManagerUI& pm, UiPoint from, UiPoint to) {
        pm.HandleMouseMove(from);
        pm.HandleButtonDown(from);
        pm.HandleMouseMove(to);
        pm.HandleButtonUp(to);
    }
};

TEST_F(CustomControls, EveryControlIsBuiltFromItsElementAndAnswersItsClass) {
    for (std::string_view name : {"CircleProgress", "DeviceKeyButton", "HandImgButton",
                                  "HandImgSelectButton", "RedioMacroButton", "SelectPanel",
                                  "RerurIvavud", "ChartView", "Wnd", "ComboEditContainerElement"}) {
        auto window = MakeOne("<" + std::string(name) + " name=\"it\"/>");
        CControlUI* control = window->Find("it");
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->GetClass(), name);
    }
}

TEST_F(CustomControls, CircleProgressSweepsTheValuesShareOfTheRange) {
    struct Case {
        int min, max, value, dpi;
        int sweep;  // 0: no foreground
    };
    const Case cases[] = {
        {0, 100, 0, 96, 0},  // only the two discs
        {0, 100, 25, 96, 90},
        {50, 150, 100, 96, 180},  // counted from the minimum, not from 0
        {-100, 100, 0, 96, 180},
        {0, 100, 100, 144, 360},  // the ring is 15 device pixels wide at 144 dpi
        {10, 10, 10, 96, 0},      // an empty range draws no foreground
    };
    for (const Case& c : cases) {
        auto window = MakeOne(
            "<CircleProgress name=\"c\" width=\"100\" height=\"100\" bkcolor=\"#FF111111\" "
            "forecolor=\"#FF2222FF\"/>",
            c.dpi);
        auto* circle = window->Find<CCircleProgressUI>("c");
        circle->SetMaxValue(c.max);
        circle->SetMinValue(c.min);
        circle->SetValue(c.value);
        const UiRect rc = circle->GetPos();
        const std::vector<Op> ops = Painted(circle, {Kind::Ellipse, Kind::Pie});
        ASSERT_EQ(ops.size(), c.sweep ? 3u : 2u) << c.min << ".." << c.max << " at " << c.value;
        EXPECT_EQ(ops.front().rect, rc);
        EXPECT_EQ(ops.front().color, 0xFF111111u);
        if (c.sweep) {
            EXPECT_EQ(ops[1].kind, Kind::Pie);
            EXPECT_EQ(ops[1].value, 90) << "starts at twelve o'clock";
            EXPECT_EQ(ops[1].sweep, -c.sweep) << "clockwise";
        }
        const int ring = c.dpi == 144 ? 15 : 10;
        EXPECT_EQ(ops.back().rect, rc.Deflate({ring, ring, ring, ring}));
        EXPECT_EQ(ops.back().color, 0xFFFFFFFFu);
    }
}

TEST_F(CustomControls, KeyButtonAttributesAndDefaults) {
    auto window = MakeOne(
        "<DeviceKeyButton name=\"plain\"/><DeviceKeyButton name=\"set\" lightimage=\"l.png\" "
        "keysetimage=\"s.png\" light=\"true\" lightcolor=\"#FF8000\" lightbrightness=\"300\" "
        "keysethidden=\"false\"/>");
    auto* plain = window->Find<CDeviceKeyButtonUI>("plain");
    EXPECT_FALSE(plain->IsLight());
    EXPECT_EQ(plain->GetLightColor(), 0x0000FFu);
    EXPECT_EQ(plain->GetLightBrightness(), 200);
    EXPECT_TRUE(plain->IsKeySetHidden());
    EXPECT_FALSE(plain->IsSelected());
    auto* set = window->Find<CDeviceKeyButtonUI>("set");
    EXPECT_EQ(set->GetLightImage(), "l.png");
    EXPECT_EQ(set->GetKeySetImage(), "s.png");
    EXPECT_TRUE(set->IsLight());
    EXPECT_EQ(set->GetLightColor(), 0xFF8000u);
    EXPECT_EQ(set->GetLightBrightness(), 255) << "clamped";
    EXPECT_FALSE(set->IsKeySetHidden());
    set->SetLightColor(0xAB123456);
    set->SetLightBrightness(-4);
    EXPECT_EQ(set->GetLightColor(), 0x123456u);
    EXPECT_EQ(set->GetLightBrightness(), 0);
}

TEST_F(CustomControls, LitKeyIsDrawnInItsColourScaledByBrightness) {
    struct Case {
        bool light;
        const char* lightImage;
        bool keySetHidden;
        std::uint32_t color;
        int brightness;
        std::vector<std::pair<Kind, UiColor>> drawn;  // after the normal image
    };
    const Case cases[] = {
        {false, "l.png", false, 0xFF8000, 128, {{Kind::Image, 0}}},  // only the key-set mark
        {true, "l.png", true, 0xFF8000, 128, {{Kind::Image, 0xFF804000}}},
        {true, "l.png", true, 0xFFFFFF, 255, {{Kind::Image, 0xFFFFFFFF}}},
        {true, "", false, 0x0000FF, 200, {{Kind::RoundFill, 0xFF0000C8}, {Kind::Image, 0}}},
    };
    for (const Case& c : cases) {
        auto window =
            MakeOne("<DeviceKeyButton name=\"k\" normalimage=\"n.png\" " +
                    std::string("keysetimage=\"s.png\" lightimage=\"") + c.lightImage + "\"/>");
        auto* key = window->Find<CDeviceKeyButtonUI>("k");
        key->SetLight(c.light);
        key->SetKeySetHidden(c.keySetHidden);
        key->SetLightColor(c.color);
        key->SetLightBrightness(c.brightness);
        std::vector<Op> ops = Painted(key, {Kind::Image, Kind::RoundFill});
        ASSERT_FALSE(ops.empty());
        EXPECT_EQ(ops.front().text, "n.png");
        std::vector<std::pair<Kind, UiColor>> drawn;
        for (std::size_t i = 1; i < ops.size(); ++i)
            drawn.emplace_back(ops[i].kind, ops[i].color);
        EXPECT_EQ(drawn, c.drawn) << "light " << c.light << " image '" << c.lightImage << "'";
    }
}

TEST_F(CustomControls, DoubleClickOnAnEnabledKeySendsDbclick) {
    for (bool enabled : {true, false}) {
        auto window = MakeOne("<DeviceKeyButton name=\"k\" height=\"40\"/>");
        window->Find("k")->SetEnabled(enabled);
        window->Pm().HandleDoubleClick(Center(window->Find("k")));
        const auto types = window->Types();
        EXPECT_EQ(std::count(types.begin(), types.end(), "dbclick:k"), enabled ? 1 : 0);
    }
}

TEST_F(CustomControls, SelectPanelDragSelectsTheKeysItTouches) {
    struct Case {
        UiPoint from, to;
        bool preselected;
        std::array<bool, 3> selected;
        bool notified;
    };
    const Case cases[] = {
        {{5, 5}, {70, 30}, false, {true, true, false}, true},
        {{230, 60}, {55, 5}, false, {false, true, true}, true},   // dragged up and left
        {{5, 60}, {300, 95}, true, {false, false, false}, true},  // no key: all cleared
        {{5, 60}, {5, 60}, true, {true, true, true}, false},      // a click is no drag
    };
    for (const Case& c : cases) {
        auto window = MakeWindow(
            "<SelectPanel name=\"panel\">"
            "<DeviceKeyButton name=\"k0\" float=\"true\" pos=\"10,10,50,50\"/>"
            "<DeviceKeyButton name=\"k1\" float=\"true\" pos=\"60,10,100,50\"/>"
            "<DeviceKeyButton name=\"k2\" float=\"true\" pos=\"200,10,240,50\"/>"
            "<Button name=\"plain\" float=\"true\" pos=\"110,60,150,90\"/></SelectPanel>");
        CDeviceKeyButtonUI* keys[] = {window->Find<CDeviceKeyButtonUI>("k0"),
                                      window->Find<CDeviceKeyButtonUI>("k1"),
                                      window->Find<CDeviceKeyButtonUI>("k2")};
        for (auto* key : keys)
            key->SetSelected(c.preselected);
        if (c.from == c.to) {
            Click(window->Pm(), c.from);
        } else {
            Drag(window->Pm(), c.from, c.to);
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(keys[i]->IsSelected(), c.selected[i]) << "key " << i;
        const auto types = window->Types();
        EXPECT_EQ(std::count(types.begin(), types.end(), "click_select_end:panel"),
                  c.notified ? 1 : 0);
        EXPECT_FALSE(window->Find<CSelectPanelUI>("panel")->IsDragging());
    }
}

TEST_F(CustomControls, RecordButtonFadesBetween255And80WhileBlinking) {
    auto window = MakeOne(
        "<RedioMacroButton name=\"rec\" normalimage=\"idle.png\" "
        "redioimage=\"rec.png\"/>");
    auto* rec = window->Find<CRedioMacroButtonUI>("rec");
    rec->SetBlinking(true);
    std::vector<int> fades;
    for (int tick = 0; tick < 19; ++tick) {
        clock_.Advance(Millis(CRedioMacroButtonUI::kBlinkIntervalMs));
        loop_.ProcessPending();
        fades.push_back(rec->GetFade());
        if (tick == 0) {
            EXPECT_EQ(rec->GetNormalImage(), "res='rec.png' fade='235'");
        }
    }
    EXPECT_EQ(fades, (std::vector<int>{235, 215, 195, 175, 155, 135, 115, 95, 80, 100, 120, 140,
                                       160, 180, 200, 220, 240, 255, 235}));
    rec->SetBlinking(false);
    EXPECT_EQ(rec->GetNormalImage(), "idle.png");
    clock_.Advance(Millis(500));
    loop_.ProcessPending();
    EXPECT_EQ(rec->GetNormalImage(), "idle.png") << "the timer is gone";
    EXPECT_EQ(rec->GetFade(), 255);
}

TEST_F(CustomControls, DeleteCornerIsScaledWithTheWindow) {
    const std::pair<int, UiRect> cases[] = {
        {96, {70, 51, 90, 71}},      // 100 x 80: 30 from the right, 29 up, 20 wide
        {144, {105, 76, 135, 106}},  // 150 x 120
    };
    for (const auto& [dpi, corner] : cases) {
        auto window = MakeOne(
            "<HandImgButton name=\"h\" width=\"100\" height=\"80\" "
            "nodelete=\"false\" deletenormalimage=\"del.png\" "
            "deletehotimage=\"hot.png\"/>",
            dpi);
        auto* hand = window->Find<CHandImgButtonUI>("h");
        EXPECT_EQ(hand->GetDeleteRect(), corner) << dpi;
        window->Pm().HandleMouseMove({corner.left + 1, corner.top + 1});
        EXPECT_EQ(hand->GetCurrentDeleteImage(), "hot.png");
        const std::vector<Op> images = Painted(hand, {Kind::Image});
        ASSERT_FALSE(images.empty());
        EXPECT_EQ(images.back().text, "hot.png");
        EXPECT_EQ(images.back().rect, corner);
        window->Pm().HandleMouseMove(Center(hand));
        EXPECT_EQ(hand->GetCurrentDeleteImage(), "del.png");
    }
}

TEST_F(CustomControls, ReleaseInTheDeleteCornerSendsHandDeleteUnlessDeletingIsOff) {
    struct Case {
        bool noDelete;
        bool inCorner;
        const char* sent;
    };
    for (const Case& c : {Case{false, true, "click_handdelete:h"}, Case{false, false, "click:h"},
                          Case{true, true, "click:h"}}) {
        auto window = MakeOne("<HandImgButton name=\"h\" width=\"100\" height=\"80\"/>");
        auto* hand = window->Find<CHandImgButtonUI>("h");
        hand->SetNoDelete(c.noDelete);
        const UiRect corner = hand->GetDeleteRect();
        Click(window->Pm(), c.inCorner ? UiPoint{corner.left + 2, corner.top + 2} : Center(hand));
        window->Pm().HandleMouseMove({300, 250});
        EXPECT_EQ(window->Types(), (std::vector<std::string>{"msenter:h", c.sent, "msleave:h"}));
    }
}

// A file that reads as a PNG of the given size (the size sits in its header).
std::string WritePng(const std::filesystem::path& dir, int cx, int cy) {
    const auto path = dir / (std::to_string(cx) + "x" + std::to_string(cy) + ".png");
    std::string bytes = "\x89PNG\r\n\x1a\n";
    bytes += std::string("\0\0\0\x0dIHDR", 8);
    for (int v : {cx, cy}) {
        for (int shift : {24, 16, 8, 0})
            bytes += static_cast<char>((v >> shift) & 0xFF);
    }
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST_F(CustomControls, SelectButtonPansALargeImageInsideItsEdges) {
    struct Case {
        UiSize image;
        std::vector<UiPoint> pointerMoves;
        UiRect source;
    };
    const Case cases[] = {
        {{50, 40}, {{-30, -20}}, {0, 0, 50, 40}},  // smaller than the button: never pans
        {{400, 300}, {}, {0, 0, 100, 80}},
        {{400, 300}, {{-30, -20}}, {30, 20, 130, 100}},
        {{400, 300}, {{-1000, -1000}}, {300, 220, 400, 300}},  // one fast move reaches the edge
        {{400, 300}, {{-30, -20}, {500, 500}}, {0, 0, 100, 80}},
        {{400, 50}, {{-30, -20}}, {30, 0, 130, 80}},  // only the long side pans
    };
    const auto dir = std::filesystem::temp_directory_path() / "q731_custom_controls_test";
    std::filesystem::create_directories(dir);
    for (const Case& c : cases) {
        const std::string file = WritePng(dir, c.image.cx, c.image.cy);
        auto window = MakeOne("<HandImgSelectButton name=\"s\" width=\"100\" height=\"80\"/>");
        auto* button = window->Find<CHandImgSelectButtonUI>("s");
        button->SetHandImage(file);
        UiPoint pointer = Center(button);
        window->Pm().HandleMouseMove(pointer);
        window->Pm().HandleButtonDown(pointer);
        for (UiPoint move : c.pointerMoves) {
            pointer = {pointer.x + move.x, pointer.y + move.y};
            window->Pm().HandleMouseMove(pointer);
        }
        window->Pm().HandleButtonUp(pointer);
        EXPECT_EQ(button->GetSourceWindow(), c.source) << c.image.cx << "x" << c.image.cy;
        const UiRect& s = c.source;
        const std::string expected =
            button->IsPannable() ? "file='" + file + "' source='" + std::to_string(s.left) + "," +
                                       std::to_string(s.top) + "," + std::to_string(s.right) + "," +
                                       std::to_string(s.bottom) + "'"
                                 : "file='" + file + "'";
        EXPECT_EQ(button->GetImageString(), expected);
        EXPECT_FALSE(button->IsDragging());
    }
    std::filesystem::remove_all(dir);
}

TEST_F(CustomControls, AudioLevelBarsAreClampedToTheControl) {
    struct Case {
        int width;
        std::vector<int> samples;
        std::vector<UiRect> bars;
    };
    const std::vector<int> loud(600, CRerurIvavudUI::kFullScale);
    const Case cases[] = {
        {12,
         {8192, 4096, 0, -100, 100000, INT_MAX, 8192},
         {{0, 0, 1, 99}, {2, 50, 3, 99}, {8, 0, 9, 99}, {10, 0, 11, 99}}},
        {1200, loud, {}},  // 500 bars at most, however wide
    };
    for (const Case& c : cases) {
        auto window =
            MakeWindow("<VerticalLayout><RerurIvavud name=\"a\" width=\"" +
                           std::to_string(c.width) + "\" height=\"100\"/></VerticalLayout>",
                       96, 1300, 200);
        auto* level = window->Find<CRerurIvavudUI>("a");
        level->SetSamples(c.samples);
        const std::vector<Op> fills = Painted(level, {Kind::Fill});
        if (c.bars.empty()) {
            EXPECT_EQ(fills.size(), 500u);
            continue;
        }
        std::vector<UiRect> bars;
        for (const Op& op : fills)
            bars.push_back(op.rect);
        EXPECT_EQ(bars, c.bars);
    }
}

TEST_F(CustomControls, ChartDrawsProportionsAndNothingWithoutAPositiveTotal) {
    struct Case {
        const char* view;
        std::vector<double> values;
        std::vector<std::pair<int, int>> pies;  // start, sweep
        std::vector<int> pillarHeights;
    };
    const Case cases[] = {
        {"pie", {}, {}, {}},
        {"pie", {0, 0}, {}, {}},
        {"pie", {-5, -3}, {}, {}},
        {"histpgram", {0, 0}, {}, {}},
        {"pie", {1, 3}, {{90, -90}, {0, -270}}, {}},
        {"pie", {NAN, -2, 1}, {{90, -360}}, {}},
        {"histpgram", {2, 4}, {}, {86, 172}},  // 172 pixels between top margin and labels
    };
    for (const Case& c : cases) {
        auto window = MakeOne("<ChartView name=\"chart\" height=\"200\" showtext=\"true\" view=\"" +
                              std::string(c.view) + "\"/>");
        auto* chart = window->Find<CChartViewUI>("chart");
        for (double value : c.values)
            chart->AddItem("item", value);
        const std::vector<Op> ops = Painted(chart, {Kind::Pie, Kind::Fill, Kind::Ellipse});
        std::vector<std::pair<int, int>> pies;
        std::vector<int> pillars;
        for (const Op& op : ops) {
            if (op.kind == Kind::Pie) pies.emplace_back(op.value, op.sweep);
            if (op.kind == Kind::Fill) pillars.push_back(op.rect.Height());
        }
        EXPECT_EQ(pies, c.pies) << c.view;
        if (c.pies.empty() && c.pillarHeights.empty()) {
            EXPECT_TRUE(ops.empty()) << c.view << " with " << c.values.size() << " items";
        }
        if (!c.pillarHeights.empty()) {
            EXPECT_EQ(pillars, c.pillarHeights);
        }
    }
}

TEST_F(CustomControls, WndKeepsItsWindowOverTheControl) {
    auto window = MakeOne("<Control height=\"20\"/><Wnd name=\"w\" width=\"50\" height=\"30\"/>");
    window->MoveWindow({100, 200, 500, 500});
    auto hosted =
        std::make_unique<testing::TestWindow>("<Window size=\"50,30\"><Control/></Window>", loop_);
    ASSERT_TRUE(hosted->Create(window.get(), "hosted"));
    auto* host = window->Find<CWndUI>("w");
    host->Attach(hosted.get());
    EXPECT_EQ(hosted->Backend().rect, (UiRect{100, 220, 150, 250}));
    EXPECT_TRUE(hosted->Backend().visible);
    host->SetVisible(false);
    EXPECT_FALSE(hosted->Backend().visible);
    host->SetVisible(true);
    EXPECT_TRUE(hosted->Backend().visible);
    hosted.reset();
    EXPECT_EQ(host->GetWindow(), nullptr) << "a window closed elsewhere is let go";
    host->SetVisible(false);
    host->SetPos({0, 0, 10, 10});
}

TEST_F(CustomControls, MacroRowBuildsItsPartsFromTheSkin) {
    const std::string saved = CPaintManagerUI::GetResourcePath();
    for (bool withSkin : {true, false}) {
        CPaintManagerUI::SetResourcePath(withSkin ? Q731_SOURCE_DIR "/skin" : "/nonexistent");
        auto window = MakeWindow(
            "<List><ComboEditContainerElement name=\"row\" menu=\"true\" "
            "normalimage=\"n.png\"/></List>");
        auto* row = window->Find<CComboEditContainerElementUI>("row");
        EXPECT_EQ(row->GetText1() != nullptr, withSkin);
        EXPECT_EQ(row->GetText2() != nullptr, withSkin);
        EXPECT_EQ(row->GetDelayEdit() != nullptr, withSkin);
        window->Pm().HandleRightButtonUp(Center(row));
        EXPECT_EQ(window->Types(), std::vector<std::string>{"menu:row"});
    }
    CPaintManagerUI::SetResourcePath(saved);
}

}  // namespace
}  // namespace q731
