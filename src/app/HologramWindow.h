#pragma once
// The reconstruction of a hologram in a window of its own, with a focus
// slider and a focus field: each position propagates the phase-only
// holograms to that depth again, so a person sees which parts of the model
// lie where. Refocusing runs on a pool thread, one at a time; positions
// asked for meanwhile wait, and only the latest of them is computed next.
// Under the picture, once a pool thread has worked them out, the figures of
// how close the reconstruction comes to the points (PSNR, SSIM, speckle per
// channel and depth band).

#include "hologram/HologramOutputs.h"
#include "hologram/HologramScore.h"
#include "platform/Prompt.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;

namespace velmora {

// A computed hologram with its reconstruction set up and the first picture,
// focused on the middle of the object's depth as the preview file is.
struct ReconstructedHologram {
    std::shared_ptr<const HologramSet> set;
    std::unique_ptr<Reconstruction> reconstruction;
    RgbPicture picture;
    // The points the hologram was computed from; without them no figures.
    std::shared_ptr<const HologramPoints> points;
};

// The slow part of opening the window, for a worker thread: a failure says
// why there can be no picture (no memory for the reconstruction).
Result<ReconstructedHologram> reconstructHologram(HologramSet set, const HologramSettings& settings,
                                                  const HologramProgress& progress = {});

class HologramWindow : public QWidget {
    Q_OBJECT
public:
    // Saving asks for the file name through `prompt` and says there how it went.
    HologramWindow(ReconstructedHologram hologram, const HologramSettings& settings, Prompt& prompt,
                   QWidget* parent = nullptr);
    ~HologramWindow() override;

    QSlider* focusSlider() const { return slider_; }
    QDoubleSpinBox* focusField() const { return field_; }
    QPushButton* saveButton() const { return save_; }
    // Metres from the hologram the slider asks for.
    double focusDistance() const;
    // Where the picture on screen is focused; it lags behind the slider
    // while a refocus runs.
    double shownDistance() const { return shownDistance_; }
    const QImage& picture() const { return picture_; }
    bool refocusing() const { return refocus_.isRunning(); }
    bool saving() const { return saving_.isRunning(); }
    // One scoreLine per channel and band once they are known; nothing
    // without the points.
    const QLabel* scoreText() const { return scoreText_; }

signals:
    // A new picture is on screen.
    void pictureShown();

private:
    struct Refocused {
        double distance = 0.0;
        Result<RgbPicture> picture;
    };

    void requestRefocus();
    void startRefocus(double distance);
    void refocusFinished();
    void showPicture(const RgbPicture& picture, double distance);
    void saveFiles();
    void savingFinished();
    void addScores(QVBoxLayout& layout, std::shared_ptr<const HologramPoints> points);
    void scoringFinished();

    // Shared with a refocus still running when the window closes.
    std::shared_ptr<Reconstruction> reconstruction_;
    std::shared_ptr<const HologramSet> set_;
    HologramSettings settings_;
    Prompt& prompt_;
    QFutureWatcher<Refocused> refocus_;
    std::optional<double> pending_;  // the latest position asked for while a refocus ran
    QFutureWatcher<Result<std::vector<std::string>>> saving_;
    QFutureWatcher<Result<std::vector<BandScore>>> scoring_;
    QImage picture_;
    double shownDistance_ = 0.0;
    class PictureView* view_ = nullptr;  // owned by the window
    QLabel* focusText_ = nullptr;
    QLabel* scoreText_ = nullptr;
    QSlider* slider_ = nullptr;
    QDoubleSpinBox* field_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace velmora
