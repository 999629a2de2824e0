#pragma once
// Grey 8-bit PNG pictures written without compression, one row at a time:
// each row is one IDAT chunk holding the row's stored deflate blocks, so a
// picture's size in bytes follows from its width and height alone, and a
// picture of any height streams through one row of memory.

#include <cstdint>

namespace velmora {

class OutputFile;

// The bytes of a width x height picture.
std::uint64_t storedPngSize(int width, int height);

class StoredPngWriter {
public:
    // Writes the signature and the header.
    StoredPngWriter(OutputFile& file, int width, int height);
    // The next row, `width` grey levels; after the last the picture is complete.
    void addRow(const std::uint8_t* levels);

private:
    void chunk(const char* type, const std::uint8_t* data, std::size_t size);
    OutputFile& file_;
    int width_;
    int height_;
    int row_ = 0;
    unsigned long adler_ = 1;  // of every filtered row so far
};

}  // namespace velmora
