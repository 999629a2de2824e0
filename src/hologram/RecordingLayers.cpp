#include "hologram/RecordingLayers.h"

#include "hologram/NearZoneTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora {

namespace {

// Depth cells the bins are made of: fine enough that a bin's plane sits
// within a small part of the gap of where it would for the points
// themselves, few enough for the search over all pairs.
constexpr int kCells = 256;

// The kernel sums a zone pixel by pixel, with a square root and a phase
// each, where the separable product would err by more than 0.1 rad: four
// times the time a pixel.
constexpr double kExactCostFactor = 4.0;

struct Cell {
    std::size_t count = 0;
    double nearest = std::numeric_limits<double>::max();
    double farthest = 0.0;
    double sum = 0.0;
};

// What recording one point `depth` behind its plane, `distance` from the
// hologram, costs in point-pixels: its zone is the aliasing limit's square
// cut to the part whose light meets the hologram.
double pointCost(double depth, double distance, const LayerGeometry& g) {
    const double limit = 2.0 * g.sine * depth / std::sqrt(1.0 - g.sine * g.sine) / g.pitch + 1.0;
    // The outline, its Fresnel margin and its fade, as the kernel draws them.
    const double share = depth / distance, fresnel = std::sqrt(g.wavelength * depth);
    const auto side = [&](double extent) { return 1.4 * (extent * share + 2.0 * fresnel) / g.pitch + 8.0; };
    const double area = std::min(limit, side(g.hologramWidth)) * std::min(limit, side(g.hologramHeight));
    const double k = 2.0 * 3.14159265358979323846 / g.wavelength;
    const double sine4 = g.sine * g.sine * g.sine * g.sine;
    return std::min(area, g.gridPixels) * (k * depth * sine4 * 0.25 > 0.1 ? kExactCostFactor : 1.0);
}

// A point `offset` from its plane (either side) drawn from the near-zone
// table: its square of pixels, and the table's two lookups per axis pixel.
double nearCost(double offset, double reachPixels) {
    const double side = 2.0 * (reachPixels * offset + kNearZoneTail) + 1.0;
    return side * side + 8.0 * side;
}

std::vector<Cell> depthCells(const std::vector<double>& distances, double first, double width) {
    // Rounding puts the farthest point in the last cell, not past it.
    std::vector<Cell> cells(kCells);
    for (double d : distances) {
        Cell& cell = cells[static_cast<std::size_t>(std::min(kCells - 1, static_cast<int>((d - first) / width)))];
        ++cell.count;
        cell.nearest = std::min(cell.nearest, d);
        cell.farthest = std::max(cell.farthest, d);
        cell.sum += d;
    }
    return cells;
}

// The cheapest split of the cells into bins, as the first cell of each bin.
std::vector<int> cheapestSplit(const std::vector<Cell>& cells, const LayerGeometry& g) {
    const double planeCost = kPlaneCostPerPixel * g.gridPixels;
    std::vector<double> best(kCells + 1, std::numeric_limits<double>::max());
    std::vector<int> start(kCells + 1, 0);
    best[0] = 0.0;
    for (int a = 0; a < kCells; ++a) {
        if (cells[a].count == 0 || best[a] == std::numeric_limits<double>::max()) continue;
        const double plane = cells[a].nearest - (a == 0 ? g.gap : g.backGap);
        double cost = best[a] + planeCost;
        for (int b = a + 1; b <= kCells; ++b) {
            const Cell& cell = cells[b - 1];
            if (cell.count > 0) {
                const double distance = cell.sum / cell.count;
                cost += cell.count * pointCost(distance - plane, distance, g);
            }
            // A bin ends where the next one can start: before a filled cell or at the end.
            if ((b == kCells || cells[b].count > 0) && cost < best[b]) best[b] = cost, start[b] = a;
        }
    }
    std::vector<int> firsts;
    for (int b = kCells; b > 0; b = start[b]) firsts.push_back(start[b]);
    std::reverse(firsts.begin(), firsts.end());
    return firsts;
}

// In the middle of the bin, but no farther than the table's range beyond
// its nearest point: the points that lie beyond the plane are then drawn
// as zones only where those are as wide as the gap would make them.
double centredPlane(double nearest, double farthest, const LayerGeometry& g) {
    return std::min(0.5 * (nearest + farthest), nearest + g.nearRange);
}

// The same with each bin's plane in the middle of its points, which lie on
// both sides of it: near ones from the table, farther ones as zones.
std::vector<int> cheapestCentredSplit(const std::vector<Cell>& cells, const LayerGeometry& g) {
    const double planeCost = kPlaneCostPerPixel * g.gridPixels;
    const double reachPixels = g.sine / std::sqrt(1.0 - g.sine * g.sine) / g.pitch;
    std::vector<int> filled;
    for (int c = 0; c < kCells; ++c)
        if (cells[c].count > 0) filled.push_back(c);
    std::vector<double> best(kCells + 1, std::numeric_limits<double>::max());
    std::vector<int> start(kCells + 1, 0);
    best[filled.front()] = 0.0;
    for (std::size_t a = 0; a < filled.size(); ++a) {
        const int first = filled[a];
        if (best[first] == std::numeric_limits<double>::max()) continue;
        for (std::size_t last = a; last < filled.size(); ++last) {
            const double plane = centredPlane(cells[first].nearest, cells[filled[last]].farthest, g);
            double cost = best[first] + planeCost;
            for (std::size_t c = a; c <= last; ++c) {
                const Cell& cell = cells[filled[c]];
                const double distance = cell.sum / cell.count, offset = std::fabs(distance - plane);
                cost += cell.count * (offset <= g.nearRange ? nearCost(offset, reachPixels) : pointCost(offset, distance, g));
            }
            const int end = last + 1 < filled.size() ? filled[last + 1] : kCells;
            if (cost < best[end]) best[end] = cost, start[end] = first;
        }
    }
    std::vector<int> firsts;
    for (int b = kCells; b > filled.front(); b = start[b]) firsts.push_back(start[b]);
    std::reverse(firsts.begin(), firsts.end());
    return firsts;
}

}  // namespace

