// Sampling plus the colour file for a 1920 × 1080 frame fully covered
// (2,073,600 points), against a straightforward fprintf writer over the same
// points in the same run, and the raw write speed of the same bytes.
//
//   bench_export [folder]     (default: the system's temporary folder)
//
// The frame is built in memory (no OpenGL): a tilted plane seen through a
// perspective projection, every pixel coloured, so every point costs one
// unprojection and one line of text.

#include "export/SurfaceSampler.h"
#include "pointfile/CghWriter.h"
#include "pointfile/PointValues.h"
#include "view/ViewerState.h"

#include <GL/glu.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace velmora;

namespace {

double seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

SampledFrame makeFrame(int width, int height) {
    const int columns = width / 4 * 4;
    std::vector<float> depth(static_cast<std::size_t>(columns) * height);
    std::vector<std::uint8_t> colour(depth.size() * 3);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < columns; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * columns + column;
            depth[i] = 0.96f + 0.02f * static_cast<float>(column + row) / static_cast<float>(columns + height);
            colour[i * 3] = static_cast<std::uint8_t>(column * 7);
            colour[i * 3 + 1] = static_cast<std::uint8_t>(row * 3 + 1);
            colour[i * 3 + 2] = static_cast<std::uint8_t>(column ^ row);
        }
    // gluLookAt(0, 0, 30 -> origin) and gluPerspective(18°, aspect, 1, 1000).
    const double f = 1.0 / std::tan(9.0 * 3.14159265358979323846 / 180.0);
    const double aspect = static_cast<double>(width) / height;
    const std::array<double, 16> modelview{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -30, 1};
    const std::array<double, 16> projection{f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, -1001.0 / 999.0, -1,
                                            0, 0, -2000.0 / 999.0, 0};
    return SurfaceSampler::frameOf(ClientRect::ofSize(width, height), std::move(depth), std::move(colour),
                                   {modelview, projection, {0, 0, width, height}});
}

// The obvious writer: fprintf per line, placeholder, seek back for the header.
SampleSummary writeWithFprintf(const SampledFrame& frame, const std::string& path, ViewerState& state,
                               const Viewpoint& v) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fprintf(out, "%41s\r\n", "");
    const SampleSummary summary = frame.walk([&](const SurfacePoint& p, int index) {
        std::fprintf(out, "%d %f %f %f %f %f %f %f\r\n", index, p.x, p.y, p.z, randomPhase(state.random),
                     colourFraction(p.red), colourFraction(p.green), colourFraction(p.blue));
    });
    const SampleBounds& b = summary.bounds;
    std::fprintf(out, "Statics: Maxx=%f Minx=%f Maxy=%f Miny=%f Maxz=%f Minz=%f \r\n", b.maxX, b.minX, b.maxY,
                 b.minY, b.maxZ, b.minZ);
    std::fprintf(out, "ViewPoint: x=%f  y=%f z=%f", v.x, v.y, v.z);
    std::fseek(out, 0, SEEK_SET);
    std::fprintf(out, "%d %.1f %.1f 0", summary.pointCount, state.Output_Scalxy, state.Output_Scalz);
    std::fclose(out);
    return summary;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    const std::string fast = (folder / "bench_export_fast.CGH").string();
    const std::string slow = (folder / "bench_export_fprintf.CGH").string();
    const std::string raw = (folder / "bench_export_raw.CGH").string();
    const Viewpoint viewpoint{0, 0, 30};

    auto start = std::chrono::steady_clock::now();
    const SampledFrame frame = makeFrame(1920, 1080);
    const double build = seconds(start);

    ViewerState state;
    state.random.seed(42);
    start = std::chrono::steady_clock::now();
    const Result<SampleSummary> result =
        writeColourCgh(frame, fast, {state.Output_Scalxy, state.Output_Scalz}, state.random, viewpoint);
    const double fastSeconds = seconds(start);

    state.random.seed(42);
    start = std::chrono::steady_clock::now();
    writeWithFprintf(frame, slow, state, viewpoint);
    const double slowSeconds = seconds(start);

    const std::string bytes = readAll(fast);
    const bool identical = result && bytes == readAll(slow);
    start = std::chrono::steady_clock::now();
    {
        std::FILE* out = std::fopen(raw.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    const double rawSeconds = seconds(start);

    start = std::chrono::steady_clock::now();
    const SampleSummary counted = frame.summarize();
    const double walkSeconds = seconds(start);

    const double mb = static_cast<double>(bytes.size()) / 1e6;
    std::printf("frame 1920x1080, %d points, file %.1f MB (frame built in %.3f s)\n", result->pointCount, mb,
                build);
    std::printf("sampling walk alone (unprojection, no text): %.3f s (%d points)\n", walkSeconds,
                counted.pointCount);
    std::printf("velmora writer (sampling + colour file): %.3f s, %.1f MB/s\n", fastSeconds, mb / fastSeconds);
    std::printf("fprintf writer (sampling + colour file): %.3f s, %.1f MB/s\n", slowSeconds, mb / slowSeconds);
    std::printf("speed-up: %.2fx, output %s\n", slowSeconds / fastSeconds, identical ? "byte-identical" : "DIFFERENT");
    std::printf("raw write of the same bytes: %.3f s, %.1f MB/s\n", rawSeconds, mb / rawSeconds);
    for (const auto& p : {fast, slow, raw}) std::filesystem::remove(p);
    return identical ? 0 : 1;
}
