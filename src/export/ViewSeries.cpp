#include "export/ViewSeries.h"

namespace velmora {

namespace {

enum class Walk { Done, Stalled, TooLong };

// Runs the accumulation; `offsets` may be null when only the outcome matters.
Walk walkOffsets(const ViewRange& range, std::vector<float>* offsets) {
    if (range.left > range.right) return Walk::Done;
    float offset = range.left;
    for (int views = 1;; ++views) {
        if (views > kMaxSeriesViews) return Walk::TooLong;
        if (offsets) offsets->push_back(offset);
        const double next = static_cast<double>(offset) + static_cast<double>(range.interval);
        if (!(next <= static_cast<double>(range.right))) return Walk::Done;
        const float stored = static_cast<float>(next);
        if (!(stored > offset)) return Walk::Stalled;
        offset = stored;
    }
}

}  // namespace

Result<void> checkViewRange(const ViewRange& range) {
    using Check = Result<void>;
    if (range.interval == 0.0f) return Check::failure("Delta must be nonzero!");
    // Left beyond right exports no view whatever the interval's sign.
    if (range.interval < 0.0f && range.left <= range.right) return Check::failure("Delta must be positive!");
    switch (walkOffsets(range, nullptr)) {
        case Walk::Done: return {};
        case Walk::Stalled: return Check::failure("Delta is too small!");
        case Walk::TooLong: return Check::failure("Too many views!");
    }
    return {};
}

std::vector<float> viewOffsets(const ViewRange& range) {
    std::vector<float> offsets;
    walkOffsets(range, &offsets);
    return offsets;
}

}  // namespace velmora
