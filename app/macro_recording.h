#pragma once
// A recording run of the macro panel: the panel's editor takes every key and
// button press and release of the hook's sources until the run ends, which it
// does by the stop button, a device switch, hiding the window, the device
// going, a suspend or the exit, the rows kept in every case. Input aimed at
// our windows is taken from the controls while the run lasts (the stop
// button's click excepted, which ends it and is never recorded).

#include <functional>
#include <memory>
#include <string>

#include "macros/device_hook.h"
#include "platform/clock.h"
#include "platform/question.h"
#include "ui/widgets/window.h"

namespace q731 {

class CMacroControlUI;

// Our windows' input through the platform's input observer.
class WindowInputSource final : public IInputSource {
public:
    // `passThrough`: a press or release the controls must still see (and
    // that is not recorded).
    WindowInputSource(Clock& clock, std::function<bool(const UiInputEvent&)> passThrough);
    ~WindowInputSource() override;
    bool Start(Sink sink) override;
    void Stop() override;
    bool Running() const override { return running_; }
    // Key capture takes only keys: the pointer still works the controls.
    void SetKeysOnly(bool on) { keysOnly_ = on; }

private:
    Clock& clock_;
    std::function<bool(const UiInputEvent&)> passThrough_;
    bool running_ = false;
    bool keysOnly_ = false;
};

// True when a record of the desktop capture reaches our windows too (a key
// while one of them has the focus, a button with the pointer over one): their
// own source has it already, so the desktop's copy is dropped.
bool ReachesOurWindows(const InputRecord& record);

class MacroRecording {
public:
    struct Window {
        // Locks (or frees) what must not change while recording: the device
        // tabs and the page tabs.
        std::function<void(bool locked)> lock;
        // True for input the controls must see: the stop button's click.
        std::function<bool(const UiInputEvent&)> passThrough;
        IQuestionAsker* asker = nullptr;
        // The language text of an id.
        std::function<std::string(std::string_view)> text;
    };

    MacroRecording(Clock& clock, std::unique_ptr<IInputSource> desktop, Window window);
    ~MacroRecording();

    // Starts a run of `panel`'s editor; false when it has no selected macro
    // or our own input cannot be taken.
    bool Start(CMacroControlUI& panel, DelayMode delayMode, HookMode hookMode);
    // Ends the run, keeping and saving its rows. Nothing when none runs.
    void Stop();
    bool Running() const { return panel_ != nullptr; }
    // Key capture for the key box: each key pressed in our windows goes to
    // `onKey` (and is not typed) until StopKeyCapture. Not during a run.
    bool StartKeyCapture(std::function<void(const InputRecord&)> onKey);
    void StopKeyCapture();
    bool Capturing() const { return capturing_; }
    CMacroControlUI* Panel() const { return panel_; }
    CDeviceHook& Hook() { return *hook_; }

private:
    Clock& clock_;
    Window window_;
    std::unique_ptr<WindowInputSource> own_;
    std::unique_ptr<CDeviceHook> hook_;
    CMacroControlUI* panel_ = nullptr;
    bool capturing_ = false;
    bool toldDesktopFailure_ = false;
};

}  // namespace q731
