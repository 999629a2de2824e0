#include "app/WindowPlacement.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace velmora {

namespace {

#if QT_CONFIG(xcb)
xcb_atom_t frameExtentsAtom(xcb_connection_t* connection) {
    static const xcb_atom_t atom = [connection] {
        const char name[] = "_NET_FRAME_EXTENTS";
        const std::unique_ptr<xcb_intern_atom_reply_t, void (*)(void*)> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr),
            std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_NONE);
    }();
    return atom;
}
#endif

}  // namespace

WindowPlacement::WindowPlacement(QWidget& window, QSize outerSize) : window_(window), startOuterSize_(outerSize) {
    place(QMargins());
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void WindowPlacement::watch(QWindow* handle) {
    if (handle) handle->installEventFilter(this);
}

void WindowPlacement::place(const QMargins& frame) {
    // The window manager's frame is taken off the stored size, and the outer
    // rectangle is centred on the screen.
    QRect outer(QPoint(), startOuterSize_);
    if (QScreen* screen = window_.screen()) outer.moveCenter(screen->geometry().center());
    window_.setGeometry(outer.marginsRemoved(frame));
}

void WindowPlacement::follow() {
    // Until the window manager has declared its frame, and without a window
    // manager, the start-up placement stands. The frame is read from the X
    // server, as the window manager declares it: what Qt measured while the
    // window was being framed may be stale or partial.
    QWindow* handle = window_.windowHandle();
    if (!placing_ || !window_.isVisible() || !handle || !handle->isExposed()) return;
    const std::optional<QMargins> frame = declaredFrame();
    if (!frame) return;
    placing_ = false;
    place(*frame);
}

void WindowPlacement::followLater() {
    QTimer::singleShot(0, this, [this] { follow(); });
}

QSize WindowPlacement::outerSize() const { return window_.size().grownBy(declaredFrame().value_or(QMargins())); }

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (placing_ && watched == window_.windowHandle() && event->type() == QEvent::Expose) followLater();
    return QObject::eventFilter(watched, event);
}

std::optional<QMargins> WindowPlacement::declaredFrame() const {
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window_.internalWinId()) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(window_.internalWinId());
    const std::unique_ptr<xcb_get_property_reply_t, void (*)(void*)> reply(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, frameExtentsAtom(connection), XCB_ATOM_CARDINAL, 0, 4),
            nullptr),
        std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 16) return std::nullopt;
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));  // sent as left, right, top, bottom
#else
    return std::nullopt;
#endif
}

bool WindowPlacement::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
#if QT_CONFIG(xcb)
    // Qt notes a new frame but tells the widget nothing: the window may
    // have been shown, exposed and moved before the frame was declared.
    if (!placing_ || type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && change->window == window_.internalWinId() && change->atom == frameExtentsAtom(x11->connection()))
        followLater();
#else
    Q_UNUSED(type);
    Q_UNUSED(message);
#endif
    return false;
}

}  // namespace velmora
