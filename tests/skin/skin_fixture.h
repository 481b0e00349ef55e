#pragma once
// Shared fixture for the skin's suite: the toolkit on the headless platform with
// the resource path on the source tree's skin/ folder, the resource index and a
// language loaded, and stand-ins for the custom controls the layouts name (the
// application registers the real ones): the tab button and battery panel, the
// device pictures and their key buttons, and the panels, which are built from
// their own layouts as the main window builds them.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/ui_loop.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/paint_manager.h"
#include "ui/widgets/window.h"
#include "ui/widgets/xml.h"

namespace q731::skintest {

inline const std::filesystem::path kSkinDir = std::filesystem::path(Q731_SOURCE_DIR) / "skin";
inline const std::filesystem::path kDefaultDataDir =
    std::filesystem::path(Q731_SOURCE_DIR) / "DefaultData";

// The files of the skin the program builds windows from, as the program names them.
inline const std::vector<std::string> kLayouts = {"main.xml",
                                                  "XML/CustomControlXML/DeviceOption.xml",
                                                  "XML/CustomControlXML/MpDevicePower.xml",
                                                  "menu.xml",
                                                  "AboutWnd.xml",
                                                  "MsgWnd.xml",
                                                  "skin.xml",
                                                  "PalletDialog.xml",
                                                  "music.xml",
                                                  "XML/CustomControlXML/Voice6533Control.xml",
                                                  "XML/CustomControlXML/MagicControl.xml",
                                                  "XML/CustomControlXML/VirtualSet.xml",
                                                  "XML/CustomControlXML/LightControl.xml",
                                                  "XML/CustomControlXML/KeySetControl.xml",
                                                  "XML/DeviceXml/mousedevice.xml",
                                                  "XML/DeviceXml/keyboarddevice.xml",
                                                  "XML/DeviceXml/mousepaddevice.xml",
                                                  "XML/DeviceXml/hs6533device.xml",
                                                  "XML/DeviceXml/keyboard_keys.xml"};
// Layouts built into the main window's manager rather than opened as windows.
inline const std::vector<std::string> kSubLayouts = {
    "XML/CustomControlXML/DeviceOption.xml", "XML/CustomControlXML/MpDevicePower.xml",
    "XML/CustomControlXML/LightControl.xml", "XML/CustomControlXML/KeySetControl.xml",
    "XML/DeviceXml/mousedevice.xml",         "XML/DeviceXml/keyboarddevice.xml",
    "XML/DeviceXml/mousepaddevice.xml",      "XML/DeviceXml/hs6533device.xml",
    "XML/DeviceXml/keyboard_keys.xml"};
inline const std::vector<std::string> kLanguageFiles = {"lan_cn.xml", "lan_en.xml"};

// The tab button and battery panel: horizontal layouts with their own class names.
class DeviceOptionStandIn : public CHorizontalLayoutUI {
public:
    std::string_view GetClass() const override { return "DeviceOption"; }
};
class MpDevicePowerStandIn : public CHorizontalLayoutUI {
public:
    std::string_view GetClass() const override { return "MpDevicePower"; }
};

// A picture's key or LED button: a button with the two images it lights and marks with.
class DeviceKeyButtonStandIn : public CButtonUI {
public:
    std::string_view GetClass() const override { return "DeviceKeyButton"; }
    bool SetAttribute(std::string_view name, std::string_view value) override;
    std::string lightImage;
    std::string keySetImage;
};
// The device picture that selects key buttons by dragging: a column.
class SelectPanelStandIn : public CVerticalLayoutUI {
public:
    std::string_view GetClass() const override { return "SelectPanel"; }
};
// The root of a panel layout (lighting, key assignment ...), answering its class name.
class PanelStandIn : public CContainerUI {
public:
    explicit PanelStandIn(std::string className) : className_(std::move(className)) {}
    std::string_view GetClass() const override { return className_; }

private:
    std::string className_;
};

// A control of the class a layout element names, or nullptr.
std::unique_ptr<CControlUI> CreateForElement(std::string_view elementName);

// The parsed document of a skin file (fails the test when it does not parse).
XmlElement LoadSkinXml(const std::string& file);

// Every element of a document, depth first.
void ForEachElement(const XmlElement& root, const std::function<void(const XmlElement&)>& visit);

class SkinWindow : public WindowImplBase {
public:
    SkinWindow(std::string layout, UiLoop& loop)
        : WindowImplBase(loop), layout_(std::move(layout)) {}
    std::string GetWindowClassName() const override { return "SkinTestWnd"; }
    std::string GetSkinFile() override { return layout_; }
    CPaintManagerUI& Pm() { return m_pm; }
    template <typename T = CControlUI>
    T* Find(const std::string& name) {
        return dynamic_cast<T*>(m_pm.FindControl(name));
    }

private:
    std::string layout_;
};

class SkinTest : public ::testing::Test {
protected:
    SkinTest();
    ~SkinTest() override;

    // Creates the window of `layout` at `dpi`, laid out at its initial size.
    std::unique_ptr<SkinWindow> Open(const std::string& layout, int dpi = 96);
    // Builds a sub-layout into `window`'s manager and adds it to `container`, as
    // the program does with tab buttons and battery panels.
    CControlUI* AddSubLayout(SkinWindow& window, const std::string& file,
                             const std::string& container);
    static void Relayout(SkinWindow& window);

    ManualClock clock_;
    UiLoop loop_;
    HeadlessPlatform platform_;
    std::string savedResourcePath_;
};

}  // namespace q731::skintest
