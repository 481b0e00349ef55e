#pragma once
// The about window: the product and its version.

#include "ui/widgets/window.h"

namespace q731 {

inline constexpr const char* kAppVersionText = "V1.0.1.4";

class CAboutWnd : public WindowImplBase {
public:
    explicit CAboutWnd(UiLoop& loop) : WindowImplBase(loop) {}
    std::string GetWindowClassName() const override { return "AboutWnd"; }
    std::string GetSkinFile() override { return "AboutWnd.xml"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    // The language changed (3089): the version line is built again.
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
};

}  // namespace q731
