// The settings window over the mouse's main window, asking an update server on
// the loopback: where it opens, what its entries and status show, the browser
// call of a confirmed update, the language choice, and closing, which never
// waits for a request that gets no answer.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/settings_window.h"
#include "profiles/document_file.h"
#include "tests/app/mouse_window_fixture.h"
#include "tests/update/update_fixture.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

using SteadyClockType = std::chrono::steady_clock;
constexpr const char* kUpdateKey = "SOFTWARE\\GamingKeyboardQ731ControlCenter";

// The mouse ("_M1_" in the key) has a newer firmware when `mouseNewer`.
testing::TlsServer::Handler Answers(bool mouseNewer) {
    return [mouseNewer](const httplib::Request& request, httplib::Response& response) {
        const bool newer = mouseNewer && request.body.find("_M1_") != std::string::npos;
        response.set_content(newer ? R"({"name":"Q731 Mouse","version":"ffff",)"
                                     R"("path":"https://example.com/mouse"})"
                                   : R"({"name":"","version":"0"})",
                             "application/json");
    };
}

class SettingsWindowTest : public MouseWindowTest {
protected:
    void ConfigureServices(MainWindowServices& services) override {
        keys_.emplace(data_ / "registry.ini");
        if (server_) {
            ASSERT_TRUE(keys_->SetString(kUpdateKey, "UpdateServer", server_->Url()));
        }
        services.keyStore = &*keys_;
        services.languageTable = fs::path(Q731_SOURCE_DIR) / "DefaultData" / "Language.config";
        services.updateHttp = testing::TestSettings();
    }
    void Serve(testing::TlsServer::Handler handler) {
        server_ = std::make_unique<testing::TlsServer>(std::move(handler));
    }

    // Opens the window with `open` and calls `act` on it whenever its loop is
    // idle until `act` says it is done; false when the window was still open
    // after 10 s (it is then forced shut).
    bool Run(const std::function<void()>& open, const std::function<bool(CSetWnd&)>& act) {
        const auto deadline = SteadyClockType::now() + 10s;
        bool done = false;
        bool late = false;
        platform_.idle = [&] {
            CSetWnd* settings = window_->SettingsWindow();
            if (!settings) return false;
            if (SteadyClockType::now() > deadline) {
                late = true;
                settings->ForceClose();
                return true;
            }
            if (!done) done = act(*settings);
            std::this_thread::sleep_for(1ms);
            return true;
        };
        open();
        platform_.idle = nullptr;
        return !late && window_->SettingsWindow() == nullptr;
    }
    void OpenBeside() {
        CControlUI button;
        button.SetName("setbtn");
        TNotifyUI click;
        click.sType = notify::kClick;
        click.pSender = &button;
        window_->Notify(click);
    }
    // Beside the main window: 30 and 60 pixels in at its scale.
    void ExpectBeside(CSetWnd& settings) const {
        const int dpi = window_->Scale();
        const UiRect main = window_->GetWindowRect();
        const UiRect own = settings.GetWindowRect();
        EXPECT_EQ(settings.Scale(), dpi);
        EXPECT_EQ(own.Width(), CSetWnd::kWidth * dpi / 96);
        EXPECT_EQ(own.right, main.right - 30 * dpi / 96) << dpi;
        EXPECT_EQ(own.top, main.top + 60 * dpi / 96) << dpi;
    }
    // Each state's text, whether its check box may be used, whether progress
    // or the done mark shows; a download's states hold the window open.
    static void ExpectStateLooks(CSetWnd& settings, CUpdateInfoListItemUI& entry) {
        struct Look {
            int state;
            const char* text;
            bool checkable, progress, done, holds;
        };
        CPaintManagerUI& pm = *settings.GetPaintManager();
        const auto part = [&](const char* name) { return pm.FindSubControlByName(&entry, name); };
        for (const Look& look : {Look{1, "NeedUpdateText", true, false, false, false},
                                 Look{3, "DownloadWaitText", false, false, false, false},
                                 Look{4, "DownloadIngText", false, true, false, true},
                                 Look{5, "DownloadOkText", false, false, true, true},
                                 Look{6, "UpdateIngText", false, true, false, true},
                                 Look{8, "UpdateFailText", true, false, false, false},
                                 Look{0, "LessUpdateText", false, false, false, true},
                                 Look{7, "UpdateOkText", false, false, false, false}}) {
            entry.SetProgress(40);
            entry.SetState(look.state);
            EXPECT_EQ(part("update_status_text")->GetText(),
                      CResourceManager::GetInstance().GetText(look.text).value_or("?"));
            EXPECT_EQ(part("check_name_select")->IsEnabled(), look.checkable) << look.state;
            EXPECT_EQ(part("update_status_ing")->IsVisible(), look.progress) << look.state;
            EXPECT_EQ(part("update_status_ok")->IsVisible(), look.done) << look.state;
            if (look.progress) {
                EXPECT_EQ(part("update_progress_value")->GetText(), "0%");
            }
            if (!look.holds) continue;
            settings.Close(0);
            EXPECT_FALSE(settings.IsClosing()) << look.state;
        }
    }
    static CControlUI* Find(CSetWnd& settings, const std::string& name) {
        return settings.GetPaintManager()->FindControl(name);
    }
    static void Send(CSetWnd& settings, CControlUI* control, const char* type) {
        settings.GetPaintManager()->SendNotify(control, type);
    }
    static std::string StatusText(CSetWnd& settings) {
        return Find(settings, "Update_Status_text")->GetText();
    }

