#include "platform/ByteStream.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {
constexpr std::size_t kChunk = std::size_t{1} << 16;
}

ByteStream::ByteStream(std::string_view bytes) : data_(bytes), wholeSize_(bytes.size()) {}

ByteStream::ByteStream(InputFile& file) : file_(&file), ended_(false) {}

std::optional<std::size_t> ByteStream::knownSize() const {
    if (file_) return std::nullopt;
    return wholeSize_;
}

void ByteStream::fill(std::size_t n) {
    while (!ended_ && data_.size() - pos_ < n) {
        buffer_.erase(0, pos_);
        pos_ = 0;
        const std::size_t at = buffer_.size();
        buffer_.resize(at + std::max(kChunk, n - at));
        const long got = file_->read(buffer_.data() + at, buffer_.size() - at);
        buffer_.resize(at + static_cast<std::size_t>(std::max(got, 0L)));
        if (got <= 0) ended_ = true, failed_ = got < 0;
        data_ = buffer_;
    }
}

ByteStream::Line ByteStream::nextLine(std::string_view& line, std::size_t longest) {
    std::size_t searched = 0;
    const char* end = nullptr;
    for (;;) {
        const std::size_t available = std::min(data_.size() - pos_, longest);
        if (available > searched)
            end = static_cast<const char*>(std::memchr(data_.data() + pos_ + searched, '\n', available - searched));
        if (end || available == longest || ended_) break;
        searched = available;
        fill(available + 1);
    }
    if (!end && data_.size() - pos_ >= longest) return Line::TooLong;
    if (!end && pos_ == data_.size()) return Line::End;
    const std::size_t length = end ? static_cast<std::size_t>(end - (data_.data() + pos_)) : data_.size() - pos_;
    line = data_.substr(pos_, length);
    pos_ += end ? length + 1 : length;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lines_;
    return Line::Ok;
}

bool ByteStream::take(std::size_t n, std::string_view& bytes) {
    fill(n);
    if (data_.size() - pos_ < n) return false;
    bytes = data_.substr(pos_, n);
    pos_ += n;
    return true;
}

std::string_view ByteStream::peek(std::size_t n) {
    fill(n);
    return data_.substr(pos_, n);
}

bool ByteStream::atEnd() {
    fill(1);
    return pos_ == data_.size();
}

}  // namespace velmora
