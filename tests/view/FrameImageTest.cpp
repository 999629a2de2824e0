#include "view/FrameImage.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

namespace velmora {
namespace {

TEST(FrameImageTest, BottomFirstReadBackBecomesATopDownRgbPicture) {
    testing::TempDir dir;
    const std::string path = dir.file("frame.png");
    // 2 × 3 pixels, bottom row first: the row index in red, the column in green.
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) rgba.insert(rgba.end(), {std::uint8_t(10 * y), std::uint8_t(100 + x), 7, 0});
    ASSERT_EQ(writeFramePng(path, 2, 3, rgba), std::nullopt);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);  // stored without alpha
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    const std::vector<std::uint8_t> expected{20, 100, 7, 20, 101, 7, 10, 100, 7, 10, 101, 7, 0, 100, 7, 0, 101, 7};
    EXPECT_EQ(rgb, expected);
}

TEST(FrameImageTest, FailuresSayWhy) {
    const std::vector<std::uint8_t> pixel{1, 2, 3, 4};
    const auto error = writeFramePng("/nonexistent-folder/frame.png", 1, 1, pixel);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("/nonexistent-folder/frame.png"), std::string::npos);
    EXPECT_TRUE(writeFramePng("x.png", 2, 2, pixel));  // shorter than the frame
}

}  // namespace
}  // namespace velmora
