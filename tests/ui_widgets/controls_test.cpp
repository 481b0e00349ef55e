#include "fixture.h"
#include "ui/widgets/color_palette.h"

namespace q731::testing {
namespace {

using Types = std::vector<std::string>;

class Options : public ToolkitTest {
protected:
    void SetUp() override {
        window_ = MakeWindow(
            "<VerticalLayout><Option name='a' group='g' height='30'/><Option name='b' group='g' "
            "height='30' selected='true'/><Option name='c' group='other' height='30'/>"
            "<CheckBox name='box' height='30'/></VerticalLayout>");
        a_ = window_->Find<COptionUI>("a");
        b_ = window_->Find<COptionUI>("b");
        c_ = window_->Find<COptionUI>("c");
    }
    std::unique_ptr<TestWindow> window_;
    COptionUI* a_ = nullptr;
    COptionUI* b_ = nullptr;
    COptionUI* c_ = nullptr;
};

TEST_F(Options, ClickSelectsOneOfTheGroupAndOnlyItNotifies) {
    Click(window_->Pm(), Center(a_));
    EXPECT_TRUE(a_->IsSelected());
    EXPECT_FALSE(b_->IsSelected());
    EXPECT_FALSE(c_->IsSelected());
    EXPECT_EQ(window_->Types(), (Types{"click:a", "selectchanged:a"}));
    // A selected grouped option stays selected when clicked again.
    window_->seen.clear();
    Click(window_->Pm(), Center(a_));
    EXPECT_TRUE(a_->IsSelected());
    EXPECT_EQ(window_->Types(), (Types{"click:a"}));
}

TEST_F(Options, SelectionWithoutNotificationAndEmptyGroups) {
    b_->Selected(false, false);
    EXPECT_FALSE(a_->IsSelected());
    EXPECT_FALSE(b_->IsSelected());  // a group may have nothing selected
    a_->Selected(true, false);
    b_->Selected(true, false);
    EXPECT_FALSE(a_->IsSelected());
    EXPECT_TRUE(b_->IsSelected());
    EXPECT_TRUE(window_->Types().empty());
    b_->Selected(true);  // no change, no notification
    EXPECT_TRUE(window_->Types().empty());
    a_->Selected(true);
    EXPECT_EQ(window_->Types(), (Types{"selectchanged:a"}));
}

TEST_F(Options, CheckBoxTogglesAndSendsCheckClick) {
    auto* box = window_->Find<COptionUI>("box");
    Click(window_->Pm(), Center(box));
    Click(window_->Pm(), Center(box));
    EXPECT_FALSE(box->IsSelected());
    EXPECT_EQ(window_->Types(), (Types{"click:box", "selectchanged:box", "checkclick:box",
                                       "click:box", "selectchanged:box", "checkclick:box"}));
    EXPECT_EQ(window_->seen.at(2).wParam, 1u);
    EXPECT_EQ(window_->seen.at(5).wParam, 0u);
}

class Sliders : public ToolkitTest {
protected:
    void SetUp() override {
        // 200 px wide track, 20 px thumb: values 0..180 map to x 10..190.
        window_ = MakeWindow(
            "<HorizontalLayout><Slider name='s' width='200' height='20' min='0' max='180' "
            "value='90' thumbsize='20,20' step='1'/><Control/></HorizontalLayout>");
        slider_ = window_->Find<CSliderUI>("s");
    }
    std::unique_ptr<TestWindow> window_;
    CSliderUI* slider_ = nullptr;
};

TEST_F(Sliders, DragSendsMoveValuesAndReleaseSendsOneValueChanged) {
    CPaintManagerUI& pm = window_->Pm();
    pm.HandleMouseMove({100, 10});
    pm.HandleButtonDown({100, 10});
    pm.HandleMouseMove({110, 10});
    pm.HandleMouseMove({110, 12});  // same value: nothing new
    pm.HandleMouseMove({300, 10});  // beyond the end: the maximum
    EXPECT_EQ(slider_->GetValue(), 180);
    EXPECT_EQ(window_->Types(), (Types{"movevaluechanged:s", "movevaluechanged:s"}));
    pm.HandleButtonUp({40, 10});
    EXPECT_EQ(slider_->GetValue(), 30);
    EXPECT_EQ(window_->Types(),
              (Types{"movevaluechanged:s", "movevaluechanged:s", "valuechanged:s"}));
}

TEST_F(Sliders, WheelAndKeysSendValueChangedAndCodeSendsNothing) {
    CPaintManagerUI& pm = window_->Pm();
    pm.HandleWheel({100, 10}, 120);
    EXPECT_EQ(slider_->GetValue(), 91);
    pm.HandleWheel({100, 10}, -240);
    EXPECT_EQ(slider_->GetValue(), 90);
    slider_->SetValue(500);
    EXPECT_EQ(slider_->GetValue(), 180);
    pm.HandleWheel({100, 10}, 120);  // already at the maximum
    EXPECT_EQ(window_->Types(), (Types{"valuechanged:s", "valuechanged:s"}));
}

TEST(Progress, AnEmptyOrInvertedRangeIsHarmless) {
    CProgressUI progress;
    progress.SetMinValue(50);
    progress.SetMaxValue(10);
    EXPECT_EQ(progress.GetMaxValue(), 50);
    EXPECT_EQ(progress.GetValue(), 50);
    EXPECT_EQ(progress.Fraction(), 0.0);
    progress.SetMaxValue(150);
    progress.SetValue(100);
    EXPECT_DOUBLE_EQ(progress.Fraction(), 0.5);
}

class Combos : public ToolkitTest {
protected:
    void SetUp() override {
        window_ = MakeWindow(
            "<VerticalLayout vscrollbar='true'><Combo name='c' height='30'>"
            "<ListLabelElement text='zero' userdata='0'/><ListLabelElement text='one' "
            "userdata='1' visible='false'/><ListLabelElement text='two' userdata='2'/></Combo>"
            "<Control height='1000'/></VerticalLayout>");
        combo_ = window_->Find<CComboUI>("c");
    }
    std::unique_ptr<TestWindow> window_;
    CComboUI* combo_ = nullptr;
};

TEST_F(Combos, SelectItemWithAndWithoutNotification) {
    EXPECT_TRUE(combo_->SelectItem(2, false, false));
    EXPECT_EQ(combo_->GetCurSel(), 2);
    EXPECT_EQ(combo_->GetText(), "two");
    EXPECT_TRUE(window_->Types().empty());
    EXPECT_TRUE(combo_->SelectItem(0));
    EXPECT_TRUE(combo_->SelectItem(0));  // same item: nothing new
    ASSERT_EQ(window_->Types(), (Types{"itemselect:c"}));
    EXPECT_EQ(window_->seen.back().wParam, 0u);
    EXPECT_EQ(window_->seen.back().lParam, 2);
    EXPECT_FALSE(combo_->SelectItem(3));
    EXPECT_FALSE(combo_->SelectItem(-2));
    EXPECT_EQ(combo_->GetCurSel(), 0);
    EXPECT_EQ(combo_->GetItemAt(1)->GetUserData(), "1");
    EXPECT_FALSE(combo_->GetItemAt(1)->IsVisible());
}

TEST_F(Combos, KeysSkipHiddenItemsAndClickOpensTheDropDown) {
    combo_->SelectItem(0, false, false);
    combo_->SetFocus();
    window_->Pm().HandleKeyDown(kKeyDown);
    EXPECT_EQ(combo_->GetCurSel(), 2);
    Click(window_->Pm(), Center(combo_));
    EXPECT_EQ(window_->Backend().droppedDown, combo_);
}

TEST_F(Combos, TheWheelScrollsThePageInsteadOfChangingTheChoice) {
    combo_->SelectItem(0, false, false);
    auto* page = dynamic_cast<CContainerUI*>(window_->Pm().GetRoot());
    window_->Pm().HandleWheel(Center(combo_), -120);
    EXPECT_EQ(combo_->GetCurSel(), 0);
    EXPECT_GT(page->GetScrollPos().cy, 0);
    EXPECT_TRUE(window_->Types().empty());
}

TEST_F(Combos, RemovingItemsKeepsTheSelectionOnTheSameItem) {
    combo_->SelectItem(2, false, false);
    combo_->RemoveAt(0);
    EXPECT_EQ(combo_->GetCurSel(), 1);
    EXPECT_EQ(combo_->GetText(), "two");
    combo_->RemoveAt(1);
    EXPECT_EQ(combo_->GetCurSel(), -1);
    EXPECT_EQ(combo_->GetText(), "");
}

TEST_F(ToolkitTest, ListElementsSelectClickAndActivate) {
    auto window = MakeWindow(
        "<List name='list' itemheight='20'><ListContainerElement name='r0'><Label name='l0'/>"
        "</ListContainerElement><ListContainerElement name='r1'/></List>");
    auto* list = window->Find<CListUI>("list");
    CControlUI* label = window->Find("l0");
    Click(window->Pm(), Center(label));
    EXPECT_EQ(list->GetCurSel(), 0);
    window->Pm().HandleDoubleClick(Center(window->Find("r1")));
    window->Pm().HandleButtonUp(Center(window->Find("r1")));
    EXPECT_EQ(window->Types(),
              (Types{"itemselect:list", "itemclick:r0", "itemactivate:r1", "itemclick:r1"}));
    list->RemoveAll();
    EXPECT_EQ(list->GetCurSel(), -1);
}

TEST_F(ToolkitTest, TimersNotifyUntilKilledOrTheControlIsGone) {
    auto window =
        MakeWindow("<VerticalLayout><Button name='b'/><Button name='c'/></VerticalLayout>");
    CPaintManagerUI& pm = window->Pm();
    CControlUI* b = window->Find("b");
    CControlUI* c = window->Find("c");
    ASSERT_TRUE(pm.SetTimer(b, 1001, 100));
    ASSERT_TRUE(pm.SetTimer(c, 7, 50));
    EXPECT_FALSE(pm.SetTimer(b, 1, 0));
    RunFor(loop_, clock_, Millis(350));
    int bTicks = 0, cTicks = 0;
    for (const Seen& s : window->seen) {
        if (s.type != "timer") continue;
        if (s.sender == "b") {
            EXPECT_EQ(s.wParam, 1001u);
            ++bTicks;
        } else {
            ++cTicks;
        }
    }
    EXPECT_EQ(bTicks, 3);
    EXPECT_EQ(cTicks, 7);
    EXPECT_TRUE(pm.KillTimer(b, 1001));
    dynamic_cast<CContainerUI*>(pm.GetRoot())->Remove(c);
    window->seen.clear();
    RunFor(loop_, clock_, Millis(500));
    EXPECT_TRUE(window->seen.empty());
    EXPECT_FALSE(loop_.HasTimer(c, 7));
}

TEST_F(ToolkitTest, AClickHandlerMayRemoveItsOwnButton) {
    auto window =
        MakeWindow("<VerticalLayout name='root'><Option name='b' height='40'/></VerticalLayout>");
    window->onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == "click") {
            dynamic_cast<CContainerUI*>(window->Pm().GetRoot())->Remove(msg.pSender);
        }
    };
    Click(window->Pm(), {20, 20});
    EXPECT_EQ(window->Pm().FindControl("b"), nullptr);
    EXPECT_EQ(window->Pm().GetCapture(), nullptr);
    EXPECT_EQ(window->Types(), (Types{"click:b"}));  // nothing from the removed option
    Click(window->Pm(), {20, 20});                   // nothing left to hit
}

