#include "pointfile/FramePoints.h"

#include "pointfile/PointValues.h"

#include <charconv>

namespace velmora {

namespace {

// A value as a file holds it: printed, then parsed back.
double asWritten(double value, char* (*print)(char*, double)) {
    char text[kMaxFixedChars];
    const char* end = print(text, value);
    double read = 0.0;
    std::from_chars(text, end, read);
    return read;
}

double asWritten6(double value) { return asWritten(value, appendFixed6); }

// Every draw and every channel value, printed once per run rather than per point.
const std::vector<double>& phases() {
    static const std::vector<double> table = [] {
        std::vector<double> made(RandomGenerator::kMax + 1);
        for (int r = 0; r <= RandomGenerator::kMax; ++r)
            made[static_cast<std::size_t>(r)] = asWritten6(phaseOfDraw(r));
        return made;
    }();
    return table;
}

const std::vector<float>& fractions() {
    static const std::vector<float> table = [] {
        std::vector<float> made(256);
        for (int c = 0; c < 256; ++c)
            made[static_cast<std::size_t>(c)] =
                static_cast<float>(asWritten6(colourFraction(static_cast<std::uint8_t>(c))));
        return made;
    }();
    return table;
}

}  // namespace

HologramPoints framePoints(const SampledFrame& frame, const OutputScales& scales, RandomGenerator& random,
                           bool colour) {
    HologramPoints out;
    out.colour = colour;
    // The header keeps one decimal of each scale, so a hologram of the file
    // uses that, not the scale asked for.
    out.scaleXy = static_cast<float>(asWritten(scales.xy, appendFixed1));
    out.scaleZ = static_cast<float>(asWritten(scales.z, appendFixed1));
    const auto& phase = phases();
    const auto& fraction = fractions();
    forEachFramePoint(frame, random, [&](const SurfacePoint& p, int, int draw) {
        HologramPoint point{asWritten6(p.x), asWritten6(p.y), asWritten6(p.z), phase[static_cast<std::size_t>(draw)]};
        if (colour) {
            point.red = fraction[p.red], point.green = fraction[p.green], point.blue = fraction[p.blue];
        } else {
            point.red = point.green = point.blue = static_cast<float>(asWritten6(greyLevel(p.red, p.green, p.blue)));
        }
        out.points.push_back(point);
    });
    return out;
}

}  // namespace velmora
