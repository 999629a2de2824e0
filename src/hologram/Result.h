#pragma once
// A value or the sentence that says why there is none. Steps of the
// hologram pipeline that can fail return this instead of throwing, so the
// programs decide how to tell the person.

#include <optional>
#include <string>
#include <utility>

namespace velmora {

template <typename T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    static Result failure(std::string why) {
        Result result;
        result.error_ = std::move(why);
        return result;
    }

    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const std::string& error() const { return error_; }

private:
    Result() = default;
    std::optional<T> value_;
    std::string error_;
};

}  // namespace velmora
