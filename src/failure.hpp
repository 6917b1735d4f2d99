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

// Empty when the step succeeded.
using Status = std::optional<Failure>;

// The result of a step that may fail: its value, or the failure in its place.
template <class T>
class Outcome {
public:
    Outcome(T value) : state_(std::move(value)) {}            // NOLINT(google-explicit-constructor)
    Outcome(Failure failure) : state_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] bool ok() const { return state_.index() == 0; }
    [[nodiscard]] const T& value() const { return std::get<0>(state_); }
    [[nodiscard]] const Failure& failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};
