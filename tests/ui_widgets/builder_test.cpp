#include <filesystem>
#include <fstream>

#include "fixture.h"
#include "platform/log.h"
#include "tests/support/test_folder.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/image_string.h"
#include "ui/widgets/resource_manager.h"
#include "ui/widgets/xml.h"

namespace q731::testing {
namespace {

namespace fs = std::filesystem;

class KeyButton : public CButtonUI {
public:
    std::string_view GetClass() const override { return "DeviceKeyButton"; }
};

// Compares element names without regard to case, as windows' callbacks do.
class Callback : public IDialogBuilderCallback {
public:
    std::unique_ptr<CControlUI> CreateControl(std::string_view name) override {
        asked.emplace_back(name);
        if (EqualsNoCase(name, "DeviceKeyButton")) return std::make_unique<KeyButton>();
        return nullptr;
    }
    std::vector<std::string> asked;
};

class SkinFolder : public ToolkitTest {
protected:
    SkinFolder() {
        fs::create_directories(dir_ / "xml");
        saved_ = CPaintManagerUI::GetResourcePath();
        CPaintManagerUI::SetResourcePath(dir_.string());
    }
    ~SkinFolder() override {
        CPaintManagerUI::SetResourcePath(saved_);
        CResourceManager::GetInstance().ResetResourceMap();
        CResourceManager::GetInstance().ResetLanguage();
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
    }
    testing::TestFolder folder_{"q731-skin"};
    const fs::path& dir_ = folder_.path();
    std::string saved_;
};

TEST(XmlReader, ReadsElementsAttributesAndEntities) {
    auto doc = ParseXml(
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- c --><A x='1 &amp; 2' y=\"&#x4E2D;&lt;\">"
        "<B/><![CDATA[<ignored/>]]>text<C z='3'></C></A>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->name, "A");
    EXPECT_EQ(*doc->Attribute("X"), "1 & 2");
    EXPECT_EQ(*doc->Attribute("y"), "\xE4\xB8\xAD<");
    ASSERT_EQ(doc->children.size(), 2u);
    EXPECT_EQ(*doc->children[1].Attribute("z"), "3");
}

TEST(XmlReader, RejectsBrokenDocumentsWithALine) {
    const char* broken[] = {
        "",        "<A>", "<A></B>", "<A x=1/>", "<A/><B/>", "<A x='&bogus;'/>", "<A x='&#0;'/>",
        "text<A/>"};
    for (const char* text : broken) {
        std::string error;
        EXPECT_FALSE(ParseXml(text, &error)) << text;
        EXPECT_NE(error.find("line"), std::string::npos) << text;
    }
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    EXPECT_FALSE(ParseXml(deep));
}

TEST(ImageString, ParsesEveryModifier) {
    auto info = ParseImageString(
        "file='a.png' restype='PNG' dest='1,2,3,4' source='5,6,7,8' corner='1,1,2,2' "
        "mask='#FFFF00FF' fade='300' hole='true' xtiled='true' ytiled='false' hsl='true'");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sImageName, "a.png");
    EXPECT_EQ(info->sResType, "PNG");
    EXPECT_EQ(*info->rcDest, (UiRect{1, 2, 3, 4}));
    EXPECT_EQ(*info->rcSource, (UiRect{5, 6, 7, 8}));
    EXPECT_EQ(info->rcCorner, (UiRect{1, 1, 2, 2}));
    EXPECT_EQ(*info->dwMask, 0xFFFF00FFu);
    EXPECT_EQ(info->uFade, 255);  // clamped
    EXPECT_TRUE(info->bHole);
    EXPECT_TRUE(info->bTiledX);
    EXPECT_FALSE(info->bTiledY);
    EXPECT_TRUE(info->bHSL);
}

TEST(ImageString, BareNamesResAliasAndMaskWithoutHash) {
    EXPECT_EQ(ParseImageString("common/bk.png")->sImageName, "common/bk.png");
    auto res = ParseImageString("res='rec.png' fade='80' mask='ff00ff'");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->sImageName, "rec.png");
    EXPECT_EQ(res->uFade, 80);
    EXPECT_EQ(*res->dwMask, 0xFFFF00FFu);
}

TEST(ImageString, MalformedStringsDrawNothing) {
    const char* bad[] = {"",
                         "   ",
                         "file='a.png",
                         "file=a.png",
                         "dest='1,2,3' file='a.png'",
                         "fade='x' file='a.png'",
                         "corner='-1,0,0,0' file='a.png'",
                         "dest='0,0,1,1'"};
    for (const char* text : bad)
        EXPECT_FALSE(ParseImageString(text)) << text;
}

TEST_F(ToolkitTest, LookupByNameYieldsTheControlOrNothing) {
    auto window = MakeWindow(
        "<VerticalLayout name='root'><HorizontalLayout name='row'><Button "
        "name='ok'/></HorizontalLayout>"
        "<Label name='ok2'/></VerticalLayout>");
    CPaintManagerUI& pm = window->Pm();
    EXPECT_EQ(pm.FindControl("ok")->GetClass(), "ButtonUI");
    EXPECT_EQ(pm.FindControl("missing"), nullptr);
    EXPECT_EQ(pm.FindControl(""), nullptr);
    CControlUI* row = pm.FindControl("row");
    EXPECT_EQ(pm.FindSubControlByName(row, "ok"), pm.FindControl("ok"));
    EXPECT_EQ(pm.FindSubControlByName(row, "ok2"), nullptr);  // not under the row
    EXPECT_EQ(pm.FindSubControlByName(row, "row"), nullptr);  // the parent itself is not a child
    EXPECT_EQ(pm.FindSubControlByName(nullptr, "ok"), nullptr);
}

TEST_F(ToolkitTest, UnknownElementsGoToTheCallbackAndUnansweredOnesAreSkipped) {
    Callback callback;
    CDialogBuilder builder;
    auto root = builder.Create(
        "<VerticalLayout><deviceKeyButton name='k'/><Mystery name='m'><Button name='inner'/>"
        "</Mystery><Button name='after'/></VerticalLayout>",
        {}, &callback);
    ASSERT_TRUE(root);
    EXPECT_EQ(callback.asked, (std::vector<std::string>{"deviceKeyButton", "Mystery"}));
    auto* layout = dynamic_cast<CContainerUI*>(root.get());
    ASSERT_EQ(layout->GetCount(), 2);
    EXPECT_EQ(layout->GetItemAt(0)->GetClass(), "DeviceKeyButton");
    EXPECT_EQ(layout->GetItemAt(1)->GetName(), "after");
}

TEST_F(ToolkitTest, RegisteredControlsAreBuiltByTheirElementName) {
    CControlFactory::GetInstance().RegistControl("SpecialKey",
                                                 [] { return std::make_unique<KeyButton>(); });
    CDialogBuilder builder;
    auto root = builder.Create("<specialkey name='s' text='x'/>");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetClass(), "DeviceKeyButton");
    EXPECT_EQ(root->GetText(), "x");
}

