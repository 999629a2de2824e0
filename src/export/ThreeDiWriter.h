#pragma once
// The 3di grid file for the 3D imaging system simulation: little-endian,
// rows (int32) and columns (int32), then one 28-byte record per pixel of the
// sampled grid in pass order: X, Y, Z (doubles, scaled by the output scales,
// X with the sign inversion) and the grey level (float); 28
// zero bytes for an empty pixel. No phase is drawn.

#include "pointfile/CghLayout.h"
#include "pointfile/WriteFailure.h"

namespace velmora {

constexpr int kThreeDiRecordSize = 28;

Result<SampleSummary> write3di(const SampledFrame& frame, const std::string& path, const OutputScales& scales);

}  // namespace velmora
