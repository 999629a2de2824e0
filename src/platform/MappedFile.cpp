#include "platform/MappedFile.h"

#include "platform/MemoryBudget.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <utility>

namespace velmora {

namespace {
constexpr std::size_t kChunk = std::size_t{1} << 16;

std::size_t pageSize() {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}
}  // namespace

MappedFile::~MappedFile() { reset(); }

void MappedFile::reset() {
    if (mapping_) ::munmap(mapping_, mappingSize_);
    mapping_ = nullptr;
    mappingSize_ = 0;
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
    stream_.close();
}

MappedFile::Status MappedFile::open(const std::string& path, std::size_t most) {
    reset();
    InputFile file;
    switch (file.open(path)) {
        case InputFile::Status::OpenFailed: return Status::OpenFailed;
        case InputFile::Status::StatFailed: return Status::SizeFailed;
        case InputFile::Status::Ok: break;
    }
    return open(std::move(file), most);
}

MappedFile::Status MappedFile::open(InputFile file, std::size_t most) {
    reset();
    // A regular file of size 0 may still have bytes (those of /proc do).
    if (!file.regular() || file.size() == 0) {
        stream_ = std::move(file);
        return readStream(most);
    }
    if (::lseek(file.descriptor(), 0, SEEK_SET) == static_cast<off_t>(-1)) return Status::SeekFailed;
    const auto length = static_cast<std::size_t>(file.size());
    void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.descriptor(), 0);
    if (p != MAP_FAILED) {
        ::madvise(p, length, MADV_SEQUENTIAL);
        mapping_ = p;
        mappingSize_ = length;
        data_ = static_cast<const std::uint8_t*>(p);
        size_ = length;
        return Status::Ok;
    }
    // Not mappable: read it, as far as its size says and memory allows.
    if (memoryShortfall(file.size())) return Status::TooLarge;
    stream_ = std::move(file);
    const Status status = readStream(static_cast<std::size_t>(stream_.size()));
    stream_.close();
    return status;
}

MappedFile::Status MappedFile::readMore(std::size_t most) {
    if (!stream_.isOpen()) return Status::Ok;
    return readStream(most);
}

MappedFile::Status MappedFile::readStream(std::size_t most) {
    Status status = Status::Ok;
    try {
        while (buffer_.size() < most) {
            if (buffer_.size() == buffer_.capacity()) {
                // Grown by doubling, each step weighed against the memory left.
                const std::size_t wanted = std::min(most, std::max(kChunk, 2 * buffer_.capacity()));
                if (memoryShortfall(wanted)) {
                    reset();
                    return Status::TooLarge;
                }
                buffer_.reserve(wanted);
            }
            const std::size_t room = std::min(buffer_.capacity(), most) - buffer_.size();
            const std::size_t at = buffer_.size();
            buffer_.resize(at + std::min(room, kChunk));
            const long n = stream_.read(buffer_.data() + at, buffer_.size() - at);
            buffer_.resize(at + static_cast<std::size_t>(std::max(n, 0L)));
            if (n <= 0) {
                if (n < 0) status = Status::ReadFailed;
                stream_.close();
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        reset();
        return Status::TooLarge;
    }
    data_ = buffer_.data();
    size_ = buffer_.size();
    return status;
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
