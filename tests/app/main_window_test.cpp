#include "app/main_window.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "app/language.h"
#include "app/message_box.h"
#include "platform/log.h"
#include "ui/widgets/menu.h"

#include "devices/generic_device.h"
#include "platform/message_names.h"
#include "sim/sim_bus.h"
#include "tests/support/test_folder.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {
namespace {

using namespace std::chrono_literals;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUiPlatform(&platform_);
        CPaintManagerUI::SetResourcePath((fs::path(Q731_SOURCE_DIR) / "skin").string());
        auto& resources = CResourceManager::GetInstance();
        resources.ResetResourceMap();
        ASSERT_TRUE(resources.LoadResource("res.xml"));
        auto& factory = CControlFactory::GetInstance();
        factory.RegistControl("DeviceOption", [] { return std::make_unique<CDeviceOptionUI>(); });
        factory.RegistControl("MpDevicePower", [] { return std::make_unique<CMpDevicePowerUI>(); });
        if (services_.languageTable.empty())
            services_.languageTable = fs::path(Q731_SOURCE_DIR) / "DefaultData/Language.config";
        if (services_.locale.empty()) services_.locale = "en_US.UTF-8";
        services_.startWorkers = [this] { ++workersStarted_; };
        services_.shutdown = [this] { ++shutdowns_; };
        services_.sendTabTable = [this](const std::vector<std::uint8_t>& block) { sent_ = block; };
        window_ = std::make_unique<CMainWnd>(loop_, devices_, registry_, services_);
        ASSERT_TRUE(window_->Create(nullptr, "Gaming Keyboard Q731 Control Center", kWsPopup));
        loop_.ProcessPending();
    }
    void TearDown() override {
        window_.reset();
        CResourceManager::GetInstance().ResetLanguage();
        CResourceManager::GetInstance().ResetResourceMap();
        SetUiPlatform(nullptr);
    }

    LRESULT Send(std::string_view name, WPARAM wParam, LPARAM lParam) {
        return window_->SendMessage(registry_.Register(name), wParam, lParam);
    }
    bool Visible() { return window_->GetBackend()->IsVisible(); }
    CControlUI* Find(const char* name) { return window_->GetPaintManager()->FindControl(name); }

    ManualClock clock_;
    UiLoop loop_{clock_};
    HeadlessPlatform platform_{loop_};
    MessageRegistry registry_;
    std::shared_ptr<SimBus> bus_ = std::make_shared<SimBus>();
    DeviceManager devices_{loop_, bus_,
                           [this](Product product) -> std::unique_ptr<CVexloUSBDevice> {
                               return std::make_unique<CGenericDevice>(product, bus_);
                           }};
    MainWindowServices services_;
    int workersStarted_ = 0;
    int shutdowns_ = 0;
    std::vector<std::uint8_t> sent_;
    std::unique_ptr<CMainWnd> window_;
};

TEST_F(MainWindowTest, StartsHiddenWithTabsUntilTheWakeMessage) {
    EXPECT_TRUE(window_->StartedUp());
    EXPECT_EQ(workersStarted_, 1);
    EXPECT_FALSE(Visible());
    auto* header = dynamic_cast<CContainerUI*>(Find("device_select_layout"));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->GetCount(), 2) << "mouse and keyboard tabs exist from the start";
    EXPECT_FALSE(header->GetItemAt(0)->IsVisible());
    RunFor(loop_, clock_, 200ms);  // the re-fit does not show a hidden window
    EXPECT_FALSE(Visible());
    Send(messages::kWake, 0, 0);
    EXPECT_TRUE(Visible());
    EXPECT_TRUE(Find("No_device_Link")->IsVisible());
}

