#include "python/str_sink.hpp"

#include <algorithm>
#include <bit>

#include <quenra/internal_failure.hpp>
#include "python/boundary.hpp"
#include "python/code_units.hpp"
#include "text/utf8.hpp"

namespace quenra::python {

namespace {

// The length of the escape of `byte`, one that JSON_ESCAPES escapes.
std::size_t escape_length(unsigned char byte) noexcept { return JSON_ESCAPES[byte] == 'u' ? 6 : 2; }

// Writes the escape of `byte` as code units at `out`; returns their end.
template <class Unit>
Unit* write_escape(unsigned char byte, Unit* out) noexcept {
    const char escape = JSON_ESCAPES[byte];
    *out++ = static_cast<Unit>('\\');
    if (escape != 'u') {
        *out++ = static_cast<Unit>(escape);
        return out;
    }
    constexpr std::string_view HEX = "0123456789abcdef";
    for (const char c : {'u', '0', '0', HEX[byte >> 4], HEX[byte & 0xF]}) *out++ = static_cast<Unit>(c);
    return out;
}

}  // namespace

bool StrMeasure::escaped(std::string_view utf8) noexcept {
    std::size_t escapes = 0;       // the bytes that escapes add
    std::size_t continuation = 0;  // bytes that add no character
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t left = utf8.size();
    // Bytes are read a block at a time, the last ones from a copy padded with
    // spaces (which need no escape). A block of ASCII that needs no escape,
    // the common case, costs a test.
    const auto measure_block = [&](const unsigned char* block) {
        const BlockBytes found = classify_block(block);
        if ((found.beyond_ascii | found.escaped) == 0) return;
        for (unsigned mask = found.escaped; mask != 0; mask &= mask - 1) {
            escapes += escape_length(block[std::countr_zero(mask)]) - 1;
        }
        continuation += static_cast<std::size_t>(std::popcount(found.continuation));
        beyond_ascii_ |= found.beyond_ascii;
        beyond_latin1_ |= found.beyond_latin1;
        beyond_bmp_ |= found.beyond_bmp;
    };
    for (; left >= BLOCK; bytes += BLOCK, left -= BLOCK) measure_block(bytes);
    if (left > 0) {
        unsigned char tail[BLOCK];
        std::memset(tail, ' ', sizeof tail);
        for (std::size_t k = 0; k < left; ++k) tail[k] = bytes[k];
        measure_block(tail);
    }
    bytes_ += utf8.size() + escapes;
    characters_ += utf8.size() + escapes - continuation;
    return true;
}

Py_UCS4 StrMeasure::limit() const noexcept {
    if (beyond_bmp_ != 0) return 0x10FFFF;
    if (beyond_latin1_ != 0) return 0xFFFF;
    if (beyond_ascii_ != 0) return 0xFF;
    return 0x7F;
}

template <class Unit>
void StrSink<Unit>::overflow() {
    fail("more characters were written into a str than were measured");
}

template <class Unit>
std::size_t StrSink<Unit>::put_blocks(const unsigned char* from, std::size_t size, bool padded) {
    Unit* out = data_ + length_;
    Unit* const start = out;
    Unit* const end = data_ + capacity_;
    std::size_t beyond_one_byte = 0;  // what the characters written take in UTF-8 beyond a byte each
    std::size_t i = 0;
    // A block is stored whole, and a byte that is not written as it stands
    // then written over the ones after it: there must be room for a block.
    // Bytes are read a block at a time for as long as whole ones remain, or
    // to the end of a padded copy, whose padding is written as it stands.
    while ((padded ? i < size : size - i >= BLOCK) && end - out >= static_cast<std::ptrdiff_t>(BLOCK)) {
        const std::size_t plain = std::min(plain_in_block(from + i), size - i);
        widen_block(from + i, out);
        i += plain;
        out += plain;
        if (plain == BLOCK || i == size) continue;
        if (from[i] < 0x80) {  // escaped
            if (end - out < static_cast<std::ptrdiff_t>(escape_length(from[i]))) overflow();
            out = write_escape(from[i], out);
            ++i;
            continue;
        }
        // A run of characters beyond ASCII, read without the blocks.
        const std::size_t run_start = i;
        std::size_t characters = 0;
        do {
            if (out == end) overflow();
            const CodePoint point = decode_well_formed(from + i);
            *out++ = static_cast<Unit>(point.value);
            i += point.length;
            ++characters;
        } while (i < size && from[i] >= 0xC0);
        beyond_one_byte += i - run_start - characters;
    }
    const auto written = static_cast<std::size_t>(out - start);
    length_ += written;
    utf8_size_ += written + beyond_one_byte;
    return i;
}

template <class Unit>
void StrSink<Unit>::put_rest(const unsigned char* from, std::size_t size) {
    for (std::size_t i = 0; i < size;) {
        if (from[i] < 0x80) {
            const std::size_t length = JSON_ESCAPES[from[i]] == 0 ? 1 : escape_length(from[i]);
            if (capacity_ - length_ < length) overflow();
            if (length == 1) {
                data_[length_] = static_cast<Unit>(from[i]);
            } else {
                write_escape(from[i], data_ + length_);
            }
            length_ += length;
            utf8_size_ += length;
            ++i;
            continue;
        }
        if (length_ == capacity_) overflow();
        const CodePoint point = decode_well_formed(from + i);
        data_[length_++] = static_cast<Unit>(point.value);
        utf8_size_ += point.length;
        i += point.length;
    }
}

template <class Unit>
bool StrSink<Unit>::escaped(std::string_view utf8) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t read = put_blocks(bytes, utf8.size(), false);
    if (const std::size_t left = utf8.size() - read; left > 0 && left < BLOCK) {
        unsigned char tail[2 * BLOCK];
        std::memset(tail, ' ', sizeof tail);
        std::memcpy(tail, bytes + read, left);
        read += put_blocks(tail, left, true);
    }
    put_rest(bytes + read, utf8.size() - read);
    return true;
}

Owned new_str_for(const StrMeasure& measure) {
    return expect_object(PyUnicode_New(static_cast<Py_ssize_t>(measure.characters()), measure.limit()));
}

Owned StrWrite::messages() && {
    if (whole_) {
        parts_.clear();
        parts_.push_back(std::move(whole_));
    }
    Owned list = expect_object(PyList_New(static_cast<Py_ssize_t>(parts_.size())));
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), parts_[i].release());
    }
    return list;
}

template class StrSink<Py_UCS1>;
template class StrSink<Py_UCS2>;
template class StrSink<Py_UCS4>;

}  // namespace quenra::python
