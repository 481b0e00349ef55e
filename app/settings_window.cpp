#include "app/settings_window.h"

#include <fmt/format.h>

#include <algorithm>

#include "app/main_window.h"
#include "app/window_fit.h"
#include "platform/log.h"
#include "profiles/document_file.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/container.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"
#include "ui/widgets/ui_types.h"

namespace q731 {

namespace {

// The look of each entry state: its text, whether progress or the done mark
// shows, whether the check box may be used, the name's colours.
struct EntryLook {
    const char* text;
    bool progress;
    bool done;
    bool checkable;
    UiColor colour;
    UiColor disabledColour;
};

constexpr UiColor kPlain = 0xFFFFFFFF;
constexpr UiColor kPlainDisabled = 0xFF666666;
constexpr UiColor kUpdate = 0xFF0099FF;
constexpr UiColor kUpdateDisabled = 0xFF0078C8;

constexpr std::array<EntryLook, 9> kEntryLooks{{
    {"LessUpdateText", false, false, false, kPlain, kPlainDisabled},
    {"NeedUpdateText", false, false, true, kUpdate, kUpdateDisabled},
    {"NeedUpdateText", false, false, true, kUpdate, kUpdateDisabled},
    {"DownloadWaitText", false, false, false, kUpdate, kUpdateDisabled},
    {"DownloadIngText", true, false, false, kUpdate, kUpdateDisabled},
    {"DownloadOkText", false, true, false, kUpdate, kUpdateDisabled},
    {"UpdateIngText", true, false, false, kUpdate, kUpdateDisabled},
    {"UpdateOkText", false, false, false, kPlain, kPlainDisabled},
    {"UpdateFailText", false, false, true, kUpdate, kUpdateDisabled},
}};

constexpr std::array<const char*, 5> kStatusTexts{"GetUpdateInfoText", "HaveUpdateInfoText",
                                                  "NoUpdateInfoText", "ISUpdateINGText",
                                                  "UpdateIsLastText"};

bool HasUpdate(int state) {
    return state == 1 || state == 2;
}

}  // namespace

// What the worker shares with the window: it lives as long as either.
struct CSetWnd::Job {
    explicit Job(HttpSettings http) : client(std::move(http)) {}
    HttpClient client;
    std::atomic<bool> stop{false};
};

bool CUpdateInfoListItemUI::Build(CPaintManagerUI* manager) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> content = builder.Create(kLayout, {}, nullptr, manager);
    if (!content) {
        LogWarning(std::string("settings: cannot build ") + kLayout + ": " +
                   builder.GetLastError());
        return false;
    }
    CControlUI* root = content.get();
    Add(std::move(content));
    SetFixedHeight(kHeight);
    auto find = [manager, root](const char* name) {
        return manager ? manager->FindSubControlByName(root, name) : nullptr;
    };
    check_ = dynamic_cast<CCheckBoxUI*>(find("check_name_select"));
    current_ = find("OldRev");
    latest_ = find("updateRev");
    stateText_ = find("update_status_text");
    progress_ = find("update_status_ing");
    progressValue_ = find("update_progress_value");
    done_ = find("update_status_ok");
    return check_ != nullptr;
}

void CUpdateInfoListItemUI::SetEntryName(const std::string& name) {
    if (check_) check_->SetText(name);
}

void CUpdateInfoListItemUI::SetCurrentVersion(const std::string& text) {
    if (current_) current_->SetText(text);
}

void CUpdateInfoListItemUI::SetLatestVersion(const std::string& text, bool textId) {
    if (!latest_) return;
    latest_->SetResourceText(textId);
    latest_->SetText(text);
    latest_->SetVisible(!text.empty());
}

void CUpdateInfoListItemUI::SetState(int state) {
    if (state == state_ || state < 0 || state >= static_cast<int>(kEntryLooks.size())) return;
    state_ = state;
    const EntryLook& look = kEntryLooks[static_cast<std::size_t>(state)];
    if (stateText_) {
        stateText_->SetResourceText(true);
        stateText_->SetText(look.text);
    }
    const bool progressShown = progress_ && progress_->IsVisible();
    if (progressShown != look.progress) SetProgress(0);
    if (progress_) progress_->SetVisible(look.progress);
    if (progressValue_) progressValue_->SetVisible(look.progress);
    if (done_) done_->SetVisible(look.done);
    if (check_) {
        check_->SetEnabled(look.checkable);
        check_->SetTextColor(look.colour);
        check_->SetSelectedTextColor(look.colour);
        check_->SetDisabledTextColor(look.disabledColour);
    }
}

bool CUpdateInfoListItemUI::IsChecked() const {
    return check_ && check_->IsSelected();
}

void CUpdateInfoListItemUI::Check(bool checked) {
    if (check_) check_->Selected(checked, true);
}

void CUpdateInfoListItemUI::EnableCheck(bool enabled) {
    if (check_) check_->SetEnabled(enabled);
}

