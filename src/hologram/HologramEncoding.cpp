#include "hologram/HologramEncoding.h"

#include "hologram/FieldFilter.h"
#include "hologram/HologramOutputs.h"
#include "hologram/PhaseLevels.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>

namespace velmora {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The double-phase checkerboard puts its error at the grid's highest
// frequencies: a field without detail above half the sampling limit keeps
// it apart from the picture.
constexpr double kDoublePhaseBand = 0.25;

bool onCarrier(HologramEncoding encoding) {
    return encoding == HologramEncoding::Amplitude || encoding == HologramEncoding::Binary;
}

// The carrier's phase at a pixel, measured from the grid's middle.
struct Carrier {
    Carrier(const DeviceSettings& device, int width, int height)
        : fx(device.carrier()[0]), fy(device.carrier()[1]), middleColumn(0.5 * (width - 1)),
          middleRow(0.5 * (height - 1)) {}
    double at(int column, int row) const {
        return 2 * kPi * (fx * (column - middleColumn) + fy * (middleRow - row));
    }
    double fx, fy, middleColumn, middleRow;
};

// Apart from the +1 order at the carrier lie the zero order (at the
// carrier's distance) and the -1 order (twice it, folded back into the
// sampled band): the band keeps half the distance to the nearer one, along
// the axis that carries most of the carrier.
std::array<double, 2> carrierBand(const DeviceSettings& device) {
    const auto [fx, fy] = device.carrier();
    const double f = std::max(std::fabs(fx), std::fabs(fy));
    const double apart = std::min(f, std::fabs(2 * f - std::round(2 * f)));
    return std::fabs(fx) >= std::fabs(fy) ? std::array{0.5 * apart, 0.5} : std::array{0.5, 0.5 * apart};
}

ComplexField bandLimited(const ComplexField& field, const DeviceSettings& device) {
    if (device.encoding == HologramEncoding::DoublePhase) return lowPass(field, kDoublePhaseBand, kDoublePhaseBand);
    const auto band = carrierBand(device);
    return lowPass(field, band[0], band[1]);
}

void encodePhase(const ComplexField& field, const PhaseLevels& map, const Carrier& carrier, HologramPicture& out) {
    for (int row = 0; row < field.height; ++row)
        for (int column = 0; column < field.width; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * field.width + column;
            out.levels[i] = map.level(std::arg(std::complex<double>(field.values[i])) + carrier.at(column, row));
        }
}

void encodeDoublePhase(const ComplexField& field, const PhaseLevels& map, const Carrier& carrier, double scale,
                       HologramPicture& out) {
    for (int row = 0; row < field.height; ++row)
        for (int column = 0; column < field.width; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * field.width + column;
            const std::complex<double> u(field.values[i]);
            const double spread = std::acos(std::min(1.0, std::abs(u) / scale));
            const double theta = std::arg(u) + carrier.at(column, row);
            out.levels[i] = map.level((row + column) % 2 == 0 ? theta + spread : theta - spread);
        }
}

std::vector<double> carrierIntensity(const ComplexField& field, const Carrier& carrier, double scale) {
    std::vector<double> intensity(field.values.size());
    for (int row = 0; row < field.height; ++row)
        for (int column = 0; column < field.width; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * field.width + column;
            const std::complex<double> u(field.values[i]);
            const double wave = (u * std::polar(1.0, carrier.at(column, row))).real();
            intensity[i] = std::clamp(0.5 * (1.0 + wave / scale), 0.0, 1.0);
        }
    return intensity;
}

// PNG_FORMAT_LINEAR_Y: 16-bit samples as they are, no sRGB curve.
std::vector<std::uint8_t> encodeGreyPng(const HologramPicture& picture, const void* samples, png_uint_32 format) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = format;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, samples, 0, nullptr)) return {};
    std::vector<std::uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, samples, 0, nullptr)) return {};
    bytes.resize(size);
    return bytes;
}

// libpng's writer calls back into a buffer sized up front: nothing
// allocates, and nothing throws, between its setjmp and its longjmp.
struct PngSink {
    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
};

void appendToSink(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (length > sink->bytes.size() - sink->used) png_error(png, "the picture outgrew its buffer");
    std::memcpy(sink->bytes.data() + sink->used, data, length);
    sink->used += length;
}

