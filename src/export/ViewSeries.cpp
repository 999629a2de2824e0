#include "export/ViewSeries.h"

#include <charconv>

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

std::optional<ViewShare> parseViewShare(std::string_view text) {
    const auto slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto whole = [](std::string_view digits, int& value) {
        const char* end = digits.data() + digits.size();
        // from_chars alone would take a sign; a share is digits only.
        return !digits.empty() && digits[0] != '-' && std::from_chars(digits.data(), end, value).ptr == end;
    };
    ViewShare share;
    if (!whole(text.substr(0, slash), share.index) || !whole(text.substr(slash + 1), share.count)) return std::nullopt;
    if (share.index < 1 || share.index > share.count) return std::nullopt;
    return share;
}

ViewSpan shareSpan(int viewCount, const ViewShare& share) {
    // In 64 bits: a series of kMaxSeriesViews times a large share count overflows an int.
    const auto boundary = [&](int k) {
        return static_cast<int>(static_cast<long long>(viewCount) * k / share.count);
    };
    return {boundary(share.index - 1), boundary(share.index)};
}

}  // namespace velmora