    std::unique_ptr<testing::TlsServer> server_;
    std::optional<KeyStore> keys_;
};

class SettingsWithUpdateTest : public SettingsWindowTest {
protected:
    void SetUp() override {
        Serve(Answers(true));
        SettingsWindowTest::SetUp();
    }
};

TEST_F(SettingsWithUpdateTest, AnUpdateIsOfferedConfirmedInTheBrowserAndDoesNotHoldTheWindow) {
    int step = 0;
    ASSERT_TRUE(Run([this] { OpenBeside(); },
                    [&](CSetWnd& settings) {
                        if (settings.GetStatusMode() != CSetWnd::kHaveUpdate) return false;
                        ExpectBeside(settings);
                        // The mouse, then the program.
                        EXPECT_EQ(settings.EntryCount(), 2);
                        CUpdateInfoListItemUI& mouse = *settings.Entry(0);
                        EXPECT_EQ(mouse.GetState(), 1);
                        EXPECT_TRUE(mouse.IsChecked());
                        EXPECT_EQ(settings.Entry(1)->GetState(), 7);
                        CControlUI* update = Find(settings, "update_fw_and_ap");
                        EXPECT_TRUE(update->IsVisible() && update->IsEnabled());
                        mouse.Check(false);
                        EXPECT_FALSE(update->IsVisible() || update->IsEnabled());
                        mouse.Check(true);
                        Send(settings, update, notify::kClick);
                        auto* pages =
                            dynamic_cast<CTabLayoutUI*>(Find(settings, "get_update_tab_layout"));
                        EXPECT_EQ(pages->GetCurSel(), 1);
                        Send(settings, Find(settings, "update_OK_btn"), notify::kClick);
                        EXPECT_EQ(mouse.GetState(), 3);
                        EXPECT_EQ(pages->GetCurSel(), 0);
                        EXPECT_FALSE(update->IsEnabled());
                        ++step;
                        Send(settings, Find(settings, "closebtn"), notify::kClick);
                        return true;
                    }));
    EXPECT_EQ(step, 1);
    EXPECT_EQ(platform_.openedUrls, std::vector<std::string>{"https://example.com/mouse"});
    const Json::Value dated = DocumentFile::ReadJsonFile(data_ / "user" / "updatetime.config");
    EXPECT_EQ(dated["updatelasttime"]["value"].asString(),
              DateText(std::chrono::system_clock::now()));
}

