// StrSink: a JSON writer's sink that writes straight into the `str` it
// returns, so that the result is written once instead of being written as
// UTF-8 and then decoded into a `str`. The writer's literals go in as
// characters made when the program is built; text to be escaped is escaped
// and turned from UTF-8 into characters in one pass.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "flex/json_writer.hpp"
#include "flex/write.hpp"
#include "python/compat.hpp"
#include "python/pyref.hpp"

namespace quenra::python {

// `literal`'s characters as code units of type Unit.
template <class Unit, JsonLiteral L>
inline constexpr std::array<Unit, L.size> WIDENED = [] {
    std::array<Unit, L.size> units{};
    for (std::size_t i = 0; i < L.size; ++i) units[i] = static_cast<Unit>(L.text[i]);
    return units;
}();

// Writes into a `str` whose characters are code units of type Unit: one
// byte, two or four, the kind of the `str` that a conversion converts. The
// text it is given is well-formed UTF-8 (a `str`'s UTF-8 form, and stretches
// of it cut between characters), and read without checks.
template <class Unit>
class StrSink {
public:
    static constexpr bool NEVER_FAILS = true;

    // A sink whose text is expected to take about `capacity` characters, none
    // wider than `max_character` (a conversion's result holds nothing wider
    // than its input), which a Unit holds. Every call raises std::bad_alloc
    // when memory runs out.
    StrSink(std::size_t capacity, Py_UCS4 max_character) noexcept;

    // A JsonSink (flex/json_writer.hpp).
    template <JsonLiteral L>
    [[gnu::always_inline]] bool literal() {
        if (L.size > capacity_ - length_) grow(L.size);
        std::memcpy(static_cast<Unit*>(data_) + length_, WIDENED<Unit, L>.data(), L.size * sizeof(Unit));
        length_ += L.size;
        utf8_size_ += L.size;
        return true;
    }
    bool escaped(std::string_view utf8);
    std::string describe_failure() const { return {}; }
    // The length of the text written so far in UTF-8, as a JSON writer
    // measures what it wrote.
    std::size_t size() const noexcept { return utf8_size_; }

    // The `str` of everything written, exactly as PyUnicode_FromStringAndSize
    // would have made it from the UTF-8 text: of the narrowest kind that
    // holds its characters. The sink is spent afterwards.
    Owned finish() &&;

private:
    // Room for `more` characters beyond those written.
    void grow(std::size_t more);
    // Writes a piece of text that fits the room.
    void put(std::string_view utf8);

    Owned str_;
    void* data_ = nullptr;
    std::uint32_t limit_;     // the widest character expected
    std::uint32_t seen_ = 0;  // every character written, ORed together
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;  // of the `str`, once there is one
    std::size_t expected_;
    std::size_t utf8_size_ = 0;
};

extern template class StrSink<Py_UCS1>;
extern template class StrSink<Py_UCS2>;
extern template class StrSink<Py_UCS4>;

// Runs `write(sink)` with a StrSink whose characters are up to
// `max_character`, expecting about `capacity` characters, and returns the
// sink's `str`.
template <class Write>
Owned write_str_up_to(Py_UCS4 max_character, std::size_t capacity, Write&& write) {
    const auto with = [&]<class Unit>(StrSink<Unit> sink) {
        write(sink);
        return std::move(sink).finish();
    };
    if (max_character < 0x100) return with(StrSink<Py_UCS1>(capacity, max_character));
    if (max_character < 0x10000) return with(StrSink<Py_UCS2>(capacity, max_character));
    return with(StrSink<Py_UCS4>(capacity, max_character));
}

// The same with characters up to the widest of the `str` `text_object`.
template <class Write>
Owned write_str_like(PyObject* text_object, std::size_t capacity, Write&& write) {
    return write_str_up_to(max_char_value(text_object), capacity, std::forward<Write>(write));
}

// The widest code point of the well-formed UTF-8 `text`; 0 for none.
char32_t widest_code_point(std::string_view text) noexcept;

// The `str` of a conversion of the `str` `text_object`, whose UTF-8 form is
// `text`, as `write(sink)` writes it: of the text's kind, as its result
// holds nothing wider (narrowed when it holds less).
template <class Write>
Owned conversion_str(PyObject* text_object, std::string_view text, Write&& write) {
    return write_str_like(text_object, expected_json_size(text.size()), std::forward<Write>(write));
}

}  // namespace quenra::python
