// The hologram stage against its targets, in FFT units: one forward
// 3840 x 2160 complex double FFT (FFTW, 2 threads, measured wisdom) is
// measured in the same run, just before and after each figure, and every
// figure is a multiple of it, so the table reads the same on a faster or
// slower machine.
//
//   bench_hologram_targets [--sample FILE.CGH] [--scale] [folder for the files]
//
// --sample: the sample's colour export (velmora-export --size 1024x768
// --eye 0,14,26 --colour FILE samples/sample.3ds); without it a sheet of
// as many points stands in. --scale: time and memory against points and
// against the hologram's size as well. Memory is each case's peak resident
// size, measured in a child process of its own.

#include "hologram/HologramComputer.h"
#include "hologram/HologramOutputs.h"
#include "hologram/PointKernel.h"
#include "pointfile/PointFileReader.h"

#include <fftw3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace velmora;

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work, int repeats = 1) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// One forward 3840 x 2160 complex double FFT, the median of seven. The
// machine's speed drifts by a third over a run here, so every figure is
// divided by the unit measured just before and just after it.
class FftUnit {
public:
    explicit FftUnit(const std::string& wisdomFolder) {
        fftw_init_threads();
        fftw_plan_with_nthreads(2);
        const std::string wisdom = wisdomFolder + "/fftw-wisdom";
        fftw_import_wisdom_from_filename(wisdom.c_str());
        data_ = fftw_alloc_complex(kPixels);
        plan_ = fftw_plan_dft_2d(2160, 3840, data_, data_, FFTW_FORWARD, FFTW_MEASURE);
        std::filesystem::create_directories(wisdomFolder);
        fftw_export_wisdom_to_filename(wisdom.c_str());
    }
    ~FftUnit() {
        fftw_destroy_plan(plan_);
        fftw_free(data_);
    }
    FftUnit(const FftUnit&) = delete;
    FftUnit& operator=(const FftUnit&) = delete;

    double measure() {
        for (std::size_t i = 0; i < kPixels; ++i) data_[i][0] = std::sin(0.001 * i), data_[i][1] = 0.5;
        return secondsOf([&] { fftw_execute(plan_); }, 7);
    }

private:
    static constexpr std::size_t kPixels = std::size_t{3840} * 2160;
    fftw_complex* data_ = nullptr;
    fftw_plan plan_ = nullptr;
};

struct Timed {
    double seconds = 0.0;
    double unit = 0.0;  // the mean of the units before and after
    double units() const { return seconds / unit; }
};

Timed timed(FftUnit& unit, const std::function<void()>& work, int repeats = 1) {
    const double before = unit.measure();
    const double seconds = secondsOf(work, repeats);
    return {seconds, 0.5 * (before + unit.measure())};
}

// A gently curved, coloured sheet of columns x rows points spanning 80 % of
// a full-HD hologram's height and 3 mm of depth, in model units of 1 mm.
HologramPoints sheet(int columns, int rows) {
    std::mt19937 random(1);
    std::uniform_real_distribution<double> phase(0.0, 6.28318);
    HologramPoints cloud;
    cloud.points.reserve(static_cast<std::size_t>(columns) * rows);
    const double height = 8.64 * 0.8, width = height * columns / rows;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const double x = (i / (columns - 1.0) - 0.5) * width, y = (0.5 - j / (rows - 1.0)) * height;
            // 8-bit colours, as an exported frame has them.
            const float u = static_cast<float>(std::floor(255.0 * i / columns) / 255.0);
            const float v = static_cast<float>(std::floor(255.0 * j / rows) / 255.0);
            cloud.points.push_back({x, y, 3.0 * std::cos(x / width * 3.0) * std::cos(y / height * 3.0),
                                    phase(random), u, v, static_cast<float>((255 - std::lround(255 * u)) / 255.0)});
        }
    return cloud;
}

// Points spread evenly through a box 12 x 7 mm across and `depth` mm deep.
HologramPoints deepScene(std::size_t count, double depth) {
    std::mt19937 random(2);
    std::uniform_real_distribution<double> across(-6.0, 6.0), up(-3.5, 3.5), deep(-depth, 0.0), unit(0.0, 1.0);
    HologramPoints cloud;
    for (std::size_t i = 0; i < count; ++i)
        cloud.points.push_back({across(random), up(random), deep(random), 6.28318 * unit(random),
                                static_cast<float>(unit(random)), static_cast<float>(unit(random)),
                                static_cast<float>(unit(random))});
    return cloud;
}

