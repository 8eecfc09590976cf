// SPDX-License-Identifier: MIT
#include "platform/notification.h"

namespace {
// The reason NotificationClosed gives for a notice that the user dismissed.
constexpr quint32 dismissedByUser = 2;
} // namespace

void Notification::ring(const Texts &texts)
{
    if (m_state != State::Idle)
        return;
    m_state = State::Sending;
    send(texts);
}

void Notification::withdraw()
{
    if (m_state == State::Sending || m_state == State::Dropped) {
        m_state = State::Dropped;
        return;
    }
    if (m_state == State::Shown)
        sendClose(m_id);
    m_state = State::Idle;
    m_opened = false;
}

void Notification::shown(const QString &sender, quint32 id)
{
    if (m_state == State::Dropped) {
        sendClose(id);
        m_state = State::Idle;
    } else if (m_state == State::Sending) {
        m_state = State::Shown;
        m_server = sender;
        m_id = id;
    }
}

void Notification::failed()
{
    // The alarm rings on as it would without a notification service: no new try every second.
    if (m_state == State::Sending)
        m_state = State::Finished;
    else if (m_state == State::Dropped)
        m_state = State::Idle;
}

void Notification::actionInvoked(const QString &sender, quint32 id, const QString &action)
{
    if (!isOurs(sender, id))
        return;
    if (action == stopAction)
        Q_EMIT stopChosen();
    else if (action == openAction) {
        m_opened = true;
        Q_EMIT opened();
    }
}

void Notification::closed(const QString &sender, quint32 id, quint32 reason)
{
    if (isOurs(sender, id))
        m_state = reason == dismissedByUser || m_opened ? State::Finished : State::Idle;
}

void Notification::serverGone(const QString &server)
{
    if (m_state == State::Shown && server == m_server)
        m_state = m_opened ? State::Finished : State::Idle;
}

bool Notification::isOurs(const QString &sender, quint32 id) const
{
    return m_state == State::Shown && sender == m_server && id == m_id;
}

namespace {
class NoNotification final : public Notification
{
protected:
    void send(const Texts & /*texts*/) override { failed(); }
    void sendClose(quint32 /*id*/) override {}
};
} // namespace

Notification &Notification::fallback()
{
    static NoNotification none;
    return none;
}
