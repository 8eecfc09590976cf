// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>
#include <QTimer>

class QLabel;
class QMenu;

// The main window: the running clock, the armed alarm and its message, and the way to the
// set-alarm window.
class Form1 : public QMainWindow
{
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    static constexpr QSize clientSize{178, 221};

    QLabel *lbltiden = nullptr;  // element 1 of its control array
    QLabel *lblKlocka = nullptr; // element 0 of its control array
    QLabel *Label1 = nullptr;
    QLabel *lblInstLarm = nullptr;
    QLabel *lblform1med = nullptr;
    QLabel *lblinfomed = nullptr;
    QMenu *mnuArkiv = nullptr;
    QAction *mnuÄndraAlarm = nullptr;
    QAction *mnuVisaAlarm = nullptr;
    QAction *mnuAvsluta = nullptr;
    QTimer TmrKlocka;

    // The clock tick, run by TmrKlocka once a second.
    void TmrKlocka_Timer();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_DblClick();
    void lbltiden_DblClick(int index);
    void lblKlocka_DblClick(int index);
    void Label1_DblClick();
    void lblInstLarm_DblClick();
    void lblform1med_DblClick();
    void lblinfomed_DblClick();
    void mnuÄndraAlarm_Click();
    void mnuVisaAlarm_Click();
    void mnuAvsluta_Click();
    void Form_Unload(qint16 &cancel);

    void createLabels();
    void createMenu();
    void showSetAlarmWindow();
};