TEST_F(SettingsWithUpdateTest, ExitClosesAWindowWhoseEntryWaitsForTheUser) {
    ASSERT_TRUE(Run([this] { window_->SendMessage(main_msg::kOpenSettings); },
                    [&](CSetWnd& settings) {
                        if (settings.GetStatusMode() != CSetWnd::kHaveUpdate) return false;
                        settings.Entry(0)->SetState(3);
                        settings.Entry(1)->SetState(4);  // a download would hold it
                        settings.Close(0);
                        EXPECT_NE(window_->SettingsWindow(), nullptr);
                        window_->Exit();
                        return true;
                    }));
}

class SettingsUpToDateTest : public SettingsWindowTest {
protected:
    void SetUp() override {
        Serve(Answers(false));
        SettingsWindowTest::SetUp();
    }
};

TEST_F(SettingsUpToDateTest, UpToDateShowsTheLastCheckInTheChosenLanguageAndClearsTheMark) {
    CControlUI* mark = window_->GetPaintManager()->FindControl("setbtn");
    mark->SetForeImage("common/title/update_mark.svg");
    ASSERT_TRUE(Run(
        [this] { window_->SendMessage(main_msg::kOpenSettings); },
        [&](CSetWnd& settings) {
            if (settings.GetStatusMode() != CSetWnd::kUpToDate) return false;
            const auto text = [] {
                return CResourceManager::GetInstance().GetText("UpdateIsLastText").value_or("?");
            };
            EXPECT_EQ(StatusText(settings), text() + settings.LastCheckDate());
            EXPECT_EQ(mark->GetForeImage(), "");
            auto* combo = dynamic_cast<CComboUI*>(Find(settings, "Language_combox_info"));
            EXPECT_EQ(combo->GetCurSel(), window_->LanguageInUse());
            const int other = 1 - combo->GetCurSel();
            combo->SelectItem(other, false, true);
            EXPECT_EQ(window_->LanguageInUse(), other);
            EXPECT_EQ(StatusText(settings), text() + settings.LastCheckDate());
            EXPECT_TRUE(settings.OnKeyDown(kKeyEscape, 0));
            return true;
        }));
}

class SettingsStalledTest : public SettingsWindowTest {
protected:
    void SetUp() override {
        Serve(Answers(false));
        server_->BeSilent();
        SettingsWindowTest::SetUp();
    }
};

TEST_F(SettingsStalledTest, ClosingDuringARequestWithoutAnswerEndsAtOnce) {
    SteadyClockType::time_point asked{};
    ASSERT_TRUE(Run([this] { OpenBeside(); },
                    [&](CSetWnd& settings) {
                        if (server_->Requests().empty()) return false;
                        EXPECT_TRUE(settings.CheckRunning());
                        EXPECT_EQ(settings.GetStatusMode(), CSetWnd::kAsking);
                        asked = SteadyClockType::now();
                        Send(settings, Find(settings, "laterbtn"), notify::kClick);
                        return true;
                    }));
    EXPECT_LT(SteadyClockType::now() - asked, 200ms);
}

TEST_F(SettingsWindowTest, WithoutAServerNothingIsAskedAndTheWindowSaysSo) {
    window_->SendMessage(kMsgDpiChanged, window_->Scale() == 96 ? 144 : 96);
    ASSERT_TRUE(Run([this] { OpenBeside(); },
                    [&](CSetWnd& settings) {
                        if (settings.GetStatusMode() != CSetWnd::kNoInfo) return false;
                        ExpectBeside(settings);
                        EXPECT_EQ(settings.EntryCount(), 2);
                        EXPECT_FALSE(settings.Entry(0)->IsChecked());
                        ExpectStateLooks(settings, *settings.Entry(0));
                        settings.Close(0);
                        return true;
                    }));
}

}  // namespace
}  // namespace q731
