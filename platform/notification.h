// SPDX-License-Identifier: MIT
#pragma once

#include "platform/seam.h"

#include <QObject>
#include <QString>

// The ringing alarm's notice through the desktop's notification service, which reaches the user
// where no window can: over a fullscreen window, on a locked screen, from the keyboard. One notice
// for one alarm. The server answers later, if at all, and only its own signals about its own
// notice count: anyone on the bus can send the same signals.
class Notification : public QObject, public Seam<Notification>
{
    Q_OBJECT

public:
    struct Texts
    {
        QString summary;
        QString body;
        QString stopLabel; // the action that stops the alarm
        QString openLabel; // the default action: a click on the notice
    };

    inline static const QString stopAction = QStringLiteral("stop");
    inline static const QString openAction = QStringLiteral("default");

    // At every ringing tick: the notice is sent the first time, and again only after it went for
    // another reason than the user dismissing it or opening the window from it.
    void ring(const Texts &texts);
    // The alarm is over, stopped or left behind at exit: the notice goes.
    void withdraw();

private:
    friend Seam<Notification>;
    // As if there were no notification service: until the desktop's notice is installed.
    static Notification &fallback();

Q_SIGNALS:
    void stopChosen();
    void opened();

protected:
    // Asks the server to show the notice; its answer comes to shown() or failed().
    virtual void send(const Texts &texts) = 0;
    virtual void sendClose(quint32 id) = 0;

    // What the server answered or signalled; sender is the unique bus name it came from.
    void shown(const QString &sender, quint32 id);
    void failed();
    void actionInvoked(const QString &sender, quint32 id, const QString &action);
    void closed(const QString &sender, quint32 id, quint32 reason);
    // The server left the bus, and its notices with it, unannounced.
    void serverGone(const QString &server);

private:
    enum class State {
        Idle,     // nothing shown: the next ring sends
        Sending,  // asked, not yet answered
        Dropped,  // asked, and the alarm ended before the answer: closed when it comes
        Shown,    // m_server shows it as m_id
        Finished, // dismissed, or no server takes it: nothing more until the alarm ends
    };

    bool isOurs(const QString &sender, quint32 id) const;

    State m_state = State::Idle;
    QString m_server;
    quint32 m_id = 0;
    // The user opened the ringing window from the notice: it is in front of them and the tone goes
    // on until they stop it, so a notice the server then closes (Plasma closes a clicked one, as
    // closed by the program) stays closed for this alarm.
    bool m_opened = false;
};
