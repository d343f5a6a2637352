#include "CreateIcon.h"

#include "Failure.h"
#include "ResourceImage.h"

#include <QIconEngine>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <array>
#include <cmath>

namespace {

QImage loadStrip(const char *path, int width)
{
    QImage image = ResourceImage(QString::fromLatin1(path));
    if (image.isNull() || image.width() != width || image.height() != 16)
        throw SaldomatError(QStringLiteral("Картинка %1 не найдена в ресурсах").arg(QLatin1String(path)));
    return image.convertToFormat(QImage::Format_RGB32);
}

constexpr QRgb White = 0xFFFFFFFF;

// The strip with every inked pixel in one colour.
QImage recoloured(const QImage &strip, QRgb ink)
{
    QImage image = strip;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) | 0xFF000000) != White)
                image.setPixel(x, y, ink);
    return image;
}

// Draws itself through TrayImageAtSize at the size and pixel ratio asked for.
class TrayImageEngine : public QIconEngine {
public:
    explicit TrayImageEngine(QImage image16) : image_(std::move(image16)) { }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = qRound(std::min(rect.width(), rect.height()) * dpr);
        if (side <= 0)
            return;
        QImage image = TrayImageAtSize(image_, side);
        image.setDevicePixelRatio(dpr);
        const QSizeF logical(side / dpr, side / dpr);
        const QPointF at(rect.x() + (rect.width() - logical.width()) / 2,
                         rect.y() + (rect.height() - logical.height()) / 2);
        painter->drawImage(QRectF(at, logical), image);
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode, QIcon::State, qreal scale) override
    {
        const QSize device = size * scale;
        const int side = std::min(device.width(), device.height());
        if (side <= 0)
            return {};
        QImage image(device, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.drawImage(QPoint((device.width() - side) / 2, (device.height() - side) / 2), TrayImageAtSize(image_, side));
        p.end();
        image.setDevicePixelRatio(scale);
        return QPixmap::fromImage(image);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48)};
    }
    QString key() const override { return QStringLiteral("SaldomatTrayImage"); }
    QIconEngine *clone() const override { return new TrayImageEngine(image_); }

private:
    QImage image_;
};

}  // namespace

const QImage &DigitsBitmap()
{
    static const QImage strip = guarded(THIS_ROUTINE, [] { return loadStrip(":/DIGITS.xpm", 58); });
    return strip;
}

const QImage &RedDigitsBitmap()
{
    static const QImage strip = guarded(THIS_ROUTINE, [] { return loadStrip(":/REDDIGITS.xpm", 58); });
    return strip;
}

const QImage &StaleDigitsBitmap()
{
    static const QImage strip = recoloured(DigitsBitmap(), 0xFF808080);
    return strip;
}

const QImage &StaleRedDigitsBitmap()
{
    static const QImage strip = recoloured(DigitsBitmap(), 0xFFFA6E6E);
    return strip;
}

const QImage &AniIconsBitmap()
{
    static const QImage strip = guarded(THIS_ROUTINE, [] { return loadStrip(":/ANIICONS.xpm", 160); });
    return strip;
}

QString TrayNumberText(float value)
{
    return guarded(THIS_ROUTINE, [&] {
        QString text;
        if (value > 10)
            text = QString::asprintf("%.0f", static_cast<double>(value));
        else if (value >= -9 && value <= 10)
            text = QString::asprintf("%.1f", static_cast<double>(value));
        else
            text = QString::asprintf("%.0f", static_cast<double>(value));
        text.remove(QLatin1String(".0"));
        if (text.size() > 4)
            return QStringLiteral("---");
        // "nan" and "inf" have no glyphs: they are no number the tray can show.
        for (QChar c : text)
            if (!c.isDigit() && c != QLatin1Char('.') && c != QLatin1Char(',') && c != QLatin1Char('-'))
                return QStringLiteral("---");
        return text;
    });
}

const QImage &ChooseDigits(float value, float threshold)
{
    if (threshold == NoMark)
        return DigitsBitmap();
    if (value > threshold)
        return DigitsBitmap();
    return RedDigitsBitmap();  // at or below the threshold, or not comparable
}

QImage DrawNumber16(const QImage &strip, float value)
{
    return guarded(THIS_ROUTINE, [&] { return DrawText16(strip, TrayNumberText(value)); });
}

