// Internal failures: broken invariants of the library, never input errors.
//
// A failure carries a message and the place in the source that raised it. It
// is thrown as an exception so that it can leave any depth of a call at once;
// the only code that catches it is the boundary of an entry point (the Python
// binding turns it into `PanicException`). It is never returned as a value.
#pragma once

#include <exception>
#include <source_location>
#include <string>
#include <utility>

namespace quenra {

class InternalFailure : public std::exception {
public:
    InternalFailure(std::string message, std::source_location where) noexcept
        : message_(std::move(message)), where_(where) {}

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    const std::source_location& where() const noexcept { return where_; }

private:
    std::string message_;
    std::source_location where_;
};

// Raises an internal failure at the caller's source location.
[[noreturn]] inline void fail(std::string message,
                              std::source_location where = std::source_location::current()) {
    throw InternalFailure(std::move(message), where);
}

}  // namespace quenra
