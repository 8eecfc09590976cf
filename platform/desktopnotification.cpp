// SPDX-License-Identifier: MIT
#include "platform/desktopnotification.h"

#include "platform/buscalls.h"
#include "platform/noticeicon.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QIcon>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
// A close gives up after this long.
constexpr int closeTimeoutMs = BusCalls::exitWaitMs;
constexpr uchar criticalUrgency = 2;

QDBusMessage methodCall(const QString &method)
{
    return QDBusMessage::createMethodCall(service, objectPath, service, method);
}

// The message as typed, also where the server reads the body as markup.
QString literalBody(const QString &text, bool markup)
{
    if (!markup)
        return text;
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QLatin1String("&amp;");
        else if (c == u'<')
            escaped += QLatin1String("&lt;");
        else if (c == u'>')
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

// Links and images are markup too: a server that shows them reads the body as markup.
bool readsMarkup(const QStringList &capabilities)
{
    return capabilities.contains(QLatin1String("body-markup")) ||
           capabilities.contains(QLatin1String("body-hyperlinks")) ||
           capabilities.contains(QLatin1String("body-images"));
}

} // namespace

void DesktopNotification::send(const Texts &texts)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        failed();
        return;
    }
    listen();
    BusCalls::shared().call(methodCall(QStringLiteral("GetCapabilities")), -1,
                            [this, texts](const QDBusMessage &reply) {
                                if (reply.type() == QDBusMessage::ReplyMessage)
                                    notify(texts, reply.arguments().value(0).toStringList());
                                else
                                    failed();
                            });
}

void DesktopNotification::notify(const Texts &texts, const QStringList &capabilities)
{
    QStringList actions;
    if (capabilities.contains(QLatin1String("actions")))
        actions = {openAction, texts.openLabel, stopAction, texts.stopLabel};
    const NoticeIcon icon =
        NoticeIcon::of(QGuiApplication::desktopFileName(), QGuiApplication::windowIcon());
    // Critical, and never expiring (the last 0): shown above fullscreen windows and kept until
    // dismissed. Ringlo sounds its own tone.
    QVariantMap hints = icon.hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(criticalUrgency));
    hints.insert(QStringLiteral("suppress-sound"), true);
    QDBusMessage message = methodCall(QStringLiteral("Notify"));
    message << QStringLiteral("Ringlo") << quint32(0) << icon.appIcon << texts.summary
            << literalBody(texts.body, readsMarkup(capabilities)) << actions << hints << qint32(0);
    BusCalls::shared().call(message, -1, [this](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1)
            shown(reply.service(), reply.arguments().constFirst().toUInt());
        else
            failed();
    });
}

void DesktopNotification::sendClose(quint32 id)
{
    QDBusMessage message = methodCall(QStringLiteral("CloseNotification"));
    message << id;
    // The exit waits for it: a notice left behind would offer to stop an alarm that is gone.
    BusCalls::shared().call(message, closeTimeoutMs);
}

void DesktopNotification::listen()
{
    if (m_listening)
        return;
    m_listening = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Taken from any sender: for a named one Qt would first ask the bus who owns the name, and
    // wait for the answer. isOurs() holds the sender to the server that answered instead. QtDBus
    // hands a bus signal only to a slot named by its signature.
    for (const QString &name :
         {QStringLiteral("ActionInvoked"), QStringLiteral("NotificationClosed")})
        bus.connect(QString(), objectPath, service, name, this, SLOT(onServerSignal(QDBusMessage)));
    auto *owner =
        new QDBusServiceWatcher(service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &oldOwner, const QString &) {
                serverGone(oldOwner);
            });
}

void DesktopNotification::onServerSignal(const QDBusMessage &signal)
{
    const QVariantList arguments = signal.arguments();
    if (arguments.size() != 2)
        return;
    const quint32 id = arguments.at(0).toUInt();
    if (signal.member() == QLatin1String("ActionInvoked"))
        actionInvoked(signal.service(), id, arguments.at(1).toString());
    else
        closed(signal.service(), id, arguments.at(1).toUInt());
}
