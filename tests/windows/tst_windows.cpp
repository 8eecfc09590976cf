// SPDX-License-Identifier: MIT
// Both windows on Qt's offscreen platform: their layout, the menu, the ways to the set-alarm
// window, the keyboard, the close guard and shutdown.
#include "platform/module1.h"
#include "tests/look/ink.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
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

const QString pale = QStringLiteral("#eff9fe");
const QString white = QStringLiteral("#ffffff");
const char pink[] = "#ec047c";
const char black[] = "#000000";

// A spot of the main window's client area that no label covers.
constexpr QPoint emptySpot{170, 200};

enum class Font { Caption, Plain, Dialog }; // 13 px bold, 13 px, the 11 px dialog font
enum class Fill { NotALabel, Transparent, Pale, White };

struct Control
{
    const char *path; // window.objectName
    QRect geometry;
    const char *text;
    Font font;
    Fill fill = Fill::NotALabel;
    const char *colour = nullptr;
    const char *alsoFits = nullptr; // another text it shows at times
};

using enum Font;
const Control controls[] = {
    {"Form1.lbltiden", {16, 16, 57, 17}, "Klocka:", Caption, Fill::Transparent, pink},
    {"Form1.lblKlocka", {72, 16, 137, 17}, "", Plain, Fill::Pale, black, "00:00:00"},
    {"Form1.Label1", {16, 40, 137, 17}, "Alarm inställt på:", Caption, Fill::Pale, pink},
    {"Form1.lblInstLarm", {16, 56, 137, 25}, "Inget alarm inställt", Plain, Fill::Pale, black},
    {"Form1.lblform1med", {16, 88, 145, 17}, "Meddelande:", Caption, Fill::Transparent, pink},
    {"Form1.lblinfomed", {16, 104, 145, 105}, "", Dialog, Fill::White, black},
    {"Form2.Label1", {16, 8, 113, 17}, "Tid (hh:mm)", Caption, Fill::Pale, pink},
    {"Form2.txtTid", {16, 24, 89, 19}, "hh:mm", Dialog},
    {"Form2.Label2", {16, 56, 113, 17}, "Meddelande:", Caption, Fill::Pale, pink},
    {"Form2.txtMeddelande", {16, 72, 121, 89}, "", Dialog},
    {"Form2.Command1", {16, 176, 121, 25}, "Ställ in alarm", Dialog, {}, {}, "Stoppa Alarm!"},
};

// Opens the window the way the main window does and waits until it has the keyboard.
bool openActive(Form2 &window)
{
    showWindow(&window);
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

Q_DECLARE_METATYPE(const Control *)

class TestWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void shouldPresentEachWindowAsFixedSizeWithItsTitleButtonsAndIcon_data();
    void shouldPresentEachWindowAsFixedSizeWithItsTitleButtonsAndIcon();
    void shouldLayOutEachControlAsDesignedWithTextsFittingOnOneLine_data();
    void shouldLayOutEachControlAsDesignedWithTextsFittingOnOneLine();
    void shouldOfferArkivMenuWithThreePlainItems();
    void shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards_data();
    void shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards();
    void shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly_data();
    void shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly();
    void shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine_data();
    void shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine();
    void shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed_data();
    void shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed();

private:
    std::unique_ptr<Form1> window;
};

void TestWindows::initTestCase()
{
    look::apply(*qApp);
}

