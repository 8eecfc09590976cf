// SPDX-License-Identifier: MIT
#include "platform/x11.h"

#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <memory>
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
    constexpr uint32_t remove = 0, add = 1, sourceApplication = 1;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = atom(c, "_NET_WM_STATE");
    event.data.data32[0] = above ? add : remove;
    event.data.data32[1] = atom(c, "_NET_WM_STATE_ABOVE");
    event.data.data32[2] = 0;
    event.data.data32[3] = sourceApplication;
    xcb_send_event(c, false, rootOf(c, w),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

} // namespace x11
