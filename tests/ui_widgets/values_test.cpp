#include "fixture.h"
#include "ui/widgets/menu.h"

namespace q731::testing {
namespace {

TEST(AttributeValues, ParseWhatLayoutsWriteAndRefuseTheRest) {
    EXPECT_EQ(ParseColor("#FF2F8CFF"), 0xFF2F8CFFu);
    EXPECT_EQ(ParseColor("0x802F8CFF"), 0x802F8CFFu);
    EXPECT_EQ(ParseColor("2F8CFF"), 0xFF2F8CFFu);  // six digits: opaque
    EXPECT_EQ(ParseColor(" #00000000 "), 0u);
    for (const char* bad : {"", "#", "#GG0000", "#1FF2F8CFF", "red"})
        EXPECT_FALSE(ParseColor(bad)) << bad;
    EXPECT_EQ(ParseRect(" 1, 2 ,3,4"), (UiRect{1, 2, 3, 4}));
    EXPECT_FALSE(ParseRect("1,2,3"));
    EXPECT_FALSE(ParseRect("1,2,3,x"));
    EXPECT_EQ(ParseSize("300,200"), (UiSize{300, 200}));
    EXPECT_FALSE(ParseSize("300"));
    EXPECT_EQ(ParseInt("+7"), 7);
    EXPECT_FALSE(ParseInt("7px"));
    EXPECT_FALSE(ParseInt("99999999999"));
    EXPECT_TRUE(ParseBool("TRUE"));
    EXPECT_FALSE(ParseBool("yes"));
}

TEST(AttributeValues, BadValuesLeaveTheControlAsItWas) {
    CButtonUI button;
    button.ApplyAttributeList("width=\"40\" bkcolor=\"#FF102030\"");
    button.ApplyAttributeList("width=\"-5\" bkcolor=\"blue\" height=\"x\" padding=\"1,2\"");
    EXPECT_EQ(button.GetFixedWidth(), 40);
    EXPECT_EQ(button.GetFixedHeight(), 0);
    EXPECT_EQ(button.GetBkColor(), 0xFF102030u);
    EXPECT_EQ(button.GetPadding(), UiRect{});
    button.ApplyAttributeList("text=\"unterminated");  // stops quietly
    EXPECT_EQ(button.GetText(), "");
}

TEST(Utf8, LengthsAndCutsCountCharactersNotBytes) {
    const std::string mixed = "a\xE4\xB8\xAD\xF0\x9F\x98\x80z";  // a, 中, 😀, z
    EXPECT_EQ(Utf8Length(mixed), 4u);
    EXPECT_EQ(CutUtf8(mixed, 2), "a\xE4\xB8\xAD");
    EXPECT_EQ(CutUtf8(mixed, 3), "a\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(CutUtf8(mixed, 9), mixed);
    CEditUI edit;
    edit.SetMaxChar(2);
    edit.SetText(mixed);
    EXPECT_EQ(edit.GetText(), "a\xE4\xB8\xAD");  // never half a character
}

TEST_F(ToolkitTest, PasswordFieldsNeverDrawTheirText) {
    auto window = MakeWindow("<Edit name='p' password='true' text='secret'/>");
    RecordingRenderer renderer;
    window->Pm().Paint(renderer, {0, 0, 400, 300});
    for (const auto& op : renderer.ops) {
        if (op.kind == RecordingRenderer::Kind::Text) {
            EXPECT_EQ(op.text.find("secret"), std::string::npos);
            EXPECT_EQ(Utf8Length(op.text), 6u);
        }
    }
}

TEST_F(ToolkitTest, ALayoutThatCannotBeBuiltCreatesNoWindow) {
    TestWindow broken("<Window><Mystery/></Window>", loop_);
    EXPECT_FALSE(broken.Create(nullptr, "broken"));
    EXPECT_EQ(broken.GetHWND(), 0u);
    EXPECT_EQ(broken.ShowModal(), -1);
    TestWindow missing("no/such/file.xml", loop_);
    EXPECT_FALSE(missing.Create(nullptr, "missing"));
}

TEST_F(ToolkitTest, ScaleMessagesRelayoutTheWindow) {
    auto window = MakeWindow(
        "<VerticalLayout><Button name='b' height='20'/><Control/></VerticalLayout>", 96, 400, 300);
    window->SendMessage(kMsgDpiChanged, 144);
    window->Pm().UpdateLayout();
    EXPECT_EQ(window->Find("b")->GetPos().Height(), 30);
    window->SendMessage(kMsgDpiChanged, 5000);  // refused
    EXPECT_EQ(window->Pm().GetDPIObj()->GetDPI(), 144);
}

TEST_F(ToolkitTest, MenusOpenedAtTheRightEdgeGrowLeftwards) {
    auto owner = MakeWindow("<Control/>");
    CMenuWnd* menu = CMenuWnd::Show(
        owner.get(), "<Window size='150,90'><Menu><MenuElement name='a'/></Menu></Window>",
        {800, 500}, kMenuAlignRight | kMenuAlignBottom);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->GetWindowRect(), (UiRect{650, 410, 800, 500}));
    // A second menu replaces the first.
    CMenuWnd* second =
        CMenuWnd::Show(owner.get(), "<Window size='150,90'><Menu/></Window>", {0, 0});
    EXPECT_EQ(CMenuWnd::Current(), second);
    CMenuWnd::DestroyMenu();
    loop_.ProcessPending();
    EXPECT_EQ(CMenuWnd::Current(), nullptr);
}

}  // namespace
}  // namespace q731::testing