void TestWindows::init()
{
    QVERIFY(!form2Exists());
    window = std::make_unique<Form1>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestWindows::cleanup()
{
    // The set-alarm window is program-wide; only a cleared guard lets the next test start without
    // it, and so with its initial contents.
    hindraStangning = 0;
    unloadForm2();
    window.reset();
}

void TestWindows::shouldPresentEachWindowAsFixedSizeWithItsTitleButtonsAndIcon_data()
{
    QTest::addColumn<bool>("inMain");
    QTest::newRow("main") << true;
    QTest::newRow("set-alarm") << false;
}

void TestWindows::shouldPresentEachWindowAsFixedSizeWithItsTitleButtonsAndIcon()
{
    QFETCH(bool, inMain);
    QWidget *top = inMain ? static_cast<QWidget *>(window.get()) : &form2();
    QWidget *client = inMain ? window->centralWidget() : top;
    if (!inMain)
        showWindow(top);
    QCOMPARE(top->windowTitle(), QString::fromUtf8(inMain ? "Ringlo (PC)" : "Ställ in alarm"));
    // Neither owned nor a tool window: each has a title bar and a taskbar button of its own.
    QCOMPARE(top->parentWidget(), nullptr);
    QCOMPARE(top->windowType(), Qt::Window);
    QCOMPARE(top->windowModality(), Qt::NonModal);
    const Qt::WindowFlags flags = top->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint) && flags.testFlag(Qt::WindowCloseButtonHint) &&
            !flags.testFlag(Qt::WindowMaximizeButtonHint) &&
            !flags.testFlag(Qt::FramelessWindowHint));
    QCOMPARE(flags.testFlag(Qt::WindowMinimizeButtonHint), inMain);
    const QList<QSize> iconSizes = top->windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));

    QCOMPARE(client->size(), inMain ? QSize(178, 221) : QSize(153, 217));
    QCOMPARE(top->minimumSize(), top->size());
    QCOMPARE(top->maximumSize(), top->size());
    const QPoint blankSpot = inMain ? emptySpot : QPoint(145, 5);
    QCOMPARE(client->grab().toImage().pixelColor(blankSpot).name(), pale);
    // The main window is never used from the keyboard.
    if (inMain) {
        for (QWidget *widget : window->findChildren<QWidget *>())
            QVERIFY2(widget->focusPolicy() == Qt::NoFocus, qPrintable(widget->objectName()));
    }
}

void TestWindows::shouldLayOutEachControlAsDesignedWithTextsFittingOnOneLine_data()
{
    QTest::addColumn<const Control *>("control");
    for (const Control &control : controls)
        QTest::newRow(control.path) << &control;
}

void TestWindows::shouldLayOutEachControlAsDesignedWithTextsFittingOnOneLine()
{
    QFETCH(const Control *, control);
    const QStringList path = QString::fromUtf8(control->path).split(QLatin1Char('.'));
    QWidget *parent = path.first() == QLatin1String("Form1") ? window->centralWidget() : &form2();
    auto *widget = parent->findChild<QWidget *>(path.last());
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), parent);
    QCOMPARE(widget->geometry(), control->geometry);
    auto *box = qobject_cast<QPlainTextEdit *>(widget);
    QCOMPARE(widget->property(box ? "plainText" : "text").toString(),
             QString::fromUtf8(control->text));
    if (box) {
        QVERIFY(box->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
                box->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
                box->lineWrapMode() == QPlainTextEdit::WidgetWidth);
    }
    const QFontInfo font = widget->fontInfo();
    QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(font.pixelSize(), control->font == Dialog ? 11 : 13);
    QCOMPARE(font.bold(), control->font == Caption);

    auto *label = qobject_cast<QLabel *>(widget);
    QCOMPARE(label != nullptr, control->fill != Fill::NotALabel);
    if (label) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->autoFillBackground(), control->fill != Fill::Transparent);
        const QString fill = control->fill == Fill::White ? white : pale;
        // The main window is often inactive while the set-alarm window is used.
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            QCOMPARE(label->palette().color(group, QPalette::WindowText).name(),
                     QLatin1String(control->colour));
            if (control->fill != Fill::Transparent)
                QCOMPARE(label->palette().color(group, QPalette::Window).name(), fill);
        }
        // A transparent label shows its window's pale blue. The corner is clear of text, and of
        // the neighbours that the design lets overlap by a pixel.
        const QPoint corner =
            control->geometry.intersected(parent->rect()).bottomRight() - QPoint(2, 2);
        QCOMPARE(parent->grab().toImage().pixelColor(corner).name(), fill);
    }

    for (const char *text : {control->text, control->alsoFits}) {
        if (!text || !*text)
            continue;
        widget->setProperty("text", QString::fromUtf8(text));
        const QFontMetrics metrics(widget->font());
        const QRect area = ink::textArea(widget);
        QVERIFY2(metrics.horizontalAdvance(widget->property("text").toString()) <= area.width() &&
                     metrics.height() <= area.height(),
                 qPrintable(widget->property("text").toString() + QStringLiteral(" in ") +
                            ink::describe(area)));
        // The label's own word wrap must agree that one line is enough.
        if (label)
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
    }
}