TEST_F(MainWindowTest, CloseButtonHidesAndExitEnds) {
    Send(messages::kWake, 0, 1);
    ASSERT_TRUE(Visible());
    TNotifyUI click;
    click.sType = notify::kClick;
    click.pSender = Find("closebtn");
    window_->Notify(click);
    EXPECT_FALSE(Visible());
    EXPECT_EQ(shutdowns_, 0) << "the program keeps running in the tray";
    window_->Exit();
    loop_.ProcessPending();
    EXPECT_EQ(shutdowns_, 1);
}

TEST_F(MainWindowTest, LightingControlFromOutsideAndAwakeGating) {
    Send(messages::kLightingControl, 1, 0);
    EXPECT_FALSE(window_->LightingControl());
    EXPECT_EQ(Find("control_light_status")->GetText().empty(), false);
    Send(messages::kLightingControl, 2, 1);  // other wParam: ignored
    EXPECT_FALSE(window_->LightingControl());
    Send(messages::kLightingControl, 1, 7);  // lParam outside 0/1: ignored
    EXPECT_FALSE(window_->LightingControl());
    Send(messages::kLightingControl, 1, 1);
    EXPECT_TRUE(window_->LightingControl());

    window_->SendMessage(main_msg::kPower, main_msg::kPowerSuspend);
    EXPECT_FALSE(window_->Awake());
    Send(messages::kLightingControl, 1, 0);
    EXPECT_TRUE(window_->LightingControl()) << "nothing is acted on while suspended";
    Send(messages::kTabTableRequest, 0, 0);
    EXPECT_TRUE(sent_.empty());
    window_->SendMessage(main_msg::kPower, main_msg::kPowerResume);
    EXPECT_TRUE(window_->Awake());
    Send(messages::kTabTableRequest, 0, 0);
    EXPECT_EQ(sent_.size(), 1024u);
}

TEST_F(MainWindowTest, UpdateMarkAndLanguageMessages) {
    Find("setbtn")->SetForeImage("file='common/update_mark.svg'");
    window_->SendMessage(main_msg::kClearUpdateMark);
    EXPECT_TRUE(Find("setbtn")->GetForeImage().empty());
    window_->SendMessage(main_msg::kLanguage, 1);
    window_->SendMessage(main_msg::kLanguage, 99);  // no such language: ignored
    window_->SendMessage(main_msg::kLanguage, static_cast<WPARAM>(-1));
}

TEST_F(MainWindowTest, RefitChoosesTheScaleOfTheMonitor) {
    platform_.screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96}};
    window_->RefitToMonitor();
    EXPECT_EQ(window_->Scale(), 144);
    EXPECT_EQ(window_->GetWindowRect().right - window_->GetWindowRect().left, 1500);
    EXPECT_FALSE(Visible()) << "a hidden window stays hidden";
    platform_.screens = {{{0, 0, 1366, 768}, {0, 0, 1366, 728}, 96}};
    window_->RefitToMonitor();
    EXPECT_EQ(window_->Scale(), 96);
    platform_.screens = {{{0, 0, 1500, 960}, {0, 0, 1500, 920}, 96}};
    window_->RefitToMonitor();
    EXPECT_EQ(window_->Scale(), 96);
}

TEST_F(MainWindowTest, ElementsOfLaterPagesBuildAsPlainContainers) {
    for (const char* name : {"VexloMouseDevice", "DeviceProfileUI"}) {
        auto control = window_->CreateControl(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->GetClass(), "ContainerUI") << name;
    }
    EXPECT_EQ(window_->CreateControl("DeviceOption")->GetClass(), "DeviceOption");
    EXPECT_EQ(window_->CreateControl("MacroControl")->GetClass(), "MacroControl");
    EXPECT_EQ(window_->CreateControl("Voice6533Control")->GetClass(), "Voice6533Control");
    EXPECT_EQ(window_->CreateControl("NoSuchThing"), nullptr);
}