TEST_F(ToolkitTest, TypingCommitsOnFocusLossWithKillFocus) {
    auto window = MakeWindow(
        "<VerticalLayout><Edit name='e' height='30' maxchar='4' numberonly='true'/><Button "
        "name='b' height='30'/></VerticalLayout>");
    auto* edit = window->Find<CEditUI>("e");
    CPaintManagerUI& pm = window->Pm();
    Click(pm, Center(edit));
    EXPECT_EQ(window->Backend().editing, edit);
    for (char ch : std::string("12a345"))
        pm.HandleChar(ch);
    pm.HandleKeyDown(kKeyBack);
    EXPECT_EQ(edit->GetText(), "123");
    window->seen.clear();
    Click(pm, Center(window->Find("b")));
    EXPECT_EQ(window->Backend().editing, nullptr);
    EXPECT_EQ(window->Types(), (Types{"killfocus:e", "click:b"}));
    edit->SetText("98765");  // code is held to the same rules, silently
    EXPECT_EQ(edit->GetText(), "9876");
}

TEST_F(ToolkitTest, ReturnEndsASingleLineEditAndTabWalksTheFocus) {
    auto window = MakeWindow(
        "<VerticalLayout><Edit name='e1' height='30'/><Edit name='e2' "
        "height='30'/></VerticalLayout>");
    CPaintManagerUI& pm = window->Pm();
    pm.HandleKeyDown(kKeyTab);
    EXPECT_EQ(pm.GetFocus(), window->Find("e1"));
    pm.HandleKeyDown(kKeyTab);
    EXPECT_EQ(pm.GetFocus(), window->Find("e2"));
    pm.HandleChar(0x4E2D);
    pm.HandleKeyDown(kKeyReturn);
    EXPECT_EQ(pm.GetFocus(), nullptr);
    EXPECT_EQ(window->Find("e2")->GetText(), "\xE4\xB8\xAD");
    EXPECT_EQ(window->Types(), (Types{"setfocus:e1", "killfocus:e1", "setfocus:e2",
                                      "textchanged:e2", "return:e2", "killfocus:e2"}));
}

