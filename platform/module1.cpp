// SPDX-License-Identifier: MIT
#include "platform/module1.h"

#include "platform/x11.h"

#include <QEvent>
#include <QWindow>
#include <optional>

namespace {

const char skipTaskbarProperty[] = "ringloSkipTaskbar";

// Window managers drop _NET_WM_STATE when a window is withdrawn, and Qt has no flag for a missing
// taskbar entry, so the states are written again just before each map. The show event arrives
// after the native window exists and before it is mapped. A window that is hidden keeps its place
// for when it is shown again.
class StatesBeforeMap : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->spontaneous())
            return false;
        auto *window = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::Hide) {
            placed = window->geometry().topLeft();
        } else if (event->type() == QEvent::Show) {
            // Unless a shown-again window asks for its old place, the window manager places it
            // anew, wherever its policy says. Qt asks only once the position has been set. It is
            // set now rather than at the hide because metacity, withdrawing the window, moves it
            // to where its frame was, and Qt takes that as the window's new place.
            if (QWindow *handle = window->windowHandle(); handle && placed)
                handle->setPosition(*placed);
            x11::setStatesBeforeMap(window->winId(),
                                    window->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                                    window->property(skipTaskbarProperty).toBool());
        }
        return false;
    }

private:
    std::optional<QPoint> placed;
};

void showWithoutActivating(QWidget *window)
{
    // The xcb plugin reads this property (normally set from WA_ShowWithoutActivating, but only
    // when the native window is created) at map time and then asks the window manager not to
    // give the window the focus.
    window->winId();
    QWindow *handle = window->windowHandle();
    handle->setProperty("_q_showWithoutActivating", true);
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
    handle->setProperty("_q_showWithoutActivating", false);
}

} // namespace

void setWindowKind(QWidget *window, TitleBarButtons buttons, TaskbarEntry taskbar)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    flags.setFlag(Qt::WindowMinimizeButtonHint, buttons == TitleBarButtons::CloseAndMinimise);
    flags.setFlag(Qt::WindowStaysOnTopHint,
                  window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    window->setWindowFlags(flags);
    const bool filtered = window->property(skipTaskbarProperty).isValid();
    window->setProperty(skipTaskbarProperty, taskbar == TaskbarEntry::Hidden);
    if (!filtered)
        window->installEventFilter(new StatesBeforeMap(window));
}

void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void setWindowVisible(QWidget *window, bool visible)
{
    window->setVisible(visible);
}

void SattOverst(WId hwnd, qint16 on)
{
    QWidget *window = QWidget::find(hwnd);
    if (!window)
        return;
    const bool above = on != 0;
    // Changing the flag through setWindowFlags would make Qt destroy and re-create the X window
    // (a flicker and a new window id), so Qt's own record is only overridden and the window
    // manager is asked directly.
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, above);
    window->overrideWindowFlags(flags);
    // A window that Qt counts as shown may still be out of the user's sight: minimised, or left on
    // another workspace. Moving it to the workspace shown now, rather than making it sticky, leaves
    // nothing to undo at the stop, and openbox has no sticky state at all (it ignores the request).
    // A ringing alarm calls this once a second, so the window follows a user who changes workspace.
    if (window->isVisible()) {
        if (above) {
            x11::requestCurrentDesktop(hwnd);
            x11::requestRestoreWithoutActivating(hwnd);
        }
        x11::requestAbove(hwnd, above);
    } else {
        // Window managers should forget a withdrawn window's workspace, but one that remembers it
        // would map the window there, out of sight.
        x11::setDesktopBeforeMap(hwnd);
        showWithoutActivating(window);
    }
}

void preferX11()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}
