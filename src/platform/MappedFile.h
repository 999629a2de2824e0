#pragma once
// A whole file in memory, read-only: mapped where the system allows it, read
// in one go otherwise. Parts already parsed can be handed back early so a
// large model does not hold its whole file and its parsed data at once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class MappedFile {
public:
    enum class Status { Ok, OpenFailed, SeekFailed, SizeFailed, ReadFailed };

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    // Opens and loads the file. On ReadFailed the bytes that could be read
    // are still available.
    Status open(const std::string& path);

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // A hint: the bytes before `offset` will not be looked at again.
    void release(std::size_t offset);

private:
    void reset();

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    std::size_t released_ = 0;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace velmora
