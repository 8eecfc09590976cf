// SPDX-License-Identifier: MIT
#pragma once

// Looks at the program's windows from outside, the way the window manager and the user see them,
// with the X tools that scripts/test installs.

#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdio>

namespace desktop {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline QString windowId(WId window)
{
    return QString::number(window);
}

// The value of one property as xprop prints it, or an empty text if the window has none.
inline QString property(WId window, const QString &name)
{
    const QString out =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), windowId(window), name});
    return out.contains(QLatin1String("not found")) || out.contains(QLatin1String("no such atom"))
               ? QString()
               : out;
}

inline bool isMapped(WId window)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId(window)})
        .contains(QLatin1String("Map State: IsViewable"));
}

// Where the client area of the window is on the screen.
inline QPoint position(WId window)
{
    const QString out = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId(window)});
    const auto x =
        QRegularExpression(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)")).match(out);
    const auto y =
        QRegularExpression(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)")).match(out);
    return x.hasMatch() && y.hasMatch() ? QPoint(x.captured(1).toInt(), y.captured(1).toInt())
                                        : QPoint(-1, -1);
}

inline WId focusedWindow()
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).toULongLong();
}

inline bool hasDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("No X display: skipped (scripts/test provides one).\n", stderr);
        return false;
    }
    return true;
}

// CTest reads this exit code as "skipped".
constexpr int skipped = 77;

} // namespace desktop
