// The mouse's shooting panel on its page: a bullet edited on the panel reaches
// the firmware's shooting area on either channel, and a send the mouse refuses
// or never hears is told to the user.

#include "devices/shoot_image.h"
#include "profiles/document_file.h"
#include "profiles/shoot_panel.h"
#include "tests/ui_pages/page_fixture.h"

namespace q731 {
namespace {

class MouseShootingTest : public PageTest<CVexloMouseDevice>,
                          public ::testing::WithParamInterface<SimChannel> {
protected:
    void Click(std::string_view name) {
        EXPECT_TRUE(page_->OnShooting(Event(PageNotify::Click, name)));
    }
    void Choose(std::string_view prefix, int number) {
        Find<COptionUI>(std::string(prefix) + std::to_string(number))->Selected(true, false);
        EXPECT_TRUE(page_->OnShooting(Event(PageNotify::SelectChanged, prefix, number)));
    }
    std::string Text(std::string_view name) { return Find(name)->GetText(); }
};

TEST_P(MouseShootingTest, SaveSendsTheSlotsAsShown) {
    Open({}, GetParam());
    Click("keyset_gunkey_shoot_btn");
    EXPECT_EQ(Find<CTabLayoutUI>("device_function_switch")->GetCurSel(), 4);
    Choose(shoot_control::kSlotOption, 1);
    Choose(shoot_control::kBulletOption, 0);
    Find<COptionUI>(shoot_control::kHorizontalCheck)->Selected(true, false);
    Find<COptionUI>(shoot_control::kVerticalCheck)->Selected(true, false);
    Find(shoot_control::kHorizontalEdit)->SetText("3");
    Find(shoot_control::kVerticalEdit)->SetText("-7");
    Find(shoot_control::kDelayEdit)->SetText("90");
    EXPECT_TRUE(page_->OnShooting(Event(PageNotify::KillFocus, shoot_control::kDelayEdit)));
    EXPECT_EQ(Text(shoot_control::kVerticalEdit), "0") << "shown as the mouse gets it";
    Choose(shoot_control::kSlotOption, 0);
    Choose(shoot_control::kSlotOption, 1);
    EXPECT_EQ(Text(shoot_control::kHorizontalEdit), "3");
    EXPECT_EQ(Text(shoot_control::kDelayEdit), "90");

    // Slot 2 loses its second bullet group: the default's bullet goes instead.
    const fs::path third = ShootingFilePath(DeviceFolder(), 2);
    Json::Value document = DocumentFile::ReadJsonFile(third);
    for (Json::ArrayIndex i = 6; i < 12; ++i)
        document["Events"][i] = Json::Value();
    ASSERT_TRUE(DocumentFile::WriteJsonFile(third, document));

    Click(shoot_control::kSave);
    EXPECT_TRUE(asker_.asked.empty());
    const Bytes area = Memory(SimRegion::Shoot);
    // Four entries of 180 events at 24, 748, 1472 and 2196.
    EXPECT_EQ(ToHex(Slice(area, 0, 24)),
              "aa 55 68 0b 04 00 00 00 00 00 00 00 00 00 00 00 18 00 ec 02 c0 05 94 08");
    EXPECT_EQ(
        ToHex(Slice(area, 748, 28)),
        "b4 00 00 00 0a 00 81 01 00 00 01 01 05 00 84 03 5a 00 85 00 00 00 84 00 00 00 85 00");
    EXPECT_EQ(ToHex(Slice(area, 1500, 16)), "0a 00 81 01 00 00 01 01 05 00 04 00 64 00 05 03");
    const MacroImage image = BuildShootImage(DeviceFolder(), device_->Folders().defaultDataFolder);
    EXPECT_EQ(Slice(area, 0, image.bytes.size()), image.bytes);
    ExpectNoViolations();
}

TEST_P(MouseShootingTest, ASendThatFailsIsTold) {
    Open({}, GetParam());
    firmware_->AddFault({SimFaultKind::StatusFE, 0x17, -1, 1});
    Click(shoot_control::kSave);
    if (GetParam() == SimChannel::Receiver) {
        firmware_->SetRadioOn(false);
        Click(shoot_control::kSave);
    }
    const std::size_t failures = GetParam() == SimChannel::Receiver ? 2 : 1;
    EXPECT_EQ(asker_.Texts(), std::vector<std::string>(failures, shoot_text::kSendFailed));
}

INSTANTIATE_TEST_SUITE_P(BothChannels, MouseShootingTest,
                         ::testing::Values(SimChannel::Wired, SimChannel::Receiver),
                         [](const auto& channel) {
                             return channel.param == SimChannel::Wired ? "Cable" : "Receiver";
                         });

}  // namespace
}  // namespace q731