QImage DrawText16(const QImage &strip, const QString &text)
{
    return guarded(THIS_ROUTINE, [&] {
        QImage target(16, 16, QImage::Format_RGB32);
        target.fill(White);
        QImage work(16, 16, QImage::Format_RGB32);
        work.fill(White);
        int x = 0;
        for (QChar c : text) {
            int left, width;
            if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
                left = GlyphPointLeft;
                width = GlyphPointWidth;
            } else if (c == QLatin1Char('-')) {
                left = GlyphMinusLeft;
                width = GlyphMinusWidth;
            } else {
                left = GlyphDigitLeft + GlyphDigitWidth * (c.unicode() - '0');
                width = GlyphDigitWidth;
            }
            for (int col = 0; col < width; ++col) {
                const int dx = x + col;
                if (dx >= 16)
                    break;  // beyond the last column: lost
                for (int row = 0; row < 16; ++row)
                    work.setPixel(dx, row, strip.pixel(left + col, row));
            }
            x += width;
        }
        const int w = x;
        const int srcWidth = std::min(w, 16);
        const int dstLeft = std::max(8 - w / 2, 0);
        const int dstRight = std::min(8 + w / 2, 16);
        const int dstWidth = dstRight - dstLeft;
        if (srcWidth <= 0 || dstWidth <= 0)
            return target;
        // Scaled copy, column by column. Where two source columns fall into one
        // target column their pixels are combined with AND, so that ink (darker
        // than the white ground) is never lost by the squeeze.
        for (int j = 0; j < dstWidth; ++j) {
            int from = j * srcWidth / dstWidth;
            int to = (j + 1) * srcWidth / dstWidth;
            if (to <= from)
                to = from + 1;
            for (int row = 0; row < 16; ++row) {
                QRgb p = 0xFFFFFFFF;
                for (int s = from; s < to; ++s)
                    p &= work.pixel(s, row);
                target.setPixel(dstLeft + j, row, p | 0xFF000000);
            }
        }
        return target;
    });
}

QImage CreateIconFromBitmap(const QImage &bitmap)
{
    return guarded(THIS_ROUTINE, [&] {
        QImage src = bitmap.convertToFormat(QImage::Format_RGB32);
        QImage icon(src.size(), QImage::Format_ARGB32);
        if (src.isNull())
            return icon;
        const QRgb ground = src.pixel(0, 0);
        for (int y = 0; y < src.height(); ++y) {
            const QRgb *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
            QRgb *out = reinterpret_cast<QRgb *>(icon.scanLine(y));
            for (int x = 0; x < src.width(); ++x)
                out[x] = in[x] == ground ? 0x00000000 : (in[x] | 0xFF000000);
        }
        return icon;
    });
}

QImage NumberImage(float value, float colourValue, float threshold, bool stale)
{
    return guarded(THIS_ROUTINE, [&] {
        const QImage *strip = &ChooseDigits(colourValue, threshold);
        if (stale)
            strip = strip == &RedDigitsBitmap() ? &StaleRedDigitsBitmap() : &StaleDigitsBitmap();
        return CreateIconFromBitmap(DrawNumber16(*strip, value));
    });
}

QImage NoFiguresImage()
{
    return guarded(THIS_ROUTINE, [] { return CreateIconFromBitmap(DrawText16(DigitsBitmap(), QStringLiteral("--"))); });
}

QImage TrayImageAtSize(const QImage &image16, int side)
{
    const QImage ink = image16.convertToFormat(QImage::Format_ARGB32);
    if (side < 16)  // smaller than the drawing: the tray gets what fits
        return ink.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int k = side / 16;
    const QImage big = ink.scaled(16 * k, 16 * k, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int offset = (side - 16 * k) / 2;
    QImage out(side, side, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    // The outline: every free pixel within r of the ink.
    const int r = std::max(1, (k + 1) / 2);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x) {
            if (qAlpha(big.pixel(x, y)) == 0)
                continue;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    const int ox = offset + x + dx, oy = offset + y + dy;
                    if (ox >= 0 && oy >= 0 && ox < side && oy < side)
                        out.setPixel(ox, oy, HaloColour);
                }
        }
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            if (qAlpha(big.pixel(x, y)) != 0)
                out.setPixel(offset + x, offset + y, big.pixel(x, y));
    return out;
}

QIcon TrayIconFromImage(const QImage &image16)
{
    return QIcon(new TrayImageEngine(image16));
}

const QImage &AniIconImage(int i)
{
    static const std::array<QImage, 10> frames = guarded(THIS_ROUTINE, [] {
        std::array<QImage, 10> result;
        const QImage &strip = AniIconsBitmap();
        for (int n = 0; n < 10; ++n) {
            QImage work(16, 16, QImage::Format_RGB32);
            work.fill(White);
            QPainter p(&work);
            p.drawImage(QPoint(0, 0), strip, QRect(16 * n, 0, 16, 16));
            p.end();
            result[n] = CreateIconFromBitmap(work);
        }
        return result;
    });
    if (i < 1 || i > 10)
        throw SaldomatError(labelledText(THIS_ROUTINE, QStringLiteral("кадр %1 вне 1..10").arg(i)));
    return frames[i - 1];
}
