#include "hologram/HologramOutputs.h"

#include "hologram/BandLimitedPropagator.h"
#include "hologram/FourierTransform.h"
#include "hologram/HologramEncoding.h"
#include "hologram/RowBands.h"
#include "hologram/StoredPng.h"
#include "platform/OutputFile.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace velmora {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kNoMemory = "there is not enough memory for the reconstruction";

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
    return table.data()[static_cast<std::size_t>(linear * kSteps + 0.5)];
}

}  // namespace

std::uint8_t phaseLevel(double phase) {
    const long level = std::lround(128.0 + phase * (128.0 / kPi));
    return static_cast<std::uint8_t>(((level % 256) + 256) % 256);
}

double levelPhase(std::uint8_t level) { return (level - 128) * (kPi / 128.0); }

namespace {

// The unit phasor each grey level stands for.
const std::vector<Complex>& levelPhasors() {
    static const std::vector<Complex> levels = [] {
        std::vector<Complex> made(256);
        for (int level = 0; level < 256; ++level)
            made[static_cast<std::size_t>(level)] = std::polar(1.0f, static_cast<float>(levelPhase(static_cast<std::uint8_t>(level))));
        return made;
    }();
    return levels;
}

}  // namespace

std::vector<std::uint8_t> phaseLevels(const ComplexField& field, int threads) {
    return phaseLevels(FieldRows::of(field), threads);
}

std::vector<std::uint8_t> phaseLevels(const FieldRows& rows, int threads) {
    const int width = rows.width;
    std::vector<std::uint8_t> levels(static_cast<std::size_t>(width) * rows.height);
    runInBands(rows.height, rowBands(threads, rows.height), [&](int first, int end) {
        for (int row = first; row < end; ++row) {
            const Complex* values = rows.row(row);
            std::uint8_t* out = levels.data() + static_cast<std::size_t>(row) * width;
            for (int i = 0; i < width; ++i) out[i] = phaseLevel(std::arg(values[i]));
        }
    });
    return levels;
}

ComplexField phaseOnly(const ComplexField& field) {
    ComplexField out = field;
    const auto levels = phaseLevels(field);
    for (std::size_t i = 0; i < levels.size(); ++i) out.values[i] = levelPhasors()[levels[i]];
    return out;
}

namespace {

// The phase-only hologram in the middle of the transform's buffer, zeros
// around it, as the device's light leaves it.
void placeLevels(FourierTransform& fft, const std::vector<std::uint8_t>& levels, int width, int height, int threads) {
    const int left = width / 2, top = height / 2;
    const auto& phasors = levelPhasors();
    runInBands(fft.height(), rowBands(threads, fft.height()), [&](int first, int end) {
        for (int row = first; row < end; ++row) {
            Complex* line = fft.data() + static_cast<std::size_t>(row) * fft.width();
            std::fill(line, line + fft.width(), Complex{});
            if (row < top || row >= top + height) continue;
            const std::uint8_t* source = levels.data() + static_cast<std::size_t>(row - top) * width;
            for (int i = 0; i < width; ++i) line[left + i] = phasors.data()[source[i]];
        }
    });
}

// |u|^2 of the middle width x height part of the buffer.
std::vector<float> croppedIntensity(FourierTransform& fft, int width, int height) {
    std::vector<float> intensity(static_cast<std::size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const Complex* line = fft.data() + static_cast<std::size_t>(row + height / 2) * fft.width() + width / 2;
        float* out = intensity.data() + static_cast<std::size_t>(row) * width;
        for (int i = 0; i < width; ++i) out[i] = std::norm(line[i]);
    }
    return intensity;
}

// The phase-only hologram's intensity `distance` back towards the object.
std::vector<float> focusedIntensity(FourierTransform& fft, const std::vector<std::uint8_t>& levels,
                                    const ComplexField& field, double wavelength, double distance, int threads) {
    placeLevels(fft, levels, field.width, field.height, threads);
    BandLimitedPropagator(fft, threads).propagateBuffer(field.pitch, wavelength, -distance);
    return croppedIntensity(fft, field.width, field.height);
}

}  // namespace

