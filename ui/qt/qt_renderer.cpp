#include "ui/qt/qt_renderer.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QSvgRenderer>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace q731 {

namespace {

bool IsSvg(const QString& path) {
    return path.endsWith(".svg", Qt::CaseInsensitive);
}

// Images larger than this are refused rather than decoded: a skin file is untrusted.
constexpr int kMaxImageSide = 8192;

QString ScaledKey(const QString& path, double scale) {
    return path + '@' + QString::number(scale, 'f', 3);
}

}  // namespace

QtImageCache& QtImageCache::Instance() {
    static QtImageCache cache;
    return cache;
}

std::optional<UiSize> QtImageCache::NaturalSize(const QString& path) {
    if (IsSvg(path)) {
        QSvgRenderer svg(path);
        if (!svg.isValid()) return std::nullopt;
        QSize size = svg.defaultSize();
        return UiSize{size.width(), size.height()};
    }
    QImageReader reader(path);
    QSize size = reader.size();
    if (!size.isValid()) return std::nullopt;
    return UiSize{size.width(), size.height()};
}

QImage QtImageCache::Get(const QString& path, double scale) {
    if (missing_.contains(path)) return {};
    if (!IsSvg(path)) {
        auto it = raster_.find(path);
        if (it != raster_.end()) return *it;
        QImageReader reader(path);
        QSize size = reader.size();
        if (!size.isValid() || size.width() > kMaxImageSide || size.height() > kMaxImageSide) {
            missing_.insert(path, true);
            return {};
        }
        QImage image = reader.read();
        if (image.isNull()) {
            missing_.insert(path, true);
            return {};
        }
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        raster_.insert(path, image);
        return image;
    }
    QString key = ScaledKey(path, scale);
    if (auto it = scaled_.find(key); it != scaled_.end()) return *it;
    QSvgRenderer svg(path);
    if (!svg.isValid()) {
        missing_.insert(path, true);
        return {};
    }
    QSize size = svg.defaultSize();
    size = QSize(std::clamp(int(std::lround(size.width() * scale)), 1, kMaxImageSide),
                 std::clamp(int(std::lround(size.height() * scale)), 1, kMaxImageSide));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    scaled_.insert(key, image);
    return image;
}

QImage QtImageCache::GetVariant(const QString& path, double scale, std::optional<UiColor> mask,
                                int hue, int saturation, int lightness) {
    bool shift = hue != 0 || saturation != 100 || lightness != 100;
    QImage base = Get(path, scale);
    if (base.isNull() || (!mask && !shift)) return base;
    QString key = ScaledKey(path, scale) + QStringLiteral("|%1|%2|%3|%4")
                                               .arg(mask ? qulonglong(*mask) : 0x100000000ull)
                                               .arg(hue)
                                               .arg(saturation)
                                               .arg(lightness);
    if (auto it = variants_.find(key); it != variants_.end()) return *it;
    QImage image = base.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            QRgb& px = line[x];
            if (mask && (px & 0xFFFFFF) == (*mask & 0xFFFFFF)) {
                px = 0;
                continue;
            }
            if (!shift || qAlpha(px) == 0) continue;
            QColor color = QColor::fromRgba(px);
            float h, s, l, a;
            color.getHslF(&h, &s, &l, &a);
            if (h >= 0) h = std::fmod(h + hue / 360.0f + 1.0f, 1.0f);
            s = std::clamp(s * saturation / 100.0f, 0.0f, 1.0f);
            l = std::clamp(l * lightness / 100.0f, 0.0f, 1.0f);
            px = QColor::fromHslF(std::max(h, 0.0f), s, l, a).rgba();
        }
    }
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    variants_.insert(key, image);
    return image;
}

void QtImageCache::DropScaled() {
    scaled_.clear();
    variants_.clear();
}

void QtImageCache::Clear() {
    raster_.clear();
    scaled_.clear();
    variants_.clear();
    missing_.clear();
}