HologramSettings settingsFor(int width, int height) {
    HologramSettings s;
    s.width = width, s.height = height;
    s.wisdomFolder = defaultWisdomFolder();
    s.threads = 2;
    return s;
}

std::string g_folder = std::filesystem::temp_directory_path().string();

bool makeAll(const HologramPoints& points, const HologramSettings& s) {
    const auto written = computeAndWriteHolograms(points, s, {g_folder + "/bench-target", false, true});
    if (!written) std::fprintf(stderr, "bench: %s\n", written.error().c_str());
    return static_cast<bool>(written);
}

// The work's time, and its peak resident bytes, in a fresh process of its
// own: this program run again with "--case NAME W H". A forked copy of a
// process whose FFTW threads are running can deadlock on their locks, so
// the child starts from nothing.
struct Measured {
    double seconds = 0.0;
    double peakBytes = 0.0;
};

std::string g_self, g_samplePath;

Measured measured(const std::string& name, int width, int height) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        const std::string w = std::to_string(width), h = std::to_string(height);
        std::vector<const char*> args{g_self.c_str(), "--case", name.c_str(), w.c_str(), h.c_str(), g_folder.c_str()};
        if (!g_samplePath.empty()) args.insert(args.end(), {"--sample", g_samplePath.c_str()});
        args.push_back(nullptr);
        ::execv(g_self.c_str(), const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    char text[64] = {};
    const ssize_t got = ::read(pipeEnds[0], text, sizeof text - 1);
    ::close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {std::atof(text), usage.ru_maxrss * 1024.0};
}

// `timing`, where given, is the figure's own seconds and the unit it was
// divided by.
void row(const char* what, double value, const char* unit, const char* target, bool met, const Timed* timing = nullptr) {
    std::printf("%-52s %9.2f %-12s %-7s %-7s", what, value, unit, target, met ? "met" : "MISSED");
    if (timing) std::printf(" %7.2f s  unit %.4f s", timing->seconds, timing->unit);
    std::printf("\n");
}

double directRate() {
    ComplexField plane(512, 512, 8e-6);
    PlanePoints points;
    for (int i = 0; i < 64; ++i) points.push_back({i * 1e-6, -i * 1e-6, 0.1 + i * 1e-5, 1.0, i * 0.1});
    const double seconds = secondsOf([&] { addPointField(plane, points, {532e-9, 0.5, 2, true}); }, 21);
    return points.size() * 512.0 * 512.0 / seconds;
}

Timed refocusTime(FftUnit& unit) {
    HologramSettings s = settingsFor(1920, 1080);
    auto set = computeHolograms(sheet(500, 500), s);
    if (!set) return {};
    Reconstruction reconstruction(*set, s);
    double distance = set->nearestDistance;
    return timed(unit, [&] { reconstruction.refocus(distance += 1e-4); }, 5);
}

void targets(FftUnit& unit, const HologramPoints& sample) {
    std::printf("%-52s %9s %-12s %-7s %-7s %9s\n", "work", "figure", "", "target", "", "time");
    HologramSettings fitted = settingsFor(1920, 1080);
    fitted.holoFit = 0.8;
    makeAll(sample, fitted);  // plans and wisdom once
    const Timed sampleTime = timed(unit, [&] { makeAll(sample, fitted); }, 3);
    row(("sample, " + std::to_string(sample.points.size()) + " points, colour, all outputs").c_str(),
        sampleTime.units(), "units", "<= 30", sampleTime.units() <= 30, &sampleTime);
    const HologramPoints covered = sheet(1920, 1080);
    // Each target the median of three runs, as the sample's.
    const Timed coveredTime = timed(unit, [&] { makeAll(covered, settingsFor(1920, 1080)); }, 3);
    row("2,073,600 points, colour, all outputs", coveredTime.units(), "units", "<= 60", coveredTime.units() <= 60,
        &coveredTime);
    HologramPoints deep = deepScene(100000, 1000.0);
    deep.colour = false;
    const Timed deepTime = timed(unit, [&] { makeAll(deep, settingsFor(1920, 1080)); }, 3);
    row("deep: 100,000 points over 1 m, grey, all outputs", deepTime.units(), "units", "<= 80", deepTime.units() <= 80,
        &deepTime);
    deep.colour = true;
    const Timed deepColour = timed(unit, [&] { makeAll(deep, settingsFor(1920, 1080)); });
    row("deep: the same in colour", deepColour.units(), "units", "", true, &deepColour);
    for (const auto& [w, h] : {std::pair{3840, 2160}, std::pair{7680, 4320}}) {
        const Measured m = measured("memory", w, h);
        const double perPixel = m.peakBytes / (static_cast<double>(w) * h);
        row(("memory, colour " + std::to_string(w) + " x " + std::to_string(h)).c_str(), perPixel, "bytes/pixel",
            "<= 64", perPixel <= 64);
    }
    const double rate = directRate();
    row("direct kernel", rate / 1e9, "1e9 pt-px/s", ">= 1", rate >= 1e9);
    const Timed refocus = refocusTime(unit);
    row("refocus, full-HD colour (focus window)", refocus.units(), "units", "<= 8", refocus.units() <= 8, &refocus);
}

