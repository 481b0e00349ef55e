#include "fixture.h"
#include "ui/widgets/resource_manager.h"

namespace q731::testing {
namespace {

struct Expect {
    const char* name;
    UiRect at96;
};

class LayoutAtScale : public ToolkitTest, public ::testing::WithParamInterface<int> {};

// One layout exercising fixed and shared sizes, padding, child padding, insets,
// floating controls and min/max, checked at 96 dpi and at the scaled positions.
TEST_P(LayoutAtScale, SizesPaddingAndFloatsScaleWithTheWindow) {
    const int dpi = GetParam();
    auto window = MakeWindow(
        "<VerticalLayout name='root' inset='10,10,10,10' childpadding='4'>"
        "<HorizontalLayout name='bar' height='40'>"
        "<Button name='fixed' width='100'/><Button name='flex1'/><Button name='flex2' "
        "padding='10,0,0,0'/><Button name='capped' maxwidth='20'/></HorizontalLayout>"
        "<Label name='shared'/>"
        "<Label name='tall' height='60' width='200'/>"
        "<Button name='float' float='true' pos='300,200,340,220'/>"
        "</VerticalLayout>",
        dpi, 400, 300);
    auto scale = [&](UiRect r) { return window->Pm().GetDPIObj()->Scale(r); };
    // bar width 380: fixed 100, capped 20, padding 10, two shares of 125.
    const Expect expected[] = {
        {"bar", {10, 10, 390, 50}},     {"fixed", {10, 10, 110, 50}},
        {"flex1", {110, 10, 235, 50}},  {"flex2", {245, 10, 370, 50}},
        {"capped", {370, 10, 390, 50}}, {"shared", {10, 54, 390, 226}},
        {"tall", {10, 230, 210, 290}},  {"float", {300, 200, 340, 220}},
    };
    for (const Expect& e : expected) {
        CControlUI* control = window->Find(e.name);
        ASSERT_TRUE(control) << e.name;
        if (dpi == 96) {
            EXPECT_EQ(control->GetPos(), e.at96) << e.name;
        } else {
            // Rounding may move an edge by a pixel per scaled term.
            UiRect want = scale(e.at96);
            const UiRect& got = control->GetPos();
            EXPECT_NEAR(got.left, want.left, 2) << e.name;
            EXPECT_NEAR(got.top, want.top, 2) << e.name;
            EXPECT_NEAR(got.right, want.right, 2) << e.name;
            EXPECT_NEAR(got.bottom, want.bottom, 2) << e.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, LayoutAtScale, ::testing::Values(96, 144));

TEST_F(ToolkitTest, HidingAChildGivesItsSpaceToTheOthers) {
    auto window = MakeWindow(
        "<HorizontalLayout><Button name='a' width='100'/><Button name='b'/></HorizontalLayout>");
    window->Find("a")->SetVisible(false);
    window->Pm().UpdateLayout();
    EXPECT_EQ(window->Find("b")->GetPos(), (UiRect{0, 0, 400, 300}));
}

TEST_F(ToolkitTest, OverflowScrollsWithTheWheelAndStopsAtTheEnds) {
    auto window = MakeWindow(
        "<VerticalLayout name='list' vscrollbar='true'><Button name='first' height='200'/>"
        "<Button name='last' height='200'/></VerticalLayout>");
    auto* list = window->Find<CContainerUI>("list");
    EXPECT_EQ(list->GetScrollRange().cy, 100);
    CControlUI* last = window->Find("last");
    EXPECT_EQ(last->GetPos().top, 200);
    window->Pm().HandleWheel({100, 100}, -120);
    EXPECT_EQ(list->GetScrollPos().cy, 40);
    EXPECT_EQ(last->GetPos().top, 160);
    for (int i = 0; i < 5; ++i)
        window->Pm().HandleWheel({100, 100}, -120);
    EXPECT_EQ(list->GetScrollPos().cy, 100);
    EXPECT_EQ(last->GetPos().bottom, 300);
    // Content that fits again drops the scroll position.
    last->SetVisible(false);
    window->Pm().UpdateLayout();
    EXPECT_EQ(list->GetScrollRange().cy, 0);
    EXPECT_EQ(list->GetScrollPos().cy, 0);
    EXPECT_EQ(window->Find("first")->GetPos().top, 0);
}

TEST_F(ToolkitTest, TabLayoutShowsOnePageAtATime) {
    auto window = MakeWindow(
        "<TabLayout name='tabs' selectedid='1'><Button name='p0'/><VerticalLayout name='p1'>"
        "<Button name='inner'/></VerticalLayout></TabLayout>");
    auto* tabs = window->Find<CTabLayoutUI>("tabs");
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_FALSE(window->Find("p0")->IsVisible());
    EXPECT_TRUE(window->Find("inner")->IsVisible());
    EXPECT_FALSE(tabs->SelectItem(2));
    EXPECT_TRUE(tabs->SelectItem(0));
    window->Pm().UpdateLayout();
    EXPECT_TRUE(window->Find("p0")->IsVisible());
    EXPECT_FALSE(window->Find("inner")->IsVisible());
    EXPECT_EQ(window->Pm().FindControl(UiPoint{10, 10}), window->Find("p0"));
}

TEST_F(ToolkitTest, ImagesDrawAtTheirScaledDestination) {
    auto window = MakeWindow(
        "<Container><Button name='b' float='true' pos='10,10,110,50' normalimage=\"file='n.png' "
        "dest='4,4,20,20' fade='128'\" hotimage='h.png' bkcolor='#FF102030'/></Container>",
        144);
    RecordingRenderer renderer;
    window->Pm().Paint(renderer, {0, 0, 600, 450});
    std::vector<RecordingRenderer::Op> images;
    for (const auto& op : renderer.ops) {
        if (op.kind == RecordingRenderer::Kind::Image) images.push_back(op);
    }
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].text, "n.png");
    EXPECT_EQ(images[0].rect, (UiRect{21, 21, 45, 45}));
    EXPECT_EQ(images[0].value, 128);
    // Hovered, the hot image replaces it.
    window->Pm().HandleMouseMove({30, 30});
    renderer.ops.clear();
    window->Pm().Paint(renderer, {0, 0, 600, 450});
    int hot = 0;
    for (const auto& op : renderer.ops)
        hot += op.kind == RecordingRenderer::Kind::Image && op.text == "h.png";
    EXPECT_EQ(hot, 1);
}

TEST_F(ToolkitTest, ScaleRejectsNonsenseAndSetAllDpiReachesEveryWindow) {
    auto one = MakeWindow("<Button name='b' height='20'/>");
    auto two = MakeWindow("<Button name='b' height='20'/>");
    EXPECT_FALSE(one->Pm().SetDPI(0));
    EXPECT_FALSE(one->Pm().SetDPI(-96));
    EXPECT_EQ(one->Pm().GetDPIObj()->GetDPI(), 96);
    CPaintManagerUI::SetAllDPI(144);
    EXPECT_EQ(one->Pm().GetDPIObj()->GetScale(), 150);
    EXPECT_EQ(two->Pm().Scale(20), 30);
    EXPECT_GT(two->Backend().assetResets, 0);
    CPaintManagerUI::SetAllDPI(96);
}

TEST(ResolveImagePath, StaysInsideTheSkinUnlessAbsolute) {
    std::string saved = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath("/skin");
    EXPECT_EQ(CPaintManagerUI::ResolveImagePath("common/a.png"), "/skin/common/a.png");
    EXPECT_EQ(CPaintManagerUI::ResolveImagePath("/home/u/pic.png"), "/home/u/pic.png");
    EXPECT_EQ(CPaintManagerUI::ResolveImagePath("../etc/x.png"), "");
    EXPECT_EQ(CPaintManagerUI::ResolveImagePath(""), "");
    CPaintManagerUI::SetResourcePath(saved);
}

}  // namespace
}  // namespace q731::testing
