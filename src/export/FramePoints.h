#pragma once
// The points a colour or grey CGH file of a frame carries, as numbers
// rather than text, for a hologram made straight from the frame. Each value
// goes through the text the file would hold and is read back as the point
// file reader reads it, so the hologram equals the one made from that file.

#include "export/CghWriter.h"
#include "hologram/HologramPoints.h"

namespace velmora {

// Draws one phase per point from `random`, in the order and from the same
// draws as writeColourCgh and writeGreyCgh; `colour` false gives the grey
// file's points.
HologramPoints framePoints(const SampledFrame& frame, const OutputScales& scales, RandomGenerator& random,
                           bool colour);

}  // namespace velmora