TEST_F(ToolkitTest, PaletteDragReportsColoursAndSetSelectColorIsSilent) {
    auto window = MakeWindow("<ColorPalette name='p' barheight='20'/>", 96, 200, 226);
    auto* palette = window->Find<CColorPaletteUI>("p");
    palette->SetSelectColor(0xFF336699);
    EXPECT_EQ(palette->GetSelectColor(), 0xFF336699u);
    EXPECT_TRUE(window->Types().empty());
    CPaintManagerUI& pm = window->Pm();
    UiRect field = palette->FieldRect();
    pm.HandleButtonDown({field.right - 1, field.top});  // full saturation, full value
    EXPECT_EQ(window->Types(), (Types{"colorchanged:p"}));
    EXPECT_EQ(window->seen.back().wParam, palette->GetSelectColor());
    UiRect strip = palette->StripRect();
    pm.HandleMouseMove({strip.left, strip.top + 2});  // still the field drag: clamped
    pm.HandleButtonUp({strip.left, strip.top + 2});
    EXPECT_EQ(palette->GetSelectColor() & 0xFFFFFF, 0u);  // left bottom: black
}

TEST(ColorPalette, HsvRoundTrips) {
    for (UiColor color : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF336699u, 0xFFFFFFFFu,
                          0xFF000000u, 0xFF808080u}) {
        int h = 0, s = 0, v = 0;
        CColorPaletteUI::ColorToHsv(color, h, s, v);
        UiColor back = CColorPaletteUI::HsvToColor(h, s, v);
        for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(int((back >> shift) & 0xFF), int((color >> shift) & 0xFF), 2)
                << std::hex << color;
        }
    }
}

}  // namespace
}  // namespace q731::testing
