#pragma once
// CColorSelectWnd: the modal colour palette the main window opens for a DPI
// stage's colour. The window shows the palette model's state and hands its
// controls' events to it; the opener reads the colour after an OK.

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "lighting_extras/colour_palette.h"
#include "ui/widgets/window.h"

namespace q731 {

class CColorPaletteUI;
class CCheckBoxUI;
class COptionUI;

class CColorSelectWnd final : public WindowImplBase, public IColourPaletteView {
public:
    CColorSelectWnd(UiLoop& loop, std::filesystem::path userFolder,
                    std::filesystem::path defaultFolder);
    ~CColorSelectWnd() override;

    std::string GetWindowClassName() const override { return "ColorSelectWnd"; }
    std::string GetSkinFile() override { return "PalletDialog.xml"; }
    void InitWindow() override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    bool OnKeyDown(int key, unsigned modifiers) override;

    // The opener's calls, in this order, then Run.
    // 48, 72, 96, 120, 144, 168 and 192 dpi are taken; anything else is 96.
    void SetScale(int dpi);
    void SetColour(ArgbColour colour) { model_->SetColour(colour); }
    void SetSevenColourAvailable(bool available) { model_->SetSevenColourAvailable(available); }
    // Loads the stored swatches and runs the window modally: 1 for OK, 0 for
    // closing it any other way, 2 for OK without a palette control.
    int Run();
    ArgbColour Colour() const { return model_->Colour(); }

    int Scale() const { return dpi_; }
    ColourPaletteModel& Model() { return *model_; }

    // IColourPaletteView.
    bool HasPalette() const override { return palette_ != nullptr; }
    void ShowPaletteColour(ArgbColour colour) override;
    void ShowPreviewColour(ArgbColour colour) override;
    std::optional<ArgbColour> PreviewColour() const override;
    void ShowSevenColour(bool on) override;
    void ShowSevenColourAvailable(bool available) override;
    std::string ChannelText(ColourChannel channel) const override;
    void ShowChannelText(ColourChannel channel, const std::string& text) override;
    std::optional<ArgbColour> PresetColour(int index) const override;
    std::optional<ArgbColour> CollectedColour(int index) const override;
    bool CollectedSelected(int index) const override;
    void ShowCollected(int index, ArgbColour colour, bool filled) override;

protected:
    void OnClick(TNotifyUI& msg) override;

private:
    std::unique_ptr<ColourPaletteModel> model_;
    CColorPaletteUI* palette_ = nullptr;
    CControlUI* preview_ = nullptr;
    CCheckBoxUI* sevenColour_ = nullptr;
    CControlUI* sevenColourLayout_ = nullptr;
    std::array<CControlUI*, 3> channels_{};
    std::array<COptionUI*, kPaletteSwatches> presets_{};
    std::array<COptionUI*, kPaletteSwatches> collected_{};
    int dpi_ = 96;
};

}  // namespace q731
