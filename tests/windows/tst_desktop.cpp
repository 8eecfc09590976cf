// SPDX-License-Identifier: MIT
// The two windows on a real X server and window manager, observed from outside.
#include "core/alarm.h"
#include "platform/desktopwarningbox.h"
#include "platform/module1.h"
#include "tests/support/desktop.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class TestDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void shouldShowSetAlarmWindowOffTaskbarWithoutOwnerAndMainWindowWithoutMaximise();
    void shouldOnlyHideSetAlarmWindowWhenWindowManagerClosesIt();
    void shouldKeepFocusInMainWindowWhenSetAlarmWindowIsKeptAbove();
    void shouldArmFromKeyboardAlone();
    void shouldGiveTimeFieldTheKeyboardBackAfterWarning();
    void shouldCloseBothWindowsWhenWindowManagerClosesMainWindow();

private:
    DesktopWarningBox warning;
    Form1 *main = nullptr;
};

void TestDesktop::initTestCase()
{
    WarningBox::install(&warning);
    main = new Form1;
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
}

void TestDesktop::cleanupTestCase()
{
    delete main;
    hindraStangning = 0;
    unloadForm2();
    WarningBox::install(nullptr);
}

void TestDesktop::shouldShowSetAlarmWindowOffTaskbarWithoutOwnerAndMainWindowWithoutMaximise()
{
    QTRY_VERIFY(desktop::allows(main->winId(), "CLOSE"));
    QVERIFY(!desktop::offersMaximise(main->winId()));
    main->mnuÄndraAlarm->trigger();
    const WId id = form2().winId();
    QTRY_VERIFY(desktop::isMapped(id));
    QTRY_VERIFY(desktop::hasState(id, "SKIP_TASKBAR"));
    QCOMPARE(desktop::property(id, QStringLiteral("WM_TRANSIENT_FOR")), QString());
}

void TestDesktop::shouldOnlyHideSetAlarmWindowWhenWindowManagerClosesIt()
{
    main->mnuÄndraAlarm->trigger();
    Form2 *window = &form2();
    const WId id = window->winId();
    // Closed once it has settled as the active window, as a user would see it.
    QTRY_COMPARE(QApplication::activeWindow(), window);
    window->txtTid->setText(QStringLiteral("07:30"));
    window->txtMeddelande->setPlainText(QStringLiteral("Vakna!"));

    desktop::closeFromTitleBar(id);

    QTRY_VERIFY(!window->isVisible());
    QTRY_VERIFY(!desktop::isMapped(id));
    QVERIFY(form2Exists());
    QCOMPARE(&form2(), window);
    main->mnuVisaAlarm->trigger();
    QTRY_VERIFY(desktop::isMapped(id));
    QCOMPARE(window->txtTid->text(), QStringLiteral("07:30"));
    QCOMPARE(window->txtMeddelande->toPlainText(), QStringLiteral("Vakna!"));
}

void TestDesktop::shouldKeepFocusInMainWindowWhenSetAlarmWindowIsKeptAbove()
{
    const WId id = form2().winId();
    form2().hide();
    QTRY_VERIFY(!desktop::isMapped(id));
    showWindow(main);
    QTRY_COMPARE(desktop::focusedWindow(), main->winId());
    // A real click in the main window, as a user would leave it before the alarm comes.
    const QPoint clock = main->lblKlocka->mapToGlobal(QPoint(5, 5));
    desktop::run(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QString::number(clock.x()),
                  QString::number(clock.y()), QStringLiteral("click"), QStringLiteral("1")});

    SattOverst(id, sattOverstPa);

    QTRY_VERIFY(desktop::isMapped(id));
    QTest::qWait(300);
    QCOMPARE(desktop::focusedWindow(), main->winId());
    SattOverst(id, sattOverstAv);
}

void TestDesktop::shouldArmFromKeyboardAlone()
{
    Form2 *window = &form2();
    window->hide();
    window->txtMeddelande->clear();
    showWindow(main);
    QTRY_COMPARE(desktop::focusedWindow(), main->winId());

    // Alt reaches the menu bar, Down opens "Arkiv" on its first item, Return picks it.
    desktop::keys({QStringLiteral("alt")});
    desktop::keys({QStringLiteral("Down"), QStringLiteral("Return")});
    QTRY_VERIFY(desktop::isMapped(window->winId()));
    QTRY_COMPARE(desktop::focusedWindow(), window->winId());
    QTRY_COMPARE(QApplication::focusWidget(), window->txtTid);

    desktop::keys({QStringLiteral("ctrl+a")});
    desktop::type(QStringLiteral("07:30"));
    desktop::keys({QStringLiteral("Tab")});
    desktop::type(QStringLiteral("Vakna"));
    desktop::keys({QStringLiteral("Tab")});
    QTRY_COMPARE(QApplication::focusWidget(), window->Command1);
    QVERIFY(!alarm().isArmed());
    desktop::keys({QStringLiteral("space")});

    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(alarm().alarmTid(), QStringLiteral("07:30"));
    QCOMPARE(main->lblInstLarm->text(), QStringLiteral("07:30"));
    QCOMPARE(main->lblinfomed->text(), QStringLiteral("Vakna"));
    alarm().disarm();
}

void TestDesktop::shouldGiveTimeFieldTheKeyboardBackAfterWarning()
{
    main->mnuÄndraAlarm->trigger();
    Form2 *window = &form2();
    QTRY_COMPARE(desktop::focusedWindow(), window->winId());
    window->txtTid->setText(QStringLiteral("7:30"));
    window->Command1->setFocus();

    // The box is modal: it is dismissed from inside its own event loop, as a user would.
    QString warned;
    QTimer dismiss;
    connect(&dismiss, &QTimer::timeout, this, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box || desktop::focusedWindow() != box->winId())
            return;
        warned = box->windowTitle();
        dismiss.stop();
        desktop::keys({QStringLiteral("Return")});
    });
    dismiss.start(100);
    desktop::keys({QStringLiteral("space")});

    QTRY_COMPARE(warned, QStringLiteral("Fel"));
    QTRY_COMPARE(desktop::focusedWindow(), window->winId());
    QTRY_COMPARE(QApplication::focusWidget(), window->txtTid);
    QVERIFY(window->isVisible());
    QVERIFY(!alarm().isArmed());
}

void TestDesktop::shouldCloseBothWindowsWhenWindowManagerClosesMainWindow()
{
    main->mnuÄndraAlarm->trigger();
    QTRY_VERIFY(desktop::isMapped(form2().winId()));
    bool quitRequested = false;
    connect(qApp, &QCoreApplication::aboutToQuit, this, [&quitRequested] { quitRequested = true; });
    QTimer::singleShot(0, this, [this] { desktop::closeFromTitleBar(main->winId()); });
    QTimer::singleShot(10000, qApp, &QCoreApplication::quit); // a failure must not hang
    QElapsedTimer waited;
    waited.start();
    QApplication::exec();

    QVERIFY(waited.elapsed() < 10000);
    QVERIFY(quitRequested);
    QVERIFY(!main->isVisible());
    QVERIFY(!form2Exists());
    QCOMPARE(hindraStangning, qint16(0));
}

int main(int argc, char *argv[])
{
    if (!desktop::hasDisplay())
        return desktop::skipped;
    QApplication app(argc, argv);
    look::apply(app);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
