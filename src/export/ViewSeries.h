#pragma once
// The row of viewpoints of a multi-view export: offsets along x from the
// left value to the right value, inclusive, accumulated one interval at a
// time in single precision.

#include "platform/Result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ViewRange {
    float left = 0.0f;
    float right = 0.0f;
    float interval = 0.0f;
};

// The longest series the export accepts.
constexpr int kMaxSeriesViews = 100000;

// Whether the range can be exported; the failure is the message to show. A zero interval gives "Delta must be nonzero!". A left value beyond
// the right one is fine with any other interval (no view). Otherwise a
// negative interval, one too small to move the offset, or a series longer
// than kMaxSeriesViews is refused in the same style.
Result<void> checkViewRange(const ViewRange& range);

// The offsets of the views in order. Call only for a range checkViewRange
// accepts.
std::vector<float> viewOffsets(const ViewRange& range);

// Share `index` (from 1) of `count` shares of a series: the views split
// into `count` contiguous blocks whose sizes differ by at most one, so a
// scheduler's tasks together export the series exactly once.
struct ViewShare {
    int index = 1;
    int count = 1;
};

// "K/N" with 1 <= K <= N (digits only), or nothing.
std::optional<ViewShare> parseViewShare(std::string_view text);

// The views [first, end) of the share, counted from 0, in a series of
// `viewCount` views; empty when there are more shares than views.
struct ViewSpan {
    int first = 0;
    int end = 0;
};
ViewSpan shareSpan(int viewCount, const ViewShare& share);

// A view's eye x: the stored viewpoint's x plus the offset, stored in
// single precision.
inline float viewEyeX(float viewPointX, float offset) {
    return static_cast<float>(static_cast<double>(viewPointX) + static_cast<double>(offset));
}

}  // namespace velmora
