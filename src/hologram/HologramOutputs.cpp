#include "hologram/HologramOutputs.h"

#include "platform/OutputFile.h"
#include "hologram/BandLimitedPropagator.h"
#include "hologram/FourierTransform.h"
#include "hologram/HologramEncoding.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace velmora {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kNoMemory = "there is not enough memory for the reconstruction";

Result<void> writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    auto file = OutputFile::create(path);
    if (!file) return Result<void>::failure("cannot create " + path + ": " + file.error());
    file->append(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (auto committed = file->commit(); !committed)
        return Result<void>::failure("cannot write " + path + ": " + committed.error());
    return {};
}

std::string channelStem(const std::string& prefix, double wavelength) {
    return prefix + "-" + std::to_string(static_cast<int>(std::lround(wavelength * 1e9))) + "nm";
}

// A table instead of a power per pixel: the preview has millions of them.
// 2^16 steps keep the darkest sRGB levels (about 1/3300 apart) exact.
std::uint8_t linearToSrgb8(double linear) {
    constexpr int kSteps = 1 << 16;
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> made(kSteps + 1);
        for (int i = 0; i <= kSteps; ++i) {
            const double c = static_cast<double>(i) / kSteps;
            const double coded = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
            made[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::lround(coded * 255.0));
        }
        return made;
    }();
    // NaN fails both tests and is dark: std::clamp would pass it on.
    if (!(linear > 0.0)) return table.front();
    if (!(linear < 1.0)) return table.back();
    return table[static_cast<std::size_t>(linear * kSteps + 0.5)];
}

}  // namespace

std::uint8_t phaseLevel(double phase) {
    const long level = std::lround(128.0 + phase * (128.0 / kPi));
    return static_cast<std::uint8_t>(((level % 256) + 256) % 256);
}

double levelPhase(std::uint8_t level) { return (level - 128) * (kPi / 128.0); }

ComplexField phaseOnly(const ComplexField& field) {
    static const std::vector<std::complex<double>> levels = [] {
        std::vector<std::complex<double>> made(256);
        for (int level = 0; level < 256; ++level)
            made[static_cast<std::size_t>(level)] = std::polar(1.0, levelPhase(static_cast<std::uint8_t>(level)));
        return made;
    }();
    ComplexField out = field;
    for (auto& v : out.values) v = levels[phaseLevel(std::arg(v))];
    return out;
}

Reconstruction::Reconstruction(const HologramSet& set, const HologramSettings& settings) {
    try {
        const double scale = encodingScale(set, settings.device);
        for (const auto& channel : set.channels) {
            wavelengths_.push_back(channel.wavelength);
            phaseOnly_.push_back(shownByDevice(channel.field, channel.wavelength, settings.device, scale));
        }
        if (!set.channels.empty()) {
            const ComplexField& first = set.channels.front().field;
            fft_ = std::make_unique<FourierTransform>(2 * first.width, 2 * first.height, settings.planning,
                                                      settings.threads, settings.wisdomFolder);
        }
    } catch (const std::bad_alloc&) {
        unusable(kNoMemory);
    } catch (const std::runtime_error& e) {
        unusable(e.what());
    }
}

Reconstruction::~Reconstruction() = default;

void Reconstruction::unusable(const std::string& why) {
    unusable_ = why;
    phaseOnly_.clear();
    phaseOnly_.shrink_to_fit();
    fft_.reset();
}

Result<std::vector<std::vector<double>>> Reconstruction::intensities(double distance) {
    using Intensities = Result<std::vector<std::vector<double>>>;
    if (!unusable_.empty()) return Intensities::failure(unusable_);
    if (!fft_) return Intensities(std::vector<std::vector<double>>{});
    try {
        return propagatedIntensities(distance);
    } catch (const std::bad_alloc&) {
        return Intensities::failure(kNoMemory);
    }
}

std::vector<std::vector<double>> Reconstruction::propagatedIntensities(double distance) {
    std::vector<std::vector<double>> result;
    for (std::size_t c = 0; c < phaseOnly_.size(); ++c) {
        const ComplexField back = BandLimitedPropagator(*fft_).propagatePadded(phaseOnly_[c], wavelengths_[c], -distance);
        std::vector<double> intensity(back.values.size());
        for (std::size_t i = 0; i < intensity.size(); ++i) intensity[i] = std::norm(back.values[i]);
        result.push_back(std::move(intensity));
    }
    return result;
}

