// The music styles window opened from the keyboard's lighting panel: OK keeps
// what was chosen in AudioFile.json, a name left empty gets its default, and
// closing changes nothing.

#include <gtest/gtest.h>

#include "app/music_window.h"
#include "profiles/document_file.h"
#include "tests/app/mouse_window_fixture.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/range.h"

namespace q731 {
namespace {

class MusicWindowTest : public MouseWindowTest {
protected:
    // Clicks "music_setting_btn" while `act` runs on the open window; false
    // when no window opened.
    bool OpenWhile(const std::function<void(CMusicWnd&)>& act) {
        // The lighting panel's gear button, as the click names it.
        CControlUI button;
        button.SetName("music_setting_btn");
        bool opened = false;
        loop_.Post([this, act, &opened] {
            if (CMusicWnd* music = window_->MusicWindow()) {
                opened = true;
                act(*music);
            }
        });
        TNotifyUI click;
        click.sType = notify::kClick;
        click.pSender = &button;
        window_->Notify(click);
        RunFor(loop_, clock_, 200ms);
        return opened;
    }
    static CControlUI* Find(CMusicWnd& music, const std::string& name) {
        return music.GetPaintManager()->FindControl(name);
    }
    static void Send(CMusicWnd& music, const std::string& name, const char* type) {
        music.GetPaintManager()->SendNotify(Find(music, name), type);
    }
    Json::Value Stored() const {
        return DocumentFile::ReadJsonFile(data_ / "user" /
                                          "AudioFile.json")["Device"]["AudioLightInfo"];
    }
};

TEST_F(MusicWindowTest, OkKeepsTheChosenStyleItsWeightsAndNamesClosingKeepsNothing) {
    ASSERT_TRUE(OpenWhile([](CMusicWnd& music) {
        dynamic_cast<COptionUI*>(Find(music, "audio_select_tab3"))->Selected(true);
        dynamic_cast<CSliderUI*>(Find(music, "audio_r_slider"))->SetValue(7);
        Send(music, "audio_r_slider", notify::kValueChanged);
        dynamic_cast<CSliderUI*>(Find(music, "audio_g_slider"))->SetValue(0);
        Send(music, "audio_g_slider", notify::kValueChanged);
        Find(music, "audio_edit_name3")->SetText("");
        Send(music, "audio_edit_name3", notify::kKillFocus);
        Find(music, "audio_edit_name1")->SetText("Club");
        Send(music, "okbtn", notify::kClick);
    }));
    Json::Value stored = Stored();
    EXPECT_EQ(stored["nAudioStyle"].asInt(), 2);
    EXPECT_EQ(stored["nStyleR2"].asInt(), 7);
    EXPECT_EQ(stored["nStyleG2"].asInt(), 0);
    EXPECT_EQ(stored["nStyleName3"].asString(), "第三组");
    EXPECT_EQ(stored["nStyleName1"].asString(), "Club");
    EXPECT_EQ(window_->MusicStyles().active, 2);

    ASSERT_TRUE(OpenWhile([](CMusicWnd& music) {
        EXPECT_TRUE(dynamic_cast<COptionUI*>(Find(music, "audio_select_tab3"))->IsSelected());
        dynamic_cast<COptionUI*>(Find(music, "audio_select_tab1"))->Selected(true);
        Find(music, "audio_edit_name2")->SetText("Lost");
        Send(music, "closebtn", notify::kClick);
    }));
    EXPECT_EQ(Stored(), stored);
    EXPECT_EQ(window_->MusicStyles().active, 2);
}

}  // namespace
}  // namespace q731
