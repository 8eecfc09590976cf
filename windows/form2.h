// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The set-alarm window: the alarm time and message are typed here, and it is the window that rings.
class Form2 : public QWidget
{
public:
    explicit Form2(QWidget *parent = nullptr);
    // The alarm goes with the window, and its notice and session hold with it.
    ~Form2() override;

    static constexpr QSize clientSize{153, 217};

    // What every tick does while the alarm is due: the screen wakes the first time, the window
    // comes up on top without taking the focus, offers to stop, shows the message, notifies and
    // sounds the tone.
    void ring(const QString &message);

    QLabel *Label1 = nullptr;
    QLineEdit *txtTid = nullptr;
    QLabel *Label2 = nullptr;
    QPlainTextEdit *txtMeddelande = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Command1_Click();
    void Form_QueryUnload(qint16 &cancel, int unloadMode);
};
