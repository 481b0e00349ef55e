#include "ui/widgets/notify.h"

namespace q731 {

bool CNotifyPump::AddVirtualWnd(const std::string& name, CNotifyPump* pump) {
    if (name.empty() || pump == nullptr || pump == this) return false;
    return virtualWnds_.emplace(name, pump).second;
}

bool CNotifyPump::RemoveVirtualWnd(const std::string& name) {
    return virtualWnds_.erase(name) > 0;
}

bool CNotifyPump::NotifyPump(TNotifyUI& msg) {
    if (!msg.sVirtualWnd.empty()) {
        auto it = virtualWnds_.find(msg.sVirtualWnd);
        if (it != virtualWnds_.end()) {
            it->second->HandleNotify(msg);
            return true;
        }
    }
    HandleNotify(msg);
    return false;
}

}  // namespace q731
