#include "hologram/HologramTiles.h"

#include "hologram/BandLimitedPropagator.h"
#include "hologram/HologramOutputs.h"
#include "hologram/StoredPng.h"
#include "platform/MemoryBudget.h"
#include "platform/OutputFile.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

namespace velmora {

namespace {

// The program, its libraries and the transform's plans.
constexpr std::uint64_t kFixedBytes = std::uint64_t{32} << 20;
// Per point: the input, its placed copy, amplitudes, order and the copy a
// layer is recorded from.
constexpr std::uint64_t kPointBytes = 136;
// The margin, in reaches D tan(theta) of the band's edge. The grid's
// spectrum ends hard at its Nyquist frequency, so the propagation's
// response does not end at the reach but falls off as one over the
// distance beyond it; twice the reach leaves under 1 % (relative L2) of the
// field to the light from farther away.
constexpr double kReach = 2.0;

bool smooth(int n) {
    for (int p : {2, 3, 5, 7})
        while (n % p == 0) n /= p;
    return n == 1;
}

// Every grid side up to `largest` that FFTW transforms fast, ascending:
// products of 2, 3, 5 and 7, and from 2048 on with 64 among their factors.
// At tile sizes the others are slow: one 2-thread pass took 33 ns a pixel
// at 19683 = 3^9 and 31 at 20000 = 2^5 5^4, against 16 at 20160 = 2^6 315.
std::vector<int> fastGridSizes(int largest) {
    std::vector<int> sizes;
    for (int n = 1; n <= largest; ++n)
        if (smooth(n) && (n < 2048 || n % 64 == 0)) sizes.push_back(n);
    return sizes;
}

int smoothAtLeast(const std::vector<int>& sizes, int n) { return *std::lower_bound(sizes.begin(), sizes.end(), n); }

int digits(int n) { return static_cast<int>(std::to_string(std::max(0, n)).size()); }

int nanometres(double wavelength) { return static_cast<int>(std::lround(wavelength * 1e9)); }

std::string tileName(const std::string& prefix, double wavelength, int row, int column, const TileLayout& layout) {
    char text[64];
    std::snprintf(text, sizeof text, "-%dnm-r%0*d-c%0*d.png", nanometres(wavelength), digits(layout.rows - 1), row,
                  digits(layout.columns - 1), column);
    return prefix + text;
}

std::string fileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string manifestText(const HologramSet& frame, const HologramSettings& s, const TileLayout& layout,
                         const std::string& prefix) {
    char line[512];
    std::string text = "velmora-tiles 1\n";
    std::snprintf(line, sizeof line, "size %d %d\npitch %.9g\nunit %.9g\ndistance %.9g\nwavelengths", s.width, s.height,
                  s.pitch, frame.unit, frame.nearestDistance);
    text += line;
    for (const auto& channel : frame.channels) text += " " + std::to_string(nanometres(channel.wavelength));
    std::snprintf(line, sizeof line, "\ntile %d\ngrid %d %d\n", layout.tile, layout.rows, layout.columns);
    text += line;
    for (const auto& channel : frame.channels)
        for (int r = 0; r < layout.rows; ++r)
            for (int c = 0; c < layout.columns; ++c) {
                const HologramRegion w = layout.window(r, c, s);
                std::snprintf(line, sizeof line, "%d %d %d %d %d %d %d %llu %s\n", nanometres(channel.wavelength), r, c,
                              c * layout.tile, r * layout.tile, w.width, w.height,
                              static_cast<unsigned long long>(storedPngSize(w.width, w.height)),
                              fileName(tileName(prefix, channel.wavelength, r, c, layout)).c_str());
                text += line;
            }
    return text;
}

bool complete(const std::string& path, std::uint64_t size) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && std::filesystem::file_size(path, error) == size;
}

Result<void> writeTile(const std::string& path, const FieldRows& field, int threads) {
    const auto levels = phaseLevels(field, threads);
    auto file = OutputFile::create(path);
    if (!file) return Result<void>::failure("cannot create " + path + ": " + file.error());
    StoredPngWriter png(*file, field.width, field.height);
    for (int row = 0; row < field.height; ++row)
        png.addRow(levels.data() + static_cast<std::size_t>(row) * field.width);
    if (auto done = file->commit(); !done) return Result<void>::failure("cannot write " + path + ": " + done.error());
    return {};
}

// One tile's picture, read a row at a time.
class TileReader {
public:
    explicit TileReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
        if (!file_) return;
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        info_ = png_ ? png_create_info_struct(png_) : nullptr;
        if (!info_ || setjmp(png_jmpbuf(png_))) return;
        png_init_io(png_, file_);
        png_read_info(png_, info_);
        width_ = static_cast<int>(png_get_image_width(png_, info_));
        ok_ = png_get_bit_depth(png_, info_) == 8 && png_get_color_type(png_, info_) == PNG_COLOR_TYPE_GRAY;
    }
    ~TileReader() {
        png_destroy_read_struct(&png_, &info_, nullptr);
        if (file_) std::fclose(file_);
    }
    TileReader(const TileReader&) = delete;
    TileReader& operator=(const TileReader&) = delete;

