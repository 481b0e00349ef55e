#pragma once
// Painting the toolkit with QPainter: colours, borders, text, colour-picker
// fields, and images from PNG or SVG files with every image-string modifier
// (source, corner, mask, fade, hole, xtiled, ytiled, hsl).

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "ui/widgets/render.h"

namespace q731 {

// Decoded images, shared by every window. SVG files are rendered at the size
// a window's scale asks for, so they stay sharp at any scale.
class QtImageCache {
public:
    static QtImageCache& Instance();

    // The image at `scale` (1.0 = its natural size); a null image when the file
    // is missing or cannot be decoded.
    QImage Get(const QString& path, double scale);
    // The variant with a colour keyed out and/or a hue/saturation/lightness shift.
    QImage GetVariant(const QString& path, double scale, std::optional<UiColor> mask, int hue,
                      int saturation, int lightness);
    std::optional<UiSize> NaturalSize(const QString& path);
    // Drops the images rendered for a particular scale (after a scale change).
    void DropScaled();
    void Clear();

private:
    QHash<QString, QImage> raster_;
    QHash<QString, QImage> scaled_;
    QHash<QString, QImage> variants_;
    QHash<QString, bool> missing_;
};

// The QFont for a toolkit font; an empty family means the application's font.
QFont MakeQFont(const UiFont& font);

class QtRenderer final : public IRenderer {
public:
    explicit QtRenderer(QPainter& painter, QString defaultFamily = {});

    void PushClip(const UiRect& rect) override;
    void PopClip() override;
    void FillRect(const UiRect& rect, UiColor color) override;
    void FillRoundRect(const UiRect& rect, int radius, UiColor color) override;
    void FillEllipse(const UiRect& rect, UiColor color) override;
    void FillPie(const UiRect& rect, double startDeg, double sweepDeg, UiColor color) override;
    void DrawBorder(const UiRect& rect, int width, UiColor color, int radius) override;
    bool DrawImage(const ImageDraw& image) override;
    void DrawText(const UiRect& rect, std::string_view text, UiColor color, const UiFont& font,
                  unsigned style) override;
    void DrawColorField(const UiRect& rect, int hue) override;
    void DrawHueStrip(const UiRect& rect) override;

    static QColor ToQColor(UiColor color);
    static QRect ToQRect(const UiRect& rect);
    QFont ToQFont(const UiFont& font) const;

private:
    void DrawPart(const QImage& image, const QRect& dest, const QRect& source, bool tileX,
                  bool tileY);

    QPainter& painter_;
    QString defaultFamily_;
    std::vector<QRegion> clips_;
};

}  // namespace q731
