// SPDX-License-Identifier: MIT
// The main window as the X server shows it: a screenshot of the real window on the test desktop,
// read pixel by pixel against the fixed layout it was designed with.
#include "tests/look/ink.h"
#include "tests/support/desktop.h"
#include "windows/form1.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

namespace {

const QColor pale(0xEF, 0xF9, 0xFE);
const QColor pink(0xEC, 0x04, 0x7C);
const QColor black(0x00, 0x00, 0x00);
const QColor white(0xFF, 0xFF, 0xFF);

// The client area in the design, and the labels that overlap it, in the order they are stacked.
const QRect client(0, 0, 178, 221);
const QRect lbltiden(16, 16, 57, 17);
const QRect lblKlocka(72, 16, 137, 17);
const QRect label1(16, 40, 137, 17);
const QRect lblInstLarm(16, 56, 137, 25);
const QRect lblform1med(16, 88, 145, 17);
const QRect lblinfomed(16, 104, 145, 105);
const QRect labels[] = {lbltiden, lblKlocka, label1, lblInstLarm, lblform1med, lblinfomed};

// Drawn in Liberation Sans, which stands in for the design's MS Sans Serif at 9.75 pt.
QFont designFont(bool bold)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(13);
    font.setBold(bold);
    return font;
}

QString describe(const QRect &r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString describe(QPoint p, const QColor &colour)
{
    return QStringLiteral("(%1,%2) is %3").arg(p.x()).arg(p.y()).arg(colour.name());
}

bool covered(QPoint p)
{
    for (const QRect &label : labels) {
        if (label.contains(p))
            return true;
    }
    return false;
}

// What a strong pink leaves on any of the window's light backgrounds, smoothed edges included.
bool pinkish(const QColor &c)
{
    return c.red() - c.green() > 24;
}

// Whether each channel lies between the background's and the ink's, as a smoothed edge does.
bool blendOf(const QColor &c, const QColor &ink, const QColor &background)
{
    const auto between = [](int value, int a, int b) {
        return value >= std::min(a, b) - 2 && value <= std::max(a, b) + 2;
    };
    return between(c.red(), ink.red(), background.red()) &&
           between(c.green(), ink.green(), background.green()) &&
           between(c.blue(), ink.blue(), background.blue());
}

// The absolute position and size of an X window, as xwininfo reports them.
QRect xGeometry(WId window)
{
    const QString out = desktop::run(QStringLiteral("xwininfo"),
                                     {QStringLiteral("-id"), desktop::windowId(window)});
    const auto field = [&out](const char *name) {
        const auto match =
            QRegularExpression(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)))
                .match(out);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

} // namespace

class TestRendering : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void shouldShowClientAreaOfDesignedSizeRightBelowMenuBar();
    void shouldPaintEveryUncoveredPixelOfClientAreaPaleBlue();
    void shouldPaintMessageLabelWhiteExactlyOverItsRectangle();
    void shouldDrawEachTextWholeInItsDesignedFontColourAndPlace_data();
    void shouldDrawEachTextWholeInItsDesignedFontColourAndPlace();
    void shouldKeepPinkInkInsideFixedCaptions();

private:
    Form1 *window = nullptr;
    QImage shot;       // the X window, menu bar included
    QImage clientArea; // the client area cut out of it, or empty if it is not where designed
};

void TestRendering::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.0);
    window = new Form1;
    // A running clock would change the picture between two looks at it.
    window->TmrKlocka.stop();
    window->lblKlocka->setText(QStringLiteral("07:29:50"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_VERIFY(desktop::isMapped(window->winId()));

    // Once the window manager has placed the window and Qt has painted it, two screenshots agree.
    QScreen *screen = QGuiApplication::primaryScreen();
    QImage previous;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QRect where = xGeometry(window->winId());
            if (where.width() <= 0 || where.height() <= 0)
                return false;
            shot = screen->grabWindow(0, where.x(), where.y(), where.width(), where.height())
                       .toImage()
                       .convertToFormat(QImage::Format_RGB32);
            const bool settled = !shot.isNull() && shot == previous;
            previous = shot;
            QTest::qWait(100);
            return settled;
        }(),
        5000);

    if (shot.width() == client.width() && shot.height() > client.height())
        clientArea =
            shot.copy(QRect(0, shot.height() - client.height(), client.width(), client.height()));
}

void TestRendering::cleanupTestCase()
{
    delete window;
    hindraStangning = 0;
    unloadForm2();
}

void TestRendering::shouldShowClientAreaOfDesignedSizeRightBelowMenuBar()
{
    QCOMPARE(shot.width(), client.width());
    // The pale blue fills exactly the client area, which takes the window's bottom 221 rows.
    const QRect paleArea =
        ink::bounds(shot, shot.rect(), [](const QColor &pixel) { return pixel == pale; });
    QCOMPARE(describe(paleArea),
             describe(QRect(0, shot.height() - client.height(), client.width(), client.height())));
    // Above it the menu bar, which has room for its text and is not pale.
    const int menuBar = shot.height() - client.height();
    QVERIFY2(menuBar >= 16, qPrintable(QStringLiteral("a menu bar of %1 px").arg(menuBar)));
    QVERIFY(shot.pixelColor(client.width() / 2, menuBar - 1) != pale);
}

