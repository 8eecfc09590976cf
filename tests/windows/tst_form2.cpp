// SPDX-License-Identifier: MIT
// The set-alarm window on Qt's offscreen platform: its layout, the keyboard and the close guard.
#include "platform/module1.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTest>
#include <memory>

namespace {

const QString pink = QStringLiteral("#ec047c");
const QString pale = QStringLiteral("#eff9fe");

// Where a widget paints its text, by the style's own measure.
QRect textArea(QWidget *widget)
{
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(field);
        option.lineWidth =
            field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
        option.features = QStyleOptionFrame::None;
        // QLineEdit keeps 2 px clear to the sides and 1 px above and below its text.
        return field->style()
            ->subElementRect(QStyle::SE_LineEditContents, &option, field)
            .adjusted(2, 1, -2, -1);
    }
    return widget->contentsRect();
}

// Opens the window the way the main window does and waits until it has the keyboard.
bool openActive(Form2 &window)
{
    showWindow(&window);
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void shouldPresentAsIndependentFixedSizeWindowWithCloseOnly();
    void shouldShowEachControlWithItsDesignedGeometryTextAndFont_data();
    void shouldShowEachControlWithItsDesignedGeometryTextAndFont();
    void shouldFitEachCaptionOnOneUnclippedLine_data();
    void shouldFitEachCaptionOnOneUnclippedLine();
    void shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly_data();
    void shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly();
    void shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine_data();
    void shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine();
    void shouldOnlyHideOnCloseWhileMainWindowExists();
    void shouldDestroyOnUnloadOnlyOnceGuardIsCleared();

private:
    // Sets the close guard the way the running program does.
    std::unique_ptr<Form1> mainWindow;
};

void TestForm2::initTestCase()
{
    look::apply(*qApp);
}

void TestForm2::init()
{
    QVERIFY(!form2Exists());
    mainWindow = std::make_unique<Form1>();
}

void TestForm2::cleanup()
{
    hindraStangning = 0;
    unloadForm2();
    mainWindow.reset();
}

void TestForm2::shouldPresentAsIndependentFixedSizeWindowWithCloseOnly()
{
    Form2 &window = form2();
    showWindow(&window);
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QStringLiteral("Ställ in alarm"));
    QCOMPARE(window.parentWidget(), nullptr);
    QCOMPARE(window.windowType(), Qt::Window);
    QCOMPARE(window.windowModality(), Qt::NonModal);

    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));

    const QIcon icon = window.windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));

    QCOMPARE(window.size(), QSize(153, 217));
    QCOMPARE(window.minimumSize(), window.size());
    QCOMPARE(window.maximumSize(), window.size());
    window.resize(300, 300);
    QCOMPARE(window.size(), QSize(153, 217));

    QVERIFY(window.autoFillBackground());
    QCOMPARE(window.grab().toImage().pixelColor(145, 5).name(), pale);
}

void TestForm2::shouldShowEachControlWithItsDesignedGeometryTextAndFont_data()
{
    // Each row is named after its control.
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");

    QTest::newRow("Label1") << "QLabel" << QRect(16, 8, 113, 17) << "Tid (hh:mm)" << 13 << true;
    QTest::newRow("txtTid") << "QLineEdit" << QRect(16, 24, 89, 19) << "hh:mm" << 11 << false;
    QTest::newRow("Label2") << "QLabel" << QRect(16, 56, 113, 17) << "Meddelande:" << 13 << true;
    QTest::newRow("txtMeddelande")
        << "QPlainTextEdit" << QRect(16, 72, 121, 89) << "" << 11 << false;
    QTest::newRow("Command1") << "QPushButton" << QRect(16, 176, 121, 25) << "Ställ in alarm" << 11
                              << false;
}

void TestForm2::shouldShowEachControlWithItsDesignedGeometryTextAndFont()
{
    const QString name = QString::fromUtf8(QTest::currentDataTag());
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);

    Form2 &window = form2();
    auto *control = window.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), &window);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
    QCOMPARE(control->geometry(), geometry);

    const QFontInfo font = control->fontInfo();
    QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(font.pixelSize(), pixelSize);
    QCOMPARE(font.bold(), bold);

    if (auto *field = qobject_cast<QLineEdit *>(control)) {
        QCOMPARE(field->text(), text);
    } else if (auto *box = qobject_cast<QPlainTextEdit *>(control)) {
        QCOMPARE(box->toPlainText(), text);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    } else if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), text);
    } else if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            QCOMPARE(label->palette().color(group, QPalette::WindowText).name(), pink);
            QCOMPARE(label->palette().color(group, QPalette::Window).name(), pale);
        }
        QVERIFY(label->autoFillBackground());
        QCOMPARE(label->grab().toImage().pixelColor(label->rect().bottomRight()).name(), pale);
    }
}

void TestForm2::shouldFitEachCaptionOnOneUnclippedLine_data()
{
    // Each row is named after the text it puts in the control.
    QTest::addColumn<QString>("name");

    QTest::newRow("Tid (hh:mm)") << "Label1";
    QTest::newRow("Meddelande:") << "Label2";
    QTest::newRow("hh:mm") << "txtTid";
    QTest::newRow("Ställ in alarm") << "Command1";
    QTest::newRow("Stoppa Alarm!") << "Command1";
}