    int width() const { return ok_ ? width_ : 0; }
    bool readRow(std::uint8_t* row) {
        if (!ok_ || setjmp(png_jmpbuf(png_))) return ok_ = false;
        png_read_row(png_, row, nullptr);
        return true;
    }

private:
    std::FILE* file_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    int width_ = 0;
    bool ok_ = false;
};

// The whole picture of one wavelength, streamed from its tiles' files: one
// row of each tile of a tile row in memory at a time.
Result<void> writeWholePicture(const std::string& path, const std::string& prefix, double wavelength,
                               const HologramSettings& s, const TileLayout& layout) {
    auto file = OutputFile::create(path);
    if (!file) return Result<void>::failure("cannot create " + path + ": " + file.error());
    StoredPngWriter png(*file, s.width, s.height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(s.width));
    for (int r = 0; r < layout.rows; ++r) {
        std::vector<std::unique_ptr<TileReader>> readers;
        for (int c = 0; c < layout.columns; ++c)
            readers.push_back(std::make_unique<TileReader>(tileName(prefix, wavelength, r, c, layout)));
        const int height = layout.window(r, 0, s).height;
        for (int line = 0; line < height; ++line) {
            for (int c = 0; c < layout.columns; ++c) {
                TileReader& reader = *readers[static_cast<std::size_t>(c)];
                const int width = layout.window(r, c, s).width;
                if (reader.width() != width || !reader.readRow(row.data() + static_cast<std::size_t>(c) * layout.tile))
                    return Result<void>::failure("cannot read " + tileName(prefix, wavelength, r, c, layout));
            }
            png.addRow(row.data());
        }
    }
    if (auto done = file->commit(); !done) return Result<void>::failure("cannot write " + path + ": " + done.error());
    return {};
}

std::string tileLabel(int row, int column, double wavelength, const TileLayout& layout) {
    char text[64];
    std::snprintf(text, sizeof text, "r%0*d-c%0*d at %d nm", digits(layout.rows - 1), row, digits(layout.columns - 1),
                  column, nanometres(wavelength));
    return text;
}

}  // namespace

HologramRegion TileLayout::window(int row, int column, const HologramSettings& s) const {
    const int left = column * tile, top = row * tile;
    return {gridWidth,
            gridHeight,
            left - marginX,
            top - marginY,
            marginX,
            marginY,
            std::min(tile, s.width - left),
            std::min(tile, s.height - top)};
}

