#include "app/colour_select_window.h"

#include <fmt/format.h>

#include <cctype>
#include <utility>

#include "app/main_window.h"
#include "app/window_fit.h"
#include "platform/log.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/numbered_name.h"

namespace q731 {

namespace {

constexpr const char* kSevenColourImage = "common/base1.png";

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

CColorSelectWnd::CColorSelectWnd(UiLoop& loop, std::filesystem::path userFolder,
                                 std::filesystem::path defaultFolder)
    : WindowImplBase(loop),
      model_(std::make_unique<ColourPaletteModel>(*this, loop, std::move(userFolder),
                                                  std::move(defaultFolder))) {}

CColorSelectWnd::~CColorSelectWnd() = default;

void CColorSelectWnd::InitWindow() {
    palette_ = dynamic_cast<CColorPaletteUI*>(m_pm.FindControl("Pallet"));
    preview_ = m_pm.FindControl("color_show_btn");
    sevenColour_ = dynamic_cast<CCheckBoxUI*>(m_pm.FindControl("7color"));
    sevenColourLayout_ = m_pm.FindControl("7color_layout");
    static constexpr const char* kChannelNames[] = {"color_edit_r", "color_edit_g", "color_edit_b"};
    for (std::size_t i = 0; i < channels_.size(); ++i)
        channels_[i] = m_pm.FindControl(kChannelNames[i]);
    for (int i = 0; i < kPaletteSwatches; ++i) {
        const auto at = static_cast<std::size_t>(i);
        presets_[at] =
            dynamic_cast<COptionUI*>(m_pm.FindControl(fmt::format("color_option_{}", i)));
        collected_[at] =
            dynamic_cast<COptionUI*>(m_pm.FindControl(fmt::format("collect_color_option_{}", i)));
    }
}

void CColorSelectWnd::SetScale(int dpi) {
    if (dpi == dpi_) return;
    dpi = SecondaryWindowScale(dpi);
    dpi_ = dpi;
    ScaleTo(dpi);
}

int CColorSelectWnd::Run() {
    model_->Load();
    return ShowModal();
}

void CColorSelectWnd::Notify(TNotifyUI& msg) {
    if (!msg.pSender) return WindowImplBase::Notify(msg);
    const std::string name = Lower(msg.pSender->GetName());
    if (msg.sType == notify::kColorChanged && name == "pallet") {
        model_->PaletteDragged(static_cast<ArgbColour>(msg.wParam));
        return;
    }
    if (msg.sType == notify::kSelectChanged) {
        // Only the swatch that became selected counts; its group's other
        // option is unselected without a notification.
        auto* option = dynamic_cast<COptionUI*>(msg.pSender);
        const std::optional<NumberedName> numbered = SplitNumberedName(name);
        if (option && option->IsSelected() && numbered) {
            if (numbered->prefix == "color_option_") model_->ChoosePreset(numbered->number);
            if (numbered->prefix == "collect_color_option_")
                model_->ChooseCollected(numbered->number);
        }
        return;
    }
    if (msg.sType == notify::kKillFocus &&
        (name == "color_edit_r" || name == "color_edit_g" || name == "color_edit_b")) {
        model_->ChannelsEdited();
        return;
    }
    if (msg.sType == notify::kCheckClick && name == "7color") {
        model_->SevenColourToggled(msg.wParam != 0);
        return;
    }
    WindowImplBase::Notify(msg);
}

void CColorSelectWnd::OnClick(TNotifyUI& msg) {
    const std::string name = Lower(msg.pSender ? msg.pSender->GetName() : std::string());
    if (name == "okbtn") {
        Close(model_->Accept());
    } else if (name == "closebtn" || name == "laterbtn") {
        Close(palette_result::kClosed);
    } else if (name == "minbtn" || name == "maxbtn" || name == "restorebtn") {
        WindowImplBase::OnClick(msg);
    }
}

bool CColorSelectWnd::OnKeyDown(int key, unsigned) {
    if (key != kKeyEscape) return false;
    Close(palette_result::kClosed);
    return true;
}

LRESULT CColorSelectWnd::HandleCustomMessage(unsigned msg, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (msg == kMsgDpiChanged) {
        // Moved to a monitor of another scale: the palette follows alone.
        const int dpi = static_cast<int>(wParam & 0xFFFF);
        SetScale(dpi);
        handled = true;
    } else if (msg == main_msg::kLanguage) {
        m_pm.NeedUpdate();
        if (CControlUI* root = m_pm.GetRoot()) root->Invalidate();
        handled = true;
    } else if (msg == kMsgDestroy) {
        // Swatch changes still waiting for their save are written now.
        model_->Finish();
    }
    return 0;
}

void CColorSelectWnd::ShowPaletteColour(ArgbColour colour) {
    if (palette_) palette_->SetSelectColor(colour);
}

void CColorSelectWnd::ShowPreviewColour(ArgbColour colour) {
    if (!preview_) return;
    preview_->SetBkColor(colour);
}

std::optional<ArgbColour> CColorSelectWnd::PreviewColour() const {
    if (!preview_) return std::nullopt;
    return preview_->GetBkColor();
}

void CColorSelectWnd::ShowSevenColour(bool on) {
    if (sevenColour_ && sevenColour_->IsSelected() != on) sevenColour_->Selected(on, false);
    if (preview_) preview_->SetBkImage(on ? kSevenColourImage : "");
}

void CColorSelectWnd::ShowSevenColourAvailable(bool available) {
    if (sevenColour_) sevenColour_->SetEnabled(available);
    if (sevenColourLayout_) sevenColourLayout_->SetVisible(available);
}

std::string CColorSelectWnd::ChannelText(ColourChannel channel) const {
    const CControlUI* box = channels_[static_cast<std::size_t>(channel)];
    return box ? box->GetText() : std::string();
}

void CColorSelectWnd::ShowChannelText(ColourChannel channel, const std::string& text) {
    if (CControlUI* box = channels_[static_cast<std::size_t>(channel)]) box->SetText(text);
}

std::optional<ArgbColour> CColorSelectWnd::PresetColour(int index) const {
    if (index < 0 || index >= kPaletteSwatches) return std::nullopt;
    const COptionUI* swatch = presets_[static_cast<std::size_t>(index)];
    if (!swatch) return std::nullopt;
    return swatch->GetBkColor();
}

std::optional<ArgbColour> CColorSelectWnd::CollectedColour(int index) const {
    if (index < 0 || index >= kPaletteSwatches) return std::nullopt;
    const COptionUI* swatch = collected_[static_cast<std::size_t>(index)];
    if (!swatch) return std::nullopt;
    return swatch->GetBkColor();
}

bool CColorSelectWnd::CollectedSelected(int index) const {
    if (index < 0 || index >= kPaletteSwatches) return false;
    const COptionUI* swatch = collected_[static_cast<std::size_t>(index)];
    return swatch && swatch->IsSelected();
}

void CColorSelectWnd::ShowCollected(int index, ArgbColour colour, bool filled) {
    if (index < 0 || index >= kPaletteSwatches) return;
    COptionUI* swatch = collected_[static_cast<std::size_t>(index)];
    if (!swatch) return;
    swatch->SetBkColor(colour);
    swatch->SetSelectedBkColor(colour);
    if (filled) swatch->SetBorderSize(0);
}

}  // namespace q731
