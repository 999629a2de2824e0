#include "app/HologramWindow.h"

#include "export/ExportCommands.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velmora {

namespace {

// The slider's resolution: finer than the depth of focus of the default
// hologram (about a quarter of a millimetre), so a typed focus lands where
// it was typed.
constexpr double kResolution = 10e-6;
// A key moves the focus by a fraction of the range, whatever the object's
// depth: 200 arrow presses cross it (0.1 mm for a 20 mm range, where the
// picture changes visibly at every press), 20 page presses do. The range
// scales with the object, so a round millimetre step would be far too
// coarse for a flat object and far too fine for a deep one.
constexpr int kLineSteps = 200;
constexpr int kPageSteps = 20;
// The size the window opens at; a full-HD hologram is halved.
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

// The picture as large as the widget allows, its aspect kept.
class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent) : QWidget(parent) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    void setPicture(const QImage& picture) {
        picture_ = picture;
        updateGeometry();
        update();
    }
    QSize sizeHint() const override {
        return picture_.size().boundedTo(QSize(kShownWidth, kShownHeight)).expandedTo(QSize(1, 1));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (picture_.isNull()) return;
        QRect target(QPoint(), picture_.size().scaled(size(), Qt::KeepAspectRatio));
        target.moveCenter(rect().center());
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, picture_);
    }

private:
    QImage picture_;
};

Result<ReconstructedHologram> reconstructHologram(HologramSet set, const HologramSettings& settings,
                                                  const HologramProgress& progress) {
    if (progress) progress("setting up the reconstruction");
    auto reconstruction = std::make_unique<Reconstruction>(set, settings);
    if (progress) progress("focusing the reconstruction on the middle of the object");
    auto picture = reconstruction->refocus(set.middleDistance);
    if (!picture) return Result<ReconstructedHologram>::failure(picture.error());
    return ReconstructedHologram{std::make_shared<const HologramSet>(std::move(set)), std::move(reconstruction),
                                 std::move(*picture), nullptr};
}

HologramWindow::HologramWindow(ReconstructedHologram hologram, const HologramSettings& settings, Prompt& prompt,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      reconstruction_(std::move(hologram.reconstruction)),
      set_(std::move(hologram.set)),
      settings_(settings),
      prompt_(prompt) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Hologram reconstruction"));
    view_ = new PictureView(this);
    focusText_ = new QLabel(this);
    slider_ = new QSlider(Qt::Horizontal, this);
    field_ = new QDoubleSpinBox(this);
    save_ = new QPushButton(QStringLiteral("Save hologram files..."), this);
    save_->setShortcut(QKeySequence::Save);

    // Around the object by its own depth on both sides (at least a couple of
    // millimetres, so a flat object still shows itself going out of focus),
    // never behind the hologram.
    const HologramSet& set = *set_;
    const double margin = std::max(set.farthestDistance - set.nearestDistance, 2e-3);
    const double nearest = std::max(set.nearestDistance - margin, 0.5 * set.nearestDistance);
    slider_->setRange(static_cast<int>(std::lround(nearest / kResolution)),
                      static_cast<int>(std::lround((set.farthestDistance + margin) / kResolution)));
    const int span = slider_->maximum() - slider_->minimum();
    slider_->setSingleStep(std::max(1, span / kLineSteps));
    slider_->setPageStep(std::max(1, span / kPageSteps));
    slider_->setValue(static_cast<int>(std::lround(set.middleDistance / kResolution)));
    field_->setSuffix(QStringLiteral(" mm"));
    field_->setDecimals(2);
    field_->setRange(slider_->minimum() * kResolution * 1e3, slider_->maximum() * kResolution * 1e3);
    field_->setSingleStep(slider_->singleStep() * kResolution * 1e3);
    field_->setValue(focusDistance() * 1e3);
    // A focus being typed is asked for once it is complete.
    field_->setKeyboardTracking(false);

    auto* controls = new QHBoxLayout;
    controls->addWidget(slider_, 1);
    controls->addWidget(field_);
    controls->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(focusText_);
    layout->addLayout(controls);
    if (hologram.points) addScores(*layout, std::move(hologram.points));

    connect(slider_, &QSlider::valueChanged, this, [this] {
        const QSignalBlocker quiet(field_);
        field_->setValue(focusDistance() * 1e3);
        requestRefocus();
    });
    connect(field_, &QDoubleSpinBox::valueChanged, this,
            [this](double mm) { slider_->setValue(static_cast<int>(std::lround(mm * 1e-3 / kResolution))); });
    connect(&refocus_, &QFutureWatcherBase::finished, this, &HologramWindow::refocusFinished);
    connect(save_, &QPushButton::clicked, this, &HologramWindow::saveFiles);
    connect(&saving_, &QFutureWatcherBase::finished, this, &HologramWindow::savingFinished);
    showPicture(hologram.picture, set.middleDistance);
}