bool writeOneBitPng(png_structp png, png_infop info, PngSink& sink, const HologramPicture& picture,
                    std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &sink, appendToSink, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 1,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

std::vector<std::uint8_t> encodeOneBitPng(const HologramPicture& picture) {
    const std::size_t rowBytes = (static_cast<std::size_t>(picture.width) + 7) / 8;
    std::vector<std::uint8_t> packed(rowBytes * static_cast<std::size_t>(picture.height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
    for (int row = 0; row < picture.height; ++row) {
        rows[static_cast<std::size_t>(row)] = packed.data() + row * rowBytes;
        for (int column = 0; column < picture.width; ++column)
            if (picture.levels[static_cast<std::size_t>(row) * picture.width + column])
                rows[static_cast<std::size_t>(row)][column / 8] |= static_cast<std::uint8_t>(0x80 >> (column % 8));
    }
    // Deflate never grows data by more than a few bytes per block.
    PngSink sink;
    sink.bytes.resize(2 * (packed.size() + rows.size()) + 4096);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && writeOneBitPng(png, info, sink, picture, rows);
    png_destroy_write_struct(&png, &info);
    if (!written) return {};
    sink.bytes.resize(sink.used);
    return std::move(sink.bytes);
}

}  // namespace

const PhaseLut* DeviceSettings::lut(double wavelength) const {
    const PhaseLut* everyWavelength = nullptr;
    for (const auto& [at, table] : luts) {
        if (at == 0.0) everyWavelength = &table;
        if (at != 0.0 && std::fabs(at - wavelength) < 0.5e-9) return &table;
    }
    return everyWavelength;
}

std::array<double, 2> DeviceSettings::carrier() const {
    if (tilt) return *tilt;
    return onCarrier(encoding) ? std::array{0.25, 0.0} : std::array{0.0, 0.0};
}

double encodingScale(const HologramSet& set, const DeviceSettings& device) {
    if (device.encoding == HologramEncoding::Phase) return 1.0;
    double largest = 0.0;
    for (const auto& channel : set.channels)
        for (const auto& v : bandLimited(channel.field, device).values)
            largest = std::max(largest, std::abs(std::complex<double>(v)));
    return largest > 0.0 ? largest : 1.0;
}

HologramPicture encodeHologram(const ComplexField& field, double wavelength, const DeviceSettings& device,
                               double scale) {
    HologramPicture picture;
    picture.width = field.width;
    picture.height = field.height;
    picture.bits = device.encoding == HologramEncoding::Binary ? 1 : device.bits;
    picture.levels.resize(field.values.size());
    const Carrier carrier(device, field.width, field.height);
    if (device.encoding == HologramEncoding::Phase) {
        encodePhase(field, PhaseLevels(device, wavelength), carrier, picture);
        return picture;
    }
    const ComplexField band = bandLimited(field, device);
    if (device.encoding == HologramEncoding::DoublePhase) {
        encodeDoublePhase(band, PhaseLevels(device, wavelength), carrier, scale, picture);
        return picture;
    }
    std::vector<double> intensity = carrierIntensity(band, carrier, scale);
    if (device.encoding == HologramEncoding::Binary) {
        const auto bits = diffuseErrors(std::move(intensity), field.width, field.height);
        std::copy(bits.begin(), bits.end(), picture.levels.begin());
        return picture;
    }
    const double top = device.greyLevels() - 1;
    for (std::size_t i = 0; i < intensity.size(); ++i)
        picture.levels[i] = static_cast<std::uint16_t>(std::lround(intensity[i] * top));
    return picture;
}

ComplexField deviceField(const HologramPicture& picture, double pitch, double wavelength,
                         const DeviceSettings& device) {
    ComplexField out(picture.width, picture.height, pitch);
    using Value = decltype(out.values)::value_type;
    if (!onCarrier(device.encoding)) {
        const PhaseLevels map(device, wavelength);
        std::vector<Value> shown(std::size_t{1} << picture.bits);
        for (std::size_t g = 0; g < shown.size(); ++g)
            shown[g] = static_cast<Value>(std::polar(1.0, map.phase(static_cast<std::uint16_t>(g))));
        for (std::size_t i = 0; i < out.values.size(); ++i) out.values[i] = shown[picture.levels[i]];
        return out;
    }
    const double top = picture.bits == 1 ? 1.0 : device.greyLevels() - 1;
    const Carrier carrier(device, picture.width, picture.height);
    for (int row = 0; row < picture.height; ++row)
        for (int column = 0; column < picture.width; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * picture.width + column;
            out.values[i] = static_cast<Value>(std::polar(picture.levels[i] / top, -carrier.at(column, row)));
        }
    const auto band = carrierBand(device);
    return lowPass(out, band[0], band[1]);
}

ComplexField shownByDevice(const ComplexField& field, double wavelength, const DeviceSettings& device,
                           double scale) {
    return deviceField(encodeHologram(field, wavelength, device, scale), field.pitch, wavelength, device);
}

std::vector<std::uint8_t> diffuseErrors(std::vector<double> intensity, int width, int height) {
    std::vector<std::uint8_t> bits(intensity.size());
    const auto spread = [&](int column, int row, double share) {
        if (column >= 0 && column < width && row < height)
            intensity[static_cast<std::size_t>(row) * width + column] += share;
    };
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const std::size_t i = static_cast<std::size_t>(row) * width + column;
            bits[i] = intensity[i] >= 0.5 ? 1 : 0;
            const double error = intensity[i] - bits[i];
            spread(column + 1, row, error * 7 / 16);
            spread(column - 1, row + 1, error * 3 / 16);
            spread(column, row + 1, error * 5 / 16);
            spread(column + 1, row + 1, error * 1 / 16);
        }
    return bits;
}

std::vector<std::uint8_t> encodePicturePng(const HologramPicture& picture) {
    if (picture.bits == 1) return encodeOneBitPng(picture);
    if (picture.bits == 16) return encodeGreyPng(picture, picture.levels.data(), PNG_FORMAT_LINEAR_Y);
    const std::vector<std::uint8_t> grey(picture.levels.begin(), picture.levels.end());
    return encodeGreyPng(picture, grey.data(), PNG_FORMAT_GRAY);
}

}  // namespace velmora