std::vector<RecordingLayer> recordingLayers(const std::vector<double>& distances, const LayerGeometry& g) {
    if (distances.empty()) return {};
    const double first = distances.front(), span = distances.back() - first;
    const bool centred = g.nearRange > 0.0;
    const auto planeOf = [&](std::size_t begin, std::size_t end, bool firstLayer) {
        if (centred) return centredPlane(distances[begin], distances[end - 1], g);
        return distances[begin] - (firstLayer ? g.gap : g.backGap);
    };
    // Within a pitch of depth, one plane is as good as any split.
    if (!(span > g.pitch)) return {{0, distances.size(), planeOf(0, distances.size(), true)}};
    // Errors of the layers add up: only the first may lie as close as a
    // given gap allows.
    const std::vector<Cell> cells = depthCells(distances, first, span / kCells);
    const std::vector<int> firsts = centred ? cheapestCentredSplit(cells, g) : cheapestSplit(cells, g);
    const double width = span / kCells;
    // The same cell arithmetic as depthCells, so no point changes bin by rounding.
    const auto cellOf = [&](double d) { return std::min(kCells - 1, static_cast<int>((d - first) / width)); };
    std::vector<RecordingLayer> layers;
    std::size_t i = 0;
    for (std::size_t b = 0; b < firsts.size(); ++b) {
        const std::size_t begin = i;
        while (i < distances.size() && (b + 1 == firsts.size() || cellOf(distances[i]) < firsts[b + 1])) ++i;
        if (i > begin) layers.push_back({begin, i, planeOf(begin, i, layers.empty())});
    }
    return layers;
}

}  // namespace velmora