void CUpdateInfoListItemUI::SetProgress(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (auto* bar = dynamic_cast<CProgressUI*>(progress_)) bar->SetValue(percent);
    if (progressValue_) progressValue_->SetText(fmt::format("{}%", percent));
}

CSetWnd::CSetWnd(UiLoop& loop, SettingsWindowSetup setup)
    : WindowImplBase(loop),
      setup_(std::move(setup)),
      job_(std::make_shared<Job>(setup_.http)),
      workers_(this) {}

CSetWnd::~CSetWnd() {
    StopWorkers();
}

void CSetWnd::InitWindow() {
    list_ = dynamic_cast<CListUI*>(m_pm.FindControl("device_update_list_info"));
    languages_ = dynamic_cast<CComboUI*>(m_pm.FindControl("Language_combox_info"));
    pages_ = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("get_update_tab_layout"));
}

void CSetWnd::SetScale(int dpi) {
    if (dpi == dpi_) return;
    dpi = SecondaryWindowScale(dpi);
    dpi_ = dpi;
    ScaleTo(dpi);
}

void CSetWnd::FillLanguages() {
    if (!languages_) return;
    const Json::Value table = DocumentFile::ReadJsonFile(setup_.languageTable);
    const Json::Value& list = table.isObject() ? table["Language"] : Json::Value::nullSingleton();
    if (!list.isArray()) {
        LogWarning("settings: no language table in " + setup_.languageTable.string());
        return;
    }
    for (const Json::Value& language : list) {
        const Json::Value& text = language.isObject() ? language["Language_text"] : language;
        auto item = std::make_unique<CListLabelElementUI>();
        item->SetResourceText(true);
        item->SetText(text.isString() ? text.asString() : std::string());
        languages_->Add(std::move(item));
    }
    if (setup_.languageIndex >= 0) languages_->SelectItem(setup_.languageIndex, true, false);
}

void CSetWnd::StartCheck() {
    SetStatusMode(kAsking);
    auto job = job_;
    UiLoop& loop = WindowLoop();
    const std::shared_ptr<bool> alive = GetAliveToken();
    const bool started =
        workers_.Start(0, "update check",
                       [this, job, &loop, alive, rows = setup_.rows, url = setup_.serverUrl,
                        folder = setup_.dataFolder](const WorkerArgs&) {
                           // Only the posted closures touch the window, on the UI thread and
                           // only while it exists.
                           const UpdateSummary summary = RunUpdateCheck(
                               rows, job->client, url, folder,
                               [this, &loop, alive](std::size_t entry, const UpdateRecord& record) {
                                   loop.Post([this, alive, entry, record] {
                                       if (*alive) ShowRecord(entry, record);
                                   });
                               },
                               &job->stop);
                           loop.Post([this, alive, summary] {
                               if (*alive) CheckFinished(summary);
                           });
                       });
    if (!started) LogWarning("settings: the update check could not be started");
}

void CSetWnd::ShowRecord(std::size_t entry, const UpdateRecord& record) {
    if (!list_ || entry > entries_.size()) return;
    if (entry == entries_.size()) {
        auto item = std::make_unique<CUpdateInfoListItemUI>();
        if (!item->Build(&m_pm)) return;
        entries_.push_back(item.get());
        list_->Add(std::move(item));
    }
    CUpdateInfoListItemUI& item = *entries_[entry];
    item.SetEntryName(record.name);
    item.SetCurrentVersion(record.currentVersion);
    item.SetLatestVersion(record.latestVersion,
                          !record.reachable && record.latestVersion == kNoUpdateInfoText);
    item.downloadUrl = record.downloadUrl;
    item.SetState(static_cast<int>(record.status));
}

void CSetWnd::CheckFinished(const UpdateSummary& summary) {
    if (summary.stopped || job_->stop.load()) return;
    for (CUpdateInfoListItemUI* entry : entries_) {
        const int state = entry->GetState();
        if (state == 0 || state == 7) {
            entry->EnableCheck(false);
        } else {
            entry->EnableCheck(true);
            entry->Check(true);
        }
    }
    UpdateConfirmButton();
    lastCheckDate_ = summary.lastCheckDate;
    switch (summary.outcome) {
        case UpdateOutcome::HaveUpdate:
            SetStatusMode(kHaveUpdate);
            break;
        case UpdateOutcome::UpToDate:
            SetStatusMode(kUpToDate);
            break;
        case UpdateOutcome::NoUpdateInfo:
            SetStatusMode(kNoInfo);
            break;
    }
}

