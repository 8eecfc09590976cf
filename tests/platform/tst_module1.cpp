// SPDX-License-Identifier: MIT
#include "platform/module1.h"
#include "tests/support/desktop.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

class TestModule1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void shouldKeepWindowOffTaskbarAcrossHideAndShow();
    void shouldOfferNoMaximiseOnFixedSizeWindow();
    void shouldKeepWindowAboveWithoutFocusOrMoveUntilTakenOut_data();
    void shouldKeepWindowAboveWithoutFocusOrMoveUntilTakenOut();
    void shouldKeepAboveStateAcrossHideAndShow();
    void shouldIgnoreUnknownHandle();

private:
    void typeInto();

    QWidget *typing = nullptr; // the window the user is typing in
    QLineEdit *field = nullptr;
    QWidget *ringer = nullptr; // the window that gets kept above
};

void TestModule1::init()
{
    typing = new QWidget;
    field = new QLineEdit(typing);
    (new QVBoxLayout(typing))->addWidget(field);
    setWindowKind(typing, TitleBarButtons::CloseAndMinimise, TaskbarEntry::Shown);

    ringer = new QWidget;
    ringer->setFixedSize(153, 217);
    setWindowKind(ringer, TitleBarButtons::Close, TaskbarEntry::Hidden);
}

void TestModule1::cleanup()
{
    delete ringer;
    delete typing;
    desktop::switchToWorkspace(0);
    QTRY_COMPARE(desktop::currentWorkspace(), 0u);
}

void TestModule1::typeInto()
{
    showWindow(typing);
    field->setFocus();
    QTRY_COMPARE(desktop::focusedWindow(), typing->winId());
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->clear();
    desktop::type(QStringLiteral("07"));
    QTRY_COMPARE(field->text(), QStringLiteral("07"));
}

void TestModule1::shouldKeepWindowOffTaskbarAcrossHideAndShow()
{
    // Window managers forget the state when a window is withdrawn.
    for (int round = 0; round < 2; ++round) {
        showWindow(ringer);
        QTRY_VERIFY(desktop::isMapped(ringer->winId()));
        QTRY_VERIFY(desktop::hasState(ringer->winId(), "SKIP_TASKBAR"));
        ringer->hide();
        QTRY_VERIFY(!desktop::isMapped(ringer->winId()));
    }

    showWindow(typing);
    QTRY_VERIFY(desktop::isMapped(typing->winId()));
    QVERIFY(!desktop::hasState(typing->winId(), "SKIP_TASKBAR"));
}

void TestModule1::shouldOfferNoMaximiseOnFixedSizeWindow()
{
    typing->setFixedSize(178, 239);
    showWindow(typing);
    QTRY_VERIFY(desktop::allows(typing->winId(), "CLOSE"));
    QVERIFY(desktop::allows(typing->winId(), "MINIMIZE"));
    QVERIFY(!desktop::offersMaximise(typing->winId()));
}

enum class OutOfSight { Hidden, LeftOpen, Minimised };

void TestModule1::shouldKeepWindowAboveWithoutFocusOrMoveUntilTakenOut_data()
{
    QTest::addColumn<OutOfSight>("outOfSight");
    QTest::addColumn<bool>("userOnOtherWorkspace");
    QTest::newRow("hidden") << OutOfSight::Hidden << true;
    QTest::newRow("left open on another workspace") << OutOfSight::LeftOpen << true;
    QTest::newRow("minimised") << OutOfSight::Minimised << false;
    QTest::newRow("minimised on another workspace") << OutOfSight::Minimised << true;
}

void TestModule1::shouldKeepWindowAboveWithoutFocusOrMoveUntilTakenOut()
{
    QFETCH(OutOfSight, outOfSight);
    QFETCH(bool, userOnOtherWorkspace);
    showWindow(ringer);
    QTRY_VERIFY(desktop::isMapped(ringer->winId()));
    QTest::qWait(200); // let the window manager finish placing it
    const WId id = ringer->winId();
    const QPoint placed = desktop::position(id);
    if (outOfSight == OutOfSight::Hidden)
        ringer->hide();
    else if (outOfSight == OutOfSight::Minimised)
        desktop::minimise(id);
    if (userOnOtherWorkspace) {
        desktop::switchToWorkspace(1);
        QTRY_COMPARE(desktop::currentWorkspace(), 1u);
    }
    QTRY_VERIFY(!desktop::isMapped(id));
    typeInto();

    // Brought into sight and into the band, then taken out of the band while it stays in sight.
    for (const qint16 on : {sattOverstPa, sattOverstAv}) {
        SattOverst(id, on);
        QTRY_VERIFY(desktop::isMapped(id));
        QTRY_COMPARE(desktop::hasState(id, "ABOVE"), on != 0);
        QVERIFY(desktop::isOnCurrentWorkspace(id));
        QVERIFY(!desktop::hasState(id, "HIDDEN"));
        if (!on)
            QVERIFY(!desktop::hasState(id, "STICKY"));
        QVERIFY(desktop::hasState(id, "SKIP_TASKBAR"));
        QTRY_COMPARE(desktop::position(id), placed); // openbox animates a restore
        // The window manager decides on focus asynchronously; give it time to get it wrong.
        QTest::qWait(300);
        QCOMPARE(desktop::focusedWindow(), typing->winId());
        QCOMPARE(QApplication::focusWidget(), field);
        const QString typed = field->text();
        desktop::type(QStringLiteral("3"));
        QTRY_COMPARE(field->text(), typed + QLatin1Char('3'));
    }
}

void TestModule1::shouldKeepAboveStateAcrossHideAndShow()
{
    showWindow(ringer);
    const WId id = ringer->winId();
    QTRY_VERIFY(desktop::isMapped(id));
    for (const qint16 on : {sattOverstAv, sattOverstPa}) {
        SattOverst(id, on);
        QTRY_COMPARE(desktop::hasState(id, "ABOVE"), on != 0);
        ringer->hide();
        QTRY_VERIFY(!desktop::isMapped(id));
        showWindow(ringer);
        QTRY_VERIFY(desktop::isMapped(id));
        QTRY_COMPARE(desktop::hasState(id, "ABOVE"), on != 0);
    }
}

void TestModule1::shouldIgnoreUnknownHandle()
{
    SattOverst(ringer->winId() + 0x10000, sattOverstPa);
    QVERIFY(!ringer->isVisible());
    QVERIFY(!ringer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

int main(int argc, char *argv[])
{
    if (!desktop::hasDisplay())
        return desktop::skipped;
    QApplication app(argc, argv);
    TestModule1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_module1.moc"
