#pragma once
// CMusicWnd: the modal window of the four music styles. Choosing a style
// makes it the active one and shows its three weights on the sliders; the
// sliders change the active style; a name box left empty gets the style's
// default name. The opener reads the styles after OK (result 1); closing the
// window (result 0) changes nothing.

#include <array>
#include <string>

#include "lighting_extras/audio_styles.h"
#include "ui/widgets/window.h"

namespace q731 {

class COptionUI;
class CSliderUI;
class CEditUI;

class CMusicWnd final : public WindowImplBase {
public:
    explicit CMusicWnd(UiLoop& loop, AudioLightStyles styles);

    std::string GetWindowClassName() const override { return "MusicWnd"; }
    std::string GetSkinFile() override { return "music.xml"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    bool OnKeyDown(int key, unsigned modifiers) override;

    // 48, 72, 96, 120, 144, 168 and 192 dpi are taken; anything else is 96.
    void SetScale(int dpi);
    int Scale() const { return dpi_; }
    // Runs the window modally: 1 for OK, 0 otherwise.
    int Run() { return ShowModal(); }
    // The styles as the window has them (the names as their boxes hold them).
    AudioLightStyles Styles() const;

protected:
    void OnClick(TNotifyUI& msg) override;

private:
    void ShowActive();

    AudioLightStyles styles_;
    std::array<COptionUI*, 4> tabs_{};
    std::array<CEditUI*, 4> names_{};
    std::array<CSliderUI*, 3> sliders_{};
    std::array<CControlUI*, 3> values_{};
    int dpi_ = 96;
};

}  // namespace q731
