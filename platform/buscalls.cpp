// SPDX-License-Identifier: MIT
#include "platform/buscalls.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>

BusCalls &BusCalls::shared()
{
    static BusCalls calls;
    return calls;
}

BusCalls::BusCalls()
{
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &BusCalls::finish);
}

void BusCalls::call(const QDBusMessage &message, int timeoutMs,
                    std::function<void(const QDBusMessage &)> answered)
{
    ++m_underWay;
    auto *watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(message, timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, answered] {
        watcher->deleteLater();
        if (answered)
            answered(watcher->reply());
        if (--m_underWay == 0)
            Q_EMIT settled();
    });
}

void BusCalls::finish()
{
    if (m_underWay == 0)
        return;
    QEventLoop loop;
    connect(this, &BusCalls::settled, &loop, &QEventLoop::quit);
    QTimer::singleShot(exitWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}
