#pragma once
// Notifications from controls to windows: TNotifyUI, the INotifyUI receiver and
// CNotifyPump, which hands a notification to the sub-window (a page object)
// that a control's "virtualwnd" attribute names.

#include <cstdint>
#include <map>
#include <string>

#include "ui/widgets/ui_types.h"

namespace q731 {

class CControlUI;

// Notification types the toolkit itself sends.
namespace notify {
inline constexpr const char* kClick = "click";
inline constexpr const char* kDbClick = "dbclick";
inline constexpr const char* kSelectChanged = "selectchanged";
inline constexpr const char* kItemSelect = "itemselect";
inline constexpr const char* kItemClick = "itemclick";
inline constexpr const char* kItemActivate = "itemactivate";
inline constexpr const char* kWindowInit = "windowinit";
inline constexpr const char* kWindowSize = "windowsize";
inline constexpr const char* kValueChanged = "valuechanged";
inline constexpr const char* kMoveValueChanged = "movevaluechanged";
inline constexpr const char* kTextChanged = "textchanged";
inline constexpr const char* kSetFocus = "setfocus";
inline constexpr const char* kKillFocus = "killfocus";
inline constexpr const char* kTimer = "timer";
inline constexpr const char* kColorChanged = "colorchanged";
inline constexpr const char* kMouseEnter = "msenter";
inline constexpr const char* kMouseLeave = "msleave";
inline constexpr const char* kCheckClick = "checkclick";
inline constexpr const char* kReturn = "return";
inline constexpr const char* kMenu = "menu";
inline constexpr const char* kDropDown = "dropdown";
}  // namespace notify

struct TNotifyUI {
    std::string sType;
    std::string sVirtualWnd;
    CControlUI* pSender = nullptr;
    std::uint64_t dwTimestamp = 0;  // milliseconds of the loop's clock
    UiPoint ptMouse;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;

    // Registers `pump` as the sub-window `name`; false when the name is taken.
    bool AddVirtualWnd(const std::string& name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const std::string& name);

    // Delivers `msg` to the sub-window its sender belongs to, or to this pump's
    // own HandleNotify when it names none (or one not registered). Returns
    // whether a sub-window took it.
    bool NotifyPump(TNotifyUI& msg);

protected:
    virtual void HandleNotify(TNotifyUI&) {}

private:
    std::map<std::string, CNotifyPump*> virtualWnds_;
};

}  // namespace q731