// The reach along x of light at the band's corner: D tan, with the sine
// along x over the cosine the two axes' limits leave.
std::pair<int, int> tileMargins(const HologramSettings& s, const std::vector<double>& wavelengths, double farthest) {
    int marginX = 0, marginY = 0;
    for (const double wavelength : wavelengths) {
        const double nyquist = 1.0 / (2.0 * s.pitch);
        const double sineX = wavelength * std::min(bandLimit(wavelength, s.pitch, farthest, 2 * s.width), nyquist);
        const double sineY = wavelength * std::min(bandLimit(wavelength, s.pitch, farthest, 2 * s.height), nyquist);
        const double cosine = std::sqrt(std::max(1e-6, 1.0 - sineX * sineX - sineY * sineY));
        marginX = std::max(marginX, static_cast<int>(std::ceil(kReach * farthest * sineX / cosine / s.pitch)));
        marginY = std::max(marginY, static_cast<int>(std::ceil(kReach * farthest * sineY / cosine / s.pitch)));
    }
    return {marginX, marginY};
}

// The transform's grid and the tile's grey levels: the tile is read from
// the grid where it was computed.
std::uint64_t tileMemory(int tile, int gridWidth, int gridHeight, std::size_t points, std::size_t channels) {
    const std::uint64_t t = static_cast<std::uint64_t>(tile);
    return kFixedBytes + points * (kPointBytes + 8 * channels) +
           8 * static_cast<std::uint64_t>(gridWidth) * static_cast<std::uint64_t>(gridHeight) + t * t;
}

std::optional<TileLayout> tileLayout(const HologramSettings& s, std::pair<int, int> margins, std::size_t points,
                                     std::size_t channels, std::uint64_t budget) {
    const auto [marginX, marginY] = margins;
    const int largest = std::max(s.width, s.height);
    const auto sizes = fastGridSizes(2 * (largest + 2 * std::max(marginX, marginY)) + 8);
    const auto layout = [&](int tile) {
        TileLayout l;
        l.tile = tile, l.marginX = marginX, l.marginY = marginY;
        l.gridWidth = smoothAtLeast(sizes, tile + 2 * marginX);
        l.gridHeight = smoothAtLeast(sizes, tile + 2 * marginY);
        l.rows = (s.height + tile - 1) / tile, l.columns = (s.width + tile - 1) / tile;
        return l;
    };
    if (s.tileSize > 0) return layout(std::min(s.tileSize, largest));
    // The largest tile whose grid is exactly a product of small primes
    // along one axis gives the fewest tiles.
    std::optional<TileLayout> largestTile;
    for (const int size : sizes)
        for (const int margin : {marginX, marginY}) {
            const int tile = std::min(size - 2 * margin, largest);
            if (tile < 1 || (largestTile && tile <= largestTile->tile)) continue;
            const TileLayout l = layout(tile);
            if (tileMemory(tile, l.gridWidth, l.gridHeight, points, channels) <= budget) largestTile = l;
        }
    if (!largestTile) return largestTile;
    // As many tiles on smaller grids cost less: the smallest tile that
    // still covers the hologram with that many rows and columns.
    const int rows = largestTile->rows, columns = largestTile->columns;
    return layout(std::max((s.height + rows - 1) / rows, (s.width + columns - 1) / columns));
}

std::uint64_t memoryBudget(const HologramSettings& s) {
    if (s.memoryBudget > 0) return s.memoryBudget;
    const auto available = availableMemory(s.memoryRoot);
    return available ? *available / 2 : std::uint64_t{4} << 30;
}

bool wholeHologramFits(const HologramPoints& input, const HologramSettings& s) {
    return s.width <= kLargestWholeSide && s.height <= kLargestWholeSide &&
           hologramMemoryNeeded(s, input.colour ? 3 : 1, input.points.size(), MemoryUse::Streamed) <= memoryBudget(s);
}

std::string tileManifestName(const std::string& prefix) { return prefix + "-tiles.txt"; }

