// SPDX-License-Identifier: MIT
// Both windows at other scales: with Qt's scale factor at 1, 1.5 and 2, and with the X resource
// Xft.dpi at 144, which Qt's xcb platform turns into a device pixel ratio of 1.5. The fixed layout
// must grow as a whole, and at the fonts' new sizes no caption, field or button text may be cut.
//
// Qt fixes the scale when the application starts, so the test runs itself once per scale: the
// parent picks the scale and checks the outcome, the child measures.
#include "platform/module1.h"
#include "tests/look/ink.h"
#include "tests/support/desktop.h"
#include "windows/clocklabel.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QPaintEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

namespace {

// The designed sizes of the main window's client area and of the set-alarm window, and their
// background.
constexpr QSize mainClient(178, 221);
constexpr QSize setAlarmClient(153, 217);
const QColor pale(0xEF, 0xF9, 0xFE);

// Set in a child: the device pixel ratio that its scale must give.
const char childVariable[] = "RINGLO_SCALED_RUN";

// Whether a device-pixel length is the logical one scaled, give or take the rounding.
bool scaled(int device, int logical, qreal ratio)
{
    return std::abs(device - logical * ratio) <= 1.0;
}

class PaintSpy : public QObject
{
public:
    explicit PaintSpy(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            rects.append(static_cast<QPaintEvent *>(event)->rect());
        return false;
    }
    QList<QRect> rects;
};

} // namespace

class TestScaledWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void shouldGrowBothWindowsAsWhole();
    void shouldShowEachTextWholeInsideItsControl_data();
    void shouldShowEachTextWholeInsideItsControl();
    void shouldRepaintOnlyTheChangedDigitAsAWholeRepaintWould();

private:
    qreal ratio = 0;
    Form1 *main = nullptr;
};

void TestScaledWindows::initTestCase()
{
    ratio = qEnvironmentVariable(childVariable).toDouble();
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), ratio);
    main = new Form1;
    main->TmrKlocka.stop();
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    // Side by side, so that the screen shows all of each, with a window manager or without one.
    form2().move(main->frameGeometry().topRight() + QPoint(40, 0));
    showWindow(&form2());
    QVERIFY(QTest::qWaitForWindowExposed(&form2()));
    QTRY_VERIFY(desktop::isMapped(form2().winId()));
}

void TestScaledWindows::cleanupTestCase()
{
    delete main;
    hindraStangning = 0;
    unloadForm2();
}

void TestScaledWindows::shouldGrowBothWindowsAsWhole()
{
    // The X windows, in the screen's own pixels: the set-alarm window is its designed size scaled,
    // and the main window's pale client area fills its width and bottom rows, scaled likewise.
    const QImage setAlarm = ink::screenshot(form2().winId());
    QVERIFY2(scaled(setAlarm.width(), setAlarmClient.width(), ratio) &&
                 scaled(setAlarm.height(), setAlarmClient.height(), ratio),
             qPrintable(ink::describe(setAlarm.rect())));
    const QImage shot = ink::screenshot(main->winId());
    const QRect paleArea =
        ink::bounds(shot, shot.rect(), [](const QColor &pixel) { return pixel == pale; });
    QVERIFY2(scaled(shot.width(), mainClient.width(), ratio) && paleArea.left() == 0 &&
                 paleArea.right() == shot.width() - 1 && paleArea.bottom() == shot.height() - 1 &&
                 scaled(paleArea.height(), mainClient.height(), ratio),
             qPrintable(ink::describe(paleArea) + QStringLiteral(" pale in ") +
                        ink::describe(shot.rect())));
}

void TestScaledWindows::shouldShowEachTextWholeInsideItsControl_data()
{
    QTest::addColumn<bool>("inMain");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const auto row = [](bool inMain, const char *name, const char *text) {
        QTest::addRow("%s %s \"%s\"", inMain ? "main" : "set-alarm", name, text)
            << inMain << QString::fromLatin1(name) << QString::fromUtf8(text);
    };
    row(true, "lbltiden", "Klocka:");
    row(true, "lblKlocka", "23:59:59");
    row(true, "Label1", "Alarm inställt på:");
    row(true, "lblInstLarm", "Inget alarm inställt");
    row(true, "lblform1med", "Meddelande:");
    row(true, "lblinfomed", "Vakna!");
    row(false, "Label1", "Tid (hh:mm)");
    row(false, "Label2", "Meddelande:");
    row(false, "txtTid", "hh:mm");
    row(false, "Command1", "Ställ in alarm");
    row(false, "Command1", "Stoppa Alarm!");
}

void TestScaledWindows::shouldShowEachTextWholeInsideItsControl()
{
    QFETCH(bool, inMain);
    QFETCH(QString, name);
    QFETCH(QString, text);

    QWidget *window = inMain ? static_cast<QWidget *>(main) : &form2();
    auto *widget = window->findChild<QWidget *>(name);
    QVERIFY(widget);
    const QVariant before = widget->property("text");
    // A field with the keyboard draws its cursor after the text, and that is not text.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();

    // Whatever changes when the text goes is the text's ink, seen through all that clips it.
    widget->setProperty("text", text);
    const QImage with = window->grab().toImage();
    widget->setProperty("text", QString());
    const QImage without = window->grab().toImage();
    widget->setProperty("text", before);
    QCOMPARE(with.devicePixelRatio(), ratio);

    const QRect control(widget->mapTo(window, QPoint(0, 0)), widget->size());
    const QRect drawn =
        ink::difference(with, without, ink::wholePixels(control, ratio).adjusted(-2, -2, 2, 2));
    const QRect area = ink::wholePixels(ink::textArea(widget), ratio);
    const QRect whole = ink::unclipped(text, widget->font(), ratio);
    const QString seen = QStringLiteral("ink at %1 in %2; unclipped %3x%4")
                             .arg(ink::describe(drawn), ink::describe(area))
                             .arg(whole.width())
                             .arg(whole.height());

    QVERIFY2(!drawn.isEmpty(), "no ink");
    // All of it on one line: as wide and as tall as where nothing clips or wraps it.
    QVERIFY2(std::abs(drawn.width() - whole.width()) <= 1 &&
                 std::abs(drawn.height() - whole.height()) <= 1,
             qPrintable(seen));
    // Inside the area, with the area's last column clear, so that nothing was cut at its edge.
    QVERIFY2(area.contains(drawn) && drawn.right() < area.right(), qPrintable(seen));
}

