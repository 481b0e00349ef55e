#include "tests/skin/skin_fixture.h"

#include "ui/widgets/resource_manager.h"

namespace q731::skintest {

namespace {

// The panels a page names by these tags are trees of their own layouts; a panel
// whose layout is not in the skin yet stands as an empty container.
constexpr std::pair<std::string_view, std::string_view> kPanelTrees[] = {
    {"DeviceProfileUI", "XML/CustomControlXML/DeviceProfile.xml"},
    {"LightSetControlUI", "XML/CustomControlXML/LightControl.xml"},
    {"KeySetControlUI", "XML/CustomControlXML/KeySetControl.xml"},
    {"MacroSetControlUI", "XML/CustomControlXML/MacroControl.xml"},
    {"ShootKeySetControlUI", "XML/CustomControlXML/ShootControl.xml"},
    {"Voice6533SetControlUI", "XML/CustomControlXML/Voice6533Control.xml"},
    {"MagicSetControlUI", "XML/CustomControlXML/MagicControl.xml"},
    {"VirtualSetControlUI", "XML/CustomControlXML/VirtualSet.xml"},
};
constexpr std::string_view kPanelClasses[] = {"DeviceProfile", "LightControl", "KeySetControl",
                                              "ShootControl",  "MacroControl", "Voice6533Control",
                                              "MagicControl"};

}  // namespace

bool DeviceKeyButtonStandIn::SetAttribute(std::string_view name, std::string_view value) {
    if (EqualsNoCase(name, "lightimage")) {
        lightImage = value;
    } else if (EqualsNoCase(name, "keysetimage")) {
        keySetImage = value;
    } else {
        return CButtonUI::SetAttribute(name, value);
    }
    return true;
}

std::unique_ptr<CControlUI> CreateForElement(std::string_view elementName) {
    if (EqualsNoCase(elementName, "DeviceOption")) return std::make_unique<DeviceOptionStandIn>();
    if (EqualsNoCase(elementName, "MpDevicePower")) {
        return std::make_unique<MpDevicePowerStandIn>();
    }
    return CControlFactory::GetInstance().CreateControl(elementName);
}

XmlElement LoadSkinXml(const std::string& file) {
    auto text = ReadSkinFile(file);
    EXPECT_TRUE(text.has_value()) << "cannot read " << file;
    if (!text) return {};
    std::string error;
    auto doc = ParseXml(*text, &error);
    EXPECT_TRUE(doc.has_value()) << file << ": " << error;
    return doc ? *doc : XmlElement{};
}

void ForEachElement(const XmlElement& root, const std::function<void(const XmlElement&)>& visit) {
    visit(root);
    for (const XmlElement& child : root.children)
        ForEachElement(child, visit);
}

SkinTest::SkinTest() : loop_(clock_), platform_(loop_) {
    SetUiPlatform(&platform_);
    savedResourcePath_ = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(kSkinDir.string());
    auto& factory = CControlFactory::GetInstance();
    factory.RegistControl("DeviceOption", [] { return std::make_unique<DeviceOptionStandIn>(); });
    factory.RegistControl("MpDevicePower", [] { return std::make_unique<MpDevicePowerStandIn>(); });
    factory.RegistControl("DeviceKeyButton",
                          [] { return std::make_unique<DeviceKeyButtonStandIn>(); });
    factory.RegistControl("SelectPanel", [] { return std::make_unique<SelectPanelStandIn>(); });
    for (std::string_view panel : kPanelClasses) {
        factory.RegistControl(
            panel, [panel] { return std::make_unique<PanelStandIn>(std::string(panel)); });
    }
    for (const auto& [tag, layout] : kPanelTrees) {
        factory.RegistControl(tag, [layout]() -> std::unique_ptr<CControlUI> {
            if (!ReadSkinFile(std::string(layout))) return std::make_unique<CContainerUI>();
            CDialogBuilder builder;
            return builder.Create(layout);
        });
    }
    auto& resources = CResourceManager::GetInstance();
    resources.ResetResourceMap();
    EXPECT_TRUE(resources.LoadResource("res.xml"));
    EXPECT_TRUE(resources.LoadLanguage("lan_cn.xml"));
}

SkinTest::~SkinTest() {
    CResourceManager::GetInstance().ResetLanguage();
    CResourceManager::GetInstance().ResetResourceMap();
    CPaintManagerUI::SetResourcePath(savedResourcePath_);
    SetUiPlatform(nullptr);
}

std::unique_ptr<SkinWindow> SkinTest::Open(const std::string& layout, int dpi) {
    auto window = std::make_unique<SkinWindow>(layout, loop_);
    window->Pm().SetDPI(dpi);
    EXPECT_TRUE(window->Create(nullptr, "skin")) << layout;
    loop_.ProcessPending();  // "windowinit"
    Relayout(*window);
    return window;
}

void SkinTest::Relayout(SkinWindow& window) {
    CPaintManagerUI& pm = window.Pm();
    pm.SetClientSize(pm.GetDPIObj()->Scale(pm.GetInitSize()));
    pm.NeedUpdate();
    pm.UpdateLayout();
}

CControlUI* SkinTest::AddSubLayout(SkinWindow& window, const std::string& file,
                                   const std::string& container) {
    CDialogBuilder builder;
    auto tree = builder.Create(file, {}, &window, &window.Pm());
    EXPECT_TRUE(tree) << file << ": " << builder.GetLastError();
    auto* parent = window.Find<CContainerUI>(container);
    EXPECT_TRUE(parent) << container;
    if (!tree || !parent) return nullptr;
    return parent->Add(std::move(tree));
}

}  // namespace q731::skintest