void HologramWindow::addScores(QVBoxLayout& layout, std::shared_ptr<const HologramPoints> points) {
    // A deep object has up to 24 lines: a few show, the rest scroll.
    scoreText_ = new QLabel(this);
    QFont small = scoreText_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    scoreText_->setFont(small);
    scoreText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    scoreText_->setText(QStringLiteral("Scoring the reconstruction..."));
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(scoreText_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMaximumHeight(6 * QFontMetrics(small).lineSpacing());
    layout.addWidget(scroll);
    connect(&scoring_, &QFutureWatcherBase::finished, this, &HologramWindow::scoringFinished);
    scoring_.setFuture(QtConcurrent::run([points = std::move(points), set = set_, settings = settings_] {
        return scoreHologram(*points, *set, settings);
    }));
}

void HologramWindow::scoringFinished() {
    const auto scores = scoring_.future().takeResult();
    if (!scores) {
        scoreText_->setText(QStringLiteral("Cannot score the reconstruction: %1").arg(QString::fromStdString(scores.error())));
        return;
    }
    QStringList lines;
    for (const BandScore& score : *scores) lines << QString::fromStdString(scoreLine(score));
    scoreText_->setText(lines.join(QLatin1Char('\n')));
}

// A refocus, a save or a score still running keeps what it uses alive by itself.
HologramWindow::~HologramWindow() = default;

double HologramWindow::focusDistance() const { return slider_->value() * kResolution; }

void HologramWindow::requestRefocus() {
    if (refocus_.isRunning()) {
        pending_ = focusDistance();
        return;
    }
    startRefocus(focusDistance());
}

void HologramWindow::startRefocus(double distance) {
    pending_.reset();
    refocus_.setFuture(QtConcurrent::run([reconstruction = reconstruction_, distance] {
        return Refocused{distance, reconstruction->refocus(distance)};
    }));
}

void HologramWindow::refocusFinished() {
    const Refocused done = refocus_.future().takeResult();
    // While the slider is dragged every picture is shown, so it follows the
    // hand; otherwise one overtaken by a newer position is not worth a paint.
    if (!done.picture)
        focusText_->setText(QStringLiteral("Cannot refocus: %1").arg(QString::fromStdString(done.picture.error())));
    else if (!pending_ || slider_->isSliderDown())
        showPicture(*done.picture, done.distance);
    if (pending_) startRefocus(*pending_);
}

void HologramWindow::showPicture(const RgbPicture& picture, double distance) {
    picture_ = toImage(picture);
    shownDistance_ = distance;
    view_->setPicture(picture_);
    focusText_->setText(QStringLiteral("Focus: %1 mm from the hologram").arg(distance * 1e3, 0, 'f', 2));
    emit pictureShown();
}

void HologramWindow::saveFiles() {
    if (saving_.isRunning()) return;
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = "Save Hologram";
    request.filters.push_back({"PNG File", "*.png"});
    request.defaultExtension = "png";
    const auto chosen = prompt_.chooseFile(request);
    if (!chosen) return;
    // The name chosen is the prefix of every file: "a.png" gives a-638nm.png and the others.
    std::string prefix = *chosen;
    if (prefix.size() > 4 && prefix.compare(prefix.size() - 4, 4, ".png") == 0) prefix.resize(prefix.size() - 4);
    save_->setEnabled(false);
    // The preview is focused where the window is.
    saving_.setFuture(QtConcurrent::run([set = set_, settings = settings_, prefix, distance = shownDistance_] {
        HologramSet focused = *set;
        focused.middleDistance = distance;
        return writeHologramOutputs(focused, settings, {prefix, true, true});
    }));
}

void HologramWindow::savingFinished() {
    save_->setEnabled(true);
    const auto written = saving_.future().takeResult();
    if (!written) {
        prompt_.show("Cannot save the hologram: " + written.error(), std::string(kErrorCaption), PromptIcon::Error);
        return;
    }
    std::string text = "Saved:";
    for (const std::string& path : *written) text += "\n" + path;
    prompt_.inform(text, kCompleteCaption);
}

}  // namespace velmora
