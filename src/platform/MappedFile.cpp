#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace velmora {

namespace {
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}
}  // namespace

MappedFile::~MappedFile() { reset(); }

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappingSize_ = std::exchange(other.mappingSize_, 0);
        released_ = std::exchange(other.released_, 0);
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

void MappedFile::reset() {
    if (mapping_) ::munmap(mapping_, mappingSize_);
    mapping_ = nullptr;
    mappingSize_ = 0;
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
}

MappedFile::Status MappedFile::open(const std::string& path) {
    reset();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return Status::OpenFailed;

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Status::SizeFailed;
    // open() accepts a directory, and whether seeking or reading it fails
    // next depends on the file system; refuse it here so every system gives
    // the same answer.
    if (S_ISDIR(st.st_mode)) return Status::OpenFailed;

    // A pipe cannot seek and is measured by reading instead.
    if (::lseek(fd.get(), 0, SEEK_END) != static_cast<off_t>(-1) &&
        ::lseek(fd.get(), 0, SEEK_SET) == static_cast<off_t>(-1))
        return Status::SeekFailed;

    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        const auto length = static_cast<std::size_t>(st.st_size);
        void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd.get(), 0);
        if (p != MAP_FAILED) {
            ::madvise(p, length, MADV_SEQUENTIAL);
            mapping_ = p;
            mappingSize_ = length;
            data_ = static_cast<const std::uint8_t*>(p);
            size_ = length;
            return Status::Ok;
        }
    }

    // Fall back to reading everything.
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            data_ = buffer_.data();
            size_ = buffer_.size();
            return Status::ReadFailed;
        }
        if (n == 0) break;
        buffer_.insert(buffer_.end(), chunk, chunk + n);
    }
    data_ = buffer_.data();
    size_ = buffer_.size();
    return Status::Ok;
}

void MappedFile::release(std::size_t offset) {
    if (!mapping_) return;
    const std::size_t page = pageSize();
    const std::size_t upTo = (offset / page) * page;
    if (upTo <= released_) return;
    ::madvise(static_cast<std::uint8_t*>(mapping_) + released_, upTo - released_, MADV_DONTNEED);
    released_ = upTo;
}

}  // namespace velmora
