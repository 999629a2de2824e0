#pragma once
// A band limit on a sampled field: a separable windowed-sinc low-pass
// (Blackman window, half-width 3 / cutoff pixels, unit gain at zero
// frequency) that keeps what lies below the cutoff along each axis. Beyond
// the grid the edge pixels are held, so a smooth field keeps its level up to
// the border instead of fading into the zeros outside.

#include "hologram/ComplexField.h"

namespace velmora {

// Cutoffs in cycles per pixel; 0.5 (the sampling limit) or more leaves that
// axis alone.
ComplexField lowPass(const ComplexField& field, double cutoffX, double cutoffY);

}  // namespace velmora
