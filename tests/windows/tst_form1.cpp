// SPDX-License-Identifier: MIT
// The main window on Qt's offscreen platform: its layout, its menu, the ways to the set-alarm
// window and shutdown.
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

enum class Background { Transparent, Pale, White };

const QString pink = QStringLiteral("#ec047c");
const QString pale = QStringLiteral("#eff9fe");
const QString black = QStringLiteral("#000000");
const QString white = QStringLiteral("#ffffff");

// A spot of the client area that no label covers.
constexpr QPoint emptySpot{170, 200};

} // namespace

Q_DECLARE_METATYPE(Background)

class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void shouldStartWithGuardSetClockTimerRunningAndNoSetAlarmWindow();
    void shouldPresentAsFixedSizeMainWindowWithMinimiseAndClose();
    void shouldShowEachLabelWithItsDesignedGeometryFontAndColours_data();
    void shouldShowEachLabelWithItsDesignedGeometryFontAndColours();
    void shouldFitEachCaptionOnOneUnclippedLine_data();
    void shouldFitEachCaptionOnOneUnclippedLine();
    void shouldNeverGiveKeyboardFocusToAnyControl();
    void shouldOfferArkivMenuWithThreePlainItems();
    void shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards_data();
    void shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards();
    void shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed_data();
    void shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed();

private:
    std::unique_ptr<Form1> window;
};

void TestForm1::initTestCase()
{
    look::apply(*qApp);
}

void TestForm1::init()
{
    QVERIFY(!form2Exists());
    window = std::make_unique<Form1>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestForm1::cleanup()
{
    // The set-alarm window is program-wide; only a cleared guard lets the next test start without
    // it.
    hindraStangning = 0;
    unloadForm2();
    window.reset();
}

void TestForm1::shouldStartWithGuardSetClockTimerRunningAndNoSetAlarmWindow()
{
    QCOMPARE(form1(), window.get());
    QCOMPARE(hindraStangning, qint16(1));
    QVERIFY(window->TmrKlocka.isActive());
    QCOMPARE(window->TmrKlocka.interval(), 1000);

    // Neither painting nor a single click may touch the set-alarm window.
    QCoreApplication::processEvents();
    QTest::mouseClick(window->centralWidget(), Qt::LeftButton, {}, emptySpot);
    QTest::mouseClick(window->lblKlocka, Qt::LeftButton);
    QVERIFY(!form2Exists());
}

void TestForm1::shouldPresentAsFixedSizeMainWindowWithMinimiseAndClose()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Ringlo (PC)"));
    QCOMPARE(window->parentWidget(), nullptr);
    QCOMPARE(window->windowType(), Qt::Window);

    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));

    const QIcon icon = window->windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QVERIFY(QApplication::windowIcon().availableSizes().contains(QSize(32, 32)));

    // The client area sits right below the menu bar and is painted pale blue.
    QWidget *client = window->centralWidget();
    QCOMPARE(client->size(), QSize(178, 221));
    QCOMPARE(client->y(), window->menuBar()->geometry().bottom() + 1);
    QCOMPARE(client->grab().toImage().pixelColor(emptySpot).name(), pale);

    QCOMPARE(window->layout()->sizeConstraint(), QLayout::SetFixedSize);
    const QSize fixed = window->size();
    QCOMPARE(window->minimumSize(), fixed);
    QCOMPARE(window->maximumSize(), fixed);
    window->resize(fixed + QSize(100, 100));
    QCOMPARE(window->size(), fixed);
}

void TestForm1::shouldShowEachLabelWithItsDesignedGeometryFontAndColours_data()
{
    // Each row is named after its label.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("textColour"); // empty: the application's default
    QTest::addColumn<Background>("background");

    QTest::newRow("lbltiden") << "Klocka:" << QRect(16, 16, 57, 17) << 13 << true << pink
                              << Background::Transparent;
    QTest::newRow("lblKlocka") << "" << QRect(72, 16, 137, 17) << 13 << false << QString()
                               << Background::Pale;
    QTest::newRow("Label1") << "Alarm inställt på:" << QRect(16, 40, 137, 17) << 13 << true << pink
                            << Background::Pale;
    QTest::newRow("lblInstLarm") << "Inget alarm inställt" << QRect(16, 56, 137, 25) << 13 << false
                                 << black << Background::Pale;
    QTest::newRow("lblform1med") << "Meddelande:" << QRect(16, 88, 145, 17) << 13 << true << pink
                                 << Background::Transparent;
    QTest::newRow("lblinfomed") << "" << QRect(16, 104, 145, 105) << 11 << false << QString()
                                << Background::White;
}

