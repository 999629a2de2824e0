#pragma once
// A temporary folder for a test, removed with everything in it afterwards,
// whole-file reads and writes, and the expected texts of tests/data.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>
#ifdef VELMORA_SOURCE_DIR
#include <gtest/gtest.h>
#endif

namespace velmora::testing {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data())) path_ = made;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The whole file; empty when it cannot be read.
inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
#ifdef VELMORA_SOURCE_DIR
// A file of tests/data.
inline std::string dataText(const std::string& name) { return fileText(VELMORA_SOURCE_DIR "/tests/data/" + name); }

// The expected texts of a file of tests/data, each after a line "== name".
inline std::map<std::string, std::string> dataSections(const std::string& name) {
    std::map<std::string, std::string> texts;
    std::istringstream in(dataText(name));
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("== ", 0) == 0) texts[section = line.substr(3)];
        else if (!section.empty()) texts[section] += line + "\n";
    }
    return texts;
}

// `file` with the lines of its section `name` replaced by `body` (appended when it has none).
inline std::string withSection(const std::string& file, const std::string& name, const std::string& body) {
    std::istringstream in(file);
    std::string out;
    bool replaced = false, skipping = false;
    for (std::string line; std::getline(in, line);) {
        if (skipping && line.rfind("== ", 0) != 0) continue;
        out += line + "\n";
        if ((skipping = line == "== " + name)) out += body, replaced = true;
    }
    return replaced ? out : out + "== " + name + "\n" + body;
}

// `actual` against a file of tests/data or one of its sections. VELMORA_UPDATE_EXPECTED=1 (scripts/update-expected.sh)
// writes it there instead, for a deliberate change of a format whose diff is then reviewed by hand.
inline void expectData(const std::string& actual, const std::string& name, const std::string& section = "") {
    const std::string updated = section.empty() ? actual : withSection(dataText(name), section, actual);
    if (!std::getenv("VELMORA_UPDATE_EXPECTED"))
        EXPECT_EQ(actual, section.empty() ? dataText(name) : dataSections(name)[section]) << name << " " << section;
    else
        std::ofstream(VELMORA_SOURCE_DIR "/tests/data/" + name, std::ios::binary) << updated;
}
#endif

template <typename Container> bool writeFile(const std::string& path, const Container& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// Paths that are no plain file, each ending in `ending`: a folder, a link to /dev/zero, a sparse file of `bigSize`
// bytes (no disk taken) and a FIFO without a writer. Empty strings when one could not be made.
struct AwkwardPaths {
    std::string folder, zero, big, fifo;
    AwkwardPaths(const TempDir& dir, const std::string& ending, std::uintmax_t bigSize = std::uintmax_t{30} << 30)
        : folder(dir.file("folder" + ending)), zero(dir.file("zero" + ending)), big(dir.file("big" + ending)),
          fifo(dir.file("fifo" + ending)) {
        std::error_code ec;
        if (::mkdir(folder.c_str(), 0700) != 0) folder.clear();
        if (::symlink("/dev/zero", zero.c_str()) != 0) zero.clear();
        if (::mkfifo(fifo.c_str(), 0600) != 0) fifo.clear();
        if (!writeFile(big, std::string()) || (std::filesystem::resize_file(big, bigSize, ec), ec)) big.clear();
    }
};

// Writes `bytes` (fewer than a pipe holds) into the FIFO and closes the writing end. The descriptor returned, a reader
// that takes nothing, keeps them for the next reader to open; close it afterwards.
inline int fillFifo(const std::string& path, const std::string& bytes) {
    const int keeper = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(path.c_str(), O_WRONLY);
    const bool written = writer >= 0 && ::write(writer, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    if (writer >= 0) ::close(writer);
    return written ? keeper : -1;
}

// `ulimit -v` from within a test, for a death test's child: the soft address-space limit set to what the
// process maps now and `headroom` bytes more; false when it cannot be set.
inline bool leaveAddressSpace(std::uint64_t headroom) {
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    ::getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) + headroom;
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

}  // namespace velmora::testing