// The message box: run from the main window's loop, acted on from inside its
// own modal loop by a posted step.
class MessageBoxTest : public MainWindowTest {
protected:
    CMsgWnd* OpenBox() {
        for (HeadlessWindowBackend* backend : platform_.windows) {
            if (backend->window.GetWindowClassName() == "MsgWnd") {
                return static_cast<CMsgWnd*>(&backend->window);
            }
        }
        return nullptr;
    }
    // Asks `question` while `act` runs on the open box.
    int AskWhile(const Question& question, std::function<void(CMsgWnd&)> act) {
        loop_.Post([this, act] {
            CMsgWnd* box = OpenBox();
            ASSERT_NE(box, nullptr);
            act(*box);
        });
        return window_->Ask(question);
    }
    static void Click(CMsgWnd& box, const char* name) {
        TNotifyUI click;
        click.sType = notify::kClick;
        click.pSender = box.GetPaintManager()->FindControl(name);
        ASSERT_NE(click.pSender, nullptr) << name;
        box.Notify(click);
    }
    static std::string Text(CMsgWnd& box, const char* name) {
        return box.GetPaintManager()->FindControl(name)->GetText();
    }
};

TEST_F(MessageBoxTest, OnlyConfirmAnswersYes) {
    const Question question{"", "message_text_22", true, QuestionButtons::OkCancel};
    const std::vector<std::pair<std::string, std::function<void(CMsgWnd&)>>> cases = {
        {"confirm_btn", [](CMsgWnd& box) { Click(box, "confirm_btn"); }},
        {"cancel_btn", [](CMsgWnd& box) { Click(box, "cancel_btn"); }},
        {"closebtn", [](CMsgWnd& box) { Click(box, "closebtn"); }},
        {"Escape", [](CMsgWnd& box) { box.GetPaintManager()->HandleKeyDown(kKeyEscape); }},
        {"window manager", [](CMsgWnd& box) { box.Close(0); }},
        {"other input, then confirm",
         [](CMsgWnd& box) {
             box.GetPaintManager()->HandleKeyDown(kKeyReturn);
             Click(box, "MessageText");  // not a button: nothing happens
             EXPECT_FALSE(box.IsClosing());
             Click(box, "confirm_btn");
         }},
    };
    for (const auto& [how, act] : cases)
        EXPECT_EQ(AskWhile(question, act), how.find("confirm") != std::string::npos ? 1 : 0) << how;
    EXPECT_EQ(OpenBox(), nullptr) << "every box is gone after its call";
}

TEST_F(MessageBoxTest, ButtonSetsTitlesAndTexts) {
    window_->SendMessage(main_msg::kLanguage, 1);  // English
    struct Case {
        Question question;
        bool cancelShown;
        std::string title;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{"", "message_text_22", true, QuestionButtons::Ok},
         false,
         "Notice",
         "Restore the factory settings? The settings of the current profile are replaced."},
        {{"Profiles", "message_text_25", true, QuestionButtons::OkCancel},
         true,
         "Profiles",
         "The name cannot be empty."},
        {{"", "message_text_25 is plain here", false, QuestionButtons::AsLaid},
         true,
         "Notice",
         "message_text_25 is plain here"},
    };
    for (const Case& c : cases) {
        AskWhile(c.question, [&](CMsgWnd& box) {
            EXPECT_TRUE(box.GetPaintManager()->FindControl("confirm_btn")->IsVisible());
            EXPECT_EQ(box.GetPaintManager()->FindControl("cancel_btn")->IsVisible(), c.cancelShown);
            EXPECT_EQ(Text(box, "MessageTitle"), c.title);
            EXPECT_EQ(Text(box, "MessageText"), c.text);
            box.Close(0);
        });
    }
}