void TestForm1::shouldShowEachLabelWithItsDesignedGeometryFontAndColours()
{
    const QString name = QString::fromUtf8(QTest::currentDataTag());
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(QString, textColour);
    QFETCH(Background, background);

    auto *label = window->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), window->centralWidget());
    QCOMPARE(label->geometry(), geometry);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->textFormat(), Qt::PlainText);

    const QFontInfo font = label->fontInfo();
    QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(font.pixelSize(), pixelSize);
    QCOMPARE(font.bold(), bold);

    if (textColour.isEmpty())
        textColour = QApplication::palette().color(QPalette::WindowText).name();
    // The main window is often inactive while the set-alarm window is used.
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        QCOMPARE(label->palette().color(group, QPalette::WindowText).name(), textColour);
        if (background != Background::Transparent) {
            QCOMPARE(label->palette().color(group, QPalette::Window).name(),
                     background == Background::White ? white : pale);
        }
    }
    QCOMPARE(label->autoFillBackground(), background != Background::Transparent);

    // A transparent label shows the client area's pale blue. Text stays clear of the corner; the
    // designed layout lets neighbours overlap by a pixel.
    const QImage client = window->centralWidget()->grab().toImage();
    const QPoint corner = geometry.intersected(client.rect()).bottomRight() - QPoint(2, 2);
    QCOMPARE(client.pixelColor(corner).name(), background == Background::White ? white : pale);
}

void TestForm1::shouldFitEachCaptionOnOneUnclippedLine_data()
{
    // Each row is named after the text it puts in the label.
    QTest::addColumn<QString>("name");

    QTest::newRow("Klocka:") << "lbltiden";
    QTest::newRow("00:00:00") << "lblKlocka";
    QTest::newRow("Alarm inställt på:") << "Label1";
    QTest::newRow("Inget alarm inställt") << "lblInstLarm";
    QTest::newRow("Meddelande:") << "lblform1med";
}

void TestForm1::shouldFitEachCaptionOnOneUnclippedLine()
{
    QFETCH(QString, name);
    const QString text = QString::fromUtf8(QTest::currentDataTag());

    auto *label = window->findChild<QLabel *>(name);
    QVERIFY(label);
    label->setText(text);
    const QFontMetrics metrics(label->font());
    // The clock label reaches past the client area's right edge; only what is inside counts.
    QWidget *client = window->centralWidget();
    const QRect visible = label->contentsRect().intersected(
        QRect(label->mapFrom(client, QPoint(0, 0)), client->size()));
    QVERIFY2(metrics.horizontalAdvance(text) <= visible.width(),
             qPrintable(QStringLiteral("%1 px wide in %2 px")
                            .arg(metrics.horizontalAdvance(text))
                            .arg(visible.width())));
    QVERIFY(metrics.height() <= visible.height());
    // The label's own word wrap must agree that one line is enough.
    QVERIFY(label->heightForWidth(label->width()) <= label->height());
}

void TestForm1::shouldNeverGiveKeyboardFocusToAnyControl()
{
    const auto widgets = window->findChildren<QWidget *>();
    QVERIFY(widgets.size() >= 6);
    for (QWidget *widget : widgets)
        QVERIFY2(widget->focusPolicy() == Qt::NoFocus, qPrintable(widget->objectName()));
}

void TestForm1::shouldOfferArkivMenuWithThreePlainItems()
{
    const auto menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus.first(), window->mnuArkiv->menuAction());
    QCOMPARE(window->mnuArkiv->title(), QStringLiteral("Arkiv"));
    QVERIFY(window->mnuArkiv->menuAction()->shortcut().isEmpty());

    QStringList captions;
    for (QAction *item : window->mnuArkiv->actions()) {
        captions << item->text();
        QVERIFY(!item->isSeparator());
        QVERIFY(item->shortcut().isEmpty());
        QVERIFY(!item->isCheckable());
        QVERIFY(item->isEnabled());
        QVERIFY(item->isVisible());
    }
    QCOMPARE(captions, QStringList({QStringLiteral("Ändra alarm"), QStringLiteral("Visa alarm"),
                                    QStringLiteral("Avsluta")}));
}