void CSetWnd::SetStatusMode(int mode) {
    if (mode < kAsking || mode > kUpToDate) return;
    statusMode_ = mode;
    if (CControlUI* ring = m_pm.FindControl("update_status_ring"))
        ring->SetVisible(mode == kAsking);
    if (CControlUI* image = m_pm.FindControl("update_status_image"))
        image->SetVisible(mode != kAsking);
    CControlUI* text = m_pm.FindControl("Update_Status_text");
    const char* id = kStatusTexts[static_cast<std::size_t>(mode)];
    if (mode != kUpToDate) {
        if (text) {
            text->SetResourceText(true);
            text->SetText(id);
        }
        return;
    }
    if (text) {
        text->SetResourceText(false);
        text->SetText(CResourceManager::GetInstance().GetText(id).value_or("") + lastCheckDate_);
    }
    if (setup_.mainWindow) setup_.mainWindow->SendMessage(main_msg::kClearUpdateMark);
}

void CSetWnd::StopWorkers() {
    job_->stop.store(true);
    job_->client.Cancel();
    const WorkerSlots::ShutdownReport report = workers_.StopAll(kWorkerWait);
    if (report.abandoned > 0) LogWarning("settings: the update check did not end in time");
}

bool CSetWnd::CheckRunning() const {
    return workers_.IsRunning(0);
}

CUpdateInfoListItemUI* CSetWnd::Entry(int index) const {
    if (index < 0 || index >= EntryCount()) return nullptr;
    return entries_[static_cast<std::size_t>(index)];
}

void CSetWnd::UpdateConfirmButton() {
    const bool any =
        std::any_of(entries_.begin(), entries_.end(),
                    [](const CUpdateInfoListItemUI* entry) { return entry->IsChecked(); });
    if (CControlUI* button = m_pm.FindControl("update_fw_and_ap")) {
        button->SetEnabled(any);
        button->SetVisible(any);
    }
}

void CSetWnd::ConfirmUpdates() {
    IUiPlatform* platform = GetUiPlatform();
    for (CUpdateInfoListItemUI* entry : entries_) {
        if (!HasUpdate(entry->GetState())) continue;
        if (!entry->IsChecked()) {
            entry->EnableCheck(false);
            continue;
        }
        entry->SetState(3);
        // Only the update's page opens; nothing is fetched or run here.
        if (!IsHttpsAddress(entry->downloadUrl)) continue;
        if (!platform || !platform->OpenUrl(entry->downloadUrl))
            LogWarning("settings: no browser took " + entry->downloadUrl);
    }
    if (CControlUI* button = m_pm.FindControl("update_fw_and_ap")) button->SetEnabled(false);
    if (pages_) pages_->SelectItem(0);
}

bool CSetWnd::MayClose() const {
    // An entry waiting for the user (3) never moves on, so it does not hold
    // the window; the states of a download in progress do.
    return std::all_of(entries_.begin(), entries_.end(), [](const CUpdateInfoListItemUI* entry) {
        const int state = entry->GetState();
        return HasUpdate(state) || state == 3 || state == 7 || state == 8;
    });
}

void CSetWnd::ForceClose() {
    forced_ = true;
    Close(0);
}

void CSetWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == notify::kWindowInit) {
        FillLanguages();
        StartCheck();
        return;
    }
    if (!msg.pSender) return WindowImplBase::Notify(msg);
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == notify::kItemSelect && msg.pSender == languages_) {
        if (!setup_.mainWindow) return;
        setup_.languageIndex = languages_->GetCurSel();
        setup_.mainWindow->SendMessage(main_msg::kLanguage,
                                       static_cast<WPARAM>(setup_.languageIndex));
        return;
    }
    if (msg.sType == notify::kSelectChanged && name == "check_name_select") {
        UpdateConfirmButton();
        return;
    }
    WindowImplBase::Notify(msg);
}

void CSetWnd::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const std::string name = ToLower(msg.pSender->GetName());
    if (name == "closebtn" || name == "laterbtn") {
        Close(0);
    } else if (name == "set_in_update_wnd_btn") {
        if (CControlUI* notice = m_pm.FindControl("update_tishi_layout")) notice->SetVisible(false);
    } else if (name == "update_fw_and_ap") {
        if (pages_) pages_->SelectItem(1);
    } else if (name == "update_back_btn") {
        if (pages_) pages_->SelectItem(0);
    } else if (name == "update_ok_btn") {
        ConfirmUpdates();
    } else if (name == "minbtn" || name == "maxbtn" || name == "restorebtn") {
        WindowImplBase::OnClick(msg);
    }
}

bool CSetWnd::OnKeyDown(int key, unsigned) {
    if (key != kKeyEscape) return false;
    Close(0);
    return true;
}

LRESULT CSetWnd::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (msg == kMsgClose) {
        handled = true;
        if (!forced_ && !MayClose()) return 1;  // refused
        StopWorkers();
        return 0;
    }
    if (msg == kMsgDpiChanged) {
        SetScale(static_cast<int>(wParam & 0xFFFF));
        handled = true;
    } else if (msg == main_msg::kLanguage) {
        if (statusMode_ == kUpToDate) SetStatusMode(kUpToDate);
        m_pm.NeedUpdate();
        if (CControlUI* root = m_pm.GetRoot()) root->Invalidate();
        handled = true;
    }
    return 0;
}

}  // namespace q731
