#pragma once
// What a control needs to draw itself. The Qt back end paints with QPainter; the
// recording renderer keeps a list of operations so that tests can check what a
// control would draw without a screen.

#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/widgets/image_string.h"
#include "ui/widgets/ui_types.h"

namespace q731 {

struct UiFont {
    std::string family;
    int size = 14;  // pixels, already scaled to the window
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool operator==(const UiFont&) const = default;
};

// An image to draw: the parsed string, the file it resolved to, the device
// rectangle it fills and the window scale (for dest corners).
struct ImageDraw {
    const TDrawInfo* info = nullptr;
    std::string path;
    UiRect dest;
    double scale = 1.0;
    // Hue (-180..180), saturation and lightness (percent, 100 = unchanged) for bHSL images.
    int hue = 0;
    int saturation = 100;
    int lightness = 100;
    // When set, the image's alpha is used as a mask filled with this colour
    // (0xAARRGGBB; its alpha multiplies the image's own): lit keys, icons in a
    // chosen colour.
    std::optional<UiColor> tint{};
};

class IRenderer {
public:
    virtual ~IRenderer() = default;
    virtual void PushClip(const UiRect& rect) = 0;
    virtual void PopClip() = 0;
    virtual void FillRect(const UiRect& rect, UiColor color) = 0;
    virtual void FillRoundRect(const UiRect& rect, int radius, UiColor color) = 0;
    // The ellipse inscribed in `rect`, and one slice of it. Angles are in
    // degrees, 0 at three o'clock, positive counter-clockwise; a negative sweep
    // runs clockwise.
    virtual void FillEllipse(const UiRect& rect, UiColor color) = 0;
    virtual void FillPie(const UiRect& rect, double startDeg, double sweepDeg, UiColor color) = 0;
    virtual void DrawBorder(const UiRect& rect, int width, UiColor color, int radius) = 0;
    // False when the image cannot be loaded; nothing is drawn then.
    virtual bool DrawImage(const ImageDraw& image) = 0;
    virtual void DrawText(const UiRect& rect, std::string_view text, UiColor color,
                          const UiFont& font, unsigned style) = 0;
    // Saturation (x) by value (y) field of one hue, and a hue strip, for colour pickers.
    virtual void DrawColorField(const UiRect& rect, int hue) = 0;
    virtual void DrawHueStrip(const UiRect& rect) = 0;
};

class RecordingRenderer final : public IRenderer {
public:
    enum class Kind {
        Clip,
        Unclip,
        Fill,
        RoundFill,
        Ellipse,
        Pie,
        Border,
        Image,
        Text,
        ColorField,
        HueStrip
    };
    struct Op {
        Kind kind;
        UiRect rect;
        UiColor color = 0;  // fill, border or text colour, or an image's tint (0: none)
        std::string text;   // text, or the image's file name
        int value = 0;      // border width, radius, hue, image fade or pie start angle
        int sweep = 0;      // pie sweep angle
    };

    void PushClip(const UiRect& rect) override { Add(Kind::Clip, rect); }
    void PopClip() override { Add(Kind::Unclip, {}); }
    void FillRect(const UiRect& rect, UiColor color) override { Add(Kind::Fill, rect, color); }
    void FillRoundRect(const UiRect& rect, int radius, UiColor color) override {
        Add(Kind::RoundFill, rect, color, {}, radius);
    }
    void FillEllipse(const UiRect& rect, UiColor color) override {
        Add(Kind::Ellipse, rect, color);
    }
    void FillPie(const UiRect& rect, double startDeg, double sweepDeg, UiColor color) override {
        ops.push_back({Kind::Pie,
                       rect,
                       color,
                       {},
                       static_cast<int>(std::lround(startDeg)),
                       static_cast<int>(std::lround(sweepDeg))});
    }
    void DrawBorder(const UiRect& rect, int width, UiColor color, int) override {
        Add(Kind::Border, rect, color, {}, width);
    }
    bool DrawImage(const ImageDraw& image) override {
        Add(Kind::Image, image.dest, image.tint.value_or(0),
            image.info ? image.info->sImageName : "", image.info ? image.info->uFade : 0);
        return true;
    }
    void DrawText(const UiRect& rect, std::string_view text, UiColor color, const UiFont& font,
                  unsigned) override {
        Add(Kind::Text, rect, color, std::string(text), font.size);
    }
    void DrawColorField(const UiRect& rect, int hue) override {
        Add(Kind::ColorField, rect, 0, {}, hue);
    }
    void DrawHueStrip(const UiRect& rect) override { Add(Kind::HueStrip, rect); }

    std::vector<Op> ops;

private:
    void Add(Kind kind, const UiRect& rect, UiColor color = 0, std::string text = {},
             int value = 0) {
        ops.push_back({kind, rect, color, std::move(text), value, 0});
    }
};

}  // namespace q731