TEST_F(MessageBoxTest, TheBoxTakesItsOwnScaleOnly) {
    platform_.screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96}};
    window_->RefitToMonitor();
    ASSERT_EQ(window_->Scale(), 144);
    const UiRect mainRect = window_->GetWindowRect();
    LogCapture logged;
    auto scaleOfBoxAt = [&](int dpi) {
        int seen = 0;
        loop_.Post([&] {
            seen = OpenBox()->Scale();
            EXPECT_EQ(OpenBox()->GetWindowRect().Width(), 440 * seen / 96);
            OpenBox()->Close(0);
        });
        CMsgWnd::Show(loop_, window_.get(), "", "message_text_5", dpi, true, 0);
        return seen;
    };
    EXPECT_EQ(scaleOfBoxAt(96), 96);
    EXPECT_EQ(scaleOfBoxAt(192), 192);
    EXPECT_EQ(scaleOfBoxAt(100), 96);
    EXPECT_EQ(logged.Count("MSG_WND DPI SET ERROR"), 1u);
    EXPECT_EQ(window_->GetPaintManager()->GetDPIObj()->GetDPI(), 144);
    EXPECT_EQ(window_->GetWindowRect(), mainRect);
    // Asked through the window, the box follows the window's scale.
    AskWhile({}, [](CMsgWnd& box) {
        EXPECT_EQ(box.Scale(), 144);
        box.Close(1);
    });
}

// A failed save is told once per folder and run: in the box while the window
// is shown, from the tray while it is hidden.
TEST_F(MessageBoxTest, FailedSavesAreToldOncePerFolder) {
    window_->SendMessage(main_msg::kLanguage, 1);
    Send(messages::kWake, 0, 1);
    ASSERT_TRUE(Visible());
    std::vector<std::string> shown;
    auto report = [&](const char* folder, int error) {
        loop_.Post([&] {
            if (CMsgWnd* box = OpenBox()) {
                shown.push_back(Text(*box, "MessageText"));
                box->Close(0);
            }
        });
        window_->ReportSaveFailure({fs::path(folder) / "p.Json", folder, error});
        loop_.ProcessPending();
    };
    report("/data/mouse", EROFS);
    report("/data/mouse", ENOSPC);  // same folder: already told
    report("/data/keyboard", ENOSPC);
    report("/data/HD", EIO);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_NE(shown[0].find("/data/mouse: the folder is read-only"), std::string::npos) << shown[0];
    EXPECT_NE(shown[1].find("/data/keyboard: the disk is full"), std::string::npos) << shown[1];
    EXPECT_NE(shown[2].find("(" + std::string(std::strerror(EIO)) + ")"), std::string::npos);
    EXPECT_NE(shown[0].find("kept while the program runs"), std::string::npos);
    // Hidden in the tray: a tray notice instead of a box.
    TNotifyUI click;
    click.sType = notify::kClick;
    click.pSender = Find("closebtn");
    window_->Notify(click);
    ASSERT_FALSE(Visible());
    report("/data/MousePad", ENOSPC);
    EXPECT_EQ(shown.size(), 3u);
    ASSERT_EQ(platform_.trayNotices.size(), 1u);
    EXPECT_EQ(platform_.trayNotices[0].first, "Settings not saved");
    EXPECT_NE(platform_.trayNotices[0].second.find("/data/MousePad"), std::string::npos);
}

