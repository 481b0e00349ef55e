#pragma once
// CSetWnd: the settings window. It chooses the interface language and lists,
// for each connected device and the program, whether a newer version exists:
// the update check runs on the window's worker, and each answer reaches the
// list on the UI thread. Nothing is downloaded or run; an update the user
// confirms opens its page in the browser.
//
// Closing always ends the check first: the running request is cancelled and
// the worker joined for up to half a second. What the worker uses (its HTTP
// client, the stop flag, the queue of results) is shared with it, so a worker
// that outlives the window touches nothing the window freed.

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/worker_slots.h"
#include "ui/widgets/list.h"
#include "ui/widgets/window.h"
#include "update/http_client.h"
#include "update/update_check.h"

namespace q731 {

class CCheckBoxUI;
class CComboUI;
class CListUI;
class CTabLayoutUI;

// One entry of the update list. States: 0 not checked, 1 and 2 update
// available, 3 waiting for the user (its page was opened), 4 downloading,
// 5 downloaded, 6 updating, 7 up to date, 8 update failed. This program
// produces 1, 3 and 7; the others keep their look for a future download.
class CUpdateInfoListItemUI final : public CListContainerElementUI {
public:
    static constexpr const char* kLayout = "XML/CustomControlXML/device_Update_list_item.xml";
    static constexpr int kHeight = 50;

    std::string_view GetClass() const override { return "UpdateInfoListItemUI"; }
    // Builds the entry's controls from its layout; false when it cannot.
    bool Build(CPaintManagerUI* manager);

    void SetEntryName(const std::string& name);
    void SetCurrentVersion(const std::string& text);
    // Hidden while empty; a text id (no answer came) shows in the language.
    void SetLatestVersion(const std::string& text, bool textId = false);
    void SetState(int state);
    int GetState() const { return state_; }
    bool IsChecked() const;
    void Check(bool checked);  // with its notification
    void EnableCheck(bool enabled);
    void SetProgress(int percent);

    // The https page of the newer version, when the server named one.
    std::string downloadUrl;

private:
    CCheckBoxUI* check_ = nullptr;
    CControlUI* current_ = nullptr;
    CControlUI* latest_ = nullptr;
    CControlUI* stateText_ = nullptr;
    CControlUI* progress_ = nullptr;
    CControlUI* progressValue_ = nullptr;
    CControlUI* done_ = nullptr;
    int state_ = 0;
};

struct SettingsWindowSetup {
    // Told of a language choice (3089); none: the choice changes nothing.
    CWindowWnd* mainWindow = nullptr;
    int languageIndex = -1;
    std::filesystem::path languageTable;  // "Language.config"
    std::vector<UpdateRow> rows;          // rows with a version, in list order
    std::optional<std::string> serverUrl;
    std::filesystem::path dataFolder;  // holds "updatetime.config"
    HttpSettings http;
};

class CSetWnd final : public WindowImplBase {
public:
    static constexpr int kWidth = 630;
    static constexpr int kHeight = 500;
    // How long closing waits for the worker.
    static constexpr Millis kWorkerWait{500};

    // The update status display.
    enum StatusMode { kAsking = 0, kHaveUpdate = 1, kNoInfo = 2, kUpdating = 3, kUpToDate = 4 };

    CSetWnd(UiLoop& loop, SettingsWindowSetup setup);
    ~CSetWnd() override;

    std::string GetWindowClassName() const override { return "SetWnd"; }
    std::string GetSkinFile() override { return "setwnd.xml"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    bool OnKeyDown(int key, unsigned modifiers) override;

    void SetScale(int dpi);
    int Scale() const { return dpi_; }
    int Run() { return ShowModal(); }
    // The program is ending: the window closes whatever its entries show.
    void ForceClose();

    void SetStatusMode(int mode);
    int GetStatusMode() const { return statusMode_; }
    // Ends the check: cancels its request, waits up to kWorkerWait.
    void StopWorkers();
    bool CheckRunning() const;

    int EntryCount() const { return static_cast<int>(entries_.size()); }
    CUpdateInfoListItemUI* Entry(int index) const;
    const std::string& LastCheckDate() const { return lastCheckDate_; }

protected:
    void OnClick(TNotifyUI& msg) override;

private:
    struct Job;
    void FillLanguages();
    void StartCheck();
    void ShowRecord(std::size_t entry, const UpdateRecord& record);
    void CheckFinished(const UpdateSummary& summary);
    void UpdateConfirmButton();
    void ConfirmUpdates();
    bool MayClose() const;

    SettingsWindowSetup setup_;
    std::shared_ptr<Job> job_;
    WorkerSlots workers_;
    std::vector<CUpdateInfoListItemUI*> entries_;
    CListUI* list_ = nullptr;
    CComboUI* languages_ = nullptr;
    CTabLayoutUI* pages_ = nullptr;
    std::string lastCheckDate_;
    int statusMode_ = 0;
    int dpi_ = 96;
    bool forced_ = false;
};

}  // namespace q731
