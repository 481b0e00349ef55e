#include "app/skin.h"

#include <sstream>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
#include "ui/widgets/container.h"

namespace q731 {

namespace {

CSkinFrame* gOpenSkin = nullptr;  // at most one skin window; UI thread only

constexpr const char* kSkinSection = "SKINIMAGE";
constexpr int kSkinIcon = 128;
// The custom picture dialog's filter as pairs "description|pattern|".
constexpr const char* kCustomPictureFilter = "(*.png) | *.png |(*.*)|*.*||";
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

// "description|pattern|description|pattern||" → the dialog's
// "description;;description" (each description names its own pattern).
std::string DialogFilter(std::string_view pairs) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : pairs) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    std::string filter;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        if (!filter.empty()) filter += ";;";
        filter += std::string(Trim(parts[i]));
    }
    return filter;
}

}  // namespace

CSkinChangedReceiver::~CSkinChangedReceiver() {
    RemoveFromObservers();
}

void CSkinChangedReceiver::AddObserver(CSkinChangedObserver& observer) {
    ++observers_[&observer];
}

void CSkinChangedReceiver::RemoveFromObservers() {
    // Forget changes the map: take it first.
    const std::map<CSkinChangedObserver*, int> observers = std::move(observers_);
    observers_.clear();
    for (const auto& [observer, count] : observers)
        observer->Forget(*this);
}

int CSkinChangedReceiver::Receive(const SkinMessage&) {
    return 0;
}

int CSkinChangedReceiver::Respond(const SkinMessage&) {
    return 0;
}

CSkinChangedObserver::~CSkinChangedObserver() {
    for (const auto& [key, receiver] : receivers_)
        receiver->observers_.erase(this);
}

CSkinChangedObserver& CSkinChangedObserver::Instance() {
    static CSkinChangedObserver observer;
    return observer;
}

void CSkinChangedObserver::AddReceiver(CSkinChangedReceiver& receiver) {
    receivers_[nextKey_++] = &receiver;
    receiver.AddObserver(*this);
}

void CSkinChangedObserver::RemoveReceiver(CSkinChangedReceiver& receiver) {
    for (auto it = receivers_.begin(); it != receivers_.end(); ++it) {
        if (it->second != &receiver) continue;
        receivers_.erase(it);
        auto registered = receiver.observers_.find(this);
        if (registered != receiver.observers_.end() && --registered->second == 0)
            receiver.observers_.erase(registered);
        return;
    }
}

void CSkinChangedObserver::Forget(CSkinChangedReceiver& receiver) {
    std::erase_if(receivers_, [&](const auto& entry) { return entry.second == &receiver; });
}

template <typename Call>
void CSkinChangedObserver::Deliver(Call call) {
    // Keys only grow, so walking upwards from the last key delivered to sees
    // removals at once and skips receivers added during this delivery.
    const int end = nextKey_;
    for (auto it = receivers_.begin(); it != receivers_.end() && it->first < end;) {
        const int key = it->first;
        call(*it->second);
        it = receivers_.upper_bound(key);
    }
}

void CSkinChangedObserver::Broadcast(const SkinMessage& message) {
    Deliver([&](CSkinChangedReceiver& receiver) { receiver.Receive(message); });
}

void CSkinChangedObserver::Notify(const SkinMessage& message) {
    Deliver([&](CSkinChangedReceiver& receiver) { receiver.Respond(message); });
}

bool WriteSkinSettings(const std::filesystem::path& file, bool offered, std::string_view picture) {
    // One value per line: a line break in it would make keys of its own.
    if (file.empty() || picture.find_first_of("\r\n") != std::string_view::npos) return false;
    std::string old;
    const ReadStatus read = ReadFileBytes(file, old, kMaxSettingsBytes);
    if (read != ReadStatus::Ok && read != ReadStatus::Missing) {
        LogWarning("main.ini cannot be read; it is left as it is");
        return false;
    }
    const std::pair<std::string, std::string> values[] = {{"FLAGS", offered ? "1" : "0"},
                                                          {"IMAGE", std::string(picture)}};
    std::ostringstream out;
    bool inSection = false;
    bool sectionSeen = false;
    auto writeValues = [&] {
        for (const auto& [key, value] : values)
            out << key << '=' << value << '\n';
    };
    std::istringstream in(old);
    for (std::string line; std::getline(in, line);) {
        const std::string_view trimmed = Trim(line);
        if (trimmed.starts_with('[')) {
            inSection = EqualsNoCase(trimmed, std::string("[") + kSkinSection + "]");
            if (inSection) {
                sectionSeen = true;
                out << line << '\n';
                writeValues();
                continue;
            }
        } else if (inSection) {
            const std::string_view key = Trim(trimmed.substr(0, trimmed.find('=')));
            if (EqualsNoCase(key, "FLAGS") || EqualsNoCase(key, "IMAGE")) continue;
        }
        out << line << '\n';
    }
    if (!sectionSeen) {
        out << '[' << kSkinSection << "]\n";
        writeValues();
    }
    std::string error;
    if (!WriteFileAtomically(file, out.str(), &error)) {
        LogWarning("main.ini not written: " + error);
        return false;
    }
    return true;
}