// The tray's "exit" and SIGTERM while a box is open: the box answers 0, the
// handler that asked returns, then the program ends; nothing opens meanwhile.
TEST_F(MessageBoxTest, ExitWhileABoxIsOpenEndsTheBoxThenTheProgram) {
    for (const bool viaTray : {false, true}) {
        if (viaTray) {  // a fresh window for the second path
            TearDown();
            shutdowns_ = 0;
            SetUp();
        }
        int shutdownsWhenAnswered = -1;
        loop_.Post([this, viaTray] {
            if (!viaTray) {
                window_->Exit();  // what SIGTERM and SIGINT call
                return;
            }
            ASSERT_TRUE(platform_.trayActivated);
            platform_.trayActivated(true);  // right click: the menu opens 10 ms later
        });
        int idleSteps = 0;
        platform_.idle = [this, &idleSteps] {
            if (CMenuWnd* menu = CMenuWnd::Current()) {
                CPaintManagerUI* pm = menu->GetPaintManager();
                pm->UpdateLayout();
                const UiRect exit = pm->FindControl("exit")->GetPos();
                const UiPoint centre{(exit.left + exit.right) / 2, (exit.top + exit.bottom) / 2};
                pm->HandleButtonDown(centre);
                pm->HandleButtonUp(centre);
                return true;
            }
            clock_.Advance(5ms);
            return ++idleSteps < 100;
        };
        EXPECT_EQ(window_->Ask({"", "message_text_22", true, QuestionButtons::OkCancel}), 0);
        shutdownsWhenAnswered = shutdowns_;
        EXPECT_EQ(window_->Ask({"", "message_text_4", true, QuestionButtons::OkCancel}), 0)
            << "nothing is shown once the program is ending";
        platform_.idle = nullptr;
        loop_.ProcessPending();
        loop_.ProcessPending();
        EXPECT_EQ(shutdownsWhenAnswered, 0) << (viaTray ? "tray" : "signal");
        EXPECT_EQ(shutdowns_, 1) << (viaTray ? "tray" : "signal");
        EXPECT_EQ(OpenBox(), nullptr);
    }
}

// Four languages: two of them ("cn", "tc") with fonts of their own, two
// ("en", "de") drawn in "Arial"; then rows that must never be applied.
constexpr const char* kFourLanguages = R"({"Language": [
  {"Language_ID": 2052, "Language_file": "lan_cn.xml", "Language_name": "cn"},
  {"Language_ID": 1033, "Language_file": "lan_en.xml", "Language_name": "en"},
  {"Language_ID": 1028, "Language_file": "lan_cn.xml", "Language_name": "tc"},
  {"Language_ID": 1031, "Language_file": "lan_en.xml", "Language_name": "de"},
  {"Language_ID": "1036", "Language_file": "lan_en.xml", "Language_name": "fr"},
  {"Language_ID": 1040, "Language_file": "../main.xml", "Language_name": "it"},
  {"Language_ID": 1041, "Language_file": "lan_missing.xml", "Language_name": "ja"},
  {"Language_ID": 1042, "Language_name": "ko"}
]})";

TEST(LanguageChoice, DetermineFromStoreLocaleAndTable) {
    testing::TestFolder folder;
    const LanguageTable table = LanguageTable::FromJson(testing::ParseOrDie(kFourLanguages));
    const LanguageTable broken = LanguageTable::FromJson(Json::Value("not a table"));
    struct Case {
        std::optional<std::uint32_t> stored;
        const char* locale;
        const LanguageTable* table;
        int expected;
    };
    const Case cases[] = {
        {std::nullopt, "zh_CN.UTF-8", &table, 0},
        {std::nullopt, "en_GB.UTF-8", &table, 1},
        {std::nullopt, "de_DE", &table, 3},
        {std::nullopt, "C", &table, 1},
        {std::nullopt, "", &table, 1},
        {1033, "zh_CN.UTF-8", &table, 1},
        {1031, "", &table, 3},
        {520, "en_US", &table, 0},
        {1036, "en_US", &table, 0},  // only a sound row can be matched
        {1033, "en_US", &broken, 0},
        {std::nullopt, "en_US", &broken, 0},
    };
    int run = 0;
    for (const Case& c : cases) {
        KeyStore store(folder / ("registry" + std::to_string(++run) + ".ini"));
        if (c.stored) {
            ASSERT_TRUE(store.SetDword(kLanguageKey, kLanguageValue, *c.stored));
        }
        EXPECT_EQ(DetermineLanguage(*c.table, &store, c.locale), c.expected)
            << (c.stored ? std::to_string(*c.stored) : "none") << " " << c.locale;
    }
}

