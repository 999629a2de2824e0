#pragma once
// A sampled complex field on a plane, row-major, row 0 at the top.
//
// Pixel centres: column i lies at x = (i - (width - 1) / 2) * pitch and row
// j at y = ((height - 1) / 2 - j) * pitch, so the optical axis passes
// through the middle of the grid (between pixels for an even size) and
// moving a point by one pitch moves everything it draws by one pixel. A
// padded grid keeps the axis where its centre part has it (originColumn,
// originRow), so cropping that part back needs no resampling.
//
// Values are kept in single precision: a hologram's pictures and its
// reconstruction need about 1e-4 of accuracy, and the memory and the
// transforms halve. Phases (k r, about 1e5 radians) are always computed in
// double and only their cosine and sine are stored.

#include "hologram/LargeAllocator.h"

#include <complex>
#include <vector>

namespace velmora {

using Complex = std::complex<float>;
using ComplexValues = std::vector<Complex, LargeAllocator<Complex>>;

struct ComplexField {
    int width = 0;
    int height = 0;
    double pitch = 0.0;  // metres
    ComplexValues values;

    ComplexField() = default;
    double originColumn = 0.0;
    double originRow = 0.0;

    ComplexField(int w, int h, double p)
        : width(w), height(h), pitch(p), values(static_cast<std::size_t>(w) * h),
          originColumn(0.5 * (w - 1)), originRow(0.5 * (h - 1)) {}

    Complex& at(int column, int row) { return values[static_cast<std::size_t>(row) * width + column]; }
    const Complex& at(int column, int row) const {
        return values[static_cast<std::size_t>(row) * width + column];
    }
    double columnX(double column) const { return (column - originColumn) * pitch; }
    double rowY(double row) const { return (originRow - row) * pitch; }
};

// Rows of values that may lie inside a wider buffer: a tile in the middle
// of the transform's grid, read where it was computed instead of copied out.
struct FieldRows {
    const Complex* first = nullptr;
    std::size_t stride = 0;  // values from one row's start to the next
    int width = 0;
    int height = 0;

    static FieldRows of(const ComplexField& field) {
        return {field.values.data(), static_cast<std::size_t>(field.width), field.width, field.height};
    }
    const Complex* row(int r) const { return first + static_cast<std::size_t>(r) * stride; }
};

// A field's geometry over values kept elsewhere (a transform's buffer).
struct PlaneView {
    int width = 0;
    int height = 0;
    double pitch = 0.0;
    double originColumn = 0.0;
    double originRow = 0.0;
    Complex* values = nullptr;

    static PlaneView of(ComplexField& field) {
        return {field.width, field.height, field.pitch, field.originColumn, field.originRow, field.values.data()};
    }
    double columnX(double column) const { return (column - originColumn) * pitch; }
    double rowY(double row) const { return (originRow - row) * pitch; }
};

}  // namespace velmora
