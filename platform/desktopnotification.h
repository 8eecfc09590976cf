// SPDX-License-Identifier: MIT
#pragma once

#include "platform/notification.h"

#include <QDBusMessage>

// The notice through org.freedesktop.Notifications on the session bus, which Qt's own platform
// integration has already connected to. Every call is asynchronous and every answer comes back
// through the event loop, so a server or bus that hangs holds up nothing.
class DesktopNotification final : public Notification
{
    Q_OBJECT

public:
protected:
    void send(const Texts &texts) override;
    void sendClose(quint32 id) override;

private Q_SLOTS:
    void onServerSignal(const QDBusMessage &signal);

private:
    void listen();
    void notify(const Texts &texts, const QStringList &capabilities);

    bool m_listening = false;
};
