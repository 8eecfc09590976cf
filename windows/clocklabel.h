// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>
#include <QRawFont>

// The running clock: a label whose text changes every second. A time is painted from glyphs
// looked up once per font instead of being laid out again at every tick, and the label fills its
// own background, so that a tick takes one painter and no text shaping. It looks exactly as the
// QLabel it is: any other text, or a font that kerns or joins the characters of a time, QLabel
// paints itself.
class ClockLabel : public QLabel
{
public:
    explicit ClockLabel(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool prepareGlyphs();
    bool drawTime(QPainter &painter);

    bool m_prepared = false; // for the current font; m_font stays invalid if QLabel must paint
    QRawFont m_font;
    QList<quint32> m_glyphs; // of the characters of a time, in their order
    QList<qreal> m_advances;
    qreal m_baseline = 0;
};
