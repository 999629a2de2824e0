#pragma once
// Point clouds in PLY (layouts in PlyLayout.h) for hologram libraries and
// point tools, written from one sampled frame: the same points in the same
// order, with the same phase draws, as the colour CGH file of that frame (x
// is the inverted world x).

#include "pointfile/PlyLayout.h"
#include "pointfile/WriteFailure.h"
#include "platform/RandomGenerator.h"

#include <string>

namespace velmora {

// Writes the frame's points to `path`. One phase is drawn from `random` per
// accepted point. A file that cannot be created prints "Cant open file\n"
// on standard error; any failure leaves an existing file untouched.
Result<SampleSummary> writePly(const SampledFrame& frame, const std::string& path, RandomGenerator& random,
                               PlyLayout layout);

}  // namespace velmora
