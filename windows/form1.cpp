// SPDX-License-Identifier: MIT
#include "windows/form1.h"

#include "core/alarm.h"
#include "core/texts.h"
#include "core/tick.h"
#include "platform/clock.h"
#include "platform/module1.h"
#include "windows/clocklabel.h"
#include "windows/form2.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

namespace {

using look::LabelBackground;
using look::LabelFont;

struct LabelRow
{
    QLabel *Form1::*member;
    const char *name;
    const char *caption;
    QRect twips;
    LabelFont font;
    QColor text;
    LabelBackground background;
};

const LabelRow labelTable[] = {
    {&Form1::lbltiden, "lbltiden", "Klocka:", look::twipsRect(240, 240, 855, 255),
     LabelFont::CaptionBold, look::captionPink, LabelBackground::Transparent},
    {&Form1::lblKlocka, "lblKlocka", "", look::twipsRect(1080, 240, 2055, 255), LabelFont::Regular,
     QColor(), LabelBackground::Pale},
    {&Form1::Label1, "Label1", "Alarm inställt på:", look::twipsRect(240, 600, 2055, 255),
     LabelFont::CaptionBold, look::captionPink, LabelBackground::Pale},
    {&Form1::lblInstLarm, "lblInstLarm", "Inget alarm inställt",
     look::twipsRect(240, 840, 2055, 375), LabelFont::Regular, look::bgr(0x00000000),
     LabelBackground::Pale},
    {&Form1::lblform1med, "lblform1med", "Meddelande:", look::twipsRect(240, 1320, 2175, 255),
     LabelFont::CaptionBold, look::captionPink, LabelBackground::Transparent},
    {&Form1::lblinfomed, "lblinfomed", "", look::twipsRect(240, 1560, 2175, 1575),
     LabelFont::Dialog, QColor(), LabelBackground::SystemColour9},
};

} // namespace

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(texts::mainTitle);
    setWindowKind(this, TitleBarButtons::CloseAndMinimise, TaskbarEntry::Shown);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(clientSize);
    // The menu bar keeps the light palette's own colours; the client area is pale blue.
    setPalette(look::lightPalette());
    look::paintPale(client);
    client->installEventFilter(this);
    setCentralWidget(client);

    createLabels();
    createMenu();
    // Nothing moves or resizes with the window, so the window does not resize either.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    TmrKlocka.setObjectName(QStringLiteral("TmrKlocka"));
    // A coarse timer may fire 5 % early, which shows some seconds twice; each tick re-aims it
    // at the next second boundary instead, so lateness never adds up.
    TmrKlocka.setTimerType(Qt::PreciseTimer);
    connect(&TmrKlocka, &QTimer::timeout, this, &Form1::TmrKlocka_Timer);
    TmrKlocka.start(1000);

    setForm1(this);
    Form_Load();
}

Form1::~Form1()
{
    setForm1(nullptr);
}

void Form1::createLabels()
{
    for (const LabelRow &row : labelTable) {
        QLabel *label = row.member == &Form1::lblKlocka ? new ClockLabel(centralWidget())
                                                        : new QLabel(centralWidget());
        label->setText(QString::fromUtf8(row.caption));
        label->setObjectName(QString::fromUtf8(row.name));
        label->setGeometry(row.twips);
        // A label of fixed size does not ask its parent to lay out again when its text changes.
        label->setFixedSize(row.twips.size());
        look::styleLabel(label, row.font, row.text, row.background);
        label->installEventFilter(this);
        this->*row.member = label;
    }
}

void Form1::createMenu()
{
    mnuArkiv = menuBar()->addMenu(QStringLiteral("Arkiv"));
    mnuArkiv->setObjectName(QStringLiteral("mnuArkiv"));
    // A drop-down is a window of its own and does not inherit the main window's palette.
    mnuArkiv->setPalette(look::lightPalette());
    mnuÄndraAlarm = mnuArkiv->addAction(QStringLiteral("Ändra alarm"));
    mnuÄndraAlarm->setObjectName(QStringLiteral("mnuÄndraAlarm"));
    mnuVisaAlarm = mnuArkiv->addAction(texts::showAlarm);
    mnuVisaAlarm->setObjectName(QStringLiteral("mnuVisaAlarm"));
    mnuAvsluta = mnuArkiv->addAction(QStringLiteral("Avsluta"));
    mnuAvsluta->setObjectName(QStringLiteral("mnuAvsluta"));
    connect(mnuÄndraAlarm, &QAction::triggered, this, &Form1::mnuÄndraAlarm_Click);
    connect(mnuVisaAlarm, &QAction::triggered, this, &Form1::mnuVisaAlarm_Click);
    connect(mnuAvsluta, &QAction::triggered, this, &Form1::mnuAvsluta_Click);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonDblClick)
        return QMainWindow::eventFilter(watched, event);
    if (watched == centralWidget())
        Form_DblClick();
    else if (watched == lbltiden)
        lbltiden_DblClick(1);
    else if (watched == lblKlocka)
        lblKlocka_DblClick(0);
    else if (watched == Label1)
        Label1_DblClick();
    else if (watched == lblInstLarm)
        lblInstLarm_DblClick();
    else if (watched == lblform1med)
        lblform1med_DblClick();
    else if (watched == lblinfomed)
        lblinfomed_DblClick();
    else
        return QMainWindow::eventFilter(watched, event);
    return true;
}

void Form1::closeEvent(QCloseEvent *event)
{
    qint16 cancel = 0;
    Form_Unload(cancel);
    event->setAccepted(cancel == 0);
}

void Form1::Form_Load()
{
    hindraStangning = 1;
}

void Form1::showSetAlarmWindow()
{
    showWindow(&form2());
}

void Form1::Form_DblClick()
{
    showSetAlarmWindow();
}

void Form1::lbltiden_DblClick(int /*index*/)
{
    showSetAlarmWindow();
}

void Form1::lblKlocka_DblClick(int /*index*/)
{
    showSetAlarmWindow();
}

void Form1::Label1_DblClick()
{
    showSetAlarmWindow();
}

void Form1::lblInstLarm_DblClick()
{
    showSetAlarmWindow();
}

void Form1::lblform1med_DblClick()
{
    showSetAlarmWindow();
}

void Form1::lblinfomed_DblClick()
{
    showSetAlarmWindow();
}

void Form1::mnuÄndraAlarm_Click()
{
    showSetAlarmWindow();
}

void Form1::mnuVisaAlarm_Click()
{
    setWindowVisible(&form2(), true);
}

void Form1::mnuAvsluta_Click()
{
    close();
}

void Form1::TmrKlocka_Timer()
{
    const QDateTime now = Clock::current().now();
    TmrKlocka.start(msUntilNextTick(now));
    // The ringing state is the set-alarm window's button; a window not yet made cannot ring.
    const bool ringing = form2Exists() && form2().Command1->text() == texts::stopCaption;
    const TickDecision tick = decideTick(alarm(), now, ringing);
    static_cast<ClockLabel *>(lblKlocka)->showTime(tick.clockText);
    switch (tick.effect) {
    case TickDecision::Effect::ClockOnly:
        break;
    case TickDecision::Effect::MainTitle:
        setWindowTitle(texts::mainTitle);
        break;
    case TickDecision::Effect::Ring:
        form2().ring(alarm().alarmMeddelande());
        break;
    }
}

void Form1::Form_Unload(qint16 & /*cancel*/)
{
    hindraStangning = 0;
    unloadForm2();
    // The window goes with its timer: no tick may run once shutdown has begun.
    TmrKlocka.stop();
}
