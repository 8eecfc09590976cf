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

// Whether the window manager has the window in _NET_WM_STATE_<state>, e.g. "ABOVE".
inline bool hasState(WId window, const char *state)
{
    return property(window, QStringLiteral("_NET_WM_STATE"))
        .contains(QLatin1String("_NET_WM_STATE_") + QLatin1String(state));
}

// The workspace the user is on now. Scripts that start a window manager give it two or more.
inline uint currentWorkspace()
{
    return run(QStringLiteral("xprop"),
               {QStringLiteral("-root"), QStringLiteral("_NET_CURRENT_DESKTOP")})
        .section(QLatin1Char('='), 1)
        .trimmed()
        .toUInt();
}

inline void switchToWorkspace(uint workspace)
{
    run(QStringLiteral("wmctrl"), {QStringLiteral("-s"), QString::number(workspace)});
}

// Whether the window is on the workspace the user is on now, or on all of them.
inline bool isOnCurrentWorkspace(WId window)
{
    const QString value =
        property(window, QStringLiteral("_NET_WM_DESKTOP")).section(QLatin1Char('='), 1).trimmed();
    return hasState(window, "STICKY") || value == QLatin1String("4294967295") ||
           (!value.isEmpty() && value.toUInt() == currentWorkspace());
}

// As the window menu's "Minimise" does it.
inline void minimise(WId window)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), windowId(window)});
}

// Whether the window manager allows _NET_WM_ACTION_<action>, e.g. "CLOSE".
inline bool allows(WId window, const char *action)
{
    return property(window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"))
        .contains(QLatin1String("_NET_WM_ACTION_") + QLatin1String(action));
}

// Whether the window asks for the maximise function (bit 0x10) or button (0x40) in
// _MOTIF_WM_HINTS = flags, functions, decorations, ..., or the window manager allows maximising.
// A window without the hints gets the window manager's default, which includes maximising.
inline bool offersMaximise(WId window)
{
    const QStringList fields = property(window, QStringLiteral("_MOTIF_WM_HINTS"))
                                   .section(QLatin1Char('='), 1)
                                   .split(QLatin1Char(','));
    return fields.size() != 5 || fields.at(1).trimmed().toUInt(nullptr, 16) & 0x10u ||
           fields.at(2).trimmed().toUInt(nullptr, 16) & 0x40u ||
           property(window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"))
               .contains(QLatin1String("MAXIMIZE"));
}

// As if the user clicked the window's close box.
inline void closeFromTitleBar(WId window)
{
    run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), windowId(window)});
}

// Real input, which window managers judge focus stealing by.
inline void keys(const QStringList &names)
{
    run(QStringLiteral("xdotool"),
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
            names);
}

inline void type(const QString &text)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), text});
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
