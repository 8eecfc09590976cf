// SPDX-License-Identifier: MIT
#include "windows/clocklabel.h"

#include <QEvent>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>

namespace {
constexpr QStringView timeCharacters = u"0123456789:";
} // namespace

ClockLabel::ClockLabel(QWidget *parent) : QLabel(parent)
{
    // paintEvent fills all it is asked to paint, so Qt need not fill it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClockLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_prepared = false;
        m_font = QRawFont();
    }
    QLabel::changeEvent(event);
}

// Lays the characters out once, as QLabel would, and keeps their glyphs and advances if each glyph
// stands where the advances of those before it put it: no fallback font, ligature or kerning.
bool ClockLabel::prepareGlyphs()
{
    if (m_prepared)
        return m_font.isValid();
    m_prepared = true;
    QTextLayout layout(timeCharacters.toString(), font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs.front().glyphIndexes().size() != timeCharacters.size())
        return false;
    const QGlyphRun &run = runs.front();
    const QList<QPointF> positions = run.positions();
    const QList<QPointF> advances = run.rawFont().advancesForGlyphIndexes(run.glyphIndexes());
    m_advances.clear();
    qreal x = 0;
    for (qsizetype i = 0; i < positions.size(); ++i) {
        if (positions[i] != QPointF(x, positions.front().y()))
            return false;
        m_advances.append(advances[i].x());
        x += advances[i].x();
    }
    m_glyphs = run.glyphIndexes();
    m_baseline = positions.front().y();
    m_font = run.rawFont();
    return true;
}

// Draws the text where QLabel's one-line, top-left layout puts it; false if it is not a time.
bool ClockLabel::drawTime(QPainter &painter)
{
    if (!prepareGlyphs())
        return false;
    const QString shown = text();
    QList<quint32> glyphs;
    QList<QPointF> positions;
    qreal x = 0;
    for (const QChar c : shown) {
        const qsizetype index = timeCharacters.indexOf(c);
        if (index < 0)
            return false;
        glyphs.append(m_glyphs[index]);
        positions.append(QPointF(x, m_baseline));
        x += m_advances[index];
    }
    QGlyphRun run;
    run.setRawFont(m_font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawGlyphRun(QPointF(), run);
    return true;
}

void ClockLabel::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().brush(backgroundRole()));
        if (text().isEmpty() || drawTime(painter))
            return;
    }
    QLabel::paintEvent(event);
}
