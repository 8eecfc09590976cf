// SPDX-License-Identifier: MIT
#include "platform/noticeicon.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QStandardPaths>

QDBusArgument &operator<<(QDBusArgument &argument, const NoticeIcon::Pixels &pixels)
{
    argument.beginStructure();
    argument << pixels.width << pixels.height << pixels.rowStride << pixels.hasAlpha
             << pixels.bitsPerSample << pixels.channels << pixels.data;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, NoticeIcon::Pixels &pixels)
{
    argument.beginStructure();
    argument >> pixels.width >> pixels.height >> pixels.rowStride >> pixels.hasAlpha >>
        pixels.bitsPerSample >> pixels.channels >> pixels.data;
    argument.endStructure();
    return argument;
}

namespace {

// Looked up as the servers look it up, in the data folders: Qt's own icon theme depends on the
// platform plugin (offscreen has none) and leaves out XDG_DATA_HOME, where a user's own install
// puts it. Every theme falls back to hicolor, and that is where the install puts the bell.
bool iconThemeHas(const QString &name)
{
    const QStringList themes =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("icons/hicolor"), QStandardPaths::LocateDirectory);
    for (const QString &theme : themes) {
        for (const QString &size : QDir(theme).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString file = theme + u'/' + size + QLatin1String("/apps/") + name;
            if (QFileInfo::exists(file + QLatin1String(".png")) ||
                QFileInfo::exists(file + QLatin1String(".svg")))
                return true;
        }
    }
    return false;
}

NoticeIcon::Pixels pixelsOf(const QIcon &icon)
{
    QSize largest;
    for (const QSize &size : icon.availableSizes())
        largest = largest.expandedTo(size);
    // At scale 1: on a scaled screen Qt would otherwise hand over the icon blown up to its pixels.
    const QImage image =
        icon.pixmap(largest, 1.0).toImage().convertToFormat(QImage::Format_RGBA8888);
    NoticeIcon::Pixels pixels;
    pixels.width = image.width();
    pixels.height = image.height();
    pixels.rowStride = qint32(image.bytesPerLine());
    pixels.data = QByteArray(reinterpret_cast<const char *>(image.constBits()),
                             qsizetype(image.sizeInBytes()));
    return pixels;
}

} // namespace

NoticeIcon NoticeIcon::of(const QString &appId, const QIcon &icon)
{
    NoticeIcon notice;
    const QString entry = appId + QLatin1String(".desktop");
    if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry).isEmpty())
        notice.hints.insert(QStringLiteral("desktop-entry"), appId);
    if (iconThemeHas(appId)) {
        notice.appIcon = appId;
    } else if (!icon.availableSizes().isEmpty()) {
        static const QMetaType registered = qDBusRegisterMetaType<Pixels>();
        Q_UNUSED(registered);
        notice.hints.insert(QStringLiteral("image-data"), QVariant::fromValue(pixelsOf(icon)));
    }
    return notice;
}