QtRenderer::QtRenderer(QPainter& painter, QString defaultFamily)
    : painter_(painter), defaultFamily_(std::move(defaultFamily)) {
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

QColor QtRenderer::ToQColor(UiColor color) {
    return QColor::fromRgba(color);
}

QRect QtRenderer::ToQRect(const UiRect& rect) {
    return QRect(rect.left, rect.top, std::max(0, rect.Width()), std::max(0, rect.Height()));
}

QFont MakeQFont(const UiFont& font) {
    QFont qfont = QGuiApplication::font();
    if (!font.family.empty()) qfont.setFamily(QString::fromStdString(font.family));
    qfont.setPixelSize(std::max(1, font.size));
    qfont.setBold(font.bold);
    qfont.setUnderline(font.underline);
    qfont.setItalic(font.italic);
    return qfont;
}

QFont QtRenderer::ToQFont(const UiFont& font) const {
    QFont qfont(font.family.empty() ? defaultFamily_ : QString::fromStdString(font.family));
    qfont.setPixelSize(std::max(1, font.size));
    qfont.setBold(font.bold);
    qfont.setUnderline(font.underline);
    qfont.setItalic(font.italic);
    return qfont;
}

void QtRenderer::PushClip(const UiRect& rect) {
    QRegion region(ToQRect(rect));
    if (!clips_.empty()) region = region.intersected(clips_.back());
    clips_.push_back(region);
    painter_.setClipRegion(region);
}

void QtRenderer::PopClip() {
    if (clips_.empty()) return;
    clips_.pop_back();
    if (clips_.empty()) {
        painter_.setClipping(false);
    } else {
        painter_.setClipRegion(clips_.back());
    }
}

void QtRenderer::FillRect(const UiRect& rect, UiColor color) {
    painter_.fillRect(ToQRect(rect), ToQColor(color));
}

void QtRenderer::FillRoundRect(const UiRect& rect, int radius, UiColor color) {
    painter_.save();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ToQColor(color));
    painter_.drawRoundedRect(ToQRect(rect), radius, radius);
    painter_.restore();
}

void QtRenderer::FillEllipse(const UiRect& rect, UiColor color) {
    painter_.save();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ToQColor(color));
    painter_.drawEllipse(QRectF(ToQRect(rect)));
    painter_.restore();
}

void QtRenderer::FillPie(const UiRect& rect, double startDeg, double sweepDeg, UiColor color) {
    painter_.save();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(ToQColor(color));
    // QPainter counts angles in sixteenths of a degree, counter-clockwise.
    painter_.drawPie(QRectF(ToQRect(rect)), int(std::lround(startDeg * 16)),
                     int(std::lround(sweepDeg * 16)));
    painter_.restore();
}

void QtRenderer::DrawBorder(const UiRect& rect, int width, UiColor color, int radius) {
    painter_.save();
    QPen pen(ToQColor(color));
    pen.setWidth(width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    // The pen is centred on the path: inset by half its width to stay inside.
    QRectF area =
        QRectF(ToQRect(rect)).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0);
    if (radius > 0) {
        painter_.drawRoundedRect(area, radius, radius);
    } else {
        painter_.drawRect(area);
    }
    painter_.restore();
}

void QtRenderer::DrawPart(const QImage& image, const QRect& dest, const QRect& source, bool tileX,
                          bool tileY) {
    if (dest.isEmpty() || source.isEmpty()) return;
    if (!tileX && !tileY) {
        painter_.drawImage(dest, image, source);
        return;
    }
    int stepX = tileX ? source.width() : dest.width();
    int stepY = tileY ? source.height() : dest.height();
    painter_.save();
    painter_.setClipRect(dest, Qt::IntersectClip);
    for (int y = dest.top(); y < dest.top() + dest.height(); y += stepY) {
        for (int x = dest.left(); x < dest.left() + dest.width(); x += stepX) {
            painter_.drawImage(QRect(x, y, stepX, stepY), image, source);
        }
    }
    painter_.restore();
}