void TestWindows::shouldOfferArkivMenuWithThreePlainItems()
{
    QCOMPARE(window->menuBar()->actions(), QList<QAction *>{window->mnuArkiv->menuAction()});
    QCOMPARE(window->mnuArkiv->title(), QStringLiteral("Arkiv"));
    QVERIFY(window->mnuArkiv->menuAction()->shortcut().isEmpty());
    QStringList captions;
    for (QAction *item : window->mnuArkiv->actions()) {
        captions << item->text();
        QVERIFY(item->shortcut().isEmpty() && item->isVisible() && !item->isCheckable());
    }
    QCOMPARE(captions, QStringList({QStringLiteral("Ändra alarm"), QStringLiteral("Visa alarm"),
                                    QStringLiteral("Avsluta")}));
}

void TestWindows::shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards_data()
{
    // A widget to double-click, or a menu item to pick.
    QTest::addColumn<QString>("target");
    for (const char *target : {"client", "lbltiden", "lblKlocka", "Label1", "lblInstLarm",
                               "lblform1med", "lblinfomed", "mnuÄndraAlarm", "mnuVisaAlarm"})
        QTest::newRow(target) << QString::fromUtf8(target);
}

void TestWindows::shouldOpenSetAlarmWindowOnFirstTouchAndKeepTextsAfterwards()
{
    QFETCH(QString, target);
    QAction *item = window->findChild<QAction *>(target);
    QWidget *widget = window->findChild<QWidget *>(target);
    QVERIFY(item || widget);
    const QPoint spot = widget == window->centralWidget() ? emptySpot : QPoint();
    if (widget) {
        QCOMPARE(widget->childAt(spot), nullptr);
        // Neither painting nor a single click may create it.
        QCoreApplication::processEvents();
        QTest::mouseClick(widget, Qt::LeftButton, {}, spot);
        QVERIFY(!form2Exists());
    }
    const auto touch = [&] {
        if (item)
            item->trigger();
        else
            QTest::mouseDClick(widget, Qt::LeftButton, {}, spot);
    };
    // Created on the first touch; shown again with what was typed while it is open, and again
    // after its close box has only hidden it.
    QVERIFY(!form2Exists());
    QPointer<Form2> opened;
    for (int round = 0; round < 3; ++round) {
        if (round == 2) {
            QVERIFY(!opened->close());
            QVERIFY(!opened->isVisible());
        }
        touch();
        QVERIFY(form2Exists());
        if (round == 0)
            opened = &form2();
        QCOMPARE(&form2(), opened.data());
        QVERIFY(opened->isVisible());
        QCOMPARE(opened->windowTitle(), QStringLiteral("Ställ in alarm"));
        QCOMPARE(opened->txtTid->text(), QString::fromUtf8(round == 0 ? "hh:mm" : "07:30"));
        QCOMPARE(opened->txtMeddelande->toPlainText(),
                 QString::fromUtf8(round == 0 ? "" : "Dags att gå"));
        QCOMPARE(opened->Command1->text(), QStringLiteral("Ställ in alarm"));
        // Modeless: the main window stays usable.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        if (round == 0) {
            opened->txtTid->selectAll();
            QTest::keyClicks(opened->txtTid, QStringLiteral("07:30"));
            QTest::keyClicks(opened->txtMeddelande, QStringLiteral("Dags att gå"));
        }
    }
}

