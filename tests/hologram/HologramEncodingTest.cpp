// Device pictures, preview colours and score lines against hand computation on tiny grids. What users rely on here:
//   - grey of phase: the middle grey is phase 0, the range spread evenly over the levels (2 pi wraps), the carrier
//     added as 2 pi (fx column + fy row-upwards) from the middle
//   - 16 bits give 65536 levels; --holo-levels N gives N
//   - a measured table: between listed greys the phase is interpolated, beyond them the nearest end holds; a table
//     for one wavelength wins within half a nanometre
//   - amplitude grey = 0.5 (1 + Re(u e^ic) / A) over 0..levels-1, clipped; binary diffuses each pixel's rounding
//     error to its neighbours
//   - the preview: one normalisation for all channels, sRGB coded, grey into all three
//   - the score line's wording and decimals, which scripts read
//   - stored (uncompressed) pictures: their size follows from width and height, and any row decodes, also one
//     longer than a stored deflate block (65535 bytes)

#include "hologram/FieldFilter.h"
#include "hologram/HologramEncoding.h"
#include "hologram/HologramOutputs.h"
#include "hologram/HologramScore.h"
#include "hologram/PhaseLevels.h"
#include "hologram/StoredPng.h"
#include "platform/OutputFile.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr double kPitch = 8e-6;

ComplexField filled(int width, int height, std::complex<float> value) {
    ComplexField f(width, height, kPitch);
    for (auto& v : f.values) v = value;
    return f;
}

// Sizes: signature and header 33, per row an IDAT of 12 and the row's filter byte and levels with 5 bytes
// for each stored block of up to 65535, the zlib header and checksum 6, IEND 12 (with its checksum, as in any PNG).
TEST(StoredPicture, RowsLongerThanAStoredBlockDecodeToTheLevelsWritten) {
    velmora::testing::TempDir dir;
    for (const auto& [width, size] : {std::pair{65534, 131155ul}, {65535, 131167ul}, {70000, 140097ul}}) {
        auto file = OutputFile::create(dir.file("p.png"));
        ASSERT_TRUE(file) << file.error();
        StoredPngWriter writer(*file, width, 2);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
        for (int y = 0; y < 2; writer.addRow(row.data()), ++y)
            for (int x = 0; x < width; ++x) row[x] = static_cast<std::uint8_t>((x + 3 * y) % 256);
        ASSERT_TRUE(file->commit());
        const std::string png = velmora::testing::fileText(dir.file("p.png")), end("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
        EXPECT_TRUE(storedPngSize(width, 2) == size && png.size() == size && png.substr(size - 12) == end) << width;
        const auto picture = velmora::testing::readPicture(dir.file("p.png"));
        ASSERT_EQ(picture.rgb.size(), 3u * width * 2) << width;
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < 2u * width; ++i) wrong += picture.rgb[3 * i] != (i % width + 3 * (i / width)) % 256;
        EXPECT_EQ(wrong, 0u) << width;
    }
}

// 4 x 2, carrier (0.25, 0.25): phase pi/2 (column - row - 1) from the middle.
TEST(DevicePicture, CarrierAndLevelsGiveTheHandComputedGreys) {
    DeviceSettings device;
    device.tilt = std::array{0.25, 0.25};
    const ComplexField f = filled(4, 2, {2.0f, 0.0f});
    EXPECT_EQ(encodeHologram(f, 532e-9, device, 1.0).levels,
              (std::vector<std::uint16_t>{64, 128, 192, 0, 0, 64, 128, 192}));
    device.bits = 16;
    EXPECT_EQ(encodeHologram(f, 532e-9, device, 1.0).levels,
              (std::vector<std::uint16_t>{16384, 32768, 49152, 0, 0, 16384, 32768, 49152}));
    device.levels = 4;
    const HologramPicture four = encodeHologram(f, 532e-9, device, 1.0);
    EXPECT_EQ(four.levels, (std::vector<std::uint16_t>{1, 2, 3, 0, 0, 1, 2, 3}));
    const ComplexField shown = deviceField(four, kPitch, 532e-9, device);
    EXPECT_LT(std::abs(shown.at(0, 0) - Complex(0, -1)) + std::abs(shown.at(3, 0) - Complex(-1, 0)), 1e-6);
    device = {};
    device.encoding = HologramEncoding::Amplitude;  // carrier 0.25, 0: cos(-3pi/4), cos(-pi/4), ...
    ComplexField u = filled(4, 2, {1.0f, 0.0f});
    for (int column = 0; column < 4; ++column) u.at(column, 1) = {4.0f, 0.0f};  // beyond full modulation: clipped
    EXPECT_EQ(encodeHologram(u, 532e-9, device, 1.0).levels,
              (std::vector<std::uint16_t>{37, 218, 218, 37, 0, 255, 255, 0}));
    // Every share counts: 0.28 -> 0, then 0.2325 -> 0, 0.4317 -> 0, 1.1211 -> 1, 0.4941 -> 0 and 0.5056 -> 1.
    EXPECT_EQ(diffuseErrors({0.28, 0.11, 0.33, 0.99, 0.27, 0.14}, 3, 2), (std::vector<std::uint8_t>{0, 0, 0, 1, 0, 1}));
    // Half is lit: 0.5 -> 1 sends -0.5 on, 0.5 - 0.21875 -> 0.
    EXPECT_EQ(diffuseErrors({0.5, 0.5}, 2, 1), (std::vector<std::uint8_t>{1, 0}));
}

