#pragma once
// A point file being written: the bytes go to a temporary file beside the
// target through a large buffer, and only a complete file is renamed over
// the target. A failed write or a file that is never committed leaves the
// target as it was. The target is where a plain write would land: the file
// a symbolic link points to, not the link. Only a regular file is ever
// replaced: a target that is (or links to) a device, FIFO or socket is
// opened at create() and gets the complete file copied into it at
// publish(), as a plain write would write it. The temporary file is
// registered with TemporaryFiles, so a termination signal removes it too.

#include "platform/Result.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class OutputFile {
public:
    // Where a write to `path` lands, as create() checks it: a name with a
    // file part, links followed, not a folder, not write-protected.
    struct Destination {
        std::string file;     // the target with its links followed
        bool stream = false;  // a device, FIFO or socket: written into, never replaced
    };
    static Result<Destination> destination(const std::string& path);

    // Creates the temporary file in the target's folder (for a stream
    // target, beside the name as given, else in the temporary folder) and
    // opens a stream target. A write-protected target (no write permission
    // bit, or not writable by the user) is refused, and so is a FIFO that
    // no process reads (opening it would wait for one forever). A failure
    // gives the reason.
    static Result<OutputFile> create(const std::string& path);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file unless it was committed.
    ~OutputFile();

    // The name as given, for messages.
    const std::string& path() const { return path_; }

    // Room for at least `size` bytes at the returned cursor; hand the end of
    // what was written to advance().
    char* reserve(std::size_t size) {
        if (static_cast<std::size_t>(end_ - cursor_) < size) makeRoom(size);
        return cursor_;
    }
    void advance(char* end) { cursor_ = end; }
    void append(std::string_view bytes);

    // Replaces the first bytes of the file (written earlier) with `bytes`.
    void overwriteStart(std::string_view bytes);

    // Writes what is buffered and closes the file; the reason of the first
    // write that failed.
    Result<void> finish();
    // Renames the finished file over the target; a stream target gets its
    // bytes instead.
    Result<void> publish();
    // finish() then publish().
    Result<void> commit() {
        if (auto finished = finish(); !finished) return finished;
        return publish();
    }

    bool failed() const { return !error_.empty(); }

private:
    OutputFile() = default;
    void makeRoom(std::size_t size);
    void flush();
    void release();
    bool copyToStream();
    // Keeps the reason of the first step that failed.
    void keep(const Result<void>& step);
    Result<void> outcome() const;

    enum class State { Writing, Finished, Closed };

    std::string path_;
    std::string target_;  // path_ with its links followed
    std::string tempPath_;
    int tempSlot_ = -1;   // in TemporaryFiles
    int fd_ = -1;         // the temporary file
    int streamFd_ = -1;   // a stream target, open from create()
    State state_ = State::Writing;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    std::string error_;
};

}  // namespace velmora
