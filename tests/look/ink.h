// SPDX-License-Identifier: MIT
#pragma once

// Finds text among rendered pixels: where its ink lies, where a control may put it, and how big
// the same text is when nothing can clip or wrap it. Pixel positions are device pixels, so that
// rounding at a fractional scale counts.

#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTest>
#include <cmath>

namespace ink {

inline QString describe(const QRect &r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

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
    QRect box;
    const QRect inside = area.intersected(with.rect()).intersected(without.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// The X window as the screen shows it, once the window manager has placed it and Qt has painted
// it: two looks in a row agree. Null if they never do.
inline QImage screenshot(WId window)
{
    QImage previous;
    for (int look = 0; look < 50; ++look) {
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(window).toImage().convertToFormat(
                QImage::Format_RGB32);
        if (!shot.isNull() && shot == previous)
            return shot;
        previous = shot;
        QTest::qWait(100);
    }
    return QImage();
}

// Where a control may put its text, in its window's logical coordinates: inside a field's frame
// and margins, inside a button's bevel, and for a label what neither its parent's edge nor a
// label stacked above it hides.
inline QRect textArea(QWidget *widget)
{
    QWidget *window = widget->window();
    const QPoint offset = widget->mapTo(window, QPoint(0, 0));
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()
            ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
            .translated(offset);
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(field);
        option.lineWidth =
            field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
        // QLineEdit keeps 2 px clear to the sides and 1 px above and below its text.
        return field->style()
            ->subElementRect(QStyle::SE_LineEditContents, &option, field)
            .adjusted(2, 1, -2, -1)
            .translated(offset);
    }
    QWidget *parent = widget->parentWidget();
    QRegion visible = QRect(offset, widget->size());
    visible &= QRect(parent->mapTo(window, QPoint(0, 0)), parent->size());
    const auto siblings = parent->children();
    for (qsizetype i = siblings.indexOf(widget) + 1; i < siblings.size(); ++i) {
        if (auto *above = qobject_cast<QWidget *>(siblings.at(i)); above && above->isVisible())
            visible -= QRect(above->mapTo(window, QPoint(0, 0)), above->size());
    }
    return visible.boundingRect();
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
