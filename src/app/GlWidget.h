#pragma once
// The main frame's client area: a QOpenGLWidget (compatibility profile,
// RGBA 8-8-8-8, depth 24, double buffered) whose framebuffer object the
// view draws into from the frame's handlers. A handler makes the context
// current, draws and "swaps"; the swap puts that framebuffer on the screen
// before it returns, as a window system's buffer swap does, so a text drawn
// before a long piece of work ("Loading...", "Re-scaling...") is on screen
// while the work runs. Only when Qt needs the picture anew (first show, a
// new size) does the widget ask the frame to paint, so an overlay text stays
// visible until the next real repaint and a read-back sees exactly what was
// just drawn.

#include "gl/GlSurface.h"

#include <QOpenGLWidget>

#include <functional>
#include <memory>

namespace velmora {

class GlWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit GlWidget(QWidget* parent = nullptr);
    ~GlWidget() override;

    static QSurfaceFormat requestedFormat();

    // The surface the view draws on.
    GlSurface& surface();

    // Draws the frame's picture when Qt needs it drawn anew.
    void setPaintHandler(std::function<void()> handler) { paintHandler_ = std::move(handler); }

    // Whether a frame drawn by a handler is waiting to be shown.
    bool frameWaiting() const { return drawnOutside_; }
    // How many pictures the widget has put on the screen so far.
    int framesShown() const { return framesShown_; }

    // While held, the framebuffer and the surface keep their size whatever
    // happens to the widget; releasing applies the widget's size then.
    void holdSize(bool hold);

protected:
    void paintGL() override;
    void resizeGL(int width, int height) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Surface;
    friend class Surface;

    std::unique_ptr<Surface> surface_;
    std::function<void()> paintHandler_;
    // Puts the framebuffer on the screen now.
    void present();

    bool drawnOutside_ = false;
    bool inPaint_ = false;
    int framesShown_ = 0;
    bool sizeHeld_ = false;
    bool resizeWaiting_ = false;
    QSize heldSize_;
};

}  // namespace velmora
