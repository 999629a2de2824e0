#pragma once
// The bytes of a file in order, taken a line or a record at a time: from
// bytes already in memory (text, a mapped file), or from a pipe or device a
// chunk at a time, keeping only what has not been taken yet. A reader on it
// holds what it parses, not the file.

#include "platform/InputFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class ByteStream {
public:
    explicit ByteStream(std::string_view bytes);
    // `file` stays open while the stream reads it.
    explicit ByteStream(InputFile& file);

    enum class Line { Ok, End, TooLong };
    // The next line without its CR LF or LF; TooLong when no line end comes
    // within `longest` bytes.
    Line nextLine(std::string_view& line, std::size_t longest);
    // The next `n` bytes; false when the file ends first. They hold until the
    // next call.
    bool take(std::size_t n, std::string_view& bytes);
    // Up to `n` bytes from here on, not taken.
    std::string_view peek(std::size_t n);
    bool atEnd();

    int lineNumber() const { return lines_; }
    // The whole size, where the bytes were all there from the start.
    std::optional<std::size_t> knownSize() const;
    bool readFailed() const { return failed_; }

private:
    // Makes `n` bytes available from the position, as far as the file goes.
    void fill(std::size_t n);

    InputFile* file_ = nullptr;
    std::string buffer_;
    std::string_view data_;
    std::size_t pos_ = 0;
    std::size_t wholeSize_ = 0;
    int lines_ = 0;
    bool ended_ = true;
    bool failed_ = false;
};

}  // namespace velmora
