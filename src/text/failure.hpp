// What a step of the program reports when it cannot do its job.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

// Worded for the one line the program prints: "grisalturas: what: why".
struct Failure {
    std::string what;
    std::string why;
};

// A failure whose reason is the operating system's error number.
Failure os_failure(std::string what, int error_number);

// The result of a step that may fail: its value, or the failure in its
// place. Read as std::expected is: `if (!x)`, `*x`, `x->`, `x.error()`;
// made from either without naming the type, as `return value;` or `return failure;`.
template <class T = void>
class Outcome {
public:
    Outcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Outcome(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    explicit operator bool() const { return state_.index() == 0; }
    const T& operator*() const { return std::get<0>(state_); }
    T& operator*() { return std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    [[nodiscard]] const Failure& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

// A step without a value: `return {};` when it succeeded.
template <>
class Outcome<void> {
public:
    Outcome() = default;
    Outcome(Failure failure) : failure_(std::move(failure)) {}

    explicit operator bool() const { return !failure_; }
    [[nodiscard]] const Failure& error() const { return *failure_; }

private:
    std::optional<Failure> failure_;
};

using Status = Outcome<>;