Result<WrittenTiles> computeAndWriteTiles(const HologramPoints& input, const HologramSettings& settings,
                                          const TiledRequest& request, const HologramProgress& progress,
                                          const std::atomic<bool>* cancel) {
    using Written = Result<WrittenTiles>;
    HologramSettings s = settings;
    s.tiled = true;
    if (!s.device.plainPhase()) return Written::failure("tiles are written as phase pictures only");
    auto started = HologramComputation::start(input, s, progress, cancel, MemoryUse::Streamed);
    if (!started) return Written::failure(started.error());
    HologramComputation& computation = **started;
    WrittenTiles written;
    written.frame = computation.frame();
    std::vector<double> wavelengths;
    for (const auto& channel : written.frame.channels) wavelengths.push_back(channel.wavelength);
    const auto margins = tileMargins(s, wavelengths, computation.farthestPlane());
    const std::uint64_t budget = memoryBudget(s);
    const auto layout = tileLayout(s, margins, input.points.size(), wavelengths.size(), budget);
    if (!layout)
        return Written::failure("the memory budget (" + std::to_string(budget >> 20) +
                                " MiB) holds no tile: a tile's " + "grid needs more than " +
                                std::to_string(2 * margins.first) + " x " + std::to_string(2 * margins.second) +
                                " pixels");
    written.layout = *layout;
    const TileLayout& l = *layout;
    const auto say = [&](const std::string& what) {
        if (progress) progress(what);
    };
    say(std::to_string(l.rows) + " x " + std::to_string(l.columns) + " tiles of " + std::to_string(l.tile) +
        " pixels on " + std::to_string(l.gridWidth) + " x " + std::to_string(l.gridHeight) + " grids");
    auto manifest = OutputFile::create(tileManifestName(request.prefix));
    if (!manifest)
        return Written::failure("cannot create " + tileManifestName(request.prefix) + ": " + manifest.error());
    manifest->append(manifestText(written.frame, s, l, request.prefix));
    if (auto done = manifest->commit(); !done)
        return Written::failure("cannot write " + tileManifestName(request.prefix) + ": " + done.error());
    written.paths.push_back(tileManifestName(request.prefix));
    try {
        const int count = l.rows * l.columns;
        for (int i = request.share.index - 1; i < count; i += request.share.count) {
            const int r = i / l.columns, c = i % l.columns;
            const HologramRegion window = l.window(r, c, s);
            for (std::size_t channel = 0; channel < wavelengths.size(); ++channel) {
                const std::string path = tileName(request.prefix, wavelengths[channel], r, c, l);
                const std::string label = tileLabel(r, c, wavelengths[channel], l);
                if (complete(path, storedPngSize(window.width, window.height))) {
                    say("tile " + label + " is complete: kept");
                    ++written.kept;
                    continue;
                }
                say("tile " + std::to_string(i + 1) + " of " + std::to_string(count) + ": " + label);
                auto field = computation.channelRows(channel, window);
                if (!field) return Written::failure(field.error());
                if (auto done = writeTile(path, *field, s.threads); !done) return Written::failure(done.error());
                written.paths.push_back(path);
            }
        }
        if (!request.wholePicture) return written;
        computation.releaseTransform();
        for (const double wavelength : wavelengths) {
            bool all = true;
            for (int r = 0; r < l.rows && all; ++r)
                for (int c = 0; c < l.columns && all; ++c) {
                    const HologramRegion w = l.window(r, c, s);
                    all = complete(tileName(request.prefix, wavelength, r, c, l), storedPngSize(w.width, w.height));
                }
            const std::string path = request.prefix + "-" + std::to_string(nanometres(wavelength)) + "nm.png";
            if (!all) {
                say("not writing " + path + ": other shares' tiles are not all complete yet");
                continue;
            }
            say("writing " + path + " from the tiles");
            if (auto done = writeWholePicture(path, request.prefix, wavelength, s, l); !done)
                return Written::failure(done.error());
            written.paths.push_back(path);
        }
        return written;
    } catch (const std::bad_alloc&) {
        return Written::failure("there is not enough memory for a " + std::to_string(l.tile) + "-pixel tile");
    } catch (const std::runtime_error& e) {
        return Written::failure(e.what());
    }
}

}  // namespace velmora
