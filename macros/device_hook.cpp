#include "macros/device_hook.h"

#include "platform/log.h"

namespace q731 {

CDeviceHook::CDeviceHook(IInputSource& window, std::unique_ptr<IInputSource> outside, OursTest ours)
    : window_(window), outside_(std::move(outside)), ours_(std::move(ours)) {}

CDeviceHook::~CDeviceHook() {
    RemoveHook();
}

bool CDeviceHook::SetHook(int caller, HookMode mode, IInputSource::Sink sink, bool useWindow,
                          bool useOutside) {
    RemoveHook();
    if (useWindow && !window_.Start(sink)) return false;
    outsideFailure_.clear();
    if (useOutside && outside_) {
        auto filtered = [sink, ours = ours_](const InputRecord& record) {
            if (ours && ours(record)) return;
            sink(record);
        };
        if (!outside_->Start(filtered)) {
            outsideFailure_ = outside_->Failure();
            if (outsideFailure_.empty()) outsideFailure_ = "the input capture did not start";
            LogWarning("macros: input of other programs is not recorded: " + outsideFailure_);
        }
    } else if (useOutside) {
        outsideFailure_ = "no input capture for this desktop";
    }
    caller_ = caller;
    mode_ = mode;
    active_ = true;
    return true;
}

int CDeviceHook::RemoveHook() {
    const bool was = active_;
    window_.Stop();
    if (outside_) outside_->Stop();
    active_ = false;
    return was ? 1 : 0;
}

bool ScriptedInputSource::Start(Sink sink) {
    ++starts_;
    if (!failure_.empty()) return false;
    sink_ = std::move(sink);
    return true;
}

bool ScriptedInputSource::Feed(const InputRecord& record) {
    if (!sink_) return false;
    sink_(record);
    return true;
}

}  // namespace q731