void TestWindows::shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("Tab") << Qt::Key_Tab
                         << QStringList{"txtTid", "txtMeddelande", "Command1", "txtTid"};
    QTest::newRow("Shift+Tab") << Qt::Key_Backtab
                               << QStringList{"txtTid", "Command1", "txtMeddelande", "txtTid"};
}

void TestWindows::shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly()
{
    QFETCH(Qt::Key, key);
    QFETCH(QStringList, order);
    QVERIFY(openActive(form2()));
    QCOMPARE(QApplication::focusWidget()->objectName(), order.first());
    for (qsizetype step = 1; step < order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QCOMPARE(QApplication::focusWidget()->objectName(), order.at(step));
    }
    // Tab in the message box moved on instead of typing.
    QCOMPARE(form2().txtMeddelande->toPlainText(), QString());
}

void TestWindows::shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("message");

    for (const char *focused : {"txtTid", "txtMeddelande", "Command1"}) {
        const bool box = qstrcmp(focused, "txtMeddelande") == 0;
        QTest::addRow("%s, Return", focused) << focused << Qt::Key_Return << 0 << (box ? "\n" : "");
        QTest::addRow("%s, Enter", focused) << focused << Qt::Key_Enter << 0 << (box ? "\n" : "");
        QTest::addRow("%s, Escape", focused) << focused << Qt::Key_Escape << 0 << "";
    }
    QTest::newRow("Command1, Space") << "Command1" << Qt::Key_Space << 1 << "";
}

void TestWindows::shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine()
{
    QFETCH(QString, focused);
    QFETCH(Qt::Key, key);
    QFETCH(int, presses);
    QFETCH(QString, message);

    Form2 &setAlarm = form2();
    // Only the key handling is under test; the command behind the button is not.
    disconnect(setAlarm.Command1, &QPushButton::clicked, &setAlarm, nullptr);
    QVERIFY(openActive(setAlarm));
    auto *target = setAlarm.findChild<QWidget *>(focused);
    QVERIFY(target);
    target->setFocus();
    QSignalSpy clicked(setAlarm.Command1, &QPushButton::clicked);
    QTest::keyClick(target, key);
    QCOMPARE(clicked.count(), presses);
    QCOMPARE(QApplication::focusWidget(), target);
    QVERIFY(setAlarm.isVisible());
    QCOMPARE(setAlarm.txtTid->text(), QStringLiteral("hh:mm"));
    QCOMPARE(setAlarm.txtMeddelande->toPlainText(), message);
}

void TestWindows::shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed_data()
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

void TestWindows::shouldEndProgramAndTakeSetAlarmWindowAlongWhenClosed()
{
    QFETCH(bool, throughMenu);
    QFETCH(QString, setAlarmWindow);

    QCOMPARE(form1(), window.get());
    QCOMPARE(hindraStangning, qint16(1));
    QVERIFY(window->TmrKlocka.isActive());
    QCOMPARE(window->TmrKlocka.interval(), 1000);
    QPointer<Form2> opened;
    if (setAlarmWindow != QLatin1String("never")) {
        window->mnuÄndraAlarm->trigger();
        opened = &form2();
        if (setAlarmWindow == QLatin1String("hidden"))
            opened->close();
    }

    QTimer::singleShot(0, window.get(), [&] {
        if (throughMenu)
            window->mnuAvsluta->trigger();
        else
            window->close();
    });
    // Should the program fail to end, give up instead of hanging.
    const QObject giveUp; // takes its pending timeout along
    QTimer::singleShot(5000, &giveUp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);

    QVERIFY(!window->isVisible());
    QCOMPARE(hindraStangning, qint16(0));
    QVERIFY(!window->TmrKlocka.isActive());
    QVERIFY(!form2Exists());
    QVERIFY(opened.isNull());
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