void TestScaledWindows::shouldRepaintOnlyTheChangedDigitAsAWholeRepaintWould()
{
    auto *clock = static_cast<ClockLabel *>(main->lblKlocka);
    clock->showTime(QStringLiteral("07:29:50"));
    QVERIFY(!ink::screenshot(main->winId()).isNull());
    PaintSpy spy(clock);
    // At once, without the event loop, and no further left than the digit that changed.
    clock->showTime(QStringLiteral("07:28:50"));
    QCOMPARE(spy.rects.size(), 1);
    QVERIFY(spy.rects[0].left() > clock->fontMetrics().horizontalAdvance(QStringLiteral("07:")));
    const auto looksAsAWholeRepaintPaints = [&] {
        const QImage changed = ink::screenshot(main->winId());
        const qsizetype painted = spy.rects.size();
        clock->update();
        return QTest::qWaitFor([&] { return spy.rects.size() > painted; }) &&
               ink::screenshot(main->winId()) == changed;
    };
    QVERIFY(looksAsAWholeRepaintPaints());
    // A second, which comes from pixels painted ahead where a pixel is a pixel.
    clock->showTime(QStringLiteral("07:28:51"));
    QVERIFY(looksAsAWholeRepaintPaints());
}

// ---- the parent ----

namespace {} // namespace

class TestScaling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shouldKeepLayoutWholeAtEachScale_data();
    void shouldKeepLayoutWholeAtEachScale();
};

void TestScaling::shouldKeepLayoutWholeAtEachScale_data()
{
    QTest::addColumn<QString>("scaleFactor"); // QT_SCALE_FACTOR, or empty for none
    QTest::addColumn<int>("xftDpi");          // the X server's Xft.dpi, or 0 for none

    QTest::newRow("QT_SCALE_FACTOR=1") << "1" << 0;
    QTest::newRow("QT_SCALE_FACTOR=1.5") << "1.5" << 0;
    QTest::newRow("QT_SCALE_FACTOR=2") << "2" << 0;
    QTest::newRow("Xft.dpi: 144") << "" << 144;
}

void TestScaling::shouldKeepLayoutWholeAtEachScale()
{
    QFETCH(QString, scaleFactor);
    QFETCH(int, xftDpi);
    // Qt's xcb platform reads the device pixel ratio off Xft.dpi against 96 dpi.
    const qreal ratio = xftDpi != 0 ? xftDpi / 96.0 : scaleFactor.toDouble();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Only the scale under test may count.
    for (const char *name :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI", "QT_ENABLE_HIGHDPI_SCALING",
          "QT_USE_PHYSICAL_DPI", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
        environment.remove(QString::fromLatin1(name));
    if (!scaleFactor.isEmpty())
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
    environment.insert(QString::fromLatin1(childVariable), QString::number(ratio));

    // Xft.dpi lives on the X server, so that run gets a server of its own, stopped when the test is
    // done with it or dies.
    QProcess server;
    const auto stopServer = qScopeGuard([&server] {
        server.terminate();
        server.waitForFinished(5000);
    });
    if (xftDpi != 0) {
        // Without -noreset the server starts afresh whenever its last client leaves, and every
        // resource loaded with xrdb goes with it. It picks a free display and writes its number
        // once it accepts clients.
        server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1280x1024x24")});
        while (server.waitForReadyRead(10000) && !server.canReadLine()) {
        }
        QVERIFY2(server.canReadLine(), "the private X server did not start");
        const QString display = QLatin1Char(':') + QString::fromLatin1(server.readLine()).trimmed();
        environment.insert(QStringLiteral("DISPLAY"), display);
        // The child's own check of its device pixel ratio tells whether the server took it.
        QProcess xrdb;
        xrdb.setProcessEnvironment(environment);
        xrdb.start(QStringLiteral("xrdb"), {QStringLiteral("-nocpp"), QStringLiteral("-merge")});
        xrdb.write(QStringLiteral("Xft.dpi: %1\n").arg(xftDpi).toLatin1());
        xrdb.closeWriteChannel();
        QVERIFY(xrdb.waitForFinished(10000));
    }

    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    const bool finished = child.waitForFinished(60000);
    if (!finished)
        child.kill();
    child.waitForFinished(5000);
    QVERIFY2(finished, "the scaled run did not finish");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char *argv[])
{
    if (!desktop::hasDisplay())
        return desktop::skipped;
    if (qEnvironmentVariableIsSet(childVariable)) {
        QApplication app(argc, argv);
        look::apply(app);
        TestScaledWindows test;
        return QTest::qExec(&test, argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestScaling test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_scaling.moc"
