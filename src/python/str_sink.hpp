// StrSink: a JSON writer's sink that writes straight into the `str` it
// returns, so that the result is written once instead of being written as
// UTF-8 and then decoded into a `str`. The writer's pieces are gathered as
// UTF-8 first and turned into characters a buffer at a time.
#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "flex/json_writer.hpp"
#include "python/pyref.hpp"

namespace quenra::python {

// The characters of UTF-8 text, written into a `str` that it owns.
class StrOutput {
public:
    // Room for `capacity` characters up to `max_character`: the widest that
    // the text is expected to hold (a conversion's result holds nothing
    // wider than its input). A wider one makes the sink widen its `str`.
    // Raises std::bad_alloc when memory runs out.
    StrOutput(std::size_t capacity, Py_UCS4 max_character);

    // Appends the characters of UTF-8 text; grows or widens the `str` as
    // needed.
    void write(std::string_view utf8);

    // The `str` of everything appended, exactly as PyUnicode_FromStringAndSize
    // would have made it from the UTF-8 text: of the narrowest kind that holds
    // its characters. The output is spent afterwards.
    Owned finish() &&;

private:
    // A new `str` of the current capacity, its characters up to `limit`, with
    // the characters written so far copied in.
    void reallocate(std::size_t capacity, std::uint32_t limit);

    Owned str_;
    void* data_ = nullptr;
    int kind_ = PyUnicode_1BYTE_KIND;
    std::uint32_t limit_ = 0x7F;  // the widest character the `str` may hold
    std::uint32_t seen_ = 0;      // every character written, ORed together
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
};

class StrSink : public BufferedSink<StrOutput> {
public:
    StrSink(std::size_t capacity, Py_UCS4 max_character) : BufferedSink(StrOutput(capacity, max_character)) {}

    // The `str` of everything appended (see StrOutput::finish).
    Owned finish() && {
        flush();
        return std::move(output()).finish();
    }
};

}  // namespace quenra::python
