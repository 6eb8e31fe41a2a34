// Writing JSON straight into the `str` that a call returns, so that the
// result is written once instead of being written as UTF-8 and then decoded
// into a `str`. A message is told twice: first to a StrMeasure, which counts
// its characters and finds the narrowest kind of `str` that holds them, then
// to a StrSink, which writes them into a `str` made to exactly that size.
// Memory then fits the result, whatever the text: no room is made for a worst
// case, no `str` grows or is narrowed afterwards.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "flex/json_writer.hpp"
#include "flex/write.hpp"
#include "python/compat.hpp"
#include "python/pyref.hpp"

namespace quenra::python {

// A JsonSink that keeps nothing: it counts the characters of the JSON text
// written to it (code points, one each in a `str`), its bytes as UTF-8, and
// the widest byte of its UTF-8 form, which tells the narrowest kind of `str`
// that holds it.
class StrMeasure {
public:
    static constexpr bool NEVER_FAILS = true;

    template <JsonLiteral L>
    [[gnu::always_inline]] bool literal() noexcept {
        characters_ += L.size;
        bytes_ += L.size;
        return true;
    }
    bool escaped(std::string_view utf8) noexcept;
    std::size_t size() const noexcept { return bytes_; }
    std::string describe_failure() const { return {}; }

    std::size_t characters() const noexcept { return characters_; }
    // The largest character that the `str` must hold, as the narrowest
    // kind's limit: U+007F, U+00FF, U+FFFF or U+10FFFF.
    Py_UCS4 limit() const noexcept;

private:
    std::size_t characters_ = 0;
    std::size_t bytes_ = 0;
    // The bytes beyond ASCII seen, as flags: any (a Latin-1 character at
    // least), a lead beyond U+00FF, a lead beyond U+FFFF.
    unsigned beyond_ascii_ = 0;
    unsigned beyond_latin1_ = 0;
    unsigned beyond_bmp_ = 0;
};

// Writes into a `str` of the size that a StrMeasure measured, whose
// characters are code units of type Unit: one byte, two or four. The text it
// is given is well-formed UTF-8 (a `str`'s UTF-8 form, stretches of it cut
// between characters, and the library's own strings), read without checks.
template <class Unit>
class StrSink {
public:
    static constexpr bool NEVER_FAILS = true;

    // `str` has room for exactly the characters to be written.
    explicit StrSink(PyObject* str) noexcept
        : data_(static_cast<Unit*>(str_data(str))), capacity_(static_cast<std::size_t>(PyUnicode_GET_LENGTH(str))) {}

    // A JsonSink (flex/json_writer.hpp).
    template <JsonLiteral L>
    [[gnu::always_inline]] bool literal() {
        if (L.size > capacity_ - length_) overflow();
        std::memcpy(data_ + length_, WIDENED<L>.data(), L.size * sizeof(Unit));
        length_ += L.size;
        utf8_size_ += L.size;
        return true;
    }
    bool escaped(std::string_view utf8);
    std::string describe_failure() const { return {}; }
    // The length of the text written so far in UTF-8, as a JSON writer
    // measures what it wrote.
    std::size_t size() const noexcept { return utf8_size_; }
    // True when it holds exactly what was measured.
    bool full() const noexcept { return length_ == capacity_; }

private:
    // `literal`'s characters as code units, made when the program is built.
    template <JsonLiteral L>
    static constexpr std::array<Unit, L.size> WIDENED = [] {
        std::array<Unit, L.size> units{};
        for (std::size_t i = 0; i < L.size; ++i) units[i] = static_cast<Unit>(L.text[i]);
        return units;
    }();

    // Writes the characters of the `size` bytes at `from` a block at a time
    // while the room takes a block (to the end of `from` when it is a padded
    // copy, else while whole blocks remain); returns the bytes read.
    std::size_t put_blocks(const unsigned char* from, std::size_t size, bool padded);
    // Writes the characters of `utf8` one by one.
    void put_rest(const unsigned char* from, std::size_t size);
    [[noreturn]] static void overflow();

    Unit* data_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    std::size_t utf8_size_ = 0;
};

// A new `str` to hold what `measure` measured, its characters not yet
// written.
Owned new_str_for(const StrMeasure& measure);

extern template class StrSink<Py_UCS1>;
extern template class StrSink<Py_UCS2>;
extern template class StrSink<Py_UCS4>;

// A new `str` of what `write(sink)` writes into a JsonSink, once more, after
// `measure` has measured it: of exactly that size and kind.
template <class Write>
Owned write_measured(const StrMeasure& measure, Write&& write) {
    Owned str = new_str_for(measure);
    const auto write_as = [&]<class Unit>(Unit) {
        StrSink<Unit> sink(str.get());
        write(sink);
        if (!sink.full()) fail("a text written again came out shorter than it measured");
    };
    if (measure.limit() <= 0xFF) {
        write_as(Py_UCS1{});
    } else if (measure.limit() <= 0xFFFF) {
        write_as(Py_UCS2{});
    } else {
        write_as(Py_UCS4{});
    }
    return str;
}

// The `str` of the message that `tell(writer)` tells, told twice: measured,
// then written.
template <class Tell>
Owned json_str(Tell&& tell) {
    StrMeasure measure;
    write_message(measure, tell);
    return write_measured(measure, [&](auto& sink) { write_message(sink, tell); });
}

// Writes messages into new `str`s, each in two passes: the `Write` of
// line::split_into. `first(tell)` tells the whole message once, measuring
// it, and returns its bubble's bytes; `last(tell)` tells it again into its
// `str`. `tell(writer)` tells a MessageWriter of any sink the same message
// each time (and may tell other MessageOuts too, such as LINE's rules, the
// first time). `part(document, part)` writes the message of a part of a
// document cut. `take` gives the one message written whole, `messages` a
// list of what was written.
class StrWrite {
public:
    template <class Tell>
    std::size_t first(Tell&& tell) {
        return write_message(measure_, std::forward<Tell>(tell));
    }
    template <class Tell>
    void last(Tell&& tell) {
        whole_ = write_measured(measure_, [&](auto& sink) { write_message(sink, tell); });
    }
    template <class Document, class Part>
    void part(const Document& document, const Part& part) {
        parts_.push_back(json_str([&](auto& writer) { tell_part(document, part, writer); }));
    }

    Owned take() && { return std::move(whole_); }
    // A list of the message written whole, or else of the parts.
    Owned messages() &&;

private:
    StrMeasure measure_;
    Owned whole_;
    std::vector<Owned> parts_;
};

}  // namespace quenra::python
