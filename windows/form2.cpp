// SPDX-License-Identifier: MIT
#include "windows/form2.h"

#include "core/alarm.h"
#include "core/texts.h"
#include "core/tick.h"
#include "platform/clock.h"
#include "platform/module1.h"
#include "platform/notification.h"
#include "platform/sessionhold.h"
#include "platform/tone.h"
#include "platform/warningbox.h"
#include "windows/form1.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

namespace {

constexpr int toneHz = 900;
constexpr int toneMs = 500;

QLabel *fixedCaption(const QString &caption, const QRect &geometry, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setGeometry(geometry);
    look::styleLabel(label, look::LabelFont::CaptionBold, look::captionPink,
                     look::LabelBackground::Pale);
    return label;
}

} // namespace

Form2::Form2(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(texts::setAlarmTitle);
    setWindowKind(this, TitleBarButtons::Close, TaskbarEntry::Hidden);
    setFixedSize(clientSize);
    look::paintPale(this);

    Label1 =
        fixedCaption(QStringLiteral("Tid (hh:mm)"), look::twipsRect(240, 120, 1695, 255), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    txtTid = new QLineEdit(QStringLiteral("hh:mm"), this);
    txtTid->setObjectName(QStringLiteral("txtTid"));
    txtTid->setGeometry(look::twipsRect(240, 360, 1335, 285));
    // No length limit: whatever is pasted is shown and judged whole, not cut at 32767.
    txtTid->setMaxLength(std::numeric_limits<int>::max());

    Label2 =
        fixedCaption(QStringLiteral("Meddelande:"), look::twipsRect(240, 840, 1695, 255), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    txtMeddelande = new QPlainTextEdit(this);
    txtMeddelande->setObjectName(QStringLiteral("txtMeddelande"));
    txtMeddelande->setGeometry(look::twipsRect(240, 1080, 1815, 1335));
    txtMeddelande->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMeddelande->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMeddelande->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves on to the button like in every other field; Enter still starts a new line.
    txtMeddelande->setTabChangesFocus(true);

    Command1 = new QPushButton(texts::armCaption, this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(look::twipsRect(240, 2640, 1815, 375));
    // Neither Enter nor Escape may press the button.
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    // Screen readers name each field after its caption; the captions carry no access key.
    Label1->setBuddy(txtTid);
    Label2->setBuddy(txtMeddelande);

    setTabOrder(txtTid, txtMeddelande);
    setTabOrder(txtMeddelande, Command1);
    txtTid->setFocus();

    // The notice's "Stoppa Alarm!" is the button's; a click on the notice asks for this window.
    connect(&Notification::current(), &Notification::stopChosen, this, [this] {
        if (Command1->text() == texts::stopCaption)
            Command1_Click();
    });
    connect(&Notification::current(), &Notification::opened, this, [this] { showWindow(this); });
}

Form2::~Form2()
{
    Notification::current().withdraw();
    SessionHold::current().release();
}

void Form2::closeEvent(QCloseEvent *event)
{
    qint16 cancel = 0;
    Form_QueryUnload(cancel, 0);
    event->setAccepted(cancel == 0);
}

void Form2::ring(const QString &message)
{
    // Once for an alarm: an alarm that rings for an hour must not keep an unattended desktop lit
    // and unlocked.
    if (Command1->text() != texts::stopCaption)
        SessionHold::current().wakeScreen();
    setWindowTitle(texts::ringingTitle);
    SattOverst(winId(), sattOverstPa);
    Command1->setText(texts::stopCaption);
    // Rewriting an unchanged text would only throw away the cursor and the undo history.
    if (txtMeddelande->toPlainText() != message)
        txtMeddelande->setPlainText(message);
    Notification::current().ring(
        {texts::ringingTitle, message, texts::stopCaption, texts::showAlarm});
    Tone::current().play(toneHz, toneMs);
}

void Form2::Command1_Click()
{
    Form1 *main = form1();
    switch (decideClick(Command1->text(), txtTid->text())) {
    case ClickDecision::Warn:
        // A time that can never come must not be armed: the user corrects it where it stands.
        WarningBox::current().show(this, texts::warningText, texts::warningTitle);
        // Window managers may hand the focus to another window when the box closes.
        activateWindow();
        txtTid->setFocus();
        return;
    case ClickDecision::Arm:
        alarm().arm(txtTid->text(), txtMeddelande->toPlainText(), Clock::current().now());
        SessionHold::current().hold(texts::armedReason(alarm().alarmTid()),
                                    main ? quint32(main->winId()) : 0);
        if (main) {
            main->lblInstLarm->setText(alarm().alarmTid());
            main->lblinfomed->setText(alarm().alarmMeddelande());
        }
        break;
    case ClickDecision::Stop:
        Tone::current().stop();
        Notification::current().withdraw();
        SessionHold::current().release();
        SattOverst(winId(), sattOverstAv);
        alarm().disarm();
        Command1->setText(texts::armCaption);
        if (main)
            main->lblInstLarm->setText(alarm().alarmTid());
        break;
    }
    setWindowVisible(this, false);
}

void Form2::Form_QueryUnload(qint16 &cancel, int /*unloadMode*/)
{
    cancel = hindraStangning;
    setWindowVisible(this, false);
}
