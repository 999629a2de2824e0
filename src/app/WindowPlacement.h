#pragma once
// Where the frame opens: the stored size is its outer size, the window
// manager's frame included, centred on the screen. That frame is known only
// once the window is shown and managed, so the outer size is applied again
// when the window manager declares it (once: later sizes are the user's).

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>
#include <QSize>

#include <optional>

class QWidget;
class QWindow;

namespace velmora {

class WindowPlacement : public QObject, public QAbstractNativeEventFilter {
public:
    // Places `window` at `outerSize` with no frame yet, and watches the X
    // server's events for the frame's declaration. `window` must outlive this.
    WindowPlacement(QWidget& window, QSize outerSize);

    // Once the window is shown: its native window's exposures are watched too.
    void watch(QWindow* handle);
    // After a move or a size change: places the window at the outer size
    // once the window manager's frame is known, and ends placing.
    void follow();
    // The window's outer size now, the window manager's frame included.
    QSize outerSize() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Sees the window manager declare its frame around the window.
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    void place(const QMargins& frame);
    void followLater();
    // The frame the window manager declares around the window, as the X
    // server has it now; none without one.
    std::optional<QMargins> declaredFrame() const;

    QWidget& window_;
    QSize startOuterSize_;
    bool placing_ = true;
};

}  // namespace velmora
