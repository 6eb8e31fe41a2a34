// Internal failures: broken invariants of the library, never input errors.
//
// A failure carries a message and the place in the source that raised it. It
// is thrown as an exception so that it can leave any depth of a call at once;
// the only code that catches it is the boundary of an entry point (the Python
// binding turns it into `PanicException`). It is never returned as a value.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace quenra {

// A file and line of the library's source.
struct SourcePlace {
    const char* file;
    unsigned line;
};

class InternalFailure : public std::exception {
public:
    InternalFailure(std::string message, SourcePlace where) noexcept : message_(std::move(message)), where_(where) {}

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    const SourcePlace& where() const noexcept { return where_; }

private:
    std::string message_;
    SourcePlace where_;
};

// Raises an internal failure at the caller's place in the source. (The
// compilers' builtins that std::source_location rests on; they also serve
// where the standard library lacks std::source_location, as with Clang 14.)
[[noreturn]] inline void fail(std::string message, const char* file = __builtin_FILE(),
                              unsigned line = __builtin_LINE()) {
    throw InternalFailure(std::move(message), SourcePlace{file, line});
}

}  // namespace quenra