class LanguageTest : public MainWindowTest {
protected:
    void SetUp() override {
        testing::WriteText(folder_ / "Language.config", kFourLanguages);
        services_.keyStore = &store_;
        services_.languageTable = folder_ / "Language.config";
        MainWindowTest::SetUp();
    }
    // The program ends and starts again with the same files.
    void Restart() {
        window_.reset();
        window_ = std::make_unique<CMainWnd>(loop_, devices_, registry_, services_);
        ASSERT_TRUE(window_->Create(nullptr, "Gaming Keyboard Q731 Control Center", kWsPopup));
        loop_.ProcessPending();
    }
    std::optional<std::uint32_t> Stored() const {
        return store_.GetDword(kLanguageKey, kLanguageValue);
    }
    std::string Family() { return window_->GetPaintManager()->GetFontInfo(0)->family; }
    // A font only a rebuilt font set loses.
    void MarkFonts() { window_->GetPaintManager()->AddFont(99, "marker", 14, false, false, false); }
    bool FontsKept() { return window_->GetPaintManager()->GetFontInfo(99)->family == "marker"; }
    std::string Text() { return CResourceManager::GetInstance().GetText("skin_tip").value(); }

    testing::TestFolder folder_;
    KeyStore store_{folder_ / "registry.ini"};
};

TEST_F(LanguageTest, ApplyRebuildsFontsOnlyWhenTheFamilyChanges) {
    ASSERT_EQ(window_->LanguageInUse(), 1) << "no choice stored: the locale's";
    EXPECT_EQ(Family(), "Arial");
    EXPECT_EQ(Stored(), 1033u);
    const std::string english = Text();
    MarkFonts();
    window_->SendMessage(main_msg::kLanguage, 1);  // the language in use: nothing
    EXPECT_TRUE(FontsKept());
    window_->SendMessage(main_msg::kLanguage, 3);
    EXPECT_TRUE(FontsKept()) << "en and de both use Arial";
    EXPECT_EQ(Stored(), 1031u);
    window_->SendMessage(main_msg::kLanguage, 0);
    EXPECT_FALSE(FontsKept());
    EXPECT_EQ(Family(), "汉仪菱心体简");
    EXPECT_NE(Text(), english);
    window_->SendMessage(main_msg::kLanguage, 2);
    EXPECT_EQ(Family(), "Noto Sans CJK TC Regular");
    window_->SendMessage(main_msg::kLanguage, 1);
    EXPECT_EQ(Family(), "Arial");
    EXPECT_EQ(window_->GetPaintManager()->GetFontInfo(12)->size, 9) << "the key captions' font";
    EXPECT_TRUE(window_->GetPaintManager()->GetFontInfo(50)->bold);
    EXPECT_EQ(Stored(), 1033u);
}

TEST_F(LanguageTest, ABadIndexOrRowChangesAndStoresNothing) {
    window_->SendMessage(main_msg::kLanguage, 0);
    MarkFonts();
    const std::string text = Text();
    // A string id, a file outside the skin, a missing file, no file, past the
    // end, negative.
    for (WPARAM index : {4u, 5u, 6u, 7u, 8u, 99u, static_cast<unsigned>(-1)}) {
        window_->SendMessage(main_msg::kLanguage, index);
        EXPECT_EQ(window_->LanguageInUse(), 0) << index;
        EXPECT_TRUE(FontsKept()) << index;
        EXPECT_EQ(Text(), text) << index;
        EXPECT_EQ(Stored(), 2052u) << index;
    }
    testing::WriteText(folder_ / "Language.config", "{ \"Language\": 7 }");
    window_->SendMessage(main_msg::kLanguage, 1);
    EXPECT_EQ(window_->LanguageInUse(), 0);
    EXPECT_EQ(Stored(), 2052u);
}

TEST_F(LanguageTest, TheChoiceSurvivesARestart) {
    window_->SendMessage(main_msg::kLanguage, 3);
    Restart();
    EXPECT_EQ(window_->LanguageInUse(), 3);
    EXPECT_EQ(Family(), "Arial");
    window_->SendMessage(main_msg::kLanguage, 0);
    services_.locale = "en_US";  // a stored choice wins over the locale
    Restart();
    EXPECT_EQ(window_->LanguageInUse(), 0);
    EXPECT_EQ(Family(), "汉仪菱心体简");
}

