#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace velmora {

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept { *this = std::move(other); }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        regular_ = std::exchange(other.regular_, false);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void InputFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    regular_ = false;
    size_ = 0;
}

InputFile::Status InputFile::open(const std::string& path) {
    close();
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never
    // come. Once open, reads block again: a FIFO whose writer is there (even
    // one still waiting in its own open) is read to its end, one without a
    // writer reads as empty.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return Status::OpenFailed;
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags == -1 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        close();
        return Status::OpenFailed;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        close();
        return Status::StatFailed;
    }
    // open() accepts a folder, and whether reading it fails next depends on
    // the file system; refuse it here so every system gives the same answer.
    if (S_ISDIR(st.st_mode)) {
        close();
        return Status::OpenFailed;
    }
    regular_ = S_ISREG(st.st_mode);
    size_ = regular_ ? static_cast<std::uint64_t>(st.st_size) : 0;
    return Status::Ok;
}

long InputFile::read(void* out, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd_, out, n);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

}  // namespace velmora
