#include "view/FrameImage.h"

#include "support/Pictures.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FrameImageTest, BottomFirstReadBackBecomesATopDownRgbPictureOrSaysWhyNot) {
    testing::TempDir dir;
    // 2 × 3 pixels, bottom row first: the row index in red, the column in green.
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) rgba.insert(rgba.end(), {std::uint8_t(10 * y), std::uint8_t(100 + x), 7, 0});
    ASSERT_EQ(writeFramePng(dir.file("frame.png"), 2, 3, rgba), std::nullopt);
    const auto picture = testing::readPicture(dir.file("frame.png"));
    EXPECT_EQ(picture.width * 10 + picture.height, 23);
    EXPECT_EQ(picture.rgb, (testing::Bytes{20, 100, 7, 20, 101, 7, 10, 100, 7, 10, 101, 7, 0, 100, 7, 0, 101, 7}));
    // Stored without alpha: the colour type byte of the header is 2 (RGB).
    EXPECT_EQ(testing::fileBytes(dir.file("frame.png")).at(25), 2);

    const auto error = writeFramePng("/nonexistent-folder/frame.png", 1, 1, {1, 2, 3, 4});
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("/nonexistent-folder/frame.png"), std::string::npos);
    EXPECT_TRUE(writeFramePng(dir.file("x.png"), 2, 2, {1, 2, 3, 4}));  // shorter than the frame
}

}  // namespace
}  // namespace velmora
