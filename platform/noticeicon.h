// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QIcon;

// How the notice shows whose it is. An installed Ringlo is named by its application id, so that the
// desktop draws the icon from its own theme at its own size and finds the menu entry. Run from the
// build tree, the theme has no icon of that name and a server draws a broken image for it: the
// notice then names neither icon nor entry and carries the bell's pixels.
struct NoticeIcon
{
    // An image as the notification interface carries it (iiibiiay): rows of 8-bit RGBA.
    struct Pixels
    {
        qint32 width = 0;
        qint32 height = 0;
        qint32 rowStride = 0;
        bool hasAlpha = true;
        qint32 bitsPerSample = 8;
        qint32 channels = 4;
        QByteArray data;
    };

    static NoticeIcon of(const QString &appId, const QIcon &icon);

    QString appIcon;   // Notify's app_icon
    QVariantMap hints; // desktop-entry, or image-data
};

Q_DECLARE_METATYPE(NoticeIcon::Pixels)
