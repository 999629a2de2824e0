#include "hologram/PointKernel.h"

#include "hologram/Phasor.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace velmora {

namespace {

// Function clones for wide vector units: the loops below are written for
// the compiler to vectorise, and the baseline x86-64 has only two doubles
// a register.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define VELMORA_WIDE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define VELMORA_WIDE_CLONES
#endif

struct RowJob {
    const double* columnX;
    double* out;  // interleaved re, im of the row's first column
    int count;
    double x, dy2, absDy, depth2, invSine, invTaper, amplitude, phase, k;
    double depth, baseTurns;  // for the single-precision rest: k depth + phase in turns, reduced
};

// cos and sin of 2 pi t for |t| <= 1/2 in single precision.
inline void cosSinTurnsFloat(float t, float& c, float& s) {
    const auto sinQuarter = [](float z) {
        const float x = 6.2831853f * z, x2 = x * x;
        float p = 1.0f / 362880.0f;
        p = p * x2 - 1.0f / 5040.0f;
        p = p * x2 + 1.0f / 120.0f;
        p = p * x2 - 1.0f / 6.0f;
        return x + x * x2 * p;
    };
    const float a = t < 0.0f ? -t : t;
    const float half = t < 0.0f ? -0.5f : 0.5f;
    s = sinQuarter(a <= 0.25f ? t : half - t);
    c = sinQuarter(0.25f - a);
}

// 1 inside, 0 outside, smooth over the outer taper of the zone; in the
// precision of the kernel that calls it, so the fast path stays vectorised.
template <typename Real>
inline Real fade(Real u, Real invTaper) {
    Real t = (Real(1) - u) * invTaper;
    t = t < Real(0) ? Real(0) : (t > Real(1) ? Real(1) : t);
    return t * t * (Real(3) - Real(2) * t);
}

VELMORA_WIDE_CLONES
void addRowFast(const RowJob& job) {
    constexpr int kBlock = 256;
    float re[kBlock], im[kBlock];
    const float depth = static_cast<float>(job.depth), depth2 = static_cast<float>(job.depth2);
    const float dy2 = static_cast<float>(job.dy2), absDy = static_cast<float>(job.absDy);
    const float invSine = static_cast<float>(job.invSine), invTaper = static_cast<float>(job.invTaper);
    const float kTurns = static_cast<float>(job.k * phasor::kInvTwoPi), base = static_cast<float>(job.baseTurns);
    const float amplitude = static_cast<float>(job.amplitude);
    for (int start = 0; start < job.count; start += kBlock) {
        const int n = std::min(kBlock, job.count - start);
        for (int i = 0; i < n; ++i) {
            const float dx = static_cast<float>(job.columnX[start + i] - job.x);
            const float rho2 = dx * dx + dy2;
            const float r = std::sqrt(rho2 + depth2);
            const float inv = 1.0f / r;
            const float weight = fade((dx < 0.0f ? -dx : dx) * inv * invSine, invTaper) *
                                 fade(absDy * inv * invSine, invTaper);
            float turns = base + kTurns * (rho2 / (r + depth));
            turns -= static_cast<float>(static_cast<int>(turns + (turns < 0.0f ? -0.5f : 0.5f)));
            float c, s;
            cosSinTurnsFloat(turns, c, s);
            const float a = amplitude * weight * inv;
            re[i] = a * c;
            im[i] = a * s;
        }
        double* out = job.out + 2 * start;
        for (int i = 0; i < n; ++i) {
            out[2 * i] += re[i];
            out[2 * i + 1] += im[i];
        }
    }
}

VELMORA_WIDE_CLONES
void addRow(const RowJob& job) {
    for (int i = 0; i < job.count; ++i) {
        const double dx = job.columnX[i] - job.x;
        const double r = std::sqrt(dx * dx + job.dy2 + job.depth2);
        const double inv = 1.0 / r;
        const double absDx = dx < 0.0 ? -dx : dx;
        const double weight = fade(absDx * inv * job.invSine, job.invTaper) *
                              fade(job.absDy * inv * job.invSine, job.invTaper);
        double c, s;
        phasor::cosSin(job.k * r + job.phase, c, s);
        const double a = job.amplitude * weight * inv;
        job.out[2 * i] += a * c;
        job.out[2 * i + 1] += a * s;
    }
}

// Adds the points to rows [firstRow, endRow).
void addBand(ComplexField& plane, const std::vector<PlanePoint>& points, const KernelOptions& options,
             const std::vector<double>& columnX, int firstRow, int endRow) {
    const double sine = apertureSine(options.wavelength, plane.pitch);
    const double k = phasor::kTwoPi / options.wavelength;
    const double invTaper = 1.0 / std::max(options.taper, 1e-9);
    // A point closer to the plane than this would draw a zone under one
    // pixel; it is drawn as if at this depth.
    const double minDepth = plane.pitch / sine;
    auto* out = reinterpret_cast<double*>(plane.values.data());
    for (const PlanePoint& point : points) {
        const bool farSide = point.depth < 0.0;
        const double depth = std::max(std::fabs(point.depth), minDepth);
        const double half = sine * depth / std::sqrt(1.0 - 2.0 * sine * sine);
        const int rowLo = std::max(firstRow, static_cast<int>(std::ceil(plane.originRow - (point.y + half) / plane.pitch)));
        const int rowHi = std::min(endRow - 1, static_cast<int>(std::floor(plane.originRow - (point.y - half) / plane.pitch)));
        RowJob job{};
        job.x = point.x;
        job.depth2 = depth * depth;
        job.invSine = 1.0 / sine;
        job.invTaper = invTaper;
        job.amplitude = farSide ? -point.amplitude : point.amplitude;
        job.phase = point.phase;
        job.k = farSide ? -k : k;
        job.depth = depth;
        const double baseTurns = (job.k * depth + point.phase) * phasor::kInvTwoPi;
        job.baseTurns = baseTurns - std::nearbyint(baseTurns);
        for (int row = rowLo; row <= rowHi; ++row) {
            const double dy = plane.rowY(row) - point.y;
            const double reach = sine * std::sqrt((dy * dy + job.depth2) / (1.0 - sine * sine));
            const int lo = std::max(0, static_cast<int>(std::ceil(plane.originColumn + (point.x - reach) / plane.pitch)));
            const int hi = std::min(plane.width - 1, static_cast<int>(std::floor(plane.originColumn + (point.x + reach) / plane.pitch)));
            if (lo > hi) continue;
            job.dy2 = dy * dy;
            job.absDy = std::fabs(dy);
            job.columnX = columnX.data() + lo;
            job.out = out + 2 * (static_cast<std::size_t>(row) * plane.width + lo);
            job.count = hi - lo + 1;
            if (options.exact)
                addRow(job);
            else
                addRowFast(job);
        }
    }
}

}  // namespace

double apertureSine(double wavelength, double pitch) { return std::min(wavelength / (2.0 * pitch), 0.7); }

void addPointField(ComplexField& plane, const std::vector<PlanePoint>& points, const KernelOptions& options) {
    std::vector<double> columnX(static_cast<std::size_t>(plane.width));
    for (int i = 0; i < plane.width; ++i) columnX[static_cast<std::size_t>(i)] = plane.columnX(i);
    const int cores = options.threads > 0 ? options.threads
                                          : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int threads = std::max(1, std::min(cores, plane.height / 8));
    // Each thread owns a band of rows, so no two write the same pixel.
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        const int first = plane.height * t / threads;
        const int end = plane.height * (t + 1) / threads;
        workers.emplace_back([&, first, end] { addBand(plane, points, options, columnX, first, end); });
    }
    addBand(plane, points, options, columnX, 0, plane.height / threads);
    for (auto& worker : workers) worker.join();
}

}  // namespace velmora
