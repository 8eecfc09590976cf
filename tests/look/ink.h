// SPDX-License-Identifier: MIT
#pragma once

// Finds text among rendered pixels: where its ink lies, and how big the same text is when nothing
// can clip or wrap it. Both are in device pixels, so that rounding at a fractional scale counts.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <cmath>

namespace ink {

// The bounding box of the pixels inside area for which isInk holds; empty if there are none.
template <typename IsInk> QRect bounds(const QImage &image, const QRect &area, IsInk isInk)
{
    QRect box;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (isInk(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// The bounding box of the pixels inside area that differ between two renderings of one place.
inline QRect difference(const QImage &with, const QImage &without, const QRect &area)
{
    const QImage a = with.convertToFormat(QImage::Format_RGB32);
    const QImage b = without.convertToFormat(QImage::Format_RGB32);
    QRect box;
    const QRect inside = area.intersected(a.rect()).intersected(b.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto *rowA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rowB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (rowA[x] != rowB[x])
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Where the ink of the text lies when it is drawn on one line that nothing clips or wraps, at the
// given device pixel ratio: in device pixels from the top left corner of the line.
inline QRect unclipped(const QString &text, const QFont &font, qreal ratio)
{
    const int margin = 8;
    const QFontMetrics metrics(font);
    const QSize logical(metrics.horizontalAdvance(text) + 2 * margin,
                        metrics.height() + 2 * margin);
    QImage image(logical * ratio + QSize(2, 2), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(margin, margin + metrics.ascent()), text);
    }
    const int origin = int(std::lround(margin * ratio));
    return bounds(image, image.rect(), [](const QColor &pixel) { return pixel != Qt::white; })
        .translated(-origin, -origin);
}

// A logical rectangle in device pixels: the columns and rows that lie wholly inside it.
inline QRect wholePixels(const QRect &logical, qreal ratio)
{
    const int left = int(std::ceil(logical.x() * ratio - 1e-6));
    const int top = int(std::ceil(logical.y() * ratio - 1e-6));
    const int right = int(std::floor((logical.x() + logical.width()) * ratio + 1e-6));
    const int bottom = int(std::floor((logical.y() + logical.height()) * ratio + 1e-6));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

} // namespace ink
