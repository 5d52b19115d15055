#pragma once

// The windows other programs show on the X server, as a window manager sees
// them: which program each belongs to, its title, their stacking, and the
// close request its close button sends.

#include <QList>
#include <QString>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace X11 {

struct Window
{
    xcb_window_t id = 0;
    qint64 pid = 0;
    QString title;
};

class Connection
{
public:
    Connection() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~Connection() { xcb_disconnect(m_connection); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isValid() const { return m_connection && !xcb_connection_has_error(m_connection); }

    // The top-level windows shown now, from the bottom of the stack to the top.
    QList<Window> shownWindows()
    {
        QList<Window> windows;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, screen->root), nullptr);
        if (!tree)
            return windows;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr);
            const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                               !attributes->override_redirect;
            std::free(attributes);
            if (!shown)
                continue;
            Window window;
            window.id = children[i];
            const QByteArray pid = property(children[i], atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
            if (pid.size() >= 4) {
                quint32 value = 0;
                std::memcpy(&value, pid.constData(), 4);
                window.pid = value;
            }
            window.title =
                QString::fromUtf8(property(children[i], atom("_NET_WM_NAME"), atom("UTF8_STRING")));
            windows << window;
        }
        std::free(tree);
        return windows;
    }

    // What a window manager sends when the user clicks a window's close button.
    void requestClose(xcb_window_t window)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char *>(&event));
        xcb_flush(m_connection);
    }

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, name, type, 0, 1024), nullptr);
        QByteArray value;
        if (reply)
            value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        std::free(reply);
        return value;
    }

    xcb_connection_t *m_connection;
};

} // namespace X11
