// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

class QApplication;
class QLabel;
class QPalette;
class QWidget;

// The fixed pale-blue look that both windows share, and the units their layout tables use.
namespace look {

// Layouts are designed in twips: 15 to a pixel at 96 dots per inch.
constexpr int twips(int value)
{
    return value / 15;
}
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Colours are designed as &H00BBGGRR& values.
constexpr QColor bgr(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

inline const QColor background = bgr(0x00FEF9EF);  // a very pale blue
inline const QColor captionPink = bgr(0x007C04EC); // the fixed captions' strong pink
// System colour 9, the text of an active title bar: white in a light scheme.
inline const QColor systemColour9 = QColor(Qt::white);

enum class LabelFont { CaptionBold, Regular, Dialog };
enum class LabelBackground { Transparent, Pale, SystemColour9 };

// The light palette the fixed design is drawn for, whatever the desktop's theme.
QPalette lightPalette();

// Gives a window or its client area the pale-blue background; its children inherit the light
// palette, so their "default" colours are the light ones even under a dark desktop theme.
void paintPale(QWidget *widget);

// Sets a label's font, colours and background; a default text colour is QColor().
void styleLabel(QLabel *label, LabelFont font, const QColor &text, LabelBackground background);

// Fusion, a light palette and pinned fonts, so that the fixed pixel layout looks the same on
// every desktop, dark themes included; and the bell icon of both windows and the program.
void apply(QApplication &app);

} // namespace look