TEST_F(SkinFolder, ResourceIdsResolveThroughTheIndexAndMissingOnesYieldNothing) {
    Write("xml/main.xml", "<Window size='100,50'><Label name='hello'/></Window>");
    ASSERT_TRUE(CResourceManager::GetInstance().LoadResource(
        "<Resources><Resource id='XML_MAIN' file='xml/main.xml'/>"
        "<Resource id='XML_GONE' file='xml/gone.xml'/></Resources>"));
    CDialogBuilder builder;
    auto root = builder.Create("XML_MAIN");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetName(), "hello");
    EXPECT_FALSE(builder.Create("XML_GONE"));
    EXPECT_FALSE(builder.Create("XML_UNKNOWN"));
    Write("xml/broken.xml", "<Window><Label></Window>");
    EXPECT_FALSE(builder.Create("xml/broken.xml"));
}

TEST_F(SkinFolder, RepeatedSelfIncludesStopAtTheControlBudget) {
    // 200 copies of itself, eight deep, would be 200^8 controls.
    Write("bomb.xml",
          "<VerticalLayout name='bomb'><Include source='bomb.xml' count='200'/></VerticalLayout>");
    CDialogBuilder builder;
    auto root = builder.Create("bomb.xml");
    ASSERT_NE(root, nullptr);
    int controls = 0;
    root->FindControl([&](CControlUI*) {
        ++controls;
        return false;
    });
    EXPECT_LE(controls, CDialogBuilder::kMaxControls);
    EXPECT_GT(controls, 1000);
}

// A window that builds a layout of its own for an element, as the main window
// does for its sub-trees.
class NestingCallback : public IDialogBuilderCallback {
public:
    std::unique_ptr<CControlUI> CreateControl(std::string_view name) override {
        if (!EqualsNoCase(name, "Nest")) return nullptr;
        if (depth_ >= 4) return std::make_unique<CContainerUI>();  // as windows limit it
        ++depth_;
        CDialogBuilder inner;
        auto tree = inner.Create("nest.xml", {}, this);
        --depth_;
        return tree ? std::move(tree) : std::make_unique<CContainerUI>();
    }

private:
    int depth_ = 0;
};

TEST_F(SkinFolder, NestedBuildsShareOneBudget) {
    // Every <Nest/> builds nest.xml again, which holds 200 of them.
    std::string nest = "<VerticalLayout>";
    for (int i = 0; i < 200; ++i)
        nest += "<Nest/>";
    Write("nest.xml", nest + "</VerticalLayout>");
    NestingCallback callback;
    CDialogBuilder builder;
    auto root = builder.Create("nest.xml", {}, &callback);
    ASSERT_NE(root, nullptr);
    int controls = 0;
    root->FindControl([&](CControlUI*) {
        ++controls;
        return false;
    });
    EXPECT_LE(controls, CDialogBuilder::kMaxControls + 200);
}

