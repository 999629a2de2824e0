#pragma once
// The CGH point files of one view (layout in CghLayout.h): colour, grey and
// the three per-channel files. Each writer walks one sampled frame, draws
// one random phase per accepted point and writes every point line as it
// comes.

#include "pointfile/CghLayout.h"
#include "pointfile/WriteFailure.h"
#include "platform/RandomGenerator.h"

#include <string>

namespace velmora {

// Writers over a frame already sampled: one phase from `random` per point,
// the header's scales from `scales`. A file that cannot be created prints
// "Cant open file\n" on standard error and writes nothing; any failure
// leaves existing files untouched.
Result<SampleSummary> writeColourCgh(const SampledFrame& frame, const std::string& path, const OutputScales& scales,
                                     RandomGenerator& random, const Viewpoint& viewpoint);
Result<SampleSummary> writeGreyCgh(const SampledFrame& frame, const std::string& path, const OutputScales& scales,
                                   RandomGenerator& random, const Viewpoint& viewpoint);
// Files stem+"r"+suffix, stem+"g"+suffix, stem+"b"+suffix; one phase per
// point, the same in all three.
Result<SampleSummary> writeChannelCgh(const SampledFrame& frame, const std::string& stem, const std::string& suffix,
                                      const OutputScales& scales, RandomGenerator& random, const Viewpoint& viewpoint);

}  // namespace velmora
