// SPDX-License-Identifier: MIT
#include "windows/clocklabel.h"

#include <QEvent>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace {
constexpr QStringView timeCharacters = u"0123456789:";

// Where the character stands in timeCharacters, or -1.
qsizetype timeCharacterIndex(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    return c == u':' ? timeCharacters.size() - 1 : -1;
}
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
        m_cellsText.clear();
    }
    QLabel::changeEvent(event);
}

void ClockLabel::resizeEvent(QResizeEvent *event)
{
    m_cellsText.clear(); // a cell's area is as tall as the label
    QLabel::resizeEvent(event);
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
    m_inks.clear();
    for (const quint32 glyph : m_glyphs)
        m_inks.append(run.rawFont().boundingRect(glyph));
    m_baseline = positions.front().y();
    m_font = run.rawFont();
    return true;
}

ClockLabel::Cells ClockLabel::cellsOf(QStringView text)
{
    Cells cells;
    if (!prepareGlyphs())
        return cells;
    qreal x = 0;
    for (const QChar c : text) {
        const qsizetype index = timeCharacterIndex(c);
        if (index < 0)
            return {};
        cells.append({index, x, areaOf(index, x)});
        x += m_advances[index];
    }
    return cells;
}

const ClockLabel::Cells &ClockLabel::cellsOfText()
{
    if (m_cellsText.isNull() || m_cellsText != text()) {
        m_cells = cellsOf(text());
        m_cellsText = text();
    }
    return m_cells;
}

// The glyph's advance over the label's height and its ink, with a pixel to spare for smoothing.
QRect ClockLabel::areaOf(qsizetype character, qreal x) const
{
    const QRectF advance(x, 0, m_advances[character], height());
    const QRectF ink = m_inks[character].translated(x, m_baseline);
    return advance.united(ink).toAlignedRect().adjusted(-1, -1, 1, 1);
}

// Where the pixels of the two times differ: the glyphs that changed or moved, before and after.
// One rectangle costs less to paint and send than a region of several, even with a colon between.
QRect ClockLabel::changedArea(const Cells &old, const Cells &now)
{
    QRect changed;
    for (qsizetype i = 0; i < std::max(old.size(), now.size()); ++i) {
        if (i < old.size() && i < now.size() && old[i] == now[i])
            continue;
        if (i < old.size())
            changed |= old[i].area;
        if (i < now.size())
            changed |= now[i].area;
    }
    return changed;
}

void ClockLabel::showTime(const QString &time)
{
    if (time == text())
        return;
    if (!isVisible() || !updatesEnabled()) {
        setText(time);
        return;
    }
    // QLabel would post a repaint of its whole face, which wakes the event loop once more for a
    // second pass; the glyphs that changed are painted and sent now instead.
    Cells cells = cellsOf(time);
    const Cells &old = cellsOfText();
    const QRect changed = old.isEmpty() || cells.isEmpty() ? rect() : changedArea(old, cells);
    setAttribute(Qt::WA_UpdatesDisabled);
    setText(time);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    m_cells = std::move(cells);
    m_cellsText = text();
    repaint(changed);
}

// Draws the glyphs that reach into the exposed rectangle where QLabel's one-line, top-left layout
// puts them, in the pen the widget gave the painter: its foreground.
void ClockLabel::drawTime(QPainter &painter, const QRect &exposed, const Cells &cells)
{
    QList<quint32> glyphs;
    QList<QPointF> positions;
    for (const Cell &cell : cells) {
        if (!cell.area.intersects(exposed))
            continue;
        glyphs.append(m_glyphs[cell.character]);
        positions.append(QPointF(cell.x, m_baseline));
    }
    QGlyphRun run;
    run.setRawFont(m_font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(), run);
}

void ClockLabel::paintEvent(QPaintEvent *event)
{
    const Cells &cells = cellsOfText();
    if (!text().isEmpty() && cells.isEmpty()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().brush(backgroundRole()));
    drawTime(painter, event->rect(), cells);
}
