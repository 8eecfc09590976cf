// SPDX-License-Identifier: MIT
#include "platform/desktopsessionhold.h"

#include "platform/buscalls.h"
#include "platform/x11.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QGuiApplication>
#include <limits>

namespace {

const QString gnomeService = QStringLiteral("org.gnome.SessionManager");
const QString gnomePath = QStringLiteral("/org/gnome/SessionManager");
// Suspend only: never "idle" (8), which would keep the screen from blanking and locking.
constexpr quint32 gnomeSuspendFlag = 4;

const QString powerService = QStringLiteral("org.freedesktop.PowerManagement");
const QString powerPath = QStringLiteral("/org/freedesktop/PowerManagement/Inhibit");
const QString powerInterface = QStringLiteral("org.freedesktop.PowerManagement.Inhibit");

// An inhibitor granted after the bus's usual 25 s would be held until the program ends, its cookie
// never seen: the answer is waited for however late it comes, and given back if no longer wanted.
constexpr int inhibitTimeoutMs = std::numeric_limits<int>::max();

QDBusMessage gnomeCall(const QString &method)
{
    return QDBusMessage::createMethodCall(gnomeService, gnomePath, gnomeService, method);
}

QDBusMessage powerCall(const QString &method)
{
    return QDBusMessage::createMethodCall(powerService, powerPath, powerInterface, method);
}

quint32 cookieOf(const QDBusMessage &reply)
{
    return reply.arguments().value(0).toUInt();
}

bool answered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1;
}

} // namespace

void DesktopSessionHold::hold(const QString &reason, quint32 window)
{
    release();
    if (!QDBusConnection::sessionBus().isConnected())
        return;
    const quint64 request = m_request;
    QDBusMessage inhibit = gnomeCall(QStringLiteral("Inhibit"));
    inhibit << QGuiApplication::desktopFileName() << window << reason << gnomeSuspendFlag;
    BusCalls::shared().call(inhibit, inhibitTimeoutMs,
                            [this, reason, request](const QDBusMessage &reply) {
                                if (answered(reply))
                                    granted(request, {Service::Gnome, cookieOf(reply)});
                                else if (QDBusError(reply).type() == QDBusError::ServiceUnknown)
                                    holdThroughPowerManagement(reason, request);
                            });
}

// KDE Plasma's and Xfce's power managers serve the older freedesktop interface.
void DesktopSessionHold::holdThroughPowerManagement(const QString &reason, quint64 request)
{
    if (request != m_request)
        return;
    QDBusMessage inhibit = powerCall(QStringLiteral("Inhibit"));
    inhibit << QGuiApplication::desktopFileName() << reason;
    BusCalls::shared().call(inhibit, inhibitTimeoutMs, [this, request](const QDBusMessage &reply) {
        if (answered(reply))
            granted(request, {Service::PowerManagement, cookieOf(reply)});
    });
}

void DesktopSessionHold::granted(quint64 request, Inhibitor inhibitor)
{
    if (request == m_request)
        m_held = inhibitor;
    else
        uninhibit(inhibitor); // released or replaced before the cookie came
}

void DesktopSessionHold::release()
{
    ++m_request;
    if (m_held)
        uninhibit(*m_held);
    m_held.reset();
}

void DesktopSessionHold::uninhibit(Inhibitor inhibitor)
{
    QDBusMessage message = inhibitor.service == Service::Gnome
                               ? gnomeCall(QStringLiteral("Uninhibit"))
                               : powerCall(QStringLiteral("UnInhibit"));
    message << inhibitor.cookie;
    BusCalls::shared().call(message);
}

void DesktopSessionHold::wakeScreen()
{
    x11::resetIdleTime();
}
