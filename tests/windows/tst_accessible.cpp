// SPDX-License-Identifier: MIT
// Readable under a dark desktop theme and for screen readers.
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>

namespace {

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor &colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette darkPalette()
{
    QPalette dark;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button,
                            QPalette::AlternateBase, QPalette::ToolTipBase})
        dark.setColor(role, QColor(0x20, 0x22, 0x25));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                            QPalette::BrightText, QPalette::ToolTipText})
        dark.setColor(role, QColor(0xEE, 0xEE, 0xEE));
    return dark;
}

// The colour behind a widget: its own if it paints its background, else its parent's.
QColor backgroundOf(const QWidget *widget, QPalette::ColorRole role)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w == widget && role != QPalette::Window)
            return w->palette().color(role);
        if (w->autoFillBackground() || w->isWindow())
            return w->palette().color(QPalette::Window);
    }
    return QColor();
}

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

} // namespace

class TestAccessible : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void shouldKeepEveryTextReadableUnderDarkDesktopTheme_data();
    void shouldKeepEveryTextReadableUnderDarkDesktopTheme();
    void shouldNameFieldsAfterTheirCaptionsWithoutAccessKeys();
    void shouldLetScreenReadersReadMainWindowValues();

private:
    QPalette original;
};

void TestAccessible::initTestCase()
{
    look::apply(*qApp);
    original = QApplication::palette();
}

void TestAccessible::cleanup()
{
    QApplication::setPalette(original);
    hindraStangning = 0;
    unloadForm2();
}

void TestAccessible::shouldKeepEveryTextReadableUnderDarkDesktopTheme_data()
{
    QTest::addColumn<bool>("themeChangesWhileRunning");
    QTest::newRow("dark from the start") << false;
    QTest::newRow("dark while running") << true;
}

void TestAccessible::shouldKeepEveryTextReadableUnderDarkDesktopTheme()
{
    QFETCH(bool, themeChangesWhileRunning);
    if (!themeChangesWhileRunning)
        QApplication::setPalette(darkPalette());
    Form1 main;
    Form2 &window = form2();
    main.lblinfomed->setText(QStringLiteral("Vakna!"));
    if (themeChangesWhileRunning)
        QApplication::setPalette(darkPalette());
    QCoreApplication::processEvents();

    struct Text
    {
        const QWidget *widget;
        QPalette::ColorRole foreground;
        QPalette::ColorRole background;
    };
    // The fixed captions keep the design's pink on pale blue (4.0:1, bold), dark theme or not.
    for (const QLabel *caption :
         {main.lbltiden, main.Label1, main.lblform1med, window.Label1, window.Label2}) {
        QCOMPARE(caption->palette().color(QPalette::WindowText), look::captionPink);
        QCOMPARE(backgroundOf(caption, QPalette::Window), look::background);
    }
    // Every other text is in a colour the theme would choose, and must stay readable.
    const Text texts[] = {
        {main.lblKlocka, QPalette::WindowText, QPalette::Window},
        {main.lblInstLarm, QPalette::WindowText, QPalette::Window},
        {main.lblinfomed, QPalette::WindowText, QPalette::Window},
        {main.menuBar(), QPalette::ButtonText, QPalette::Window},
        {main.mnuArkiv, QPalette::Text, QPalette::Window},
        {window.txtTid, QPalette::Text, QPalette::Base},
        {window.txtMeddelande, QPalette::Text, QPalette::Base},
        {window.Command1, QPalette::ButtonText, QPalette::Button},
    };
    for (const Text &text : texts) {
        const QColor ink = text.widget->palette().color(text.foreground);
        const QColor paper = backgroundOf(text.widget, text.background);
        const double ratio = contrast(ink, paper);
        QVERIFY2(ratio >= 4.5,
                 qPrintable(QStringLiteral("%1: %2 on %3 is %4:1")
                                .arg(text.widget->objectName(), ink.name(), paper.name())
                                .arg(ratio, 0, 'f', 1)));
    }
    // The design's own colours hold: white message panel, pale-blue windows.
    QCOMPARE(backgroundOf(main.lblinfomed, QPalette::Window), QColor(Qt::white));
    QCOMPARE(backgroundOf(main.lblKlocka, QPalette::Window), look::background);
}

void TestAccessible::shouldNameFieldsAfterTheirCaptionsWithoutAccessKeys()
{
    Form2 &window = form2();
    QCOMPARE(accessibleName(window.txtTid), QStringLiteral("Tid (hh:mm)"));
    QCOMPARE(accessibleName(window.txtMeddelande), QStringLiteral("Meddelande:"));
    QCOMPARE(accessibleName(window.Command1), QStringLiteral("Ställ in alarm"));
    window.Command1->setText(QStringLiteral("Stoppa Alarm!"));
    QCOMPARE(accessibleName(window.Command1), QStringLiteral("Stoppa Alarm!"));
    // A buddy with an access key would add Alt shortcuts that the captions do not show.
    for (QWidget *field :
         {static_cast<QWidget *>(window.txtTid), static_cast<QWidget *>(window.txtMeddelande)}) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(field);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Accelerator), QString());
    }
    QCOMPARE(accessibleName(window.txtTid->window()), QStringLiteral("Ställ in alarm"));
}

void TestAccessible::shouldLetScreenReadersReadMainWindowValues()
{
    Form1 main;
    main.TmrKlocka.stop();
    // Shown, a tick paints only the digits that changed, but the label still reads the whole time.
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.lblKlocka->setText(QStringLiteral("99:99:99")); // which no clock reads
    main.TmrKlocka_Timer();
    QVERIFY(QTime::fromString(main.lblKlocka->text(), QStringLiteral("hh:mm:ss")).isValid());
    const QList<QPair<QLabel *, QString>> expected = {
        {main.lbltiden, QStringLiteral("Klocka:")},
        {main.lblKlocka, main.lblKlocka->text()},
        {main.Label1, QStringLiteral("Alarm inställt på:")},
        {main.lblInstLarm, QStringLiteral("Inget alarm inställt")},
        {main.lblform1med, QStringLiteral("Meddelande:")},
    };
    for (const auto &[label, text] : expected)
        QCOMPARE(accessibleName(label), text);
    main.lblinfomed->setText(QStringLiteral("Vakna!\nNu."));
    QCOMPARE(accessibleName(main.lblinfomed), QStringLiteral("Vakna!\nNu."));
    QCOMPARE(accessibleName(&main), QStringLiteral("Ringlo (PC)"));
}

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
