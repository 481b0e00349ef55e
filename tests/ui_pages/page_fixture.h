#pragma once
// A device page on a simulated device: the device of the device tests (strict
// firmware, private folder), a headless window holding the page built from the
// skin's layout (or from layout text), English texts, and a scripted answerer
// for the message box.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/question.h"
#include "profiles/macro_store.h"
#include "tests/devices/device_fixture.h"
#include "ui/controls/custom_controls.h"
#include "ui/pages/kind_pages.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

// The window a page sits in; panels are built from their layouts as the main
// window does it, later panels stand as containers.
class PageHost final : public WindowImplBase {
public:
    explicit PageHost(UiLoop& loop) : WindowImplBase(loop) {}
    std::string GetWindowClassName() const override { return "PageHost"; }
    std::string GetSkinFile() override {
        return "<Window size=\"1000,640\"><VerticalLayout name=\"host_root\"/></Window>";
    }
    std::unique_ptr<CControlUI> CreateControl(std::string_view name) override {
        const char* layout =
            name == "LightSetControlUI"       ? "XML/CustomControlXML/LightControl.xml"
            : name == "KeySetControlUI"       ? "XML/CustomControlXML/KeySetControl.xml"
            : name == "DeviceProfileUI"       ? "XML/CustomControlXML/DeviceProfile.xml"
            : name == "ShootKeySetControlUI"  ? "XML/CustomControlXML/ShootControl.xml"
            : name == "Voice6533SetControlUI" ? "XML/CustomControlXML/Voice6533Control.xml"
            : name == "MagicSetControlUI"     ? "XML/CustomControlXML/MagicControl.xml"
            : name == "VirtualSetControlUI"   ? "XML/CustomControlXML/VirtualSet.xml"
                                              : nullptr;
        if (layout) {
            CDialogBuilder builder;
            return builder.Create(layout, {}, this, &m_pm);
        }
        if (name == "MacroSetControlUI") {
            return std::make_unique<CContainerUI>();
        }
        return nullptr;
    }
    CPaintManagerUI& Pm() { return m_pm; }
};

// The skin's resources and English texts, and the custom controls, for a page
// built on the headless platform.
inline void LoadPageSkin() {
    CPaintManagerUI::SetResourcePath((fs::path(Q731_SOURCE_DIR) / "skin").string());
    auto& resources = CResourceManager::GetInstance();
    resources.ResetResourceMap();
    EXPECT_TRUE(resources.LoadResource("res.xml"));
    EXPECT_TRUE(resources.LoadLanguage("lan_en.xml"));
    RegisterCustomControls();
}
inline void UnloadPageSkin() {
    CResourceManager::GetInstance().ResetLanguage();
    CResourceManager::GetInstance().ResetResourceMap();
}

template <typename Device>
class PageTest : public DeviceTest<Device> {
protected:
    using Base = DeviceTest<Device>;
    static constexpr bool kMouse = Base::kMouse;

    PageTest() {
        SetUiPlatform(&platform_);
        LoadPageSkin();
        EXPECT_TRUE(host_.Create(nullptr, "host"));
    }
    ~PageTest() override {
        if (this->device_) this->device_->SetView(nullptr);
        page_.reset();
        UnloadPageSkin();
        SetUiPlatform(nullptr);
    }

    // The device on `channel` with factory key codes, connected, and its page
    // built from `layout` (the product's own page when empty).
    void Open(std::string layout = {}, SimChannel channel = SimChannel::Wired) {
        this->Attach(channel);
        if constexpr (kMouse) {
            this->FillKeyTable(kMouseFactoryCodes);
        } else {
            this->FillKeyTable(kKeyboardFactoryCodes);
        }
        if (layout.empty()) {
            layout = std::string(TabOf(this->device_->GetProduct()).pageLayout);
            for (char& c : layout)
                c = c == '\\' ? '/' : c;
        }
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> tree = builder.Create(layout, {}, &host_, &host_.Pm());
        ASSERT_NE(tree, nullptr) << builder.GetLastError();
        auto* hostRoot = dynamic_cast<CContainerUI*>(host_.Pm().FindControl("host_root"));
        root_ = hostRoot->Add(std::move(tree));
        PageContext context;
        context.manager = &host_.Pm();
        context.root = root_;
        context.device = this->device_.get();
        context.asker = &asker_;
        context.clearSync = [this] {
            ++syncClears_;
            this->device_->Link().SetSyncFlag(false);
        };
        page_ = MakeDevicePage(std::move(context));
        ASSERT_NE(page_, nullptr);
        page_->BuildPage();
        this->device_->SetView(&page_->View());
        ASSERT_EQ(this->device_->Connect(), LinkResult::Ok);
        this->firmware_->ClearLog();
    }

    template <typename T = CControlUI>
    T* Find(std::string_view name) {
        return dynamic_cast<T*>(
            root_->FindControl([name](CControlUI* c) { return c->GetName() == name; }));
    }
    // A notification as the main window hands it on.
    PageEvent Event(PageNotify kind, std::string_view name, int number = -1) {
        PageEvent event;
        event.kind = kind;
        event.number = number;
        event.name = std::string(name);
        event.sender =
            Find(number < 0 ? std::string(name) : std::string(name) + std::to_string(number));
        return event;
    }
    // A 40-event macro on mouse button 2, saved, with no macro memory in the
    // device: every macro write overflows.
    void AssignMacroThatDoesNotFit(MacroStore& store) {
        ASSERT_FALSE(store.AddMacro().empty());
        ASSERT_TRUE(store.SaveEvents(0, "long", std::vector<MacroEvent>(40, {"down", 10, 4, 20})));
        std::vector<KeyEntry> keys = this->device_->Profile().GetKeyList();
        keys[2].current = KeyBinding::FromCode(2, 0x700000);
        this->device_->Profile().SetKeyList(keys);
        ASSERT_TRUE(this->device_->SaveProfile());
        this->firmware_->FillRegion(SimRegion::Info, 6, FromHex("00"));
    }
    // The count "message_text_16" names for that macro.
    static constexpr int kOverflowOfThatMacro = (16 + 4 + 4 * 40) / 4 + 1;

    // Settings writes (command 0x06 "write memory" frames of the settings block).
    int WriteFrames() {
        int writes = 0;
        for (const Bytes& frame : this->Sent())
            writes += frame[3] == 0x06 ? 1 : 0;
        return writes;
    }

    UiLoop loop_;
    HeadlessPlatform platform_{loop_};
    PageHost host_{loop_};
    ScriptedQuestions asker_;
    CControlUI* root_ = nullptr;
    std::unique_ptr<CDevicePage> page_;
    int syncClears_ = 0;
};

}  // namespace q731