void TestForm1::shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards_data()
{
    // A widget to double-click, or a menu item to pick.
    QTest::addColumn<QString>("target");

    QTest::newRow("empty client area") << "client";
    for (const char *label :
         {"lbltiden", "lblKlocka", "Label1", "lblInstLarm", "lblform1med", "lblinfomed"})
        QTest::newRow(label) << label;
    QTest::newRow("Ändra alarm") << "mnuÄndraAlarm";
    QTest::newRow("Visa alarm") << "mnuVisaAlarm";
}

void TestForm1::shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards()
{
    QFETCH(QString, target);

    QAction *item = window->findChild<QAction *>(target);
    QWidget *widget = target == QLatin1String("client") ? window->centralWidget()
                                                        : window->findChild<QLabel *>(target);
    QVERIFY(item || widget);
    const QPoint spot = widget == window->centralWidget() ? emptySpot : QPoint();
    if (widget == window->centralWidget())
        QCOMPARE(widget->childAt(spot), nullptr);
    const auto touch = [&] {
        if (item)
            item->trigger();
        else
            QTest::mouseDClick(widget, Qt::LeftButton, {}, spot);
    };

    QVERIFY(!form2Exists());
    touch();
    QVERIFY(form2Exists());
    const QPointer<Form2> opened = &form2();
    QVERIFY(opened->isVisible());
    QCOMPARE(opened->windowTitle(), QStringLiteral("Ställ in alarm"));
    QCOMPARE(opened->txtTid->text(), QStringLiteral("hh:mm"));
    QCOMPARE(opened->txtMeddelande->toPlainText(), QString());
    QCOMPARE(opened->Command1->text(), QStringLiteral("Ställ in alarm"));
    // Modeless: the main window stays usable.
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    opened->txtTid->selectAll();
    QTest::keyClicks(opened->txtTid, QStringLiteral("07:30"));
    QTest::keyClicks(opened->txtMeddelande, QStringLiteral("Dags att gå"));

    // Again while it is open, and again after its close box has hidden it.
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            opened->close();
            QVERIFY(!opened->isVisible());
        }
        touch();
        QVERIFY(opened);
        QCOMPARE(&form2(), opened.data());
        QVERIFY(opened->isVisible());
        QCOMPARE(opened->txtTid->text(), QStringLiteral("07:30"));
        QCOMPARE(opened->txtMeddelande->toPlainText(), QStringLiteral("Dags att gå"));
        QCOMPARE(opened->Command1->text(), QStringLiteral("Ställ in alarm"));
        QCOMPARE(opened->windowTitle(), QStringLiteral("Ställ in alarm"));
    }
}

void TestForm1::shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed_data()
{
    QTest::addColumn<bool>("throughMenu");
    QTest::addColumn<QString>("setAlarmWindow"); // "never" opened, "shown" or "hidden"

    for (const bool throughMenu : {false, true}) {
        for (const char *state : {"never", "shown", "hidden"}) {
            QTest::addRow("%s, set-alarm window %s", throughMenu ? "Avsluta" : "close", state)
                << throughMenu << QString::fromLatin1(state);
        }
    }
}

void TestForm1::shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed()
{
    QFETCH(bool, throughMenu);
    QFETCH(QString, setAlarmWindow);

    QPointer<Form2> opened;
    if (setAlarmWindow != QLatin1String("never")) {
        window->mnuÄndraAlarm->trigger();
        opened = &form2();
        if (setAlarmWindow == QLatin1String("hidden"))
            QVERIFY(!opened->close());
        QCOMPARE(opened->isVisible(), setAlarmWindow == QLatin1String("shown"));
    }

    QTimer::singleShot(0, window.get(), [&] {
        if (throughMenu)
            window->mnuAvsluta->trigger();
        else
            window->close();
    });
    // Should the program fail to end, give up instead of hanging.
    bool gaveUp = false;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, &giveUp, [&gaveUp] {
        gaveUp = true;
        QCoreApplication::exit(1);
    });
    giveUp.start(5000);

    QVERIFY(QGuiApplication::quitOnLastWindowClosed());
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    const int result = QCoreApplication::exec();

    QVERIFY(!gaveUp);
    QCOMPARE(result, 0);
    QCOMPARE(quitting.count(), 1);
    QVERIFY(!window->isVisible());
    QCOMPARE(hindraStangning, qint16(0));
    QVERIFY(!window->TmrKlocka.isActive());
    QVERIFY(!form2Exists());
    QVERIFY(opened.isNull());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
