#pragma once
// A value or the sentence that says why there is none: the one way a step of
// the core that can fail says so. Nothing throws across a layer, and the
// programs decide how to tell the person. Result<void> is a step that gives
// nothing back but may fail. A failure that is more than a sentence (one
// after which the program must end, say) names its own type as `Why`.

#include <optional>
#include <string>
#include <utility>

namespace velmora {

template <typename T, typename Why = std::string>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    static Result failure(Why why) {
        Result result;
        result.error_ = std::move(why);
        return result;
    }

    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const Why& error() const { return error_; }

private:
    Result() = default;
    std::optional<T> value_;
    Why error_{};
};

template <typename Why>
class Result<void, Why> {
public:
    Result() = default;
    static Result failure(Why why) {
        Result result;
        result.failed_ = true;
        result.error_ = std::move(why);
        return result;
    }

    explicit operator bool() const { return !failed_; }
    const Why& error() const { return error_; }

private:
    bool failed_ = false;
    Why error_{};
};

}  // namespace velmora
