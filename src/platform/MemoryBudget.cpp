#include "platform/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace velmora {

namespace {

std::optional<std::uint64_t> readNumber(const std::string& path) {
    std::ifstream in(path);
    std::string word;
    if (!(in >> word) || word.empty() || word.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;  // also "max": no limit
    return std::stoull(word);
}

std::optional<std::uint64_t> memAvailable(const std::string& root) {
    std::ifstream in(root + "/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t kib = 0;
        if (fields >> name >> kib && name == "MemAvailable:") return kib * 1024;
    }
    return std::nullopt;
}

// The headroom of the control group the process runs in (v2, else v1).
std::optional<std::uint64_t> cgroupHeadroom(const std::string& root) {
    const std::pair<const char*, const char*> layouts[] = {
        {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory.current"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "/sys/fs/cgroup/memory/memory.usage_in_bytes"}};
    for (const auto& [limitFile, usageFile] : layouts) {
        const auto limit = readNumber(root + limitFile);
        if (!limit) continue;
        const auto usage = readNumber(root + usageFile).value_or(0);
        return *limit > usage ? *limit - usage : 0;
    }
    return std::nullopt;
}

// What `ulimit -v` leaves of the address space.
std::optional<std::uint64_t> addressSpaceHeadroom(const std::string& root) {
    rlimit limit{};
    if (!root.empty() || ::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    std::ifstream in("/proc/self/statm");
    std::uint64_t pages = 0;
    in >> pages;
    const std::uint64_t used = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

std::string gibibytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
    return text;
}

}  // namespace

std::optional<std::uint64_t> availableMemory(const std::string& root) {
    std::optional<std::uint64_t> least;
    for (const auto& bound : {memAvailable(root), cgroupHeadroom(root), addressSpaceHeadroom(root)})
        if (bound) least = least ? std::min(*least, *bound) : *bound;
    return least;
}

std::optional<std::string> memoryShortfall(std::uint64_t needed, const std::string& root) {
    const auto available = availableMemory(root);
    if (!available || needed <= *available) return std::nullopt;
    return "needs " + gibibytes(needed) + ", " + gibibytes(*available) + " available";
}

}  // namespace velmora
