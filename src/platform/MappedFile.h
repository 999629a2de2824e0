#pragma once
// A whole file in memory, read-only: a regular file mapped where the system
// allows it, read in one go otherwise; a pipe or device read up to a bound
// the caller gives, so that one that never ends (/dev/zero) cannot fill the
// memory. Parts already parsed can be handed back early so a large model
// does not hold its whole file and its parsed data at once.

#include "platform/InputFile.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace velmora {

class MappedFile {
public:
    // TooLarge: the bytes would not fit in the memory the process may still
    // take; nothing is kept.
    enum class Status { Ok, OpenFailed, SeekFailed, SizeFailed, ReadFailed, TooLarge };
    static constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens and loads the file; of a pipe or device at most `most` bytes
    // (more stay unread, see readMore). On ReadFailed the bytes that could
    // be read are still available.
    Status open(const std::string& path, std::size_t most = kWhole);
    Status open(InputFile file, std::size_t most = kWhole);

    // Reads on in a pipe or device, up to `most` bytes in all; nothing to do
    // for a regular file, which is there whole. Earlier data() pointers may
    // no longer hold.
    Status readMore(std::size_t most);
    // Whether a pipe or device had more than the bytes read so far.
    bool cutShort() const { return stream_.isOpen(); }

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // A hint: the bytes before `offset` will not be looked at again.
    void release(std::size_t offset);

private:
    void reset();
    Status readStream(std::size_t most);

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    std::size_t released_ = 0;
    std::vector<std::uint8_t> buffer_;
    InputFile stream_;  // open while a pipe or device may have more
};

}  // namespace velmora
