#include "app/GlWidget.h"

#include <QOpenGLContext>

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
        widget_.update();
    }

    int colourBits() const override {
        const QSurfaceFormat format =
            widget_.context() ? widget_.context()->format() : widget_.format();
        const int bits = format.redBufferSize() + format.greenBufferSize() + format.blueBufferSize() +
                         std::max(format.alphaBufferSize(), 0);
        return bits > 0 ? bits : 32;
    }

    int width() const override { return scaled(widget_.width()); }
    int height() const override { return scaled(widget_.height()); }

private:
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

void GlWidget::paintGL() {
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
