#include "app/HologramWindow.h"

#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velmora {

namespace {

// One slider step: finer than the depth of focus of the default hologram
// (about a quarter of a millimetre), coarse enough for a keyboard.
constexpr double kStep = 10e-6;
// The largest picture shown; a full-HD hologram is halved.
constexpr int kShownWidth = 960;
constexpr int kShownHeight = 540;

QImage toImage(const RgbPicture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB888);
    // QImage pads its rows to four bytes; the picture's rows are packed.
    const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), picture.rgb.data() + row * static_cast<std::size_t>(y), row);
    return image;
}

}  // namespace

HologramWindow::HologramWindow(const HologramSet& set, const HologramSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), reconstruction_(set, settings) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Hologram reconstruction"));
    view_ = new QLabel(this);
    view_->setAlignment(Qt::AlignCenter);
    focusText_ = new QLabel(this);
    slider_ = new QSlider(Qt::Horizontal, this);
    // Around the object by its own depth on both sides (at least a couple of
    // millimetres, so a flat object still shows itself going out of focus),
    // never behind the hologram.
    const double margin = std::max(set.farthestDistance - set.nearestDistance, 2e-3);
    const double nearest = std::max(set.nearestDistance - margin, 0.5 * set.nearestDistance);
    slider_->setRange(static_cast<int>(std::lround(nearest / kStep)),
                      static_cast<int>(std::lround((set.farthestDistance + margin) / kStep)));
    slider_->setValue(static_cast<int>(std::lround(set.middleDistance / kStep)));
    // A refocus takes a moment at full size: once per release, not per pixel dragged.
    slider_->setTracking(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(focusText_);
    layout->addWidget(slider_);
    connect(slider_, &QSlider::valueChanged, this, [this] { refocus(); });
    refocus();
}

double HologramWindow::focusDistance() const { return slider_->value() * kStep; }

void HologramWindow::refocus() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto refocused = reconstruction_.refocus(focusDistance());
    reconstructionError_ = refocused ? std::string() : refocused.error();
    picture_ = toImage(refocused ? *refocused : RgbPicture{});
    QApplication::restoreOverrideCursor();
    const QImage shown = picture_.width() > kShownWidth || picture_.height() > kShownHeight
                             ? picture_.scaled(kShownWidth, kShownHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             : picture_;
    view_->setPixmap(QPixmap::fromImage(shown));
    focusText_->setText(QStringLiteral("Focus: %1 mm from the hologram").arg(focusDistance() * 1e3, 0, 'f', 2));
    if (!refocused)
        focusText_->setText(QStringLiteral("Cannot refocus: %1").arg(QString::fromStdString(reconstructionError_)));
}

}  // namespace velmora