// Receivers called in the order they came, one removing itself and a later
// one during a message, one added during it called from the next message on.
TEST(SkinObserver, AddRemoveAndRemovalDuringABroadcast) {
    struct Receiver : CSkinChangedReceiver {
        std::function<void()> onReceive;
        std::vector<std::string>* calls = nullptr;
        std::string name;
        int Receive(const SkinMessage&) override {
            calls->push_back(name);
            if (onReceive) onReceive();
            return 1;
        }
    };
    CSkinChangedObserver observer;
    std::vector<std::string> calls;
    auto late = std::make_unique<Receiver>();
    std::array<Receiver, 4> receivers;
    for (std::size_t i = 0; i < receivers.size(); ++i) {
        receivers[i].calls = &calls;
        receivers[i].name = std::to_string(i);
        observer.AddReceiver(receivers[i]);
    }
    late->calls = &calls;
    late->name = "late";
    receivers[1].onReceive = [&] {
        receivers[1].RemoveFromObservers();
        observer.RemoveReceiver(receivers[2]);
        observer.AddReceiver(*late);
    };
    observer.Broadcast({true, 0xFF000000, {}});
    EXPECT_EQ(calls, (std::vector<std::string>{"0", "1", "3"}));
    calls.clear();
    receivers[1].onReceive = nullptr;
    late.reset();  // a receiver that goes leaves its observers
    observer.Broadcast({});
    EXPECT_EQ(calls, (std::vector<std::string>{"0", "3"}));
    EXPECT_EQ(observer.Count(), 2u);
    observer.Notify({});  // the base receivers' respond ignores the message
    EXPECT_EQ(calls.size(), 2u);
}

// The skin window under "skinbtn" and what its buttons do to "root" and "main.ini".
class SkinTest : public MessageBoxTest {
protected:
    void SetUp() override {
        services_.configFolder = folder_.path();
        MessageBoxTest::SetUp();
        Send(messages::kWake, 0, 1);
        window_->SendMessage(main_msg::kLanguage, 1);
    }
    void TearDown() override {
        if (CSkinFrame* frame = CSkinFrame::Current()) frame->Close(0);
        loop_.ProcessPending();
        MessageBoxTest::TearDown();
    }
    CSkinFrame* Open() {
        TNotifyUI click;
        click.sType = notify::kClick;
        click.pSender = Find("skinbtn");
        window_->Notify(click);
        return CSkinFrame::Current();
    }
    // Clicks the `nth` control of that name in the skin window.
    void ClickSkin(const std::string& name, int nth = 0) {
        CSkinFrame* frame = CSkinFrame::Current();
        ASSERT_NE(frame, nullptr);
        CPaintManagerUI& pm = *frame->GetPaintManager();
        TNotifyUI click;
        click.sType = notify::kClick;
        pm.GetRoot()->FindControl([&](CControlUI* c) {
            if (c->GetName() == name && nth-- == 0) click.pSender = c;
            return click.pSender != nullptr;
        });
        ASSERT_NE(click.pSender, nullptr) << name;
        frame->Notify(click);
    }
    std::string MainIni() { return testing::ReadText(folder_ / "main.ini"); }

    testing::TestFolder folder_;
};