TEST_F(SkinFolder, IncludesRepeatAndASelfIncludeEnds) {
    Write("item.xml", "<Button name='item'/>");
    Write("loop.xml", "<VerticalLayout name='loop'><Include source='loop.xml'/></VerticalLayout>");
    CDialogBuilder builder;
    auto root = builder.Create(
        "<VerticalLayout><Include source='item.xml' count='3'/><Include source='nope.xml'/>"
        "<Include source='loop.xml'/></VerticalLayout>");
    ASSERT_TRUE(root);
    auto* layout = dynamic_cast<CContainerUI*>(root.get());
    ASSERT_EQ(layout->GetCount(), 4);
    EXPECT_EQ(layout->GetItemAt(2)->GetName(), "item");
    int depth = 0;
    for (auto* c = dynamic_cast<CContainerUI*>(layout->GetItemAt(3)); c;
         c = dynamic_cast<CContainerUI*>(c->GetItemAt(0))) {
        ++depth;
    }
    EXPECT_EQ(depth, CDialogBuilder::kMaxIncludeDepth);
}

TEST_F(ToolkitTest, WindowSettingsDefaultsAndFontsReachTheManager) {
    CPaintManagerUI pm(loop_);
    CDialogBuilder builder;
    auto root = builder.Create(
        "<Window size='640,480' caption='0,0,0,32' mininfo='300,200'>"
        "<Font id='3' name='Arial' size='30' bold='true' shared='false'/>"
        "<Default name='Button' value='textcolor=\"#FF112233\" font=\"3\"'/>"
        "<VerticalLayout><Button name='a'/><Button name='b' "
        "textcolor='#FF445566'/></VerticalLayout>"
        "</Window>",
        {}, nullptr, &pm);
    ASSERT_TRUE(root);
    pm.AttachDialog(std::move(root));
    EXPECT_EQ(pm.GetInitSize(), (UiSize{640, 480}));
    EXPECT_EQ(pm.GetCaptionRect().bottom, 32);
    EXPECT_EQ(pm.FindControl("a")->GetTextColor(), 0xFF112233u);
    EXPECT_EQ(pm.FindControl("b")->GetTextColor(), 0xFF445566u);
    pm.SetDPI(144);
    UiFont font = pm.GetScaledFont(pm.FindControl("a")->GetFont());
    EXPECT_EQ(font.size, 45);
    EXPECT_TRUE(font.bold);
}

TEST_F(SkinFolder, ReloadTextShowsTheNewLanguage) {
    Write("lan_en.xml", "<Language><Text id='hello' value='Hello'/></Language>");
    Write("lan_de.xml", "<Language><Text id='hello' value='Hallo'/></Language>");
    auto window = MakeWindow(
        "<VerticalLayout><Label name='l' text='hello' resourcetext='true' "
        "tooltip='hello'/><Label name='raw' text='hello'/><Label name='other' text='nokey' "
        "resourcetext='true'/></VerticalLayout>");
    auto& texts = CResourceManager::GetInstance();
    ASSERT_TRUE(texts.LoadLanguage("lan_en.xml"));
    texts.SetLanguage("English");
    texts.ReloadText();
    CControlUI* label = window->Find("l");
    EXPECT_EQ(label->GetText(), "Hello");
    EXPECT_EQ(label->GetToolTip(), "Hello");
    EXPECT_EQ(window->Find("raw")->GetText(), "hello");
    EXPECT_EQ(window->Find("other")->GetText(), "nokey");

    window->Pm().UpdateLayout();
    ASSERT_TRUE(texts.LoadLanguage("lan_de.xml"));
    texts.ReloadText();
    EXPECT_TRUE(window->Pm().IsUpdateNeeded());
    EXPECT_EQ(label->GetText(), "Hallo");
    RecordingRenderer renderer;
    window->Pm().Paint(renderer, {0, 0, 400, 300});
    bool drawn = false;
    for (const auto& op : renderer.ops)
        drawn |= op.kind == RecordingRenderer::Kind::Text && op.text == "Hallo";
    EXPECT_TRUE(drawn);

    // A file that does not parse keeps the texts in use.
    Write("lan_bad.xml", "<Language><Text id='hello' value='x'>");
    LogCapture quiet;
    EXPECT_FALSE(texts.LoadLanguage("lan_bad.xml"));
    EXPECT_EQ(label->GetText(), "Hallo");
}

TEST(Attributes, HugeSizesFromASkinAreBounded) {
    CControlUI control;
    ASSERT_TRUE(control.SetAttribute("width", "2000000000"));
    control.SetAttribute("height", "-2000000000");
    EXPECT_EQ(control.GetFixedWidth(), 65535) << "no layout sum or tiling loop can overflow";
    control.SetAttribute("padding", "2000000000,0,0,0");
    EXPECT_EQ(control.GetPadding().left, 65535);
}

}  // namespace
}  // namespace q731::testing