void scale(FftUnit& fft) {
    const double unit = fft.measure();
    std::printf("\n%-40s %10s %8s %12s\n", "scale", "seconds", "units", "peak MB");
    for (const auto& [columns, rows] : {std::pair{320, 188}, std::pair{584, 436}, std::pair{1333, 750},
                                        std::pair{1920, 1080}}) {
        const HologramPoints points = sheet(columns, rows);
        const Measured m = measured("sheet", columns, rows);
        std::printf("%-40s %10.2f %8.1f %12.0f\n",
                    (std::to_string(points.points.size()) + " points, 1920 x 1080").c_str(), m.seconds,
                    m.seconds / unit, m.peakBytes / 1e6);
    }
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}, std::pair{7680, 4320}}) {
        const Measured m = measured("sample", w, h);
        std::printf("%-40s %10.2f %8.1f %12.0f\n",
                    ("sample, " + std::to_string(w) + " x " + std::to_string(h)).c_str(), m.seconds,
                    m.seconds / unit, m.peakBytes / 1e6);
    }
}

HologramSettings fittedTo(int width, int height) {
    HologramSettings s = settingsFor(width, height);
    s.holoFit = 0.8;
    return s;
}

// One case of measured(), in the child: its seconds on standard output.
// "sample" is planned once first, as a user's second run is.
int runCase(const std::string& name, int width, int height, const HologramPoints& sample) {
    double seconds = 0.0;
    if (name == "memory") {
        seconds = secondsOf([&] { makeAll(sample, fittedTo(width, height)); });
    } else if (name == "sample") {
        makeAll(sample, fittedTo(width, height));
        seconds = secondsOf([&] { makeAll(sample, fittedTo(width, height)); });
    } else {
        const HologramPoints points = sheet(width, height);
        seconds = secondsOf([&] { makeAll(points, settingsFor(1920, 1080)); });
    }
    std::printf("%.6f\n", seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string samplePath, caseName;
    int caseWidth = 0, caseHeight = 0;
    bool withScale = false;
    g_self = std::filesystem::read_symlink("/proc/self/exe").string();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sample" && i + 1 < argc)
            samplePath = argv[++i];
        else if (arg == "--case" && i + 3 < argc)
            caseName = argv[i + 1], caseWidth = std::atoi(argv[i + 2]), caseHeight = std::atoi(argv[i + 3]), i += 3;
        else if (arg == "--scale")
            withScale = true;
        else
            g_folder = arg;
    }
    HologramPoints sample = sheet(584, 436);
    if (!samplePath.empty()) {
        auto file = readPointFile(samplePath);
        if (!file) {
            std::fprintf(stderr, "bench: %s: %s\n", samplePath.c_str(), file.error().c_str());
            return 1;
        }
        sample = file->points;
    }
    g_samplePath = samplePath;
    if (!caseName.empty()) return runCase(caseName, caseWidth, caseHeight, sample);
    FftUnit unit(defaultWisdomFolder());
    std::printf("FFT unit: forward 3840 x 2160 complex double, 2 threads, measured; at the start %.4f s\n\n",
                unit.measure());
    targets(unit, sample);
    if (withScale) scale(unit);
    return 0;
}
