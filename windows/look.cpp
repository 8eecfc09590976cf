// SPDX-License-Identifier: MIT
#include "windows/look.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <memory>

namespace look {
namespace {

// The design's "MS Sans Serif" is not on Linux desktops, and fontconfig's choice in its place (Noto
// Sans, for one) is too tall for the 17 px labels. Liberation Sans has the same widths and fits.
// Asking for it by name spares fontconfig a search for fallbacks to a face that is not there.
const char face[] = "Liberation Sans";
constexpr int labelPixels = 13; // 9.75 pt at 96 dpi
constexpr int dialogPixels = 11;

QFont dialogFont()
{
    QFont font(face);
    font.setPixelSize(dialogPixels);
    return font;
}

// "MS Sans Serif" 9.75 pt, bold for the fixed captions.
QFont labelFont(bool bold)
{
    QFont font(face);
    font.setPixelSize(labelPixels);
    font.setBold(bold);
    return font;
}

} // namespace

QPalette lightPalette()
{
    static const QPalette palette = [] {
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        return fusion->standardPalette();
    }();
    return palette;
}

void paintPale(QWidget *widget)
{
    QPalette palette = lightPalette();
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void styleLabel(QLabel *label, LabelFont font, const QColor &text, LabelBackground background)
{
    if (font != LabelFont::Dialog)
        label->setFont(labelFont(font == LabelFont::CaptionBold));
    QPalette palette = label->palette();
    if (text.isValid())
        palette.setColor(QPalette::WindowText, text);
    switch (background) {
    case LabelBackground::Transparent:
        label->setAutoFillBackground(false);
        break;
    case LabelBackground::Pale:
        palette.setColor(QPalette::Window, look::background);
        label->setAutoFillBackground(true);
        break;
    case LabelBackground::SystemColour9:
        palette.setColor(QPalette::Window, systemColour9);
        label->setAutoFillBackground(true);
        break;
    }
    label->setPalette(palette);
    // What users type reaches some labels; none of it may be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void apply(QApplication &app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    app.setPalette(lightPalette());
    app.setFont(dialogFont());
    QIcon bell;
    bell.addFile(QStringLiteral(":/icons/ringlo-16.png"), QSize(16, 16));
    bell.addFile(QStringLiteral(":/icons/ringlo-32.png"), QSize(32, 32));
    app.setWindowIcon(bell);
}

} // namespace look
