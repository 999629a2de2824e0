#include "hologram/FourierTransform.h"

#include <fftw3.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace velmora {

namespace {

// FFTW's planner and its wisdom are global and not thread-safe.
std::mutex& plannerLock() {
    static std::mutex lock;
    return lock;
}

void setUpThreads(int threads) {
    static const bool ready = fftw_init_threads() != 0;
    if (!ready) return;
    const int count = threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    fftw_plan_with_nthreads(count);
}

void loadWisdom(const std::string& folder) {
    static std::string loaded;
    if (folder.empty() || loaded == folder) return;
    loaded = folder;
    fftw_import_wisdom_from_filename(wisdomPath(folder).c_str());
}

// Written to a temporary name and renamed, so a second program planning at
// the same time never reads half a file.
void saveWisdom(const std::string& folder) {
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string target = wisdomPath(folder);
    const std::string temp = target + "." + std::to_string(::getpid()) + ".tmp";
    if (fftw_export_wisdom_to_filename(temp.c_str()) != 0)
        std::filesystem::rename(temp, target, ec);
    if (ec) std::filesystem::remove(temp, ec);
}

}  // namespace

struct FourierTransform::Plans {
    fftw_plan forward = nullptr;
    fftw_plan backward = nullptr;
    ~Plans() {
        std::lock_guard<std::mutex> guard(plannerLock());
        if (forward) fftw_destroy_plan(forward);
        if (backward) fftw_destroy_plan(backward);
    }
};

void FourierTransform::FreeBuffer::operator()(std::complex<double>* p) const { fftw_free(p); }

FourierTransform::FourierTransform(int width, int height, FftPlanning planning, int threads,
                                   const std::string& wisdomFolder)
    : width_(width), height_(height), plans_(std::make_unique<Plans>()) {
    const std::size_t count = static_cast<std::size_t>(width) * height;
    data_.reset(reinterpret_cast<std::complex<double>*>(fftw_alloc_complex(count)));
    std::lock_guard<std::mutex> guard(plannerLock());
    setUpThreads(threads);
    const unsigned flags = planning == FftPlanning::Measure ? FFTW_MEASURE : FFTW_ESTIMATE;
    if (planning == FftPlanning::Measure) loadWisdom(wisdomFolder);
    auto* buffer = reinterpret_cast<fftw_complex*>(data_.get());
    // Measuring overwrites the buffer; nothing is in it yet.
    fftw_plan probe = fftw_plan_dft_2d(height, width, buffer, buffer, FFTW_FORWARD, flags | FFTW_WISDOM_ONLY);
    const bool known = probe != nullptr;
    if (probe) fftw_destroy_plan(probe);
    plans_->forward = fftw_plan_dft_2d(height, width, buffer, buffer, FFTW_FORWARD, flags);
    plans_->backward = fftw_plan_dft_2d(height, width, buffer, buffer, FFTW_BACKWARD, flags);
    if (planning == FftPlanning::Measure && !known) saveWisdom(wisdomFolder);
}

FourierTransform::~FourierTransform() = default;

void FourierTransform::forward() { fftw_execute(plans_->forward); }
void FourierTransform::backward() { fftw_execute(plans_->backward); }

std::string wisdomPath(const std::string& folder) { return folder + "/fftw-wisdom"; }

std::string defaultWisdomFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache) return std::string(cache) + "/VELMORA";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/VELMORA";
    return {};
}

}  // namespace velmora
