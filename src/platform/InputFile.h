#pragma once
// A file opened for reading, whatever stands at its path. A folder is
// refused. A FIFO is opened without waiting for a writer: with none it reads
// as empty instead of blocking the program forever. A regular file tells its
// size; anything else (a pipe, a device) is a stream of unknown length that
// the readers bound themselves.

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

class InputFile {
public:
    enum class Status { Ok, OpenFailed, StatFailed };

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;

    Status open(const std::string& path);
    void close();

    bool isOpen() const { return fd_ >= 0; }
    bool regular() const { return regular_; }
    std::uint64_t size() const { return size_; }  // of a regular file
    int descriptor() const { return fd_; }

    // Up to `n` bytes; 0 at the end, -1 on an error.
    long read(void* out, std::size_t n);

private:
    int fd_ = -1;
    bool regular_ = false;
    std::uint64_t size_ = 0;
};

}  // namespace velmora
