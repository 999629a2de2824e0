// The hologram stage's speed: the direct and the recording kernel in
// point-pixels per second, the recording-plane step, one padded
// propagation at 3840 x 2160, and end to end from 250,000 and from
// 2,073,600 points (a fully covered full-HD frame) to a colour hologram,
// its pictures and the preview. The FFTs are
// planned with FFTW_MEASURE; the wisdom goes to the user's cache folder, so
// only the first run pays for planning (run once to warm it).
//
//   bench_hologram [--benchmark_filter=...] [folder for the files]

#include "hologram/BandLimitedPropagator.h"
#include "hologram/HologramComputer.h"
#include "hologram/HologramOutputs.h"
#include "hologram/PointKernel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>

using namespace velmora;

namespace {

std::string g_folder = std::filesystem::temp_directory_path().string();

HologramSettings benchSettings() {
    HologramSettings s;
    s.wisdomFolder = defaultWisdomFolder();
    return s;
}

// A gently curved, coloured sheet of side x side points spanning 80 % of the
// hologram's height and 3 mm of depth, in model units of 1 mm.
HologramPoints sheet(int columns, int rows, double width) {
    std::mt19937 random(1);
    std::uniform_real_distribution<double> phase(0.0, 6.28318);
    HologramPoints cloud;
    cloud.points.reserve(static_cast<std::size_t>(columns) * rows);
    const double height = width * rows / columns;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const double x = (i / (columns - 1.0) - 0.5) * width, y = (0.5 - j / (rows - 1.0)) * height;
            const float u = static_cast<float>(i) / columns, v = static_cast<float>(j) / rows;
            cloud.points.push_back({x, y, 3.0 * std::cos(x / width * 3.0) * std::cos(y / height * 3.0), phase(random),
                                    u, v, 1.0f - u});
        }
    return cloud;
}

// The exact kernel of the direct mode: 64 points 0.1 m away, each zone
// covering the whole 512 x 512 grid.
void directKernel(benchmark::State& state) {
    ComplexField plane(512, 512, 8e-6);
    PlanePoints points;
    for (int i = 0; i < 64; ++i) points.push_back({i * 1e-6, -i * 1e-6, 0.1 + i * 1e-5, 1.0, i * 0.1});
    for (auto _ : state) addPointField(plane, points, {532e-9, 0.5, 0, true});
    benchmark::DoNotOptimize(plane.values.data());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()) * 512 * 512);
}
BENCHMARK(directKernel)->Unit(benchmark::kMillisecond)->UseRealTime();

// The recording plane's kernel (separable zones) on 4096 points 6.7 to
// 10 mm from a 1024 x 1024 plane; items are point-pixels inside the zones.
void recordingKernel(benchmark::State& state) {
    ComplexField plane(1024, 1024, 8e-6);
    const double sine = apertureSine(532e-9, 8e-6);
    PlanePoints points;
    std::int64_t pointPixels = 0;
    for (int i = 0; i < 4096; ++i) {
        const double depth = 6.7e-3 + 3.3e-3 * (i % 7) / 6.0;
        points.push_back({((i % 64) - 31.7) * 8 * 8e-6, ((i / 64) - 31.3) * 8 * 8e-6, depth, 1.0, i * 0.1});
        const double side = 2.0 * sine * depth / std::sqrt(1.0 - sine * sine) / 8e-6;
        pointPixels += static_cast<std::int64_t>(side * side);
    }
    for (auto _ : state) addPointField(plane, points, {532e-9, 0.5, 0, false});
    benchmark::DoNotOptimize(plane.values.data());
    state.SetItemsProcessed(state.iterations() * pointPixels);
}
BENCHMARK(recordingKernel)->Unit(benchmark::kMillisecond)->UseRealTime();

void recordingPlane(benchmark::State& state) {
    const HologramSettings s = benchSettings();
    auto placed = placePoints(sheet(500, 500, 8.64), s);
    const double gap = s.recordingZone * s.pitch / apertureSine(s.green, s.pitch);
    for (auto& p : placed->points) p.depth -= s.distance - gap;
    for (auto _ : state) {
        ComplexField plane(2 * s.width, 2 * s.height, s.pitch);
        addPointField(plane, placed->points, {s.green, s.taper, 0, false});
        benchmark::DoNotOptimize(plane.values.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(placed->points.size()));
}
BENCHMARK(recordingPlane)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void paddedPropagation(benchmark::State& state) {
    const HologramSettings s = benchSettings();
    FourierTransform fft(3840, 2160, FftPlanning::Measure, 0, s.wisdomFolder);
    ComplexField field(3840, 2160, s.pitch);
    for (auto& v : field.values) v = {1.0, 0.5};
    BandLimitedPropagator propagator(fft);
    for (auto _ : state) propagator.propagate(field, s.green, 0.1);
}
BENCHMARK(paddedPropagation)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void endToEnd(benchmark::State& state) {
    const int columns = static_cast<int>(state.range(0)), rows = static_cast<int>(state.range(1));
    const HologramSettings s = benchSettings();
    const HologramPoints cloud = sheet(columns, rows, 8.64 * columns / rows);
    for (auto _ : state) {
        auto set = computeHolograms(cloud, s);
        auto paths = writeHologramOutputs(*set, s, {g_folder + "/bench-hologram", false, true});
        if (!paths) state.SkipWithError(paths.error().c_str());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(cloud.points.size()));
}
BENCHMARK(endToEnd)->Args({500, 500})->Args({1920, 1080})->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1) g_folder = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
