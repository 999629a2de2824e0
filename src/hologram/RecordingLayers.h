#pragma once
// Objects recorded on several planes. A point's zone on its recording
// plane grows with its distance from the plane, and its cost with the
// square of that: a point 1 m behind a plane would be summed over the whole
// grid. So the points are binned by depth, each bin recorded on a plane in
// the middle of its bin (or, without the near-zone table, a gap in front
// of its nearest point), and the planes carried to the hologram one after
// another, from the farthest: each further plane costs one propagation.
// The bins are chosen to make the sum of both costs smallest.

#include <cstddef>
#include <vector>

namespace velmora {

struct RecordingLayer {
    std::size_t begin = 0;  // the layer's points, [begin, end) of the points by distance
    std::size_t end = 0;
    double distance = 0.0;  // the plane's distance from the hologram
};

struct LayerGeometry {
    double gap = 0.0;         // from the nearest point to the first plane
    double backGap = 0.0;     // from each further bin's nearest point to its plane
    double pitch = 0.0;
    double sine = 0.0;        // the zone's aperture sine
    double wavelength = 0.0;
    double gridPixels = 0.0;  // of the recording plane
    double hologramWidth = 0.0;   // metres: a zone keeps only what meets the hologram
    double hologramHeight = 0.0;
    // Points this close to their plane, on either side, are drawn from the
    // near-zone table, a few pixels wide; each plane then lies in the
    // middle of its bin. 0: no table, each plane a gap before its bin.
    double nearRange = 0.0;
};

// `distances`: every point's distance from the hologram, nearest first.
// The layers come nearest first and cover every point once.
std::vector<RecordingLayer> recordingLayers(const std::vector<double>& distances, const LayerGeometry& geometry);

// One more plane costs what this many point-pixels of the recording
// kernel cost, per pixel of the plane: two transforms and a transfer
// function against a complex multiply-add.
constexpr double kPlaneCostPerPixel = 30.0;

}  // namespace velmora