TEST_F(SkinTest, SkinWindowButtonsSetTheBackgroundAndMainIni) {
    CSkinFrame* frame = Open();
    ASSERT_NE(frame, nullptr);
    const UiRect button = Find("skinbtn")->GetPos();
    const UiRect at = frame->GetWindowRect();
    const UiRect owner = window_->GetWindowRect();
    EXPECT_EQ(at.right, owner.left + button.right) << "its top-right corner under the button's";
    EXPECT_EQ(at.top, owner.top + button.bottom);
    CControlUI* root = Find("root");
    testing::WriteText(folder_ / "main.ini", "[Other]\nKEY=kept\n");
    ClickSkin("skin_image_btn", 1);
    EXPECT_EQ(root->GetBkImage(), "skin/skin_1.png");
    EXPECT_EQ(root->GetBkColor(), 0u);
    EXPECT_EQ(MainIni(), "[Other]\nKEY=kept\n[SKINIMAGE]\nFLAGS=1\nIMAGE=skin/skin_1.png\n");
    ClickSkin("skin_color");
    EXPECT_EQ(
        dynamic_cast<CTabLayoutUI*>(frame->GetPaintManager()->FindControl("skin_tab"))->GetCurSel(),
        1);
    ClickSkin("skin_color_btn", 1);
    EXPECT_EQ(root->GetBkColor(), 0xFF14243Au);
    EXPECT_EQ(root->GetBkImage(), "");
    EXPECT_NE(MainIni().find("skin_1"), std::string::npos) << "a colour is not written";
    ClickSkin("skin_reset");
    EXPECT_EQ(root->GetBkImage(), "common/background.png");
    EXPECT_EQ(MainIni(), "[Other]\nKEY=kept\n[SKINIMAGE]\nFLAGS=0\nIMAGE=common/background.png\n");
    // Losing the focus closes the window; it is gone after the event.
    frame->HandleMessage(kMsgActivate, 0, 0);
    loop_.ProcessPending();
    EXPECT_EQ(CSkinFrame::Current(), nullptr);
}

// The custom picture dialog takes the focus: the window stays until its
// handler is done. A path with quotes and '=' shows; a file that is no
// picture leaves the background and says so.
TEST_F(SkinTest, CustomPicturesSurviveTheDialogAndBadOnesAreReported) {
    const fs::path odd = folder_ / "it's \"mine\" a=b.png";
    fs::copy_file(fs::path(Q731_SOURCE_DIR) / "skin/skin/skin_2.png", odd);
    testing::WriteText(folder_ / "broken.png", "not a picture");
    CSkinFrame* frame = Open();
    bool aliveInDialog = false;
    platform_.whileDialogOpen = [&] {
        frame->HandleMessage(kMsgActivate, 0, 0);
        loop_.ProcessPending();
        aliveInDialog = CSkinFrame::Current() == frame && !frame->IsClosing();
    };
    platform_.nextFile = odd;
    ClickSkin("skin_Custom");
    EXPECT_TRUE(aliveInDialog);
    CControlUI* root = Find("root");
    EXPECT_EQ(root->GetBkImage(), odd.string());
    const TDrawInfo* drawn = window_->GetPaintManager()->GetDrawInfo(root->GetBkImage());
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->sImageName, odd.string());
    loop_.ProcessPending();
    EXPECT_EQ(CSkinFrame::Current(), nullptr) << "closed once its handler returned";
    EXPECT_FALSE(fs::exists(folder_ / "main.ini")) << "a picture of one's own is not written";

    platform_.whileDialogOpen = nullptr;
    for (const fs::path& bad : {folder_ / "broken.png", folder_ / "missing.png"}) {
        Open();
        platform_.nextFile = bad;
        ClickSkin("skin_Custom");
        std::string told;
        platform_.idle = [&] {
            CMsgWnd* box = OpenBox();
            if (!box || box->IsClosing()) return false;
            told = Text(*box, "MessageText");
            box->Close(0);
            return true;
        };
        loop_.ProcessPending();
        platform_.idle = nullptr;
        EXPECT_EQ(root->GetBkImage(), odd.string()) << bad;
        EXPECT_NE(told.find(bad.string() + " cannot be shown"), std::string::npos) << told;
        if (CSkinFrame* open = CSkinFrame::Current()) open->Close(0);
        loop_.ProcessPending();
    }
}

}  // namespace
}  // namespace q731