Result<RgbPicture> Reconstruction::refocus(double distance) {
    const auto computed = intensities(distance);
    if (!computed) return Result<RgbPicture>::failure(computed.error());
    const auto& channels = *computed;
    RgbPicture picture;
    if (channels.empty()) return picture;
    picture.width = phaseOnly_.front().width;
    picture.height = phaseOnly_.front().height;
    std::vector<double> all;
    try {
        all.reserve(channels.size() * channels.front().size());
        picture.rgb.resize(3 * channels.front().size());
    } catch (const std::bad_alloc&) {
        return Result<RgbPicture>::failure(kNoMemory);
    }
    // NaN would break nth_element's ordering.
    for (const auto& c : channels)
        for (double v : c) all.push_back(std::isfinite(v) ? v : 0.0);
    const std::size_t rank = std::min(all.size() - 1, static_cast<std::size_t>(0.999 * all.size()));
    std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(rank), all.end());
    const double reference = all[rank] > 0.0 ? all[rank] : 1.0;
    const std::size_t count = channels.front().size();
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            picture.rgb[3 * i + c] = linearToSrgb8(channels[std::min(c, channels.size() - 1)][i] / reference);
    return picture;
}

std::vector<std::uint8_t> encodePng(int width, int height, int channels, const std::uint8_t* pixels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, nullptr)) return {};
    std::vector<std::uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, 0, nullptr)) return {};
    bytes.resize(size);
    return bytes;
}

std::vector<std::uint8_t> encodeNpy(const ComplexField& field) {
    std::string header = "{'descr': '<c8', 'fortran_order': False, 'shape': (" + std::to_string(field.height) +
                         ", " + std::to_string(field.width) + "), }";
    // Magic, version, length, header: padded with spaces to a multiple of 64.
    const std::size_t total = (10 + header.size() + 1 + 63) / 64 * 64;
    header.append(total - 10 - header.size() - 1, ' ');
    header += '\n';
    const std::string magic("\x93NUMPY\x01\x00", 8);
    const std::size_t start = 10 + header.size();
    std::vector<std::uint8_t> bytes(start + field.values.size() * 8);
    std::memcpy(bytes.data(), magic.data(), 8);
    bytes[8] = static_cast<std::uint8_t>(header.size() & 0xFF);
    bytes[9] = static_cast<std::uint8_t>(header.size() >> 8);
    std::memcpy(bytes.data() + 10, header.data(), header.size());
    for (std::size_t i = 0; i < field.values.size(); ++i) {
        const float pair[2] = {static_cast<float>(field.values[i].real()), static_cast<float>(field.values[i].imag())};
        std::memcpy(bytes.data() + start + 8 * i, pair, sizeof pair);
    }
    return bytes;
}

std::vector<std::string> hologramOutputNames(bool colour, const HologramSettings& settings,
                                             const HologramOutputRequest& request) {
    std::vector<std::string> names;
    const auto wavelengths = colour ? std::vector<double>{settings.red, settings.green, settings.blue}
                                    : std::vector<double>{settings.grey};
    for (const double wavelength : wavelengths) {
        names.push_back(channelStem(request.prefix, wavelength) + ".png");
        if (request.npy) names.push_back(channelStem(request.prefix, wavelength) + ".npy");
    }
    if (request.preview) names.push_back(request.prefix + "-preview.png");
    return names;
}

Result<std::vector<std::string>> writeHologramOutputs(const HologramSet& set, const HologramSettings& settings,
                                                      const HologramOutputRequest& request,
                                                      const HologramProgress& progress) {
    using Paths = Result<std::vector<std::string>>;
    std::vector<std::string> paths;
    const auto write = [&](const std::string& path, const std::vector<std::uint8_t>& bytes) {
        if (progress) progress("writing " + path);
        if (bytes.empty()) return Result<void>::failure("cannot encode " + path);
        auto written = writeBytes(path, bytes);
        if (written) paths.push_back(path);
        return written;
    };
    const double scale = encodingScale(set, settings.device);
    for (const auto& channel : set.channels) {
        const ComplexField& f = channel.field;
        if (auto written = write(channelStem(request.prefix, channel.wavelength) + ".png",
                                 encodePicturePng(encodeHologram(f, channel.wavelength, settings.device, scale)));
            !written)
            return Paths::failure(written.error());
        if (request.npy)
            if (auto written = write(channelStem(request.prefix, channel.wavelength) + ".npy", encodeNpy(f)); !written)
                return Paths::failure(written.error());
    }
    if (request.preview && !set.channels.empty()) {
        if (progress) progress("reconstructing the preview");
        if (!(std::isfinite(set.middleDistance) && set.middleDistance > 0.0))
        {
            char depth[40];
            std::snprintf(depth, sizeof depth, "%g", set.middleDistance);
            return Paths::failure(std::string("the preview's depth (") + depth + " m) is not a positive finite length");
        }
        Reconstruction reconstruction(set, settings);
        const auto picture = reconstruction.refocus(set.middleDistance);
        if (!picture) return Paths::failure("cannot make the preview: " + picture.error());
        if (auto written = write(request.prefix + "-preview.png",
                                 encodePng(picture->width, picture->height, 3, picture->rgb.data()));
            !written)
            return Paths::failure(written.error());
    }
    return paths;
}

}  // namespace velmora
