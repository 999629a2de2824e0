#include "hologram/HologramScore.h"

#include "hologram/HologramOutputs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <tuple>

namespace velmora {

namespace {

constexpr int kWindowRadius = 5;  // 11 x 11
constexpr double kWindowSigma = 1.5;

std::array<double, 2 * kWindowRadius + 1> gaussianTaps() {
    std::array<double, 2 * kWindowRadius + 1> taps{};
    for (int d = -kWindowRadius; d <= kWindowRadius; ++d)
        taps[static_cast<std::size_t>(d + kWindowRadius)] = std::exp(-0.5 * d * d / (kWindowSigma * kWindowSigma));
    return taps;
}

// The five local moments SSIM needs, as window-weighted means.
struct Moments {
    double x = 0, y = 0, xx = 0, yy = 0, xy = 0;

    void add(double weight, double a, double b) {
        x += weight * a, y += weight * b, xx += weight * a * a, yy += weight * b * b, xy += weight * a * b;
    }
    void add(double weight, const Moments& m) {
        x += weight * m.x, y += weight * m.y, xx += weight * m.xx, yy += weight * m.yy, xy += weight * m.xy;
    }
    void scale(double by) { x *= by, y *= by, xx *= by, yy *= by, xy *= by; }
};

// The window's rows first over every pixel: the columns then need only
// the masked pixels.
std::vector<Moments> rowMoments(const ScoreImage& a, const ScoreImage& b) {
    static const auto taps = gaussianTaps();
    std::vector<Moments> rows(a.values.size());
    for (int j = 0; j < a.height; ++j)
        for (int i = 0; i < a.width; ++i) {
            Moments m;
            double total = 0;
            for (int d = std::max(-kWindowRadius, -i); d <= std::min(kWindowRadius, a.width - 1 - i); ++d) {
                const std::size_t at = static_cast<std::size_t>(j) * a.width + i + d;
                const double w = taps[static_cast<std::size_t>(d + kWindowRadius)];
                m.add(w, a.values[at], b.values[at]);
                total += w;
            }
            m.scale(1.0 / total);
            rows[static_cast<std::size_t>(j) * a.width + i] = m;
        }
    return rows;
}

Moments windowMoments(const std::vector<Moments>& rows, int width, int height, int i, int j) {
    static const auto taps = gaussianTaps();
    Moments m;
    double total = 0;
    for (int d = std::max(-kWindowRadius, -j); d <= std::min(kWindowRadius, height - 1 - j); ++d) {
        const double w = taps[static_cast<std::size_t>(d + kWindowRadius)];
        m.add(w, rows[static_cast<std::size_t>(j + d) * width + i]);
        total += w;
    }
    m.scale(1.0 / total);
    return m;
}

// The bands of the depth range, each one depth of focus thick at most.
int bandCount(const PlacedPoints& placed, const HologramSettings& s, double nearest, double farthest) {
    double longest = 0;
    for (const auto& channel : placed.frame.channels) longest = std::max(longest, channel.wavelength);
    const double middle = 0.5 * (nearest + farthest);
    const double aperture = std::min(longest / (2 * s.pitch), 0.5 * s.width * s.pitch / middle);
    const double depthOfFocus = longest / (aperture * aperture);
    const double bands = std::ceil((farthest - nearest) / depthOfFocus);
    return static_cast<int>(std::clamp(bands, 1.0, static_cast<double>(kMostScoreBands)));
}

std::string number(double value, const char* format) {
    if (std::isinf(value)) return "inf";
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double peakSignalToNoise(const ScoreImage& image, const ScoreImage& reference, const std::vector<char>& mask,
                         double peak) {
    double squares = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < mask.size(); ++i)
        if (mask[i]) squares += std::pow(image.values[i] - reference.values[i], 2), ++count;
    if (count == 0) return 0.0;
    if (squares == 0.0) return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(peak * peak * count / squares);
}

double structuralSimilarity(const ScoreImage& image, const ScoreImage& reference, const std::vector<char>& mask,
                            double peak) {
    const double c1 = std::pow(0.01 * peak, 2), c2 = std::pow(0.03 * peak, 2);
    const auto rows = rowMoments(image, reference);
    double sum = 0;
    std::size_t count = 0;
    for (int j = 0; j < image.height; ++j)
        for (int i = 0; i < image.width; ++i) {
            if (!mask[static_cast<std::size_t>(j) * image.width + i]) continue;
            const Moments m = windowMoments(rows, image.width, image.height, i, j);
            const double varX = m.xx - m.x * m.x, varY = m.yy - m.y * m.y, cov = m.xy - m.x * m.y;
            sum += (2 * m.x * m.y + c1) * (2 * cov + c2) / ((m.x * m.x + m.y * m.y + c1) * (varX + varY + c2));
            ++count;
        }
    return count ? sum / count : 0.0;
}

double speckleContrast(const ScoreImage& image, const std::vector<char>& mask) {
    double sum = 0, squares = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < mask.size(); ++i)
        if (mask[i]) sum += image.values[i], squares += image.values[i] * image.values[i], ++count;
    if (count == 0 || !(sum > 0.0)) return 0.0;
    const double mean = sum / count;
    return std::sqrt(std::max(0.0, squares / count - mean * mean)) / mean;
}

ScoreImage idealImage(const std::vector<PlanePoint>& points, const std::vector<double>& amplitudes, int width,
                      int height, double pitch) {
    ScoreImage ideal{width, height, std::vector<double>(static_cast<std::size_t>(width) * height)};
    for (std::size_t p = 0; p < points.size(); ++p) {
        const double column = points[p].x / pitch + 0.5 * (width - 1);
        const double row = 0.5 * (height - 1) - points[p].y / pitch;
        const double left = std::floor(column), top = std::floor(row);
        const double across = column - left, down = row - top;
        const double intensity = amplitudes[p] * amplitudes[p];
        for (const auto& [i, j, share] : {std::tuple{left, top, (1 - across) * (1 - down)},
                                          {left + 1, top, across * (1 - down)},
                                          {left, top + 1, (1 - across) * down},
                                          {left + 1, top + 1, across * down}})
            if (i >= 0 && i < width && j >= 0 && j < height)
                ideal.values[static_cast<std::size_t>(j) * width + static_cast<std::size_t>(i)] += share * intensity;
    }
    return ideal;
}

std::vector<char> pointMask(const ScoreImage& ideal) {
    std::vector<char> mask(ideal.values.size(), 0);
    for (int j = 0; j < ideal.height; ++j)
        for (int i = 0; i < ideal.width; ++i) {
            if (!(ideal.values[static_cast<std::size_t>(j) * ideal.width + i] > 0.0)) continue;
            for (int y = std::max(0, j - 1); y <= std::min(ideal.height - 1, j + 1); ++y)
                for (int x = std::max(0, i - 1); x <= std::min(ideal.width - 1, i + 1); ++x)
                    mask[static_cast<std::size_t>(y) * ideal.width + x] = 1;
        }
    return mask;
}

ImageScore scoreAgainstIdeal(const ScoreImage& reconstruction, const ScoreImage& ideal) {
    const auto mask = pointMask(ideal);
    double product = 0, squares = 0, peak = 0;
    for (std::size_t i = 0; i < mask.size(); ++i)
        if (mask[i]) {
            product += reconstruction.values[i] * ideal.values[i];
            squares += reconstruction.values[i] * reconstruction.values[i];
            peak = std::max(peak, ideal.values[i]);
        }
    const double gain = squares > 0.0 ? product / squares : 0.0;
    ScoreImage scaled = reconstruction;
    for (double& v : scaled.values) v *= gain;
    return {peakSignalToNoise(scaled, ideal, mask, peak), structuralSimilarity(scaled, ideal, mask, peak),
            speckleContrast(reconstruction, mask)};
}

Result<std::vector<BandScore>> scoreReconstruction(Reconstruction& reconstruction, const PlacedPoints& placed,
                                                   const HologramSettings& s) {
    using Scores = Result<std::vector<BandScore>>;
    std::vector<BandScore> scores;
    if (placed.points.empty()) return scores;
    double nearest = placed.points.front().depth, farthest = nearest;
    for (const auto& p : placed.points) nearest = std::min(nearest, p.depth), farthest = std::max(farthest, p.depth);
    const int bands = bandCount(placed, s, nearest, farthest);
    const double thickness = (farthest - nearest) / bands;
    try {
        for (int band = 0; band < bands; ++band) {
            const auto inBand = [&](double depth) {
                const int at = thickness > 0.0 ? static_cast<int>((depth - nearest) / thickness) : 0;
                return std::min(at, bands - 1) == band;
            };
            std::vector<std::size_t> members;
            for (std::size_t p = 0; p < placed.points.size(); ++p)
                if (inBand(placed.points[p].depth)) members.push_back(p);
            if (members.empty()) continue;
            const double focus = nearest + (band + 0.5) * thickness;
            const auto intensities = reconstruction.intensities(focus);
            if (!intensities) return Scores::failure(intensities.error());
            std::vector<PlanePoint> points;
            for (const std::size_t p : members) points.push_back(placed.points[p]);
            for (std::size_t c = 0; c < std::min(intensities->size(), placed.amplitudes.size()); ++c) {
                std::vector<double> amplitudes;
                for (const std::size_t p : members) amplitudes.push_back(placed.amplitudes[c][p]);
                const ScoreImage ideal = idealImage(points, amplitudes, s.width, s.height, s.pitch);
                const auto& shown = (*intensities)[c];
                const ScoreImage seen{s.width, s.height, std::vector<double>(shown.begin(), shown.end())};
                const auto& channel = placed.frame.channels[c];
                scores.push_back({channel.name, channel.wavelength, band + 1, bands, focus, members.size(),
                                  scoreAgainstIdeal(seen, ideal)});
            }
        }
    } catch (const std::bad_alloc&) {
        return Scores::failure("there is not enough memory to score the reconstruction");
    }
    return scores;
}

Result<std::vector<BandScore>> scoreHologram(const HologramPoints& input, const HologramSet& set,
                                             const HologramSettings& settings) {
    auto placed = placePoints(input, settings);
    if (!placed) return Result<std::vector<BandScore>>::failure(placed.error());
    Reconstruction reconstruction(set, settings);
    return scoreReconstruction(reconstruction, *placed, settings);
}

std::string scoreLine(const BandScore& s) {
    return "score " + s.channel + " " + std::to_string(std::lround(s.wavelength * 1e9)) + " nm band " +
           std::to_string(s.band) + "/" + std::to_string(s.bands) + " at " + number(s.focus * 1e3, "%.2f") +
           " mm (" + std::to_string(s.points) + " points): PSNR " + number(s.score.psnr, "%.2f") + " dB, SSIM " +
           number(s.score.ssim, "%.4f") + ", speckle " + number(s.score.speckle, "%.4f");
}

}  // namespace velmora
