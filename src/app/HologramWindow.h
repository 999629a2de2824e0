#pragma once
// The reconstruction of a hologram in a window of its own, with a focus
// slider: each position propagates the phase-only holograms to that depth
// again, so a person sees which parts of the model lie where.

#include "hologram/HologramOutputs.h"

#include <QImage>
#include <QWidget>

class QLabel;
class QSlider;

namespace velmora {

class HologramWindow : public QWidget {
    Q_OBJECT
public:
    // Opens focused on the middle of the object's depth, as the preview file is.
    HologramWindow(const HologramSet& set, const HologramSettings& settings, QWidget* parent = nullptr);

    QSlider* focusSlider() const { return slider_; }
    // Metres from the hologram; the picture is focused there.
    double focusDistance() const;
    const QImage& picture() const { return picture_; }
    // Why there is no picture (no memory for the reconstruction); empty when there is one.
    const std::string& reconstructionError() const { return reconstructionError_; }

private:
    void refocus();

    Reconstruction reconstruction_;
    QImage picture_;
    std::string reconstructionError_;
    QLabel* view_ = nullptr;  // owned by the window
    QLabel* focusText_ = nullptr;
    QSlider* slider_ = nullptr;
};

}  // namespace velmora