void TestForm2::shouldFitEachCaptionOnOneUnclippedLine()
{
    QFETCH(QString, name);
    const QString text = QString::fromUtf8(QTest::currentDataTag());

    auto *control = form2().findChild<QWidget *>(name);
    QVERIFY(control);
    if (auto *button = qobject_cast<QPushButton *>(control))
        button->setText(text);
    const QFontMetrics metrics(control->font());
    const QRect area = textArea(control);
    QVERIFY2(metrics.horizontalAdvance(text) <= area.width(),
             qPrintable(QStringLiteral("%1 px wide in %2 px")
                            .arg(metrics.horizontalAdvance(text))
                            .arg(area.width())));
    QVERIFY2(
        metrics.height() <= area.height(),
        qPrintable(QStringLiteral("%1 px high in %2 px").arg(metrics.height()).arg(area.height())));
    if (auto *label = qobject_cast<QLabel *>(control))
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
}

void TestForm2::shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("Tab") << Qt::Key_Tab
                         << QStringList{"txtTid", "txtMeddelande", "Command1", "txtTid"};
    QTest::newRow("Shift+Tab") << Qt::Key_Backtab
                               << QStringList{"txtTid", "Command1", "txtMeddelande", "txtTid"};
}

void TestForm2::shouldStartInTimeFieldAndCycleThroughFieldsAndButtonOnly()
{
    QFETCH(Qt::Key, key);
    QFETCH(QStringList, order);

    Form2 &window = form2();
    QVERIFY(openActive(window));
    QCOMPARE(window.Label1->focusPolicy(), Qt::NoFocus);
    QCOMPARE(window.Label2->focusPolicy(), Qt::NoFocus);

    // The time field has the focus when the window first opens.
    QCOMPARE(QApplication::focusWidget()->objectName(), order.first());
    for (qsizetype step = 1; step < order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QCOMPARE(QApplication::focusWidget()->objectName(), order.at(step));
    }
    // Tab in the message box moved on instead of typing.
    QCOMPARE(window.txtMeddelande->toPlainText(), QString());
}

void TestForm2::shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QString>("message");

    for (const char *focused : {"txtTid", "Command1"}) {
        QTest::addRow("%s, Return", focused) << focused << Qt::Key_Return << 0 << "";
        QTest::addRow("%s, Enter", focused) << focused << Qt::Key_Enter << 0 << "";
        QTest::addRow("%s, Escape", focused) << focused << Qt::Key_Escape << 0 << "";
    }
    QTest::newRow("txtMeddelande, Return") << "txtMeddelande" << Qt::Key_Return << 0 << "\n";
    QTest::newRow("txtMeddelande, Enter") << "txtMeddelande" << Qt::Key_Enter << 0 << "\n";
    QTest::newRow("txtMeddelande, Escape") << "txtMeddelande" << Qt::Key_Escape << 0 << "";
    QTest::newRow("Command1, Space") << "Command1" << Qt::Key_Space << 1 << "";
}

void TestForm2::shouldPressButtonOnlyWithSpaceAndTakeEnterAsNewLine()
{
    QFETCH(QString, focused);
    QFETCH(Qt::Key, key);
    QFETCH(int, presses);
    QFETCH(QString, message);

    Form2 &window = form2();
    // Only the key handling is under test; the command behind the button is not.
    disconnect(window.Command1, &QPushButton::clicked, &window, nullptr);
    QVERIFY(openActive(window));
    auto *target = window.findChild<QWidget *>(focused);
    QVERIFY(target);
    target->setFocus();
    QCOMPARE(QApplication::focusWidget(), target);

    QSignalSpy clicked(window.Command1, &QPushButton::clicked);
    QTest::keyClick(target, key);
    QCOMPARE(clicked.count(), presses);
    QCOMPARE(QApplication::focusWidget(), target);
    QVERIFY(window.isVisible());
    QCOMPARE(window.txtTid->text(), QStringLiteral("hh:mm"));
    QCOMPARE(window.txtMeddelande->toPlainText(), message);
}

void TestForm2::shouldOnlyHideOnCloseWhileMainWindowExists()
{
    QCOMPARE(hindraStangning, qint16(1));
    const QPointer<Form2> window = &form2();
    showWindow(window);
    window->txtTid->selectAll();
    QTest::keyClicks(window->txtTid, QStringLiteral("23:59"));
    QTest::keyClicks(window->txtMeddelande, QStringLiteral("Sov"));

    QVERIFY(!window->close());
    QVERIFY(window);
    QVERIFY(form2Exists());
    QVERIFY(!window->isVisible());

    showWindow(&form2());
    QCOMPARE(&form2(), window.data());
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Ställ in alarm"));
    QCOMPARE(window->txtTid->text(), QStringLiteral("23:59"));
    QCOMPARE(window->txtMeddelande->toPlainText(), QStringLiteral("Sov"));
    QCOMPARE(window->Command1->text(), QStringLiteral("Ställ in alarm"));
}

void TestForm2::shouldDestroyOnUnloadOnlyOnceGuardIsCleared()
{
    QPointer<Form2> window = &form2();
    showWindow(window);
    QTest::keyClicks(window->txtMeddelande, QStringLiteral("Sov"));

    unloadForm2();
    QVERIFY(window);
    QVERIFY(!window->isVisible());

    hindraStangning = 0;
    unloadForm2();
    QVERIFY(window.isNull());
    QVERIFY(!form2Exists());

    // Unloading what does not exist must not create it.
    unloadForm2();
    QVERIFY(!form2Exists());

    // Created again, it starts over from its initial contents.
    QCOMPARE(form2().txtTid->text(), QStringLiteral("hh:mm"));
    QCOMPARE(form2().txtMeddelande->toPlainText(), QString());
    QVERIFY(!form2().isVisible());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
