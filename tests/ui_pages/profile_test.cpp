// The profile panel on a device page against the simulated mouse and keyboard:
// a switch or a reset leaves the device holding exactly what the profile says,
// macros that do not fit keep the key table back, and a delete moves the
// device to the neighbour before anything can be saved.

#include "profiles/macro_store.h"
#include "tests/ui_pages/page_fixture.h"
#include "ui/controls/device_profile.h"

namespace q731 {
namespace {

template <typename Device>
class ProfilePageTest : public PageTest<Device> {
protected:
    void OpenPanel() {
        this->Open();
        ASSERT_NE(this->page_->ProfilePanel(), nullptr);
        panel_ = this->page_->ProfilePanel()->Panel();
        ASSERT_NE(panel_, nullptr);
        combo_ = this->template Find<CComboUI>("device_profile_combo");
        ASSERT_NE(combo_, nullptr);
    }
    // What the device keeps of a profile: its settings block and key table.
    Bytes Held() const {
        Bytes held = this->Memory(SimRegion::Settings);
        const Bytes keys = this->Memory(SimRegion::KeyTable);
        held.insert(held.end(), keys.begin(), keys.end());
        return held;
    }
    // The user picks entry `index` and the main window's timer runs.
    void Choose(int index) {
        combo_->SelectItem(index, false, false);
        this->page_->SwitchProfile();
    }
    bool Click(std::string_view name) {
        return this->page_->OnProfile(this->Event(PageNotify::Click, name));
    }
    // Key 1 on a function of its own and another lighting mode, saved.
    void ChangeCurrentProfile() {
        auto& device = *this->device_;
        ASSERT_TRUE(device.StoreKeyAssignment(1, AssignmentCode{0x10, 0x04, 0x00}));
        LightSetting light = device.GetLightInfo();
        light.selectItem = static_cast<std::uint8_t>(light.selectItem == 2 ? 3 : 2);
        light.red = 0x12;
        device.SetLightInfo(light);
        device.ProfileData().SetLightSetting(light);
        ASSERT_TRUE(device.SaveProfile());
    }

    DeviceProfilePanel* panel_ = nullptr;
    CComboUI* combo_ = nullptr;
};

using Devices = ::testing::Types<CVexloMouseDevice, CVexloKeyboardDevice>;
TYPED_TEST_SUITE(ProfilePageTest, Devices);

TYPED_TEST(ProfilePageTest, SwitchAndResetLeaveTheDeviceHoldingTheProfile) {
    this->OpenPanel();
    this->ChangeCurrentProfile();
    this->Choose(0);
    const Bytes first = this->Held();
    ASSERT_TRUE(this->Click("device_add_btn"));
    EXPECT_EQ(this->combo_->GetCount(), 2);
    this->Choose(1);
    const Bytes fresh = this->Held();
    EXPECT_NE(first, fresh);
    this->Choose(0);
    EXPECT_EQ(this->Held(), first) << "back on the first profile, byte for byte";
    this->Choose(1);
    EXPECT_EQ(this->Held(), fresh);

    // A reset asks first; "no" keeps everything.
    this->Choose(0);
    this->asker_.Answer(0);
    ASSERT_TRUE(this->Click("device_reset_btn"));
    EXPECT_EQ(this->Held(), first);
    this->asker_.Answer(1);
    ASSERT_TRUE(this->Click("device_reset_btn"));
    EXPECT_EQ(this->Held(), fresh) << "the first profile is the defaults again";
    EXPECT_EQ(this->asker_.Texts(),
              (std::vector<std::string>{"message_text_22", "message_text_22"}));
    this->ExpectNoViolations();
}

TYPED_TEST(ProfilePageTest, DeletingTheCurrentProfileMovesTheDeviceAtOnce) {
    this->OpenPanel();
    ASSERT_TRUE(this->Click("device_add_btn"));
    this->Choose(1);
    const fs::path deleted = this->panel_->ProfileFilePath(1);
    ASSERT_TRUE(fs::exists(deleted));
    ASSERT_TRUE(this->Click("device_sub_btn"));
    EXPECT_FALSE(fs::exists(deleted));
    EXPECT_EQ(this->combo_->GetCurSel(), 0);
    // Whatever the device saves now goes to the profile it shows.
    ASSERT_TRUE(this->device_->SaveProfile());
    EXPECT_FALSE(fs::exists(deleted)) << "a save recreated the deleted profile";
    EXPECT_EQ(this->device_->ProfileData().GetProfilePath(), this->panel_->ProfileFilePath(0));
}

using MouseProfilePageTest = ProfilePageTest<CVexloMouseDevice>;

TEST_F(MouseProfilePageTest, MacrosThatDoNotFitKeepTheKeyTableBackAndTextsAreNeverFormats) {
    OpenPanel();
    MacroStore store(DeviceFolder(), Product::Mouse);
    AssignMacroThatDoesNotFit(store);
    // A language file whose text would crash a printf.
    ASSERT_TRUE(CResourceManager::GetInstance().LoadLanguage(
        R"(<Language><Text id="message_text_16" value="%s%n%x: %d too many"/></Language>)"));
    firmware_->ClearLog();
    Choose(0);
    ASSERT_EQ(asker_.asked.size(), 1u);
    EXPECT_EQ(asker_.asked[0].text,
              "%s%n%x: " + std::to_string(kOverflowOfThatMacro) + " too many");
    for (const Bytes& frame : Sent())
        EXPECT_NE(frame[3], 0x09) << "no key table";
    // A macro that cannot be read: said, and the keys are sent anyway.
    firmware_->FillRegion(SimRegion::Info, 6, FromHex("08"));
    fs::remove(store.MacroFilePath(0));
    Choose(0);
    EXPECT_EQ(asker_.Texts().back(), "message_text_7");
}

TEST_F(MouseProfilePageTest, ImportAndExportGoThroughTheFileDialogs) {
    OpenPanel();
    const fs::path exported = DeviceFolder().parent_path() / "mine.json";
    platform_.nextFile = exported;
    ASSERT_TRUE(Click("device_export_btn"));
    ASSERT_TRUE(fs::exists(exported));
    ASSERT_TRUE(Click("device_import_btn"));
    EXPECT_EQ(combo_->GetCount(), 2);
    EXPECT_EQ(combo_->GetItemAt(1)->GetText(), "mine");
    platform_.nextFile.reset();  // cancelled
    ASSERT_TRUE(Click("device_import_btn"));
    EXPECT_EQ(combo_->GetCount(), 2);
    // The button area opens and closes.
    CControlUI* area = Find("profile_menu_layout");
    ASSERT_NE(area, nullptr);
    const bool shown = area->IsVisible();
    ASSERT_TRUE(Click("profile_fun_spread_btn"));
    EXPECT_NE(area->IsVisible(), shown);
    EXPECT_TRUE(asker_.asked.empty());
}

}  // namespace
}  // namespace q731