Reconstruction::Reconstruction(const HologramSet& set, const HologramSettings& settings) {
    threads_ = settings.threads;
    try {
        if (set.channels.empty()) return;
        const ComplexField& first = set.channels.front().field;
        width_ = first.width, height_ = first.height, pitch_ = first.pitch;
        fft_ = std::make_unique<FourierTransform>(2 * width_, 2 * height_, settings.planning, settings.threads,
                                                  settings.wisdomFolder);
        const std::size_t size = static_cast<std::size_t>(fft_->width()) * fft_->height();
        const DeviceSettings& device = settings.device;
        const double scale = encodingScale(set, device);
        for (const auto& channel : set.channels) {
            wavelengths_.push_back(channel.wavelength);
            if (device.plainPhase())
                placeLevels(*fft_, phaseLevels(channel.field, threads_), width_, height_, threads_);
            else
                BandLimitedPropagator(*fft_, threads_)
                    .placePadded(shownByDevice(channel.field, channel.wavelength, device, scale));
            fft_->forward();
            spectra_.emplace_back(fft_->data(), fft_->data() + size);
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
    spectra_.clear();
    spectra_.shrink_to_fit();
    fft_.reset();
}

Result<std::vector<std::vector<float>>> Reconstruction::intensities(double distance) {
    using Intensities = Result<std::vector<std::vector<float>>>;
    if (!unusable_.empty()) return Intensities::failure(unusable_);
    std::vector<std::vector<float>> result;
    if (!fft_) return result;
    try {
        for (std::size_t c = 0; c < spectra_.size(); ++c) {
            std::copy(spectra_[c].begin(), spectra_[c].end(), fft_->data());
            BandLimitedPropagator(*fft_, threads_).applyTransferFunction(pitch_, wavelengths_[c], -distance);
            fft_->backward();
            result.push_back(croppedIntensity(*fft_, width_, height_));
        }
    } catch (const std::bad_alloc&) {
        return Intensities::failure(kNoMemory);
    }
    return result;
}

Result<RgbPicture> Reconstruction::refocus(double distance) {
    const auto computed = intensities(distance);
    if (!computed) return Result<RgbPicture>::failure(computed.error());
    return intensityPicture(width_, height_, *computed);
}

Result<RgbPicture> intensityPicture(int width, int height, const std::vector<std::vector<float>>& channels) {
    RgbPicture picture;
    if (channels.empty()) return picture;
    picture.width = width;
    picture.height = height;
    std::vector<float> all;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    try {
        all.reserve(channels.size() * count);
        picture.rgb.assign(3 * count, 0);
    } catch (const std::bad_alloc&) {
        return Result<RgbPicture>::failure(kNoMemory);
    }
    // NaN would break nth_element's ordering.
    for (const auto& c : channels)
        for (float v : c) all.push_back(std::isfinite(v) ? v : 0.0f);
    const std::size_t rank = std::min(all.size() - 1, static_cast<std::size_t>(0.999 * all.size()));
    std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(rank), all.end());
    const double reference = all[rank] > 0.0f ? all[rank] : 1.0;
    all = {};
    for (std::size_t c = 0; c < 3; ++c) {
        const float* in = channels[std::min(c, channels.size() - 1)].data();
        std::uint8_t* out = picture.rgb.data() + c;
        for (std::size_t i = 0; i < count; ++i) out[3 * i] = linearToSrgb8(in[i] / reference);
    }
    return picture;
}

namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    static_cast<OutputFile*>(png_get_io_ptr(png))->append({reinterpret_cast<const char*>(data), length});
}
void pngFlush(png_structp) {}
[[noreturn]] void pngError(png_structp png, png_const_charp) { std::longjmp(png_jmpbuf(png), 1); }
void pngWarning(png_structp, png_const_charp) {}

// Only plain C data lives between setjmp and the calls that may jump back.
bool encodeRows(OutputFile& file, int width, int height, int channels, const std::uint8_t* pixels) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &file, pngWrite, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_HUFFMAN_ONLY);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * channels;
    for (int row = 0; row < height; ++row) png_write_row(png, pixels + stride * row);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

Result<void> writePng(OutputFile& file, int width, int height, int channels, const std::uint8_t* pixels) {
    if (!encodeRows(file, width, height, channels, pixels))
        return Result<void>::failure("cannot encode " + file.path());
    return {};
}

