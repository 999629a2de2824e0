#pragma once
// Which points of a frame a point file holds, in which order, with which
// phase draws: one walk that every writer and the hologram's frame points
// go through, so a point has the same phase in every file made from one
// seed and a hologram made straight from the frame equals the one made
// from the file.

#include "hologram/HologramPoints.h"
#include "pointfile/CghLayout.h"
#include "platform/RandomGenerator.h"

namespace velmora {

// The accepted points in pass order: visit(const SurfacePoint&, int index,
// int draw) with consecutive indices from 0 and exactly one draw from
// `random` per point. Returns the count and bounds.
template <class Visit>
SampleSummary forEachFramePoint(const SampledFrame& frame, RandomGenerator& random, Visit&& visit) {
    return frame.walk([&](const SurfacePoint& point, int index) { visit(point, index, random.next()); });
}

// The points a colour CGH file of the frame carries (`colour` false: the
// grey file's), as numbers rather than text. Each value goes through the
// text the file would hold and is read back as the point file reader reads
// it.
HologramPoints framePoints(const SampledFrame& frame, const OutputScales& scales, RandomGenerator& random, bool colour);

}  // namespace velmora
