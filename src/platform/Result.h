#pragma once
// A value or the sentence that says why there is none: the one way a step of
// the core that can fail says so. Nothing throws across a layer, and the
// programs decide how to tell the person. Result<void> is a step that gives
// nothing back but may fail.

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

template <>
class Result<void> {
public:
    Result() = default;
    static Result failure(std::string why) {
        Result result;
        result.failed_ = true;
        result.error_ = std::move(why);
        return result;
    }

    explicit operator bool() const { return !failed_; }
    const std::string& error() const { return error_; }

private:
    bool failed_ = false;
    std::string error_;
};

}  // namespace velmora