Result<void> writeNpy(OutputFile& file, const ComplexField& field) {
    static_assert(sizeof(Complex) == 8, "complex64 as it lies in memory");
    std::string header = "{'descr': '<c8', 'fortran_order': False, 'shape': (" + std::to_string(field.height) +
                         ", " + std::to_string(field.width) + "), }";
    // Magic, version, length, header: padded with spaces to a multiple of 64.
    const std::size_t total = (10 + header.size() + 1 + 63) / 64 * 64;
    header.append(total - 10 - header.size() - 1, ' ');
    header += '\n';
    const char length[2] = {static_cast<char>(header.size() & 0xFF), static_cast<char>(header.size() >> 8)};
    file.append(std::string_view("\x93NUMPY\x01\x00", 8));
    file.append(std::string_view(length, 2));
    file.append(header);
    file.append({reinterpret_cast<const char*>(field.values.data()), field.values.size() * sizeof(Complex)});
    return {};
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

namespace {

// The files of one run, each complete before the first is put in place:
// a run that fails part-way leaves the files of the run before.
class OutputBatch {
public:
    explicit OutputBatch(const HologramProgress& progress) : progress_(progress) {}

    template <typename Write>
    Result<void> add(const std::string& path, const Write& write) {
        if (progress_) progress_("writing " + path);
        auto file = OutputFile::create(path);
        if (!file) return Result<void>::failure("cannot create " + path + ": " + file.error());
        if (auto written = write(*file); !written) return written;
        if (auto finished = file->finish(); !finished)
            return Result<void>::failure("cannot write " + path + ": " + finished.error());
        files_.push_back(std::move(*file));
        return {};
    }

    Result<std::vector<std::string>> publish() {
        std::vector<std::string> paths;
        for (auto& file : files_) {
            if (auto published = file.publish(); !published)
                return Result<std::vector<std::string>>::failure("cannot write " + file.path() + ": " +
                                                                 published.error());
            paths.push_back(file.path());
        }
        return paths;
    }

private:
    HologramProgress progress_;
    std::vector<OutputFile> files_;
};

Result<void> checkPreviewDepth(double middle) {
    if (std::isfinite(middle) && middle > 0.0) return {};
    char depth[40];
    std::snprintf(depth, sizeof depth, "%g", middle);
    return Result<void>::failure(std::string("the preview's depth (") + depth + " m) is not a positive finite length");
}

// Another device's picture, and the field it makes of it at the preview's depth.
Result<void> writeDevicePicture(OutputBatch& batch, const std::string& path, const HologramChannel& channel,
                                const HologramSet& frame, const HologramSettings& s, double scale,
                                FourierTransform* fft, std::vector<std::vector<float>>& preview) {
    const ComplexField& f = channel.field;
    const HologramPicture picture = encodeHologram(f, channel.wavelength, s.device, scale);
    const auto bytes = encodePicturePng(picture);
    if (auto written = batch.add(path, [&](OutputFile& file) {
            if (bytes.empty()) return Result<void>::failure("cannot encode " + path);
            file.append({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
            return Result<void>{};
        });
        !written)
        return written;
    if (!fft) return {};
    BandLimitedPropagator propagator(*fft, s.threads);
    propagator.placePadded(deviceField(picture, f.pitch, channel.wavelength, s.device));
    propagator.propagateBuffer(f.pitch, channel.wavelength, -frame.middleDistance);
    preview.push_back(croppedIntensity(*fft, f.width, f.height));
    return {};
}

// One channel's picture and .npy, and its intensity at the preview's depth
// when `fft` is given.
Result<void> writeChannel(OutputBatch& batch, const HologramChannel& channel, const HologramSet& frame,
                          const HologramSettings& s, const HologramOutputRequest& request, double scale,
                          FourierTransform* fft, std::vector<std::vector<float>>& preview) {
    const ComplexField& f = channel.field;
    const std::string stem = channelStem(request.prefix, channel.wavelength);
    if (s.device.plainPhase()) {
        const auto levels = phaseLevels(f, s.threads);
        if (auto written = batch.add(stem + ".png", [&](OutputFile& file) {
                StoredPngWriter png(file, f.width, f.height);
                for (int row = 0; row < f.height; ++row)
                    png.addRow(levels.data() + static_cast<std::size_t>(row) * f.width);
                return Result<void>{};
            });
            !written)
            return written;
        if (fft)
            preview.push_back(focusedIntensity(*fft, levels, f, channel.wavelength, frame.middleDistance, s.threads));
    } else if (auto written = writeDevicePicture(batch, stem + ".png", channel, frame, s, scale, fft, preview);
               !written) {
        return written;
    }
    if (request.npy)
        if (auto written = batch.add(stem + ".npy", [&](OutputFile& file) { return writeNpy(file, f); }); !written)
            return written;
    return {};
}

Result<void> writePreview(OutputBatch& batch, int width, int height, const HologramOutputRequest& request,
                          const std::vector<std::vector<float>>& intensities, const HologramProgress& progress) {
    if (progress) progress("composing the preview");
    const auto picture = intensityPicture(width, height, intensities);
    if (!picture) return Result<void>::failure("cannot make the preview: " + picture.error());
    return batch.add(request.prefix + "-preview.png", [&](OutputFile& file) {
        return writePng(file, picture->width, picture->height, 3, picture->rgb.data());
    });
}

}  // namespace

Result<std::vector<std::string>> writeHologramOutputs(const HologramSet& set, const HologramSettings& settings,
                                                      const HologramOutputRequest& request,
                                                      const HologramProgress& progress) {
    using Paths = Result<std::vector<std::string>>;
    if (set.channels.empty()) return std::vector<std::string>{};
    const bool preview = request.preview;
    if (preview)
        if (auto checked = checkPreviewDepth(set.middleDistance); !checked) return Paths::failure(checked.error());
    try {
        std::unique_ptr<FourierTransform> fft;
        const ComplexField& first = set.channels.front().field;
        if (preview)
            fft = std::make_unique<FourierTransform>(2 * first.width, 2 * first.height, settings.planning,
                                                     settings.threads, settings.wisdomFolder);
        OutputBatch batch(progress);
        std::vector<std::vector<float>> intensities;
        const double scale = encodingScale(set, settings.device);
        for (const auto& channel : set.channels)
            if (auto written = writeChannel(batch, channel, set, settings, request, scale, fft.get(), intensities);
                !written)
                return Paths::failure(written.error());
        fft.reset();
        if (preview)
            if (auto written = writePreview(batch, first.width, first.height, request, intensities, progress); !written)
                return Paths::failure(written.error());
        return batch.publish();
    } catch (const std::bad_alloc&) {
        return Paths::failure(kNoMemory);
    } catch (const std::runtime_error& e) {
        return Paths::failure(e.what());
    }
}

Result<WrittenHolograms> computeAndWriteHolograms(const HologramPoints& input, const HologramSettings& s,
                                                  const HologramOutputRequest& request,
                                                  const HologramProgress& progress, const std::atomic<bool>* cancel) {
    using Written = Result<WrittenHolograms>;
    // Other devices' pictures share one amplitude scale over all channels,
    // known only once every channel is computed.
    if (!s.device.plainPhase() || request.keepFields) {
        auto set = computeHolograms(input, s, progress, cancel);
        if (!set) return Written::failure(set.error());
        auto paths = writeHologramOutputs(*set, s, request, progress);
        if (!paths) return Written::failure(paths.error());
        if (!request.keepFields)
            for (auto& channel : set->channels) channel.field = {};
        return WrittenHolograms{std::move(*paths), std::move(*set)};
    }
    auto started = HologramComputation::start(input, s, progress, cancel, MemoryUse::Streamed);
    if (!started) return Written::failure(started.error());
    HologramComputation& computation = **started;
    WrittenHolograms written{{}, computation.frame()};  // the fields dropped as they are written
    HologramSet& frame = written.frame;
    if (request.preview)
        if (auto checked = checkPreviewDepth(frame.middleDistance); !checked) return Written::failure(checked.error());
    try {
        OutputBatch batch(progress);
        std::vector<std::vector<float>> intensities;
        FourierTransform* fft = request.preview ? &computation.transform() : nullptr;
        for (std::size_t c = 0; c < frame.channels.size(); ++c) {
            auto field = computation.channel(c);
            if (!field) return Written::failure(field.error());
            HologramChannel channel{frame.channels[c].name, frame.channels[c].wavelength, std::move(*field)};
            if (auto done = writeChannel(batch, channel, frame, s, request, 1.0, fft, intensities); !done)
                return Written::failure(done.error());
        }
        if (auto finished = computation.finish(); !finished) return Written::failure(finished.error());
        computation.releaseTransform();
        if (request.preview)
            if (auto done = writePreview(batch, s.width, s.height, request, intensities, progress); !done)
                return Written::failure(done.error());
        auto paths = batch.publish();
        if (!paths) return Written::failure(paths.error());
        written.paths = std::move(*paths);
        return written;
    } catch (const std::bad_alloc&) {
        return Written::failure("there is not enough memory for the " + std::to_string(s.width) + " x " +
                                std::to_string(s.height) + " hologram's files");
    } catch (const std::runtime_error& e) {
        return Written::failure(e.what());
    }
}

}  // namespace velmora