CSkinFrame::CSkinFrame(UiLoop& loop, CSkinChangedObserver& observer,
                       std::filesystem::path settingsFile)
    : WindowImplBase(loop), observer_(observer), settingsFile_(std::move(settingsFile)) {}

CSkinFrame::~CSkinFrame() {
    if (gOpenSkin == this) gOpenSkin = nullptr;
}

CSkinFrame* CSkinFrame::Current() {
    return gOpenSkin;
}

CSkinFrame* CSkinFrame::Show(WindowImplBase& mainWindow, CControlUI& button,
                             CSkinChangedObserver& observer, std::filesystem::path settingsFile) {
    if (gOpenSkin) {  // the button again: the window goes
        gOpenSkin->Close(0);
        return nullptr;
    }
    auto* frame =
        new CSkinFrame(mainWindow.GetPaintManager()->GetLoop(), observer, std::move(settingsFile));
    // A pop-up like a menu: it closes when the user turns to anything else.
    if (!frame->Create(&mainWindow, "skinframe", kWsPopup,
                       kWsExToolWindow | kWsExTopMost | kWsExPopupMenu)) {
        delete frame;
        return nullptr;
    }
    gOpenSkin = frame;
    frame->SetIcon(kSkinIcon);
    CPaintManagerUI& pm = frame->m_pm;
    pm.SetDPI(mainWindow.GetPaintManager()->GetDPIObj()->GetDPI());
    const UiSize size = pm.GetDPIObj()->Scale(pm.GetInitSize());
    // Its top-right corner under the button's bottom-right corner.
    const UiRect owner = mainWindow.GetWindowRect();
    const UiRect& at = button.GetPos();
    const int x = owner.left + at.right - size.cx;
    const int y = owner.top + at.bottom;
    frame->MoveWindow({x, y, x + size.cx, y + size.cy});
    frame->ShowWindow(true, true);
    return frame;
}

void CSkinFrame::Notify(TNotifyUI& msg) {
    if (msg.sType == notify::kClick && msg.pSender) {
        ++busy_;
        OnSkinClick(*msg.pSender);
        --busy_;
        if (busy_ == 0 && closeWanted_) Close(0);
        return;
    }
    WindowImplBase::Notify(msg);
}

LRESULT CSkinFrame::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM, bool& handled) {
    // While a handler runs (the picture dialog above all, which takes the
    // focus), closing would destroy the window under it: close afterwards.
    if ((msg == kMsgActivate && wParam == 0) || msg == kMsgClose) {
        handled = true;
        if (busy_ > 0) {
            closeWanted_ = true;
            return 1;  // refuses a close
        }
        if (msg == kMsgActivate) Close(0);
    }
    return 0;
}

void CSkinFrame::OnFinalMessage() {
    delete this;
}

void CSkinFrame::Broadcast(SkinMessage message) {
    observer_.Broadcast(message);
}

void CSkinFrame::OnSkinClick(CControlUI& sender) {
    const std::string& name = sender.GetName();
    if (EqualsNoCase(name, "skin_image_btn")) {
        const std::string picture = sender.GetUserData();
        Broadcast({false, 0, picture});
        (void)WriteSkinSettings(settingsFile_, true, picture);  // logged; the choice stays shown
    } else if (EqualsNoCase(name, "skin_color_btn")) {
        Broadcast({true, sender.GetBkColor(), {}});
    } else if (EqualsNoCase(name, "skin_color") || EqualsNoCase(name, "skin_image")) {
        if (auto* tab = dynamic_cast<CTabLayoutUI*>(m_pm.FindControl("skin_tab")))
            tab->SelectItem(EqualsNoCase(name, "skin_color") ? 1 : 0);
    } else if (EqualsNoCase(name, "skin_reset")) {
        Broadcast({false, 0, kDefaultBackground});
        (void)WriteSkinSettings(settingsFile_, false, kDefaultBackground);
    } else if (EqualsNoCase(name, "skin_Custom")) {
        IUiPlatform* platform = GetUiPlatform();
        if (!platform) return;
        FileDialogOptions options;
        options.filter = DialogFilter(kCustomPictureFilter);
        options.defaultExtension = "png";
        options.initialName = "*.png";
        const auto file = platform->FileDialogs().OpenFile(GetOwner(), options);
        if (file) Broadcast({false, 0, file->string()});
    }
}

}  // namespace q731
