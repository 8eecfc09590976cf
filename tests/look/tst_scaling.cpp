// SPDX-License-Identifier: MIT
// Both windows at other scales: with Qt's scale factor at 1, 1.5 and 2, and with the X resource
// Xft.dpi at 144, which Qt's xcb platform turns into a device pixel ratio of 1.5. The fixed layout
// must grow as a whole, and at the fonts' new sizes no caption, field or button text may be cut.
//
// Qt fixes the scale when the application starts, so the test runs itself once per scale: the
// parent picks the scale and checks the outcome, the child measures. Xft.dpi lives on the X server
// itself, so that child gets a private server and the shared test desktop stays as it is.
#include "platform/module1.h"
#include "tests/look/ink.h"
#include "tests/support/desktop.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegion>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/prctl.h>

namespace {

// The designed sizes of the main window's client area and of the set-alarm window, and their
// background.
constexpr QSize mainClient(178, 221);
constexpr QSize setAlarmClient(153, 217);
const QColor pale(0xEF, 0xF9, 0xFE);

// Set in a child: the device pixel ratio that its scale must give.
const char childVariable[] = "RINGLO_SCALED_RUN";

// ---- the child ----

qreal expectedRatio()
{
    return qEnvironmentVariable(childVariable).toDouble();
}

QString describe(const QRect &r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QSize xSize(WId window)
{
    const QString out = desktop::run(QStringLiteral("xwininfo"),
                                     {QStringLiteral("-id"), desktop::windowId(window)});
    const auto field = [&out](const char *name) {
        const auto match =
            QRegularExpression(QStringLiteral("%1:\\s+(\\d+)").arg(QLatin1String(name))).match(out);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    };
    return QSize(field("Width"), field("Height"));
}

// Whether a device-pixel length is the logical one scaled, give or take the rounding.
bool scaled(int device, int logical, qreal ratio)
{
    return std::abs(device - logical * ratio) <= 1.0;
}

// Where a control may put its text, in its window's logical coordinates: inside a field's frame,
// inside a button's bevel, and for a label what neither its parent's edge nor a label stacked
// above it hides.
QRect textArea(QWidget *widget)
{
    QWidget *window = widget->window();
    const QPoint offset = widget->mapTo(window, QPoint(0, 0));
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()
            ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
            .translated(offset);
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(field);
        option.lineWidth =
            field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
        return field->style()
            ->subElementRect(QStyle::SE_LineEditContents, &option, field)
            .translated(offset);
    }
    QWidget *parent = widget->parentWidget();
    QRegion visible = QRect(offset, widget->size());
    visible &= QRect(parent->mapTo(window, QPoint(0, 0)), parent->size());
    const auto siblings = parent->children();
    for (qsizetype i = siblings.indexOf(widget) + 1; i < siblings.size(); ++i) {
        if (auto *above = qobject_cast<QWidget *>(siblings.at(i)); above && above->isVisible())
            visible -= QRect(above->mapTo(window, QPoint(0, 0)), above->size());
    }
    return visible.boundingRect();
}

void setText(QWidget *widget, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(text);
    else if (auto *field = qobject_cast<QLineEdit *>(widget))
        field->setText(text);
    else if (auto *button = qobject_cast<QPushButton *>(widget))
        button->setText(text);
}

QString textOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *field = qobject_cast<QLineEdit *>(widget))
        return field->text();
    if (auto *button = qobject_cast<QPushButton *>(widget))
        return button->text();
    return QString();
}

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

private:
    qreal ratio = 0;
    Form1 *main = nullptr;
};

void TestScaledWindows::initTestCase()
{
    ratio = expectedRatio();
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
    // The X windows, in the screen's own pixels.
    const QSize setAlarm = xSize(form2().winId());
    QVERIFY2(scaled(setAlarm.width(), setAlarmClient.width(), ratio) &&
                 scaled(setAlarm.height(), setAlarmClient.height(), ratio),
             qPrintable(QStringLiteral("the set-alarm window is %1x%2 px")
                            .arg(setAlarm.width())
                            .arg(setAlarm.height())));
    const QSize whole = xSize(main->winId());
    QVERIFY2(scaled(whole.width(), mainClient.width(), ratio),
             qPrintable(QStringLiteral("the main window is %1 px wide").arg(whole.width())));

    // The main window's pale client area, as the X server shows it, fills the window's width and
    // its bottom rows, and is the designed size scaled.
    // Painted and flushed once two looks agree.
    QImage shot;
    QImage previous;
    QTRY_VERIFY([&] {
        shot = QGuiApplication::primaryScreen()
                   ->grabWindow(main->winId())
                   .toImage()
                   .convertToFormat(QImage::Format_RGB32);
        const bool settled = shot.size() == whole && shot == previous;
        previous = shot;
        return settled;
    }());
    const QRect paleArea =
        ink::bounds(shot, shot.rect(), [](const QColor &pixel) { return pixel == pale; });
    QVERIFY2(paleArea.left() == 0 && paleArea.right() == shot.width() - 1 &&
                 paleArea.bottom() == shot.height() - 1 &&
                 scaled(paleArea.height(), mainClient.height(), ratio),
             qPrintable(QStringLiteral("pale blue at %1 in %2x%3 px")
                            .arg(describe(paleArea))
                            .arg(shot.width())
                            .arg(shot.height())));
}

