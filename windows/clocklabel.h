// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QRawFont>
#include <QVarLengthArray>
#include <optional>

// The running clock: a label whose text changes every second. A time is painted from glyphs
// looked up once per font instead of being laid out again at every tick, and the label fills its
// own background, so that a tick takes one painter and no text shaping; a change seen before, or
// painted ahead, is copied from the pixels it came out as. It looks exactly as the QLabel it is:
// any other text, or a font that kerns or joins the characters of a time, QLabel paints itself.
class ClockLabel : public QLabel
{
public:
    explicit ClockLabel(QWidget *parent = nullptr);

    // Shows a new text as setText does, screen readers included, but paints (or copies) and
    // sends at once only the characters of a time that changed.
    void showTime(const QString &time);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Cell
    {
        qsizetype character; // in the characters of a time
        qreal x;
        QRect area; // what the glyph may paint
        bool operator==(const Cell &) const = default;
    };

    bool prepareGlyphs();
    // Empty if the text is not a time in a font whose glyphs were kept. Cells of the current
    // font that begin the same way are taken over.
    using Cells = QVarLengthArray<Cell, 8>;
    Cells cellsOf(QStringView text, const Cells &known = {});
    const Cells &cellsOfText();
    QRect areaOf(qsizetype character, qreal x) const;
    static QRect changedArea(const Cells &before, const Cells &after);
    static Cells cellsIn(const Cells &cells, const QRect &exposed);
    bool copyKnownPixels(const QRect &exposed);
    void drawGlyphs(QPainter &painter, const Cells &cells);
    void paintSecondsAhead();
    void forgetPixels();

    bool m_prepared = false; // for the current font; m_font stays invalid if QLabel must paint
    QRawFont m_font;
    QList<quint32> m_glyphs; // of the characters of a time, in their order
    QList<qreal> m_advances;
    QList<QRectF> m_inks; // each glyph's ink, from its origin on the baseline
    qreal m_baseline = 0;
    // The cells of m_cellsText, kept from one tick to the next. setText may change the text
    // behind showTime's back, so they count only while the text is the same.
    QString m_cellsText;
    Cells m_cells;

    // The pixels that a rectangle of the label showing these cells came out as, where the
    // painter moves what it draws by whole pixels only. A clock shows the same few pairs of
    // digits all day, and copying their pixels costs a fraction of drawing their glyphs.
    struct Painted
    {
        QPalette::ColorGroup colours;
        QRect exposed;
        QRect onDevice;
        Cells cells;
        QImage pixels;
    };
    QHash<size_t, Painted> m_painted;
    std::optional<QPalette::ColorGroup> m_aheadColours; // the changes of the seconds painted in
    std::optional<QImage::Format> m_windowFormat;       // of the window's pixels, once painted
    const Painted *knownPixels(const QRect &exposed, const QRect &onDevice, const Cells &shown,
                               size_t &key) const;
};
