#pragma once
// Work split among threads, the first on the caller's thread: bands of
// rows, one thread each, or items taken in turn. A band whose thread cannot
// be started runs on the caller's too, and a band that runs out of memory
// does not end the program from its thread: std::bad_alloc is thrown on the
// caller's thread once every band has ended.

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace velmora {

// The threads a `threads` setting asks for: 0 is every core.
inline int threadsFor(int threads) {
    return threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Bands of rows for that setting: one per thread, each at least 16 rows.
inline int rowBands(int threads, int rows) { return std::min(threadsFor(threads), std::max(1, rows / 16)); }

// work(first, end) for rows [first, end) of `rows`, in `bands` bands.
template <typename Work>
void runInBands(int rows, int bands, const Work& work) {
    bands = std::max(1, bands);
    std::atomic<bool> outOfMemory = false;
    const auto band = [&](int b) {
        try {
            work(rows * b / bands, rows * (b + 1) / bands);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(bands - 1));
    int started = 1;
    try {
        for (; started < bands; ++started) workers.emplace_back(band, started);
    } catch (const std::system_error&) {
    }
    for (int b = started; b < bands; ++b) band(b);
    band(0);
    for (auto& worker : workers) worker.join();
    if (outOfMemory) throw std::bad_alloc();
}

// work(item) for items [0, items), taken in turn by `threads` threads, for
// work whose items differ in size: a thread that finishes early takes the
// next item instead of waiting.
template <typename Work>
void runInTurns(int items, int threads, const Work& work) {
    std::atomic<int> next = 0;
    runInBands(threads, std::max(1, std::min(threads, items)), [&](int, int) {
        for (int item = next++; item < items; item = next++) work(item);
    });
}

}  // namespace velmora