bool QtRenderer::DrawImage(const ImageDraw& draw) {
    if (!draw.info || draw.dest.IsEmpty()) return false;
    const TDrawInfo& info = *draw.info;
    QString path = QString::fromStdString(draw.path);
    QImage image = QtImageCache::Instance().GetVariant(
        path, draw.scale, info.dwMask, info.bHSL ? draw.hue : 0, info.bHSL ? draw.saturation : 100,
        info.bHSL ? draw.lightness : 100);
    if (image.isNull()) return false;
    if (draw.tint) {
        // Not cached: tints follow live LED colours and would fill the cache.
        image = image.copy();
        QPainter tint(&image);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(image.rect(), ToQColor(*draw.tint));
    }
    // Source and corner are in the image's own pixels; an SVG was rendered at scale.
    double imageScale = IsSvg(path) ? draw.scale : 1.0;
    auto s = [&](int v) { return int(std::lround(v * imageScale)); };
    QRect source = image.rect();
    if (info.rcSource) {
        source = QRect(s(info.rcSource->left), s(info.rcSource->top), s(info.rcSource->Width()),
                       s(info.rcSource->Height()))
                     .intersected(image.rect());
        if (source.isEmpty()) return false;
    }
    QRect dest = ToQRect(draw.dest);
    painter_.save();
    painter_.setOpacity(painter_.opacity() * info.uFade / 255.0);
    const UiRect& c = info.rcCorner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        if (!info.bHole) DrawPart(image, dest, source, info.bTiledX, info.bTiledY);
        painter_.restore();
        return true;
    }
    // Nine parts: corners keep their size (scaled to the window), edges stretch
    // or tile along one axis, the middle stretches or tiles (or stays empty: hole).
    int sl = std::min(s(c.left), source.width()), sr = std::min(s(c.right), source.width() - sl);
    int st = std::min(s(c.top), source.height()), sb = std::min(s(c.bottom), source.height() - st);
    int dl = std::min(int(std::lround(c.left * draw.scale)), dest.width());
    int dr = std::min(int(std::lround(c.right * draw.scale)), dest.width() - dl);
    int dt = std::min(int(std::lround(c.top * draw.scale)), dest.height());
    int db = std::min(int(std::lround(c.bottom * draw.scale)), dest.height() - dt);
    int sx[4] = {source.left(), source.left() + sl, source.left() + source.width() - sr,
                 source.left() + source.width()};
    int sy[4] = {source.top(), source.top() + st, source.top() + source.height() - sb,
                 source.top() + source.height()};
    int dx[4] = {dest.left(), dest.left() + dl, dest.left() + dest.width() - dr,
                 dest.left() + dest.width()};
    int dy[4] = {dest.top(), dest.top() + dt, dest.top() + dest.height() - db,
                 dest.top() + dest.height()};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (row == 1 && col == 1 && info.bHole) continue;
            QRect part(QPoint(dx[col], dy[row]), QPoint(dx[col + 1] - 1, dy[row + 1] - 1));
            QRect from(QPoint(sx[col], sy[row]), QPoint(sx[col + 1] - 1, sy[row + 1] - 1));
            bool middleX = col == 1, middleY = row == 1;
            DrawPart(image, part, from, middleX && info.bTiledX, middleY && info.bTiledY);
        }
    }
    painter_.restore();
    return true;
}

void QtRenderer::DrawText(const UiRect& rect, std::string_view text, UiColor color,
                          const UiFont& font, unsigned style) {
    QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QRect area = ToQRect(rect);
    if (area.isEmpty() || qtext.isEmpty()) return;
    painter_.save();
    QFont qfont = ToQFont(font);
    painter_.setFont(qfont);
    painter_.setPen(ToQColor(color));
    int flags = 0;
    flags |= (style & kTextCenter)  ? Qt::AlignHCenter
             : (style & kTextRight) ? Qt::AlignRight
                                    : Qt::AlignLeft;
    flags |= (style & kTextVCenter)  ? Qt::AlignVCenter
             : (style & kTextBottom) ? Qt::AlignBottom
                                     : Qt::AlignTop;
    if (style & kTextWordBreak) flags |= Qt::TextWordWrap;
    if ((style & kTextEndEllipsis) && !(style & kTextWordBreak)) {
        qtext = QFontMetrics(qfont).elidedText(qtext, Qt::ElideRight, area.width());
    }
    painter_.drawText(area, flags, qtext);
    painter_.restore();
}

void QtRenderer::DrawColorField(const UiRect& rect, int hue) {
    QRect area = ToQRect(rect);
    QLinearGradient across(area.topLeft(), area.topRight());
    across.setColorAt(0, Qt::white);
    across.setColorAt(1, QColor::fromHsv(std::clamp(hue, 0, 359), 255, 255));
    painter_.fillRect(area, across);
    QLinearGradient down(area.topLeft(), area.bottomLeft());
    down.setColorAt(0, QColor(0, 0, 0, 0));
    down.setColorAt(1, QColor(0, 0, 0, 255));
    painter_.fillRect(area, down);
}

void QtRenderer::DrawHueStrip(const UiRect& rect) {
    QRect area = ToQRect(rect);
    QLinearGradient strip(area.topLeft(), area.topRight());
    for (int i = 0; i <= 6; ++i)
        strip.setColorAt(i / 6.0, QColor::fromHsv((i * 60) % 360, 255, 255));
    painter_.save();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(strip);
    painter_.drawRoundedRect(area, area.height() / 4.0, area.height() / 4.0);
    painter_.restore();
}

}  // namespace q731
