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
#include "flex/write.hpp"
#include "python/pyref.hpp"

namespace quenra::python {

// The characters of UTF-8 text, written into a `str` that it owns.
class StrOutput {
public:
    // An output whose text is expected to take about `capacity` characters,
    // up to `max_character`: the widest that the text is expected to hold (a
    // conversion's result holds nothing wider than its input). A wider one
    // makes the output widen its `str`. The `str` is made by the first
    // write, or by `finish` when nothing was written before. Every call
    // raises std::bad_alloc when memory runs out.
    StrOutput(std::size_t capacity, Py_UCS4 max_character) noexcept;

    // Appends the characters of UTF-8 text; grows or widens the `str` as
    // needed.
    void write(std::string_view utf8);

    // The `str` of everything written and then `last`, exactly as
    // PyUnicode_FromStringAndSize would have made it from the UTF-8 text: of
    // the narrowest kind that holds its characters. A text written by this
    // call alone, the common case, gets its `str` made here, in one pass.
    // The output is spent afterwards.
    Owned finish(std::string_view last) &&;

private:
    // A new `str` of the current capacity, its characters up to `limit`, with
    // the characters written so far copied in.
    void reallocate(std::size_t capacity, std::uint32_t limit);
    // Appends the characters of UTF-8 text: `append` first makes room for
    // as many as it has bytes, `put` grows the `str` only when it runs out.
    void append(std::string_view utf8);
    void put(std::string_view utf8);
    // Room for `more` characters beyond those written.
    void grow(std::size_t more);

    Owned str_;
    void* data_ = nullptr;
    int kind_ = PyUnicode_1BYTE_KIND;
    std::uint32_t limit_ = 0x7F;  // the widest character the `str` may hold
    std::uint32_t seen_ = 0;      // every character written, ORed together
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;  // before the `str` is made: the room expected
};

class StrSink : public BufferedSink<StrOutput> {
public:
    StrSink(std::size_t capacity, Py_UCS4 max_character) : BufferedSink(StrOutput(capacity, max_character)) {}

    // A sink for the result of converting `text`, the UTF-8 form of the `str`
    // `text_object`: the result holds no character wider than the text's.
    static StrSink for_conversion_of(PyObject* text_object, std::string_view text) {
        return StrSink(expected_json_size(text.size()), PyUnicode_MAX_CHAR_VALUE(text_object));
    }

    // The `str` of everything appended (see StrOutput::finish).
    Owned finish() && { return std::move(output()).finish(take_buffered()); }
};

// The `str` of UTF-8 text whose characters are expected to be at most
// `max_character` wide: what PyUnicode_FromStringAndSize makes of it, made
// in one pass when that holds.
inline Owned str_from_utf8(std::string_view utf8, Py_UCS4 max_character) {
    return StrOutput(utf8.size(), max_character).finish(utf8);
}

}  // namespace quenra::python
