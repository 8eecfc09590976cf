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

QString describe(QPoint p, const QColor &colour)
{
    return QStringLiteral("(%1,%2) is %3").arg(p.x()).arg(p.y()).arg(colour.name());
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

} // namespace

class TestRendering : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void shouldPaintClientAreaPaleBlueBelowMenuBarWithWhiteMessagePanel();
    void shouldDrawEachTextWholeInItsDesignedFontColourAndPlace_data();
    void shouldDrawEachTextWholeInItsDesignedFontColourAndPlace();

private:
    Form1 *window = nullptr;
    QImage shot;       // the X window, menu bar included
    QImage clientArea; // where the client area should be in it
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
    shot = ink::screenshot(window->winId());
    QVERIFY(!shot.isNull());
    clientArea = shot.copy(client.translated(0, shot.height() - client.height()));
}

void TestRendering::cleanupTestCase()
{
    delete window;
    hindraStangning = 0;
    unloadForm2();
}

void TestRendering::shouldPaintClientAreaPaleBlueBelowMenuBarWithWhiteMessagePanel()
{
    // The pale blue fills exactly the window's bottom 178x221 px; above it is the menu bar, with
    // room for its text.
    const int menuBar = shot.height() - client.height();
    QCOMPARE(
        ink::describe(ink::bounds(shot, shot.rect(), [](const QColor &c) { return c == pale; })),
        ink::describe(client.translated(0, menuBar)));
    QVERIFY2(menuBar >= 16, qPrintable(QStringLiteral("a menu bar of %1 px").arg(menuBar)));
    QVERIFY(shot.pixelColor(client.width() / 2, menuBar - 1) != pale);

    // Pale blue wherever no label lies, white exactly over the message panel (a pixel around it
    // included), and strong pink only inside the fixed captions.
    for (int y = 0; y < client.height(); ++y) {
        for (int x = 0; x < client.width(); ++x) {
            const QPoint p(x, y);
            const QColor colour = clientArea.pixelColor(p);
            const bool panel = lblinfomed.contains(p);
            const bool covered = std::any_of(std::begin(labels), std::end(labels),
                                             [p](const QRect &label) { return label.contains(p); });
            if (!covered || lblinfomed.adjusted(-1, -1, 1, 1).contains(p))
                QVERIFY2(colour == (panel ? white : pale), qPrintable(describe(p, colour)));
            const bool caption =
                lbltiden.contains(p) || label1.contains(p) || lblform1med.contains(p);
            QVERIFY2(caption || colour.red() - colour.green() <= 24,
                     qPrintable(describe(p, colour)));
        }
    }
}

void TestRendering::shouldDrawEachTextWholeInItsDesignedFontColourAndPlace_data()
{
    // "visible" is what neither the client area's edge nor a label stacked above hides.
    QTest::addColumn<QRect>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("lbltiden") << lbltiden.adjusted(0, 0, -1, 0) << "Klocka:" << true << pink;
    QTest::newRow("lblKlocka") << lblKlocka.intersected(client) << "07:29:50" << false << black;
    QTest::newRow("Label1") << label1.adjusted(0, 0, 0, -1) << "Alarm inställt på:" << true << pink;
    QTest::newRow("lblInstLarm") << lblInstLarm << "Inget alarm inställt" << false << black;
    QTest::newRow("lblform1med") << lblform1med.adjusted(0, 0, 0, -1) << "Meddelande:" << true
                                 << pink;
}

void TestRendering::shouldDrawEachTextWholeInItsDesignedFontColourAndPlace()
{
    QFETCH(QRect, visible);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);

    // The labels stand on pale blue; whatever differs from it is ink. It must be all of the text
    // on one line, in Liberation Sans 13 px, where an unclipped line would put it, and leave the
    // label's last column clear.
    const QRect drawn = ink::bounds(clientArea, visible, [](const QColor &c) { return c != pale; });
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(13);
    font.setBold(bold);
    QCOMPARE(ink::describe(drawn),
             ink::describe(ink::unclipped(text, font, 1.0).translated(visible.topLeft())));
    QVERIFY2(drawn.right() < visible.right(),
             qPrintable(QStringLiteral("ink reaches column %1 of %2")
                            .arg(drawn.right())
                            .arg(ink::describe(visible))));

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
