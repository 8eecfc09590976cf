// SPDX-License-Identifier: MIT
#pragma once

#include "platform/notification.h"

#include <QStringList>

// Stands in for the notification server; a test answers and signals as it, or anyone else, would.
class RecordingNotification : public Notification
{
public:
    using Notification::actionInvoked, Notification::closed, Notification::shown;
    QStringList sent;

protected:
    void send(const Texts &texts) override { sent.append(texts.body); }
    void sendClose(quint32 /*id*/) override {}
};
