// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <functional>

// Calls on the session bus that never wait: every answer comes back through the event loop, so a
// service or bus that hangs holds up nothing. At the program's exit it waits a moment for the calls
// still under way, so that a notice closed or a hold released at the end is not lost with it. One
// for the program, so that the exit waits once however many services hang.
class BusCalls : public QObject
{
    Q_OBJECT

public:
    // Made on first use, when the application object exists.
    static BusCalls &shared();

    // timeoutMs -1 is the bus's own default; answered may be empty.
    void call(const QDBusMessage &message, int timeoutMs = -1,
              std::function<void(const QDBusMessage &reply)> answered = {});

    // How long the exit waits at most.
    static constexpr int exitWaitMs = 500;

Q_SIGNALS:
    void settled();

private:
    BusCalls();
    void finish();

    int m_underWay = 0;
};
