#include "platform/qt/window_hints.h"

#include <xcb/xcb.h>
#include <QByteArray>
#include <QGuiApplication>
#include <QSize>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace nrbx::platform {

namespace {

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
constexpr std::uint32_t kMwmFunctionsAndDecorations = 0x1 | 0x2;
constexpr std::uint32_t kMwmFunctionMove = 0x4;
constexpr std::uint32_t kMwmFunctionClose = 0x20;
constexpr std::uint32_t kMwmDecorBorder = 0x2;
constexpr std::uint32_t kMwmDecorTitle = 0x8;
constexpr std::uint32_t kMwmDecorMenu = 0x10;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.constData()),
        nullptr));
    if (!reply) return XCB_ATOM_NONE;
    return reply->atom;
}

QByteArray utf8Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
        nullptr));
    if (!reply || reply->format != 8) return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

xcb_window_t windowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// The X connection when the windows are on an X server (the offscreen platform has none of its own).
xcb_connection_t* xcbConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The running window manager's name as it announces it (EWMH), empty when there is none.
QByteArray windowManagerName(xcb_connection_t* connection, xcb_window_t root) {
    const xcb_atom_t check = atom(connection, "_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t wm = windowProperty(connection, root, check);
    if (wm == XCB_WINDOW_NONE) return {};
    return utf8Property(connection, wm, atom(connection, "_NET_WM_NAME"));
}

// Window managers (Openbox among them) keep a dialog that names no owner above every window of its group,
// so an independent one leaves the group: the main window can then come in front of it.
void leaveWindowGroup(xcb_connection_t* connection, xcb_window_t window) {
    constexpr std::uint32_t kWindowGroupHint = 1u << 6;
    const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return;
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    std::array<std::uint32_t, 9> hints{};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    for (int i = 0; i < count && i < 9; ++i) hints[static_cast<std::size_t>(i)] = values[i];
    hints[0] &= ~kWindowGroupHint;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        static_cast<std::uint32_t>(std::min(count, 9)), hints.data());
}

}  // namespace

void frameAsDialog(QWidget* window) {
    xcb_connection_t* connection = xcbConnection();
    if (!connection || !window) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;

    // Openbox puts minimise and maximise buttons on every dialog whatever the Motif hints ask; of the types
    // it frames with the close button alone, the toolbar type keeps the window an ordinary, independent one.
    const QByteArray type = windowManagerName(connection, root) == "Openbox" ? "_NET_WM_WINDOW_TYPE_TOOLBAR"
                                                                             : "_NET_WM_WINDOW_TYPE_DIALOG";
    const xcb_atom_t types[] = {atom(connection, type)};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, types);

    const xcb_atom_t motif = atom(connection, "_MOTIF_WM_HINTS");
    const std::array<std::uint32_t, 5> hints = {kMwmFunctionsAndDecorations,
                                                kMwmFunctionMove | kMwmFunctionClose,
                                                kMwmDecorBorder | kMwmDecorTitle | kMwmDecorMenu, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, motif, motif, 32, hints.size(), hints.data());
    if (!window->parentWidget()) leaveWindowGroup(connection, id);
    xcb_flush(connection);
}

void resizeInPlace(QWidget* window, const QSize& size) {
    xcb_connection_t* connection = xcbConnection();
    if (!connection || !window->isVisible() || !window->windowHandle()) {
        window->resize(size);
        return;
    }
    const QSize device = size * window->devicePixelRatio();
    const std::uint32_t values[] = {static_cast<std::uint32_t>(device.width()),
                                    static_cast<std::uint32_t>(device.height())};
    xcb_configure_window(connection, static_cast<xcb_window_t>(window->winId()),
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(connection);
}

bool pointerButtonHeld() {
    xcb_connection_t* connection = xcbConnection();
    if (!connection) return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::unique_ptr<xcb_query_pointer_reply_t, FreeReply> reply(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr));
    constexpr std::uint16_t kAnyButton =
        XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3 | XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5;
    return reply && (reply->mask & kAnyButton) != 0;
}

}  // namespace nrbx::platform