void TestScaledWindows::shouldShowEachTextWholeInsideItsControl_data()
{
    // Each row is named after its window, control and text.
    QTest::addColumn<bool>("inMain");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const auto row = [](bool inMain, const char *name, const QString &text) {
        QTest::addRow("%s %s \"%s\"", inMain ? "main" : "set-alarm", name, qPrintable(text))
            << inMain << QString::fromLatin1(name) << text;
    };
    row(true, "lbltiden", QStringLiteral("Klocka:"));
    row(true, "lblKlocka", QStringLiteral("23:59:59"));
    row(true, "Label1", QStringLiteral("Alarm inställt på:"));
    row(true, "lblInstLarm", QStringLiteral("Inget alarm inställt"));
    row(true, "lblInstLarm", QStringLiteral("23:59"));
    row(true, "lblform1med", QStringLiteral("Meddelande:"));
    row(true, "lblinfomed", QStringLiteral("Vakna!"));
    row(false, "Label1", QStringLiteral("Tid (hh:mm)"));
    row(false, "Label2", QStringLiteral("Meddelande:"));
    row(false, "txtTid", QStringLiteral("hh:mm"));
    row(false, "txtTid", QStringLiteral("23:59"));
    row(false, "Command1", QStringLiteral("Ställ in alarm"));
    row(false, "Command1", QStringLiteral("Stoppa Alarm!"));
}

void TestScaledWindows::shouldShowEachTextWholeInsideItsControl()
{
    QFETCH(bool, inMain);
    QFETCH(QString, name);
    QFETCH(QString, text);

    QWidget *window = inMain ? static_cast<QWidget *>(main) : &form2();
    auto *widget = window->findChild<QWidget *>(name);
    QVERIFY(widget);
    const QString before = textOf(widget);
    // A field with the keyboard draws its cursor after the text, and that is not text.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();

    // Whatever changes when the text goes is the text's ink, seen through all that clips it.
    setText(widget, text);
    const QImage with = window->grab().toImage();
    setText(widget, QString());
    const QImage without = window->grab().toImage();
    setText(widget, before);
    QCOMPARE(with.devicePixelRatio(), ratio);

    const QRect control(widget->mapTo(window, QPoint(0, 0)), widget->size());
    const QRect drawn =
        ink::difference(with, without, ink::wholePixels(control, ratio).adjusted(-2, -2, 2, 2));
    const QRect area = ink::wholePixels(textArea(widget), ratio);
    const QRect whole = ink::unclipped(text, widget->font(), ratio);
    const QString seen = QStringLiteral("ink at %1 in %2; unclipped %3x%4")
                             .arg(describe(drawn), describe(area))
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

// ---- the parent ----

namespace {

// An X server of the test's own, stopped when the test is done with it, or when the test dies.
class PrivateServer
{
public:
    PrivateServer()
    {
        // Without -noreset the server starts afresh whenever its last client leaves, and every
        // resource loaded with xrdb goes with it.
        process.setProgram(QStringLiteral("Xvfb"));
        process.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                              QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1280x1024x24")});
        process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process.start();
        // The server picks a free display and writes its number once it accepts clients.
        while (process.waitForReadyRead(10000) && !process.canReadLine()) {
        }
        if (process.canReadLine())
            display = QLatin1Char(':') + QString::fromLatin1(process.readLine()).trimmed();
    }
    ~PrivateServer()
    {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    QString display;

private:
    QProcess process;
};

// Runs a tool on the given display with its standard input, and returns what it printed.
QString runOn(const QString &display, const QString &program, const QStringList &arguments,
              const QByteArray &input = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

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
    QTest::addColumn<qreal>("ratio");

    QTest::newRow("QT_SCALE_FACTOR=1") << "1" << 0 << 1.0;
    QTest::newRow("QT_SCALE_FACTOR=1.5") << "1.5" << 0 << 1.5;
    QTest::newRow("QT_SCALE_FACTOR=2") << "2" << 0 << 2.0;
    QTest::newRow("Xft.dpi: 144") << "" << 144 << 1.5;
}

void TestScaling::shouldKeepLayoutWholeAtEachScale()
{
    QFETCH(QString, scaleFactor);
    QFETCH(int, xftDpi);
    QFETCH(qreal, ratio);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Only the scale under test may count.
    for (const char *name :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI", "QT_ENABLE_HIGHDPI_SCALING",
          "QT_USE_PHYSICAL_DPI", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
        environment.remove(QString::fromLatin1(name));
    if (!scaleFactor.isEmpty())
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
    environment.insert(QString::fromLatin1(childVariable), QString::number(ratio));

    std::unique_ptr<PrivateServer> server;
    if (xftDpi != 0) {
        server = std::make_unique<PrivateServer>();
        QVERIFY2(!server->display.isEmpty(), "the private X server did not start");
        runOn(server->display, QStringLiteral("xrdb"),
              {QStringLiteral("-nocpp"), QStringLiteral("-merge")},
              QStringLiteral("Xft.dpi: %1\n").arg(xftDpi).toLatin1());
        QCOMPARE(runOn(server->display, QStringLiteral("xrdb"), {QStringLiteral("-query")}),
                 QStringLiteral("Xft.dpi:\t%1").arg(xftDpi));
        environment.insert(QStringLiteral("DISPLAY"), server->display);
    }

    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    const bool finished = child.waitForFinished(60000);
    if (!finished)
        child.kill();
    child.waitForFinished(5000);
    const QByteArray output = child.readAll();
    std::fwrite(output.constData(), 1, size_t(output.size()), stdout);
    std::fflush(stdout);
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
