// SPDX-License-Identifier: MIT
#pragma once

#include "platform/sessionhold.h"

#include <QtGlobal>
#include <optional>

// The hold as a suspend inhibitor of the desktop session: GNOME's session manager, or where there
// is none the power managers of KDE Plasma and Xfce; the screen woken through the X server's idle
// time, which the desktops that blank or lock on X11 read. Every call is asynchronous.
class DesktopSessionHold final : public SessionHold
{
public:
    void hold(const QString &reason, quint32 window) override;
    void release() override;
    void wakeScreen() override;

private:
    enum class Service { Gnome, PowerManagement };
    struct Inhibitor
    {
        Service service;
        quint32 cookie;
    };

    void holdThroughPowerManagement(const QString &reason, quint64 request);
    // A cookie came for a request: kept if the request still stands, given back otherwise.
    void granted(quint64 request, Inhibitor inhibitor);
    static void uninhibit(Inhibitor inhibitor);

    quint64 m_request = 0; // counts the holds and releases asked for; only the latest stands
    std::optional<Inhibitor> m_held;
};
