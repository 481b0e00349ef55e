#pragma once
// CDeviceHook: the recording hook. While set it hands every key and button
// record of its sources to one sink on the UI thread: our own windows' input
// (always available, and what key capture uses) and, where the desktop allows
// it, input aimed at other programs. Nothing is grabbed: other programs keep
// their input. A record both sources see (a key while our window has the
// focus, a click over it) counts once: the outside copy is dropped.

#include <functional>
#include <memory>
#include <string>

#include "macros/macro_editor.h"
#include "macros/macro_input.h"

namespace q731 {

class CDeviceHook {
public:
    // True when a record of the outside source would reach our windows too.
    using OursTest = std::function<bool(const InputRecord&)>;

    CDeviceHook(IInputSource& window, std::unique_ptr<IInputSource> outside, OursTest ours);
    virtual ~CDeviceHook();
    CDeviceHook(const CDeviceHook&) = delete;
    CDeviceHook& operator=(const CDeviceHook&) = delete;

    // Replaces any hook set before. False (nothing set) when the window's own
    // input cannot be taken; the outside source failing only means its
    // records are missing, which OutsideFailure() then explains.
    bool SetHook(int caller, HookMode mode, IInputSource::Sink sink, bool useWindow,
                 bool useOutside);
    // 1 when a hook was removed, 0 when none was set.
    int RemoveHook();

    bool Active() const { return active_; }
    HookMode Mode() const { return mode_; }
    bool OutsideRunning() const { return outside_ && outside_->Running(); }
    // Why the outside source is not running (empty when it is or was not asked).
    const std::string& OutsideFailure() const { return outsideFailure_; }

private:
    IInputSource& window_;
    std::unique_ptr<IInputSource> outside_;
    OursTest ours_;
    bool active_ = false;
    HookMode mode_ = HookMode::Append;
    int caller_ = 0;
    std::string outsideFailure_;
};

// A source that plays what a test or a tool feeds it, and can be made to fail
// at start.
class ScriptedInputSource final : public IInputSource {
public:
    explicit ScriptedInputSource(std::string failure = {}) : failure_(std::move(failure)) {}
    bool Start(Sink sink) override;
    void Stop() override { sink_ = nullptr; }
    bool Running() const override { return static_cast<bool>(sink_); }
    std::string Failure() const override { return failure_; }
    // Hands `record` to the sink when running; false otherwise.
    bool Feed(const InputRecord& record);
    int Starts() const { return starts_; }

private:
    std::string failure_;
    Sink sink_;
    int starts_ = 0;
};

}  // namespace q731