void TestRendering::shouldPaintEveryUncoveredPixelOfClientAreaPaleBlue()
{
    QVERIFY(!clientArea.isNull());
    int uncovered = 0;
    for (int y = 0; y < client.height(); ++y) {
        for (int x = 0; x < client.width(); ++x) {
            const QPoint p(x, y);
            if (covered(p))
                continue;
            ++uncovered;
            const QColor colour = clientArea.pixelColor(p);
            QVERIFY2(colour == pale, qPrintable(describe(p, colour)));
        }
    }
    // The margins and the gaps between the labels.
    QVERIFY(uncovered > 8000);
}

void TestRendering::shouldPaintMessageLabelWhiteExactlyOverItsRectangle()
{
    QVERIFY(!clientArea.isNull());
    // One pixel around it on every side, where the client area still reaches.
    const QRect ring = lblinfomed.adjusted(-1, -1, 1, 1).intersected(client);
    for (int y = ring.top(); y <= ring.bottom(); ++y) {
        for (int x = ring.left(); x <= ring.right(); ++x) {
            const QPoint p(x, y);
            const QColor colour = clientArea.pixelColor(p);
            QVERIFY2(colour == (lblinfomed.contains(p) ? white : pale),
                     qPrintable(describe(p, colour)));
        }
    }
}

void TestRendering::shouldDrawEachTextWholeInItsDesignedFontColourAndPlace_data()
{
    // Each row is named after its label. "visible" is what neither the client area's edge nor a
    // label stacked above hides.
    QTest::addColumn<QRect>("visible");
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("lbltiden") << lbltiden.adjusted(0, 0, -1, 0) << lbltiden.topLeft()
                              << "Klocka:" << true << pink;
    QTest::newRow("lblKlocka") << lblKlocka.intersected(client) << lblKlocka.topLeft() << "07:29:50"
                               << false << black;
    QTest::newRow("Label1") << label1.adjusted(0, 0, 0, -1) << label1.topLeft()
                            << "Alarm inställt på:" << true << pink;
    QTest::newRow("lblInstLarm") << lblInstLarm << lblInstLarm.topLeft() << "Inget alarm inställt"
                                 << false << black;
    QTest::newRow("lblform1med") << lblform1med.adjusted(0, 0, 0, -1) << lblform1med.topLeft()
                                 << "Meddelande:" << true << pink;
}

void TestRendering::shouldDrawEachTextWholeInItsDesignedFontColourAndPlace()
{
    QFETCH(QRect, visible);
    QFETCH(QPoint, origin);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    QVERIFY(!clientArea.isNull());

    // The labels stand on pale blue; whatever differs from it is ink.
    const QRect drawn =
        ink::bounds(clientArea, visible, [](const QColor &pixel) { return pixel != pale; });
    QVERIFY2(!drawn.isEmpty(), "no ink");

    // Whole: the ink is all of the text on one line, where an unclipped line would put it, and
    // the label's last column is clear of it.
    const QRect expected = ink::unclipped(text, designFont(bold), 1.0).translated(origin);
    QCOMPARE(describe(drawn), describe(expected));
    QVERIFY2(drawn.right() < visible.right(),
             qPrintable(QStringLiteral("ink reaches column %1 of %2")
                            .arg(drawn.right())
                            .arg(describe(visible))));

    // In one colour: solid where a stroke covers a pixel, blended with the pale blue at its edges.
    int solid = 0;
    for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
        for (int x = drawn.left(); x <= drawn.right(); ++x) {
            const QColor pixel = clientArea.pixelColor(x, y);
            QVERIFY2(blendOf(pixel, colour, pale), qPrintable(describe(QPoint(x, y), pixel)));
            solid += pixel == colour;
        }
    }
    QVERIFY2(solid >= 3, qPrintable(QStringLiteral("%1 solid pixels").arg(solid)));
}

void TestRendering::shouldKeepPinkInkInsideFixedCaptions()
{
    QVERIFY(!clientArea.isNull());
    for (int y = 0; y < client.height(); ++y) {
        for (int x = 0; x < client.width(); ++x) {
            const QPoint p(x, y);
            if (lbltiden.contains(p) || label1.contains(p) || lblform1med.contains(p))
                continue;
            const QColor colour = clientArea.pixelColor(p);
            QVERIFY2(!pinkish(colour), qPrintable(describe(p, colour)));
        }
    }
}

int main(int argc, char *argv[])
{
    if (!desktop::hasDisplay())
        return desktop::skipped;
    // The layout is drawn pixel for pixel at scale 1, whatever the desktop asks for; the other
    // scales are tst_scaling's.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QApplication app(argc, argv);
    look::apply(app);
    TestRendering test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rendering.moc"