TEST(DevicePicture, MeasuredTableInterpolatesAndTheNearestWavelengthsTableWins) {
    DeviceSettings device;
    const auto all = parsePhaseLut("20 2.0\n10 1.0\n"), red = parsePhaseLut("0 -1.0\n");
    ASSERT_TRUE(all && red);
    device.luts = {{0.0, *all}, {638e-9, *red}};
    EXPECT_TRUE(device.lut(638.4e-9) == &device.luts[1].second && device.lut(638.6e-9) == &device.luts[0].second);
    const PhaseLevels levels(device, 520e-9);
    EXPECT_EQ((std::array{levels.phase(5), levels.phase(12), levels.phase(15), levels.phase(65535)}),
              (std::array{1.0, 1.2, 1.5, 2.0}));
}

// The device's band limit, axis by axis: a half-band filter (cutoff 0.25, 25 taps) passes a field constant
// along its axis whole and leaves of a row or column pattern at the sampling limit 2 tap0 - 1 = -1.4e-4.
TEST(DevicePicture, TheLowPassTakesOutWhatLiesAboveItsCutoffAlongEachAxisAlone) {
    const auto pattern = [](bool alongRows) {
        ComplexField f(40, 40, 8e-6);
        for (int j = 0; j < 40; ++j) for (int i = 0; i < 40; ++i) f.at(i, j) = ((alongRows ? j : i) % 2) ? -1.0f : 1.0f;
        return f;
    };
    const auto largest = [](const ComplexField& f, const ComplexField& minus) {  // inside the taps' reach
        double most = 0.0;
        for (int j = 12; j < 28; ++j)
            for (int i = 12; i < 28; ++i) most = std::max(most, double(std::abs(f.at(i, j) - minus.at(i, j))));
        return most;
    };
    const ComplexField rows = pattern(true), columns = pattern(false), zero(40, 40, 8e-6);
    EXPECT_LT(largest(lowPass(rows, 0.25, 0.5), rows), 1e-6);
    EXPECT_LT(largest(lowPass(rows, 0.5, 0.25), zero), 1e-3);
    EXPECT_LT(largest(lowPass(columns, 0.25, 0.5), zero), 1e-3);
    EXPECT_LT(largest(lowPass(columns, 0.5, 0.25), columns), 1e-6);
}

TEST(Preview, ChannelsShareOneNormalisationAndGreyFillsAllThree) {
    // sRGB: 0.25 -> 1.055 0.25^(1/2.4) - 0.055 = 0.5371 -> 137; 0.002 on the linear part -> 12.92 0.002 255 = 7.
    const auto grey = intensityPicture(3, 1, {{0.5f, 0.004f, 2.0f}});
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->rgb, (std::vector<std::uint8_t>{137, 137, 137, 7, 7, 7, 255, 255, 255}));
    const auto colour = intensityPicture(2, 1, {{4.0f, 0.0f}, {0.0f, 4.0f}, {1.0f, 0.0f}});
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->rgb, (std::vector<std::uint8_t>{255, 0, 137, 0, 255, 0}));
}

TEST(Score, TheLineScriptsReadAndTheMaskAroundALitPixel) {
    const BandScore score{"red", 638e-9, 1, 2, 0.10025, 1200, {17.314, 0.61, 0.83}};
    EXPECT_EQ(scoreLine(score),
              "score red 638 nm band 1/2 at 100.25 mm (1200 points): PSNR 17.31 dB, SSIM 0.6100, speckle 0.8300");
    ScoreImage ideal{4, 4, std::vector<double>(16)};
    ideal.values[5] = ideal.values[15] = 1.0;  // (1, 1) and the corner (3, 3), with their neighbours
    EXPECT_EQ(pointMask(ideal), (std::vector<char>{1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 0, 0, 1, 1}));
}

}  // namespace
}  // namespace velmora
