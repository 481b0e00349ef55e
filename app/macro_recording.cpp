#include "app/macro_recording.h"

#include "app/macro_control.h"
#include "platform/log.h"

namespace q731 {

WindowInputSource::WindowInputSource(Clock& clock,
                                     std::function<bool(const UiInputEvent&)> passThrough)
    : clock_(clock), passThrough_(std::move(passThrough)) {}

WindowInputSource::~WindowInputSource() {
    Stop();
}

bool WindowInputSource::Start(Sink sink) {
    IUiPlatform* platform = GetUiPlatform();
    if (!platform) return false;
    platform->SetInputObserver([this, sink = std::move(sink)](const UiInputEvent& event) {
        if (passThrough_ && passThrough_(event)) return false;
        if (keysOnly_ && event.kind != UiInputEvent::Kind::Key) return false;
        InputRecord record;
        record.kind = event.kind == UiInputEvent::Kind::Key ? InputRecord::Kind::Key
                                                            : InputRecord::Kind::Button;
        record.code = event.code;
        record.down = event.down;
        record.repeat = event.repeat;
        record.time = clock_.Now();
        sink(record);
        return true;  // recorded: the controls do not act on it
    });
    running_ = true;
    return true;
}

void WindowInputSource::Stop() {
    if (!running_) return;
    running_ = false;
    if (IUiPlatform* platform = GetUiPlatform()) platform->SetInputObserver(nullptr);
}

bool ReachesOurWindows(const InputRecord& record) {
    IUiPlatform* platform = GetUiPlatform();
    if (!platform) return false;
    return record.kind == InputRecord::Kind::Key ? platform->OwnsKeyboardFocus()
                                                 : platform->PointerOverOurWindow();
}

MacroRecording::MacroRecording(Clock& clock, std::unique_ptr<IInputSource> desktop, Window window)
    : clock_(clock), window_(std::move(window)) {
    own_ = std::make_unique<WindowInputSource>(clock_, window_.passThrough);
    hook_ = std::make_unique<CDeviceHook>(*own_, std::move(desktop), ReachesOurWindows);
}

MacroRecording::~MacroRecording() {
    Stop();
}

bool MacroRecording::StartKeyCapture(std::function<void(const InputRecord&)> onKey) {
    if (panel_) return false;
    StopKeyCapture();
    own_->SetKeysOnly(true);
    auto sink = [onKey = std::move(onKey)](const InputRecord& record) {
        if (record.kind == InputRecord::Kind::Key && record.down) onKey(record);
    };
    capturing_ = hook_->SetHook(0, HookMode::Capture, sink, true, false);
    if (!capturing_) own_->SetKeysOnly(false);
    return capturing_;
}

void MacroRecording::StopKeyCapture() {
    if (!capturing_) return;
    capturing_ = false;
    hook_->RemoveHook();
    own_->SetKeysOnly(false);
}

bool MacroRecording::Start(CMacroControlUI& panel, DelayMode delayMode, HookMode hookMode) {
    Stop();
    StopKeyCapture();
    MacroEditor* editor = panel.Editor();
    if (!editor || editor->SelectedMacro() < 0) return false;
    auto sink = [this](const InputRecord& record) {
        if (panel_ && panel_->Editor()) panel_->Editor()->OnInput(record);
    };
    if (!hook_->SetHook(0, hookMode, sink, true, true)) return false;
    if (!hook_->OutsideFailure().empty() && !toldDesktopFailure_) {
        // Once per program start, before the run takes our own input (the
        // box's button would be recorded otherwise).
        toldDesktopFailure_ = true;
        const std::string why = hook_->OutsideFailure();
        hook_->RemoveHook();
        if (window_.asker) {
            std::string text = window_.text ? window_.text("message_text_145") : std::string();
            if (const std::size_t at = text.find("%s"); at != std::string::npos)
                text.replace(at, 2, why);
            Question question;
            question.text = text.empty() ? why : text;
            question.textIsId = false;
            window_.asker->Ask(question);
        }
        if (!hook_->SetHook(0, hookMode, sink, true, false)) return false;
    }
    editor->StartRun(delayMode, hookMode, clock_.Now());
    if (!editor->Recording()) {
        hook_->RemoveHook();
        return false;
    }
    panel_ = &panel;
    if (window_.lock) window_.lock(true);
    return true;
}

void MacroRecording::Stop() {
    if (!panel_) return;
    CMacroControlUI* panel = panel_;
    panel_ = nullptr;
    hook_->RemoveHook();
    if (MacroEditor* editor = panel->Editor()) editor->EndRun();
    if (window_.lock) window_.lock(false);
}

}  // namespace q731
