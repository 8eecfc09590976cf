// SPDX-License-Identifier: MIT
#include "windows/clocklabel.h"

#include <QBackingStore>
#include <QEvent>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>
#include <QWindow>
#include <algorithm>
#include <cstring>

namespace {
constexpr QStringView timeCharacters = u"0123456789:";
// A day shows a few hundred distinct changes; a cache that outgrows this starts again.
constexpr qsizetype maxPainted = 256;

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
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange)
        forgetPixels();
    QLabel::changeEvent(event);
}

void ClockLabel::resizeEvent(QResizeEvent *event)
{
    m_cellsText.clear(); // a cell's area is as tall as the label
    forgetPixels();
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

ClockLabel::Cells ClockLabel::cellsOf(QStringView text, const Cells &known)
{
    Cells cells;
    if (!prepareGlyphs())
        return cells;
    qreal x = 0;
    bool sameSoFar = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype index = timeCharacterIndex(text[i]);
        if (index < 0)
            return {};
        sameSoFar = sameSoFar && i < known.size() && known[i].character == index;
        cells.append(sameSoFar ? known[i] : Cell{index, x, areaOf(index, x)});
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
    const Cells &old = cellsOfText();
    Cells cells = cellsOf(time, old);
    const QRect changed = old.isEmpty() || cells.isEmpty() ? rect() : changedArea(old, cells);
    setAttribute(Qt::WA_UpdatesDisabled);
    setText(time);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    m_cells = std::move(cells);
    m_cellsText = text();
    if (!copyKnownPixels(changed & rect()))
        repaint(changed);
    paintSecondsAhead();
}

void ClockLabel::forgetPixels()
{
    m_painted.clear();
    m_aheadColours.reset();
}

// Each change of the seconds comes once a minute. Painting them all off screen at once, the first
// time the clock shows in these colours, spares the first minute a repaint at every tick to
// keep the pixels one change at a time.
void ClockLabel::paintSecondsAhead()
{
    const QPalette::ColorGroup colours = palette().currentColorGroup();
    if (m_aheadColours == colours)
        return; // every tick but the first
    const QBrush background = palette().brush(backgroundRole());
    const QBrush foreground = palette().brush(foregroundRole());
    const QString time = text();
    if (!m_windowFormat || devicePixelRatio() != 1 || background.style() != Qt::SolidPattern ||
        !background.isOpaque() || foreground.style() != Qt::SolidPattern || time.size() < 2)
        return;
    m_aheadColours = colours;
    if (m_painted.size() > maxPainted - 60)
        m_painted.clear();
    const QPoint offset = mapTo(window(), QPoint());
    const QString hoursAndMinutes = time.chopped(2);
    const auto at = [&](int second) {
        return hoursAndMinutes + QStringLiteral("%1").arg(second, 2, 10, QLatin1Char('0'));
    };
    for (int second = 0; second < 59; ++second) {
        const Cells old = cellsOf(at(second));
        const Cells now = cellsOf(at(second + 1), old);
        if (old.isEmpty() || now.isEmpty())
            return;
        const QRect exposed = changedArea(old, now) & rect();
        const Cells shown = cellsIn(now, exposed);
        const QRect onDevice = exposed.translated(offset);
        size_t key = 0;
        if (exposed.isEmpty() || knownPixels(exposed, onDevice, shown, key))
            continue;
        QImage pixels(exposed.size(), *m_windowFormat);
        QPainter painter(&pixels);
        painter.translate(-exposed.topLeft());
        painter.fillRect(exposed, background);
        painter.setPen(foreground.color());
        drawGlyphs(painter, shown);
        painter.end();
        m_painted.insert(key, {colours, exposed, onDevice, shown, pixels});
    }
}

// The glyphs that reach into the exposed rectangle.
ClockLabel::Cells ClockLabel::cellsIn(const Cells &cells, const QRect &exposed)
{
    Cells shown;
    for (const Cell &cell : cells) {
        if (cell.area.intersects(exposed))
            shown.append(cell);
    }
    return shown;
}

const ClockLabel::Painted *ClockLabel::knownPixels(const QRect &exposed, const QRect &onDevice,
                                                   const Cells &shown, size_t &key) const
{
    // The colours come from the palette's group for an enabled, disabled or inactive window.
    const QPalette::ColorGroup colours = palette().currentColorGroup();
    key = qHashMulti(colours, exposed.x(), exposed.y(), exposed.width(), exposed.height(),
                     onDevice.x(), onDevice.y());
    for (const Cell &cell : shown)
        key = qHashMulti(key, cell.character, cell.x);
    const auto known = m_painted.constFind(key);
    if (known == m_painted.cend() || known->colours != colours || known->exposed != exposed ||
        known->onDevice != onDevice || known->cells != shown)
        return nullptr;
    return &*known;
}

// A change seen before needs no paint event: its pixels are copied into the window's backing
// store and sent from there, as the repaint would, but without the widgets' repaint machinery
// and a painter. Only where the label is not covered and a pixel is a pixel of the window.
bool ClockLabel::copyKnownPixels(const QRect &exposed)
{
    QWidget *top = window();
    QWindow *handle = top->windowHandle();
    QBackingStore *store = backingStore();
    if (devicePixelRatio() != 1 || !handle || !handle->isExposed() || !store)
        return false;
    const QRect onDevice = exposed.translated(mapTo(top, QPoint()));
    size_t key = 0;
    const Painted *known = knownPixels(exposed, onDevice, cellsIn(cellsOfText(), exposed), key);
    if (!known || !visibleRegion().contains(exposed))
        return false;
    store->beginPaint(onDevice);
    QPaintDevice *device = store->paintDevice();
    auto *image = device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    const bool fits =
        image && image->format() == known->pixels.format() && image->rect().contains(onDevice);
    if (fits) {
        const qsizetype bytesPerPixel = image->depth() / 8;
        const qsizetype stride = image->bytesPerLine();
        uchar *to = image->bits() + onDevice.y() * stride + onDevice.x() * bytesPerPixel;
        for (int row = 0; row < onDevice.height(); ++row, to += stride) {
            std::memcpy(to, known->pixels.constScanLine(row),
                        std::size_t(onDevice.width() * bytesPerPixel));
        }
    }
    store->endPaint();
    if (fits)
        store->flush(onDevice, handle);
    return fits;
}

// Draws the glyphs where QLabel's one-line, top-left layout puts them, in the pen the widget gave
// the painter: its foreground.
void ClockLabel::drawGlyphs(QPainter &painter, const Cells &cells)
{
    QList<quint32> glyphs;
    QList<QPointF> positions;
    for (const Cell &cell : cells) {
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
    const QRect exposed = event->rect();
    const Cells shown = cellsIn(cells, exposed);
    QPainter painter(this);

    // Only a raster image under a painter that moves by whole pixels gives pixels to keep.
    QPaintEngine *engine = painter.paintEngine();
    QPaintDevice *device = engine ? engine->paintDevice() : nullptr;
    const QTransform &toDevice = painter.deviceTransform();
    QImage *image = nullptr;
    QRect onDevice;
    size_t key = 0;
    if (engine && engine->type() == QPaintEngine::Raster && device->devType() == QInternal::Image &&
        toDevice.type() <= QTransform::TxTranslate && toDevice.dx() == int(toDevice.dx()) &&
        toDevice.dy() == int(toDevice.dy())) {
        image = static_cast<QImage *>(device);
        // A grab paints into an image of its own, not the window's.
        if (QBackingStore *store = backingStore(); store && store->paintDevice() == device)
            m_windowFormat = image->format();
        onDevice = exposed.translated(int(toDevice.dx()), int(toDevice.dy()));
        const Painted *known = knownPixels(exposed, onDevice, shown, key);
        if (known && known->pixels.format() == image->format()) {
            painter.drawImage(exposed.topLeft(), known->pixels);
            return;
        }
    }

    painter.fillRect(exposed, palette().brush(backgroundRole()));
    drawGlyphs(painter, shown);

    // Kept only if all of the rectangle was painted just now: nothing clipped away, on the image.
    if (image && image->rect().contains(onDevice) && engine->systemClip() == QRegion(onDevice)) {
        if (m_painted.size() >= maxPainted)
            forgetPixels();
        m_painted.insert(
            key, {palette().currentColorGroup(), exposed, onDevice, shown, image->copy(onDevice)});
    }
}
