#pragma once
// Buttons that show a picture the user chose:
// - CHandImgButtonUI ("HandImgButton"): a picture on a button, with a delete
//   mark in its lower right corner while the pointer is over it.
// - CHandImgSelectButtonUI ("HandImgSelectButton"): a picture larger than the
//   button, which the user pans by dragging to choose the part that shows.

#include <string>

#include "ui/widgets/buttons.h"

namespace q731 {

class CHandImgButtonUI : public CButtonUI {
public:
    // The delete corner in design pixels: its left edge lies this far left of
    // the button's right edge, its top this far above the bottom edge.
    static constexpr int kDeleteSize = 20;
    static constexpr int kDeleteFromRight = 30;
    static constexpr int kDeleteFromBottom = 29;

    std::string_view GetClass() const override { return "HandImgButton"; }
    // "handimage", "deletenormalimage", "deletehotimage", "nodelete".
    bool SetAttribute(std::string_view name, std::string_view value) override;
    // Sends "msenter" and "msleave"; a release inside the delete corner of a
    // button that was pressed sends "click_handdelete" instead of "click".
    void DoEvent(TEventUI& event) override;
    void PaintStatusImage(IRenderer& renderer) override;

    void SetHandImage(std::string image);
    const std::string& GetHandImage() const { return handImage_; }
    void SetDeleteImages(std::string normal, std::string hot);
    // The delete image in use: the hot one while the pointer is in the corner.
    const std::string& GetCurrentDeleteImage() const { return currentDeleteImage_; }
    // With no-delete on (the default) the corner shows nothing and does nothing.
    void SetNoDelete(bool on);
    bool IsNoDelete() const { return noDelete_; }
    // Device pixels, scaled with the window.
    UiRect GetDeleteRect() const;

private:
    void TrackPointer(UiPoint point);

    std::string handImage_;
    std::string deleteNormalImage_;
    std::string deleteHotImage_;
    std::string currentDeleteImage_;
    bool noDelete_ = true;
};

class CHandImgSelectButtonUI : public CButtonUI {
public:
    std::string_view GetClass() const override { return "HandImgSelectButton"; }
    // "handimage" (a file name) and "cursor".
    bool SetAttribute(std::string_view name, std::string_view value) override;
    void DoInit() override;
    void SetPos(const UiRect& rc) override;
    void DoEvent(TEventUI& event) override;
    void PaintStatusImage(IRenderer& renderer) override;

    void SetHandImage(std::string file);
    const std::string& GetHandImage() const { return handImage_; }
    // The image string drawn over the button: the file, and while the image is
    // larger than the button, the part of it that shows.
    const std::string& GetImageString() const { return imageString_; }
    // In image pixels; one image pixel per device pixel.
    const UiRect& GetSourceWindow() const { return source_; }
    UiSize GetImageSize() const { return imageSize_; }
    bool IsPannable() const;
    bool IsDragging() const { return dragging_; }
    // One of the system cursor names; kept for the back end, "arrow" by default.
    const std::string& GetCursor() const { return cursor_; }

private:
    // Reads the image size and fits the source window to the button.
    void Rebuild();
    // Moves the window by (dx, dy), then keeps it inside the image.
    void Pan(int dx, int dy);
    void UpdateImageString();

    std::string handImage_;
    std::string imageString_;
    UiSize imageSize_;
    UiRect source_;
    UiPoint lastPoint_;
    bool dragging_ = false;
    std::string cursor_ = "arrow";
};

}  // namespace q731
