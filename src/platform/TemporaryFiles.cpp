#include "platform/TemporaryFiles.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <initializer_list>

#include <unistd.h>

namespace velmora {

namespace {

// A CGH per-channel export holds three files open, a series one view's.
constexpr int kSlots = 32;
constexpr std::size_t kNameSize = 4096;  // PATH_MAX: a longer name cannot be created anyway

enum SlotState : int { kFree, kFilling, kArmed };

struct Slot {
    std::atomic<int> state{kFree};
    char name[kNameSize];
};

Slot slots[kSlots];

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

extern "C" void removeAndExit(int signal) {
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == kArmed) ::unlink(slot.name);
    ::_exit(128 + signal);
}

}  // namespace

void TemporaryFiles::removeOnTerminationSignals() {
    // A reader that goes away mid-write makes the write fail with EPIPE, so
    // the writer removes its temporary file and says so, instead of dying.
    std::signal(SIGPIPE, SIG_IGN);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removeAndExit;
        ::sigfillset(&action.sa_mask);  // no second signal inside the handler
        ::sigaction(signal, &action, nullptr);
    }
}

int TemporaryFiles::add(const char* path) {
    if (std::strlen(path) >= kNameSize) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        std::strcpy(slots[i].name, path);
        slots[i].state.store(kArmed, std::memory_order_release);
        return i;
    }
    return -1;
}

void TemporaryFiles::remove(int slot) {
    if (slot >= 0 && slot < kSlots) slots[slot].state.store(kFree, std::memory_order_release);
}

}  // namespace velmora
