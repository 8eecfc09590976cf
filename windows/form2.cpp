// SPDX-License-Identifier: MIT
#include "windows/form2.h"

#include "platform/module1.h"
#include "windows/look.h"
#include "windows/program.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

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
    setWindowTitle(QStringLiteral("Ställ in alarm"));
    setWindowKind(this, TitleBarButtons::Close, TaskbarEntry::Hidden);
    setFixedSize(clientSize);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, look::background);
    setPalette(palette);
    setAutoFillBackground(true);

    Label1 =
        fixedCaption(QStringLiteral("Tid (hh:mm)"), look::twipsRect(240, 120, 1695, 255), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    txtTid = new QLineEdit(QStringLiteral("hh:mm"), this);
    txtTid->setObjectName(QStringLiteral("txtTid"));
    txtTid->setGeometry(look::twipsRect(240, 360, 1335, 285));

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

    Command1 = new QPushButton(QStringLiteral("Ställ in alarm"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(look::twipsRect(240, 2640, 1815, 375));
    // Neither Enter nor Escape may press the button.
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    setTabOrder(txtTid, txtMeddelande);
    setTabOrder(txtMeddelande, Command1);
    txtTid->setFocus();
}

void Form2::closeEvent(QCloseEvent *event)
{
    qint16 cancel = 0;
    Form_QueryUnload(cancel, 0);
    event->setAccepted(cancel == 0);
}

void Form2::Command1_Click() {}

void Form2::Form_QueryUnload(qint16 &cancel, int /*unloadMode*/)
{
    cancel = hindraStangning;
    setWindowVisible(this, false);
}
