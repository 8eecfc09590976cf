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

    void shouldKeepWindowOffTaskbarWithoutOwnerAcrossHideAndShow();
    void shouldOfferNoMaximiseOnFixedSizeWindow();
    void shouldShowHiddenWindowAboveWithoutFocusOrMove();
    void shouldTakeWindowOutOfAboveBandWithoutUnmapping();
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
    typing->setWindowTitle(QStringLiteral("typing"));
    field = new QLineEdit(typing);
    (new QVBoxLayout(typing))->addWidget(field);
    setWindowKind(typing, TitleBarButtons::CloseAndMinimise, TaskbarEntry::Shown);

    ringer = new QWidget;
    ringer->setWindowTitle(QStringLiteral("ringer"));
    ringer->setFixedSize(153, 217);
    setWindowKind(ringer, TitleBarButtons::Close, TaskbarEntry::Hidden);
}

void TestModule1::cleanup()
{
    delete ringer;
    delete typing;
}

void TestModule1::typeInto()
{
    showWindow(typing);
    field->setFocus();
    QTRY_COMPARE(desktop::focusedWindow(), typing->winId());
    QTRY_COMPARE(QApplication::focusWidget(), field);
    // Real key presses: window managers judge focus stealing by the time of the user's last input.
    field->clear();
    desktop::run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("07")});
    QTRY_COMPARE(field->text(), QStringLiteral("07"));
}

void TestModule1::shouldKeepWindowOffTaskbarWithoutOwnerAcrossHideAndShow()
{
    for (int round = 0; round < 2; ++round) {
        showWindow(ringer);
        QTRY_VERIFY(desktop::isMapped(ringer->winId()));
        QTRY_VERIFY(desktop::property(ringer->winId(), QStringLiteral("_NET_WM_STATE"))
                        .contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")));
        QCOMPARE(desktop::property(ringer->winId(), QStringLiteral("WM_TRANSIENT_FOR")), QString());
        ringer->hide();
        QTRY_VERIFY(!desktop::isMapped(ringer->winId()));
    }

    showWindow(typing);
    QTRY_VERIFY(desktop::isMapped(typing->winId()));
    QVERIFY(!desktop::property(typing->winId(), QStringLiteral("_NET_WM_STATE"))
                 .contains(QLatin1String("SKIP_TASKBAR")));
}

void TestModule1::shouldOfferNoMaximiseOnFixedSizeWindow()
{
    typing->setFixedSize(178, 239);
    showWindow(typing);
    QTRY_VERIFY(desktop::isMapped(typing->winId()));

    // _MOTIF_WM_HINTS = flags, functions, decorations, ...: maximise is function bit 0x10 and
    // decoration bit 0x40; minimise and close stay.
    const QString motif = desktop::property(typing->winId(), QStringLiteral("_MOTIF_WM_HINTS"));
    const QStringList fields = motif.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    QCOMPARE(fields.size(), 5);
    const uint functions = fields.at(1).trimmed().toUInt(nullptr, 16);
    const uint decorations = fields.at(2).trimmed().toUInt(nullptr, 16);
    QCOMPARE(functions & 0x10u, 0u);
    QCOMPARE(decorations & 0x40u, 0u);
    QVERIFY(functions & 0x08u);
    QVERIFY(functions & 0x20u);

    QTRY_VERIFY(
        !desktop::property(typing->winId(), QStringLiteral("_NET_WM_ALLOWED_ACTIONS")).isEmpty());
    const QString actions =
        desktop::property(typing->winId(), QStringLiteral("_NET_WM_ALLOWED_ACTIONS"));
    QVERIFY2(!actions.contains(QLatin1String("MAXIMIZE")), qPrintable(actions));
    QVERIFY(actions.contains(QLatin1String("_NET_WM_ACTION_MINIMIZE")));
    QVERIFY(actions.contains(QLatin1String("_NET_WM_ACTION_CLOSE")));
}

void TestModule1::shouldShowHiddenWindowAboveWithoutFocusOrMove()
{
    showWindow(ringer);
    QTRY_VERIFY(desktop::isMapped(ringer->winId()));
    QTest::qWait(200); // let the window manager finish placing it
    const QPoint placed = desktop::position(ringer->winId());
    ringer->hide();
    QTRY_VERIFY(!desktop::isMapped(ringer->winId()));
    typeInto();

    const WId id = ringer->winId();
    SattOverst(id, sattOverstPa);

    QTRY_VERIFY(desktop::isMapped(id));
    QTRY_VERIFY(desktop::property(id, QStringLiteral("_NET_WM_STATE"))
                    .contains(QLatin1String("_NET_WM_STATE_ABOVE")));
    QVERIFY(desktop::property(id, QStringLiteral("_NET_WM_STATE"))
                .contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR")));
    QVERIFY(ringer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(ringer->winId(), id);
    QCOMPARE(desktop::position(id), placed);
    // The window manager decides on focus asynchronously; give it time to get it wrong.
    QTest::qWait(300);
    QCOMPARE(desktop::focusedWindow(), typing->winId());
    QCOMPARE(QApplication::focusWidget(), field);
}

void TestModule1::shouldTakeWindowOutOfAboveBandWithoutUnmapping()
{
    typeInto();
    const WId id = ringer->winId();
    SattOverst(id, sattOverstPa);
    QTRY_VERIFY(desktop::property(id, QStringLiteral("_NET_WM_STATE"))
                    .contains(QLatin1String("_NET_WM_STATE_ABOVE")));
    const QPoint placed = desktop::position(id);

    SattOverst(id, sattOverstAv);

    QTRY_VERIFY(!desktop::property(id, QStringLiteral("_NET_WM_STATE"))
                     .contains(QLatin1String("_NET_WM_STATE_ABOVE")));
    QVERIFY(desktop::isMapped(id));
    QVERIFY(ringer->isVisible());
    QVERIFY(!ringer->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(ringer->winId(), id);
    QCOMPARE(desktop::position(id), placed);
    QCOMPARE(desktop::focusedWindow(), typing->winId());

    // Shown again after a hide, a window out of the band stays out of it.
    ringer->hide();
    QTRY_VERIFY(!desktop::isMapped(id));
    showWindow(ringer);
    QTRY_VERIFY(desktop::isMapped(id));
    QVERIFY(!desktop::property(id, QStringLiteral("_NET_WM_STATE"))
                 .contains(QLatin1String("_NET_WM_STATE_ABOVE")));
}

void TestModule1::shouldIgnoreUnknownHandle()
{
    const WId unknown = ringer->winId() + 0x10000;
    SattOverst(unknown, sattOverstPa);
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
