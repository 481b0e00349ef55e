#include "ui/widgets/headless.h"

#include <algorithm>

#include <fstream>

#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"

namespace q731 {

HeadlessWindowBackend::HeadlessWindowBackend(HeadlessPlatform& owner, WindowImplBase& win)
    : platform(owner), window(win) {
    platform.windows.push_back(this);
}

HeadlessWindowBackend::~HeadlessWindowBackend() {
    std::erase(platform.windows, this);
}

std::optional<UiSize> HeadlessWindowBackend::ImageSize(const std::string& path) {
    // PNG: the size sits in the IHDR chunk at bytes 16..23, big-endian.
    std::string head(24, '\0');
    std::ifstream in(path, std::ios::binary);
    if (!in.read(head.data(), 24) || head.compare(1, 3, "PNG") != 0) {
        return std::nullopt;
    }
    auto be32 = [&](std::size_t at) {
        return static_cast<int>(static_cast<unsigned char>(head[at]) << 24 |
                                static_cast<unsigned char>(head[at + 1]) << 16 |
                                static_cast<unsigned char>(head[at + 2]) << 8 |
                                static_cast<unsigned char>(head[at + 3]));
    };
    return UiSize{be32(16), be32(20)};
}

void HeadlessWindowBackend::ForgetControl(CControlUI* control) {
    if (editing && static_cast<CControlUI*>(editing) == control) editing = nullptr;
    if (droppedDown && static_cast<CControlUI*>(droppedDown) == control) droppedDown = nullptr;
}

void HeadlessWindowBackend::SetWindowRect(const UiRect& newRect) {
    rect = newRect;
    window.GetPaintManager()->SetClientSize({rect.Width(), rect.Height()});
}

void HeadlessWindowBackend::Maximize() {
    if (maximized) return;
    restoreRect = rect;
    maximized = true;
    SetWindowRect(platform.screens.empty() ? rect : platform.screens.front().workArea);
}

void HeadlessWindowBackend::Restore() {
    minimized = false;
    if (!maximized) return;
    maximized = false;
    SetWindowRect(restoreRect);
}

void HeadlessWindowBackend::RunModalLoop(const std::function<bool()>& done) {
    platform.RunUntil(done);
}

HeadlessPlatform::HeadlessPlatform(UiLoop& loop) : loop_(loop) {}
HeadlessPlatform::~HeadlessPlatform() = default;

std::unique_ptr<IWindowBackend> HeadlessPlatform::CreateWindowBackend(WindowImplBase& window,
                                                                      CWindowWnd*, unsigned,
                                                                      unsigned) {
    auto backend = std::make_unique<HeadlessWindowBackend>(*this, window);
    return backend;
}

std::unique_ptr<ITrayBackend> HeadlessPlatform::CreateTray(const std::string&,
                                                           const std::string& toolTip,
                                                           std::function<void(bool)> activated) {
    class Tray final : public ITrayBackend {
    public:
        explicit Tray(HeadlessPlatform& owner) : owner_(owner) {}
        ~Tray() override { owner_.trayActivated = nullptr; }
        void SetToolTip(const std::string& text) override { owner_.trayToolTip = text; }
        void SetIconFile(const std::string&) override {}
        void ShowNotice(const std::string& title, const std::string& text) override {
            owner_.trayNotices.emplace_back(title, text);
        }

    private:
        HeadlessPlatform& owner_;
    };
    trayActivated = std::move(activated);
    trayToolTip = toolTip;
    return std::make_unique<Tray>(*this);
}

bool HeadlessPlatform::AddApplicationFont(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::is_regular_file(file, ec);
}

void HeadlessPlatform::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (loop_.ProcessPending() > 0) continue;
        if (!idle || !idle()) return;
    }
}

void HeadlessPlatform::RunMessageLoop() {
    quit_ = false;
    RunUntil([this] { return quit_; });
}

}  // namespace q731
