#include "hologram/FourierTransform.h"

#include "hologram/LargeAllocator.h"
#include "hologram/RowBands.h"

#include <fftw3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>
#include <stdexcept>

namespace velmora {

namespace {

// FFTW's planner and its wisdom are global and not thread-safe.
std::mutex& plannerLock() {
    static std::mutex lock;
    return lock;
}

void setUpThreads(int threads) {
    static const bool ready = fftwf_init_threads() != 0;
    if (!ready) return;
    fftwf_plan_with_nthreads(threadsFor(threads));
}

// Wisdom lives in a regular file; anything else there (a FIFO, a device, a
// folder) could block a read or never end, so wisdom is then left alone.
std::string unusableWisdom(const std::string& path) {
    return "the FFTW wisdom file " + path + " is not a regular file; wisdom is neither read nor kept";
}

bool isUnusableWisdom(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Opened without blocking and checked on the descriptor, so a FIFO put in
// place after a look at the name cannot block either.
void loadWisdom(const std::string& folder, std::string& warning) {
    static std::string loaded;
    if (folder.empty() || loaded == folder) return;
    loaded = folder;
    const std::string path = wisdomPath(folder);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        warning = unusableWisdom(path);
        return;
    }
    if (std::FILE* file = ::fdopen(fd, "r")) {
        fftwf_import_wisdom_from_file(file);
        std::fclose(file);
    } else {
        ::close(fd);
    }
}

// Written to a temporary name and renamed, so a second program planning at
// the same time never reads half a file.
void saveWisdom(const std::string& folder, std::string& warning) {
    if (folder.empty()) return;
    const std::string target = wisdomPath(folder);
    if (isUnusableWisdom(target)) {
        warning = unusableWisdom(target);
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string temp = target + "." + std::to_string(::getpid()) + ".tmp";
    if (fftwf_export_wisdom_to_filename(temp.c_str()) != 0)
        std::filesystem::rename(temp, target, ec);
    if (ec) std::filesystem::remove(temp, ec);
}

}  // namespace

struct FourierTransform::Plans {
    fftwf_plan forward = nullptr;
    fftwf_plan backward = nullptr;
    ~Plans() {
        std::lock_guard<std::mutex> guard(plannerLock());
        if (forward) fftwf_destroy_plan(forward);
        if (backward) fftwf_destroy_plan(backward);
    }
};

void FourierTransform::FreeBuffer::operator()(Complex* p) const { freeLarge(p, bytes); }

FourierTransform::FourierTransform(int width, int height, FftPlanning planning, int threads,
                                   const std::string& wisdomFolder)
    : width_(width), height_(height),
      data_(static_cast<Complex*>(allocateLarge(std::size_t(width) * height * sizeof(Complex))),
            FreeBuffer{std::size_t(width) * height * sizeof(Complex)}),
      plans_(std::make_unique<Plans>()) {
    if (!data_) throw std::bad_alloc();
    std::lock_guard<std::mutex> guard(plannerLock());
    setUpThreads(threads);
    const bool measure = planning == FftPlanning::Measure;
    const unsigned flags = measure ? FFTW_MEASURE : FFTW_ESTIMATE;
    if (measure) loadWisdom(wisdomFolder, warning_);
    auto* buffer = reinterpret_cast<fftwf_complex*>(data_.get());
    // Measuring overwrites the buffer; nothing is in it yet.
    fftwf_plan probe = fftwf_plan_dft_2d(height, width, buffer, buffer, FFTW_FORWARD, flags | FFTW_WISDOM_ONLY);
    known_ = probe != nullptr || !measure;
    if (probe) fftwf_destroy_plan(probe);
    // A size never measured on this machine is measured for a bounded time:
    // past it FFTW keeps the best plan found so far, at worst an estimated one.
    fftwf_set_timelimit(measure && !known_ ? 0.5 * kPlanningSeconds : FFTW_NO_TIMELIMIT);
    plans_->forward = fftwf_plan_dft_2d(height, width, buffer, buffer, FFTW_FORWARD, flags);
    plans_->backward = fftwf_plan_dft_2d(height, width, buffer, buffer, FFTW_BACKWARD, flags);
    fftwf_set_timelimit(FFTW_NO_TIMELIMIT);
    if (!plans_->forward || !plans_->backward)
        throw std::runtime_error("FFTW cannot plan a " + std::to_string(width) + " x " + std::to_string(height) +
                                 " transform");
    if (!known_) saveWisdom(wisdomFolder, warning_);
}

bool FourierTransform::planKnown(int width, int height, FftPlanning planning, int threads,
                                 const std::string& wisdomFolder) {
    if (planning != FftPlanning::Measure) return true;
    std::lock_guard<std::mutex> guard(plannerLock());
    setUpThreads(threads);
    std::string ignored;
    loadWisdom(wisdomFolder, ignored);
    // FFTW_WISDOM_ONLY plans touch neither buffer, so none is allocated.
    auto* none = reinterpret_cast<fftwf_complex*>(std::uintptr_t{64});
    fftwf_plan probe = fftwf_plan_dft_2d(height, width, none, none, FFTW_FORWARD, FFTW_MEASURE | FFTW_WISDOM_ONLY);
    if (probe) fftwf_destroy_plan(probe);
    return probe != nullptr;
}

FourierTransform::~FourierTransform() = default;

void FourierTransform::forward() { fftwf_execute(plans_->forward); }
void FourierTransform::backward() { fftwf_execute(plans_->backward); }

// Single-precision wisdom; FFTW keeps it apart from double-precision wisdom.
std::string wisdomPath(const std::string& folder) { return folder + "/fftwf-wisdom"; }

std::string defaultWisdomFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache) return std::string(cache) + "/VELMORA";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/VELMORA";
    return {};
}

}  // namespace velmora
