#include "ui/controls/hand_image_buttons.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "ui/widgets/paint_manager.h"

namespace q731 {

namespace {

inline constexpr const char* kNotifyHandDelete = "click_handdelete";

constexpr std::array<std::string_view, 14> kCursorNames = {
    "arrow",    "ibeam",    "wait",   "cross",  "uparrow", "size", "icon",
    "sizenwse", "sizenesw", "sizewe", "sizens", "sizeall", "no",   "hand",
};

}  // namespace

bool CHandImgButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    const std::string key = ToLower(name);
    if (key == "handimage") {
        SetHandImage(std::string(value));
    } else if (key == "deletenormalimage") {
        SetDeleteImages(std::string(value), deleteHotImage_);
    } else if (key == "deletehotimage") {
        SetDeleteImages(deleteNormalImage_, std::string(value));
    } else if (key == "nodelete") {
        SetNoDelete(ParseBool(value));
    } else {
        return CButtonUI::SetAttribute(name, value);
    }
    return true;
}

void CHandImgButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEventType::MouseEnter:
            CButtonUI::DoEvent(event);
            TrackPointer(event.ptMouse);
            SendNotify(notify::kMouseEnter);
            return;
        case UiEventType::MouseLeave:
            CButtonUI::DoEvent(event);
            SendNotify(notify::kMouseLeave);
            return;
        case UiEventType::MouseMove:
            TrackPointer(event.ptMouse);
            break;
        case UiEventType::ButtonUp:
            if ((state_ & kStatePushed) && !noDelete_ && GetDeleteRect().Contains(event.ptMouse)) {
                state_ &= ~kStatePushed;
                Invalidate();
                SendNotify(kNotifyHandDelete);
                return;
            }
            break;
        default:
            break;
    }
    CButtonUI::DoEvent(event);
}

void CHandImgButtonUI::PaintStatusImage(IRenderer& renderer) {
    CButtonUI::PaintStatusImage(renderer);
    DrawImage(renderer, handImage_);
    if ((state_ & kStateHot) && !noDelete_) {
        DrawImage(renderer, currentDeleteImage_, GetDeleteRect());
    }
}

void CHandImgButtonUI::SetHandImage(std::string image) {
    handImage_ = std::move(image);
    Invalidate();
}

void CHandImgButtonUI::SetDeleteImages(std::string normal, std::string hot) {
    deleteNormalImage_ = std::move(normal);
    deleteHotImage_ = std::move(hot);
    currentDeleteImage_ = deleteNormalImage_;
    Invalidate();
}

void CHandImgButtonUI::SetNoDelete(bool on) {
    if (noDelete_ == on) return;
    noDelete_ = on;
    Invalidate();
}

UiRect CHandImgButtonUI::GetDeleteRect() const {
    const int left = rcItem_.right - Scale(kDeleteFromRight);
    const int top = rcItem_.bottom - Scale(kDeleteFromBottom);
    return {left, top, left + Scale(kDeleteSize), top + Scale(kDeleteSize)};
}

void CHandImgButtonUI::TrackPointer(UiPoint point) {
    const std::string& wanted =
        GetDeleteRect().Contains(point) ? deleteHotImage_ : deleteNormalImage_;
    if (currentDeleteImage_ == wanted) return;
    currentDeleteImage_ = wanted;
    Invalidate();
}

bool CHandImgSelectButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    const std::string key = ToLower(name);
    if (key == "handimage") {
        SetHandImage(std::string(value));
    } else if (key == "cursor") {
        const std::string cursor = ToLower(value);
        if (std::find(kCursorNames.begin(), kCursorNames.end(), cursor) != kCursorNames.end()) {
            cursor_ = cursor;
        }
    } else {
        return CButtonUI::SetAttribute(name, value);
    }
    return true;
}

void CHandImgSelectButtonUI::DoInit() {
    Rebuild();
}

void CHandImgSelectButtonUI::SetPos(const UiRect& rc) {
    const UiSize before{rcItem_.Width(), rcItem_.Height()};
    CButtonUI::SetPos(rc);
    if (before != UiSize{rcItem_.Width(), rcItem_.Height()}) Rebuild();
}

void CHandImgSelectButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEventType::ButtonDown:
            if (IsEnabled() && rcItem_.Contains(event.ptMouse)) {
                dragging_ = true;
                lastPoint_ = event.ptMouse;
            }
            break;
        case UiEventType::MouseMove:
            if (dragging_) {
                // The image follows the pointer, so the window moves against it.
                if (IsPannable()) {
                    Pan(lastPoint_.x - event.ptMouse.x, lastPoint_.y - event.ptMouse.y);
                }
                lastPoint_ = event.ptMouse;
            }
            break;
        case UiEventType::ButtonUp:
            dragging_ = false;
            break;
        default:
            break;
    }
    CButtonUI::DoEvent(event);
}

void CHandImgSelectButtonUI::PaintStatusImage(IRenderer& renderer) {
    CButtonUI::PaintStatusImage(renderer);
    DrawImage(renderer, imageString_);
}

void CHandImgSelectButtonUI::SetHandImage(std::string file) {
    handImage_ = std::move(file);
    source_ = {};
    Rebuild();
}

bool CHandImgSelectButtonUI::IsPannable() const {
    const int width = rcItem_.Width();
    const int height = rcItem_.Height();
    return width > 0 && height > 0 && (imageSize_.cx > width || imageSize_.cy > height);
}

void CHandImgSelectButtonUI::Rebuild() {
    imageSize_ = {};
    if (handImage_.empty()) {
        imageString_.clear();
        source_ = {};
        Invalidate();
        return;
    }
    if (manager_) {
        if (const TImageInfo* info = manager_->GetImageEx(handImage_)) imageSize_ = info->size;
    }
    if (!IsPannable()) {
        // The whole image fills the button.
        source_ = {0, 0, imageSize_.cx, imageSize_.cy};
        imageString_ = fmt::format("file='{}'", handImage_);
        Invalidate();
        return;
    }
    Pan(0, 0);
}

void CHandImgSelectButtonUI::Pan(int dx, int dy) {
    const int width = rcItem_.Width();
    const int height = rcItem_.Height();
    // The move is made first and the window then kept inside the image, so a
    // fast drag stops at the image's edge instead of short of it.
    const int left = std::clamp(source_.left + dx, 0, std::max(0, imageSize_.cx - width));
    const int top = std::clamp(source_.top + dy, 0, std::max(0, imageSize_.cy - height));
    source_ = {left, top, left + width, top + height};
    UpdateImageString();
}

void CHandImgSelectButtonUI::UpdateImageString() {
    std::string updated = fmt::format("file='{}' source='{},{},{},{}'", handImage_, source_.left,
                                      source_.top, source_.right, source_.bottom);
    if (updated == imageString_) return;
    imageString_ = std::move(updated);
    Invalidate();
}

}  // namespace q731
