// SPDX-License-Identifier: MIT
#include "platform/x11.h"

#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace x11 {
namespace {

xcb_connection_t *connection()
{
    const auto *app =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    static QHash<QByteArray, xcb_atom_t> cache;
    const QByteArray key(name);
    if (const auto it = cache.constFind(key); it != cache.cend())
        return *it;
    const auto cookie = xcb_intern_atom(c, false, key.size(), name);
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    cache.insert(key, value);
    return value;
}

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    ReplyPtr<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    return reply ? reply->root : xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

QList<xcb_atom_t> readStates(xcb_connection_t *c, xcb_window_t window, xcb_atom_t netWmState)
{
    const auto cookie = xcb_get_property(c, false, window, netWmState, XCB_ATOM_ATOM, 0, 1024);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr),
                                             &std::free);
    QList<xcb_atom_t> states;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        states = QList<xcb_atom_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    return states;
}

void setState(QList<xcb_atom_t> &states, xcb_atom_t state, bool on)
{
    states.removeAll(state);
    if (on)
        states.append(state);
}

std::optional<uint32_t> readCardinal(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property,
                                     xcb_atom_t type = XCB_ATOM_CARDINAL)
{
    const auto cookie = xcb_get_property(c, false, window, property, type, 0, 1);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr),
                                             &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
}

void writeCardinal(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property, uint32_t value)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_CARDINAL, 32, 1,
                        &value);
}

// EWMH requests go to the root window as client messages that the window manager redirects.
void sendToWindowManager(xcb_connection_t *c, xcb_window_t window, xcb_atom_t type,
                         std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(c, false, rootOf(c, window),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
}

constexpr uint32_t stateRemove = 0, stateAdd = 1, sourceApplication = 1;
constexpr uint32_t allDesktops = 0xFFFFFFFF;

std::optional<uint32_t> currentDesktop(xcb_connection_t *c, xcb_window_t window)
{
    return readCardinal(c, rootOf(c, window), atom(c, "_NET_CURRENT_DESKTOP"));
}

// Qt keeps the window's user time on a separate window where the window manager supports that.
xcb_window_t userTimeWindow(xcb_connection_t *c, xcb_window_t window)
{
    return readCardinal(c, window, atom(c, "_NET_WM_USER_TIME_WINDOW"), XCB_ATOM_WINDOW)
        .value_or(window);
}

} // namespace

void setStatesBeforeMap(WId window, bool above, bool skipTaskbar)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_window_t w = static_cast<xcb_window_t>(window);
    const xcb_atom_t netWmState = atom(c, "_NET_WM_STATE");
    QList<xcb_atom_t> states = readStates(c, w, netWmState);
    setState(states, atom(c, "_NET_WM_STATE_ABOVE"), above);
    setState(states, atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), skipTaskbar);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netWmState, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.constData());
    xcb_flush(c);
}

void requestAbove(WId window, bool above)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_window_t w = static_cast<xcb_window_t>(window);
    sendToWindowManager(
        c, w, atom(c, "_NET_WM_STATE"),
        {above ? stateAdd : stateRemove, atom(c, "_NET_WM_STATE_ABOVE"), 0, sourceApplication});
    xcb_flush(c);
}

void setDesktopBeforeMap(WId window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_window_t w = static_cast<xcb_window_t>(window);
    if (const auto desktop = currentDesktop(c, w))
        writeCardinal(c, w, atom(c, "_NET_WM_DESKTOP"), *desktop);
    xcb_flush(c);
}

void requestCurrentDesktop(WId window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_window_t w = static_cast<xcb_window_t>(window);
    const xcb_atom_t netWmDesktop = atom(c, "_NET_WM_DESKTOP");
    const auto desktop = currentDesktop(c, w);
    const auto onDesktop = readCardinal(c, w, netWmDesktop);
    if (!desktop || !onDesktop || *onDesktop == *desktop || *onDesktop == allDesktops)
        return;
    sendToWindowManager(c, w, netWmDesktop, {*desktop, sourceApplication});
    xcb_flush(c);
}

void requestRestoreWithoutActivating(WId window)
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    const xcb_window_t w = static_cast<xcb_window_t>(window);
    const xcb_atom_t netWmState = atom(c, "_NET_WM_STATE");
    const xcb_atom_t hidden = atom(c, "_NET_WM_STATE_HIDDEN");
    if (!readStates(c, w, netWmState).contains(hidden))
        return;
    // No one way works everywhere without taking the focus. openbox and xfwm4 restore on this
    // request, but openbox activates a window mapped while minimised; metacity ignores the request
    // and restores on the map, without activating. Sent in this order, openbox has restored the
    // window before the map arrives and ignores the map; the zero user time keeps xfwm4 from
    // activating on the map.
    writeCardinal(c, userTimeWindow(c, w), atom(c, "_NET_WM_USER_TIME"), 0);
    sendToWindowManager(c, w, netWmState, {stateRemove, hidden, 0, sourceApplication});
    xcb_map_window(c, w);
    xcb_flush(c);
}

void resetIdleTime()
{
    xcb_connection_t *c = connection();
    if (!c)
        return;
    xcb_force_screen_saver(c, XCB_SCREEN_SAVER_RESET);
    xcb_flush(c);
}

} // namespace x11
