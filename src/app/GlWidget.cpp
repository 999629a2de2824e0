#include "app/GlWidget.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QResizeEvent>

#include <X11/Xlib.h>

#include <cmath>

namespace velmora {

class GlWidget::Surface : public GlSurface {
public:
    explicit Surface(GlWidget& widget) : widget_(widget) {}

    bool makeCurrent() override {
        widget_.makeCurrent();
        QOpenGLContext* context = widget_.context();
        return context && context->isValid() && QOpenGLContext::currentContext() == context;
    }

    void swapBuffers() override {
        // Inside paintGL Qt shows the framebuffer once paintGL returns.
        if (widget_.inPaint_) return;
        widget_.drawnOutside_ = true;
        widget_.present();
    }

    int colourBits() const override {
        const QSurfaceFormat format =
            widget_.context() ? widget_.context()->format() : widget_.format();
        const int bits = format.redBufferSize() + format.greenBufferSize() + format.blueBufferSize() +
                         std::max(format.alphaBufferSize(), 0);
        return bits > 0 ? bits : 32;
    }

    int width() const override { return scaled(size().width()); }
    int height() const override { return scaled(size().height()); }

private:
    QSize size() const { return widget_.sizeHeld_ ? widget_.heldSize_ : widget_.size(); }
    int scaled(int size) const { return static_cast<int>(std::lround(size * widget_.devicePixelRatioF())); }

    GlWidget& widget_;
};

GlWidget::GlWidget(QWidget* parent) : QOpenGLWidget(parent), surface_(std::make_unique<Surface>(*this)) {
    setFormat(requestedFormat());
    // What a handler drew stays in the framebuffer until it is drawn over.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

GlWidget::~GlWidget() = default;

QSurfaceFormat GlWidget::requestedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

GlSurface& GlWidget::surface() { return *surface_; }

void GlWidget::present() {
    if (!isVisible() || !updatesEnabled()) {
        update();
        return;
    }
    // Composes the window now. repaint() would not: it leaves a repaint
    // that comes within a frame of the last one to the event loop, which the
    // work that follows keeps waiting.
    update();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window(), &request);
#if QT_CONFIG(xcb)
    // Waits until the X server has the picture: the work that follows may
    // keep this thread from the event loop for a long time.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        if (Display* display = x11->display()) XSync(display, False);
#endif
    // The repaint drew with the window's own context: the handler goes on
    // drawing into this widget's framebuffer.
    makeCurrent();
}

void GlWidget::holdSize(bool hold) {
    if (hold == sizeHeld_) return;
    if (hold) {
        heldSize_ = size();
        sizeHeld_ = true;
        return;
    }
    sizeHeld_ = false;
    if (!resizeWaiting_) return;
    resizeWaiting_ = false;
    QResizeEvent event(size(), heldSize_);
    QOpenGLWidget::resizeEvent(&event);
}

void GlWidget::resizeEvent(QResizeEvent* event) {
    if (sizeHeld_) {
        resizeWaiting_ = true;  // applied when released
        return;
    }
    QOpenGLWidget::resizeEvent(event);
}

void GlWidget::paintGL() {
    ++framesShown_;
    // Qt set the viewport to the widget's size; the view's stays while the
    // size is held.
    if (sizeHeld_) context()->functions()->glViewport(0, 0, surface_->width(), surface_->height());
    if (drawnOutside_) {
        // Show what the handler drew, as it is.
        drawnOutside_ = false;
        return;
    }
    inPaint_ = true;
    if (paintHandler_) paintHandler_();
    inPaint_ = false;
}

void GlWidget::resizeGL(int, int) {
    // A new size comes with a new framebuffer: nothing drawn before survives.
    drawnOutside_ = false;
}

}  // namespace velmora
