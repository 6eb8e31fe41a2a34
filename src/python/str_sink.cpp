#include "python/str_sink.hpp"

#include <algorithm>
#include <new>

#include <quenra/internal_failure.hpp>
#include "python/code_units.hpp"
#include "text/utf8.hpp"

namespace quenra::python {

namespace {

// UTF-8 goes in pieces of at most this many bytes, so that room is made for
// the worst case of a piece rather than of a whole long text.
constexpr std::size_t PIECE = 16 << 10;

// A new `str` of `length` characters up to `limit`, its characters not yet
// written.
Owned new_uninitialised_str(std::size_t length, std::uint32_t limit) {
    PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(length), limit);
    if (!str) {
        PyErr_Clear();
        throw std::bad_alloc();
    }
    return Owned::steal(str);
}

// Gives `str` room for `length` characters, keeping those it has.
void resize(Owned& str, std::size_t length) {
    PyObject* object = str.release();
    const int status = PyUnicode_Resize(&object, static_cast<Py_ssize_t>(length));
    str = Owned::steal(object);  // on failure, the `str` as it was
    if (status < 0) {
        PyErr_Clear();
        throw std::bad_alloc();
    }
}

// The first piece of `utf8`, ending on a character's end where there is one.
std::string_view first_piece(std::string_view utf8) noexcept {
    if (utf8.size() <= PIECE) return utf8;
    std::size_t end = PIECE;
    while (end > PIECE - 3 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    return utf8.substr(0, (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80 ? PIECE : end);
}

}  // namespace

template <class Unit>
StrSink<Unit>::StrSink(std::size_t capacity, Py_UCS4 max_character) noexcept
    : limit_(narrowest_limit(max_character)), expected_(capacity) {}

template <class Unit>
void StrSink<Unit>::grow(std::size_t more) {
    if (!str_) {
        // The first write makes the `str`, as large as expected.
        capacity_ = std::max(expected_, more);
        str_ = new_uninitialised_str(capacity_, limit_);
    } else {
        capacity_ = std::max(capacity_ + capacity_ / 2, length_ + more);
        resize(str_, capacity_);
    }
    data_ = str_data(str_.get());
}

template <class Unit>
void StrSink<Unit>::put(std::string_view utf8) {
    Unit* out = static_cast<Unit*>(data_) + length_;
    Unit* const start = out;
    std::size_t beyond_one_byte = 0;  // what the characters written take in UTF-8 beyond a byte each
    // Writes `from`'s `size` bytes: a block (see code_units.hpp) at a time
    // for as long as whole ones remain (`whole_blocks`), or to the end of a
    // padded copy, whose padding is written as it stands. A block is stored
    // whole, and a byte that is not written as it stands then written over
    // the ones after it. Returns the bytes read.
    const auto run = [&](const unsigned char* from, std::size_t size, bool whole_blocks) {
        std::size_t i = 0;
        while (whole_blocks ? size - i >= BLOCK : i < size) {
            const std::size_t plain = std::min(plain_in_block(from + i), size - i);
            widen_block(from + i, out);
            i += plain;
            out += plain;
            if (i == size || plain == BLOCK) continue;
            if (from[i] < 0x80) {  // escaped
                char form[6];
                const char* const end = write_json_escape(from[i], form);
                for (const char* c = form; c < end; ++c) *out++ = static_cast<Unit>(*c);
                ++i;
                continue;
            }
            // A run of characters beyond ASCII, read without the blocks.
            const std::size_t run_start = i;
            std::size_t characters = 0;
            do {
                const CodePoint point = decode_well_formed(from + i);
                if (point.value > limit_) fail("a character wider than the str of the text converted");
                seen_ |= point.value;
                *out++ = static_cast<Unit>(point.value);
                i += point.length;
                ++characters;
            } while (i < size && from[i] >= 0xC0);
            beyond_one_byte += i - run_start - characters;
        }
        return i;
    };
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t read = run(bytes, utf8.size(), true);
    if (read < utf8.size()) {
        unsigned char tail[2 * BLOCK];
        std::memset(tail, ' ', sizeof tail);
        std::memcpy(tail, bytes + read, utf8.size() - read);
        run(tail, utf8.size() - read, false);
    }
    const auto written = static_cast<std::size_t>(out - start);
    length_ += written;
    utf8_size_ += written + beyond_one_byte;
}

template <class Unit>
bool StrSink<Unit>::escaped(std::string_view utf8) {
    while (!utf8.empty()) {
        const std::string_view piece = first_piece(utf8);
        // Every byte makes at most six characters (as an escape); a whole
        // block more is stored at once.
        const std::size_t room = 6 * piece.size() + BLOCK;
        if (room > capacity_ - length_) grow(room);
        put(piece);
        utf8.remove_prefix(piece.size());
    }
    return true;
}

template <class Unit>
Owned StrSink<Unit>::finish() && {
    if (!str_) return new_uninitialised_str(0, 0x7F);  // the empty str
    const std::uint32_t needed = narrowest_limit(seen_);
    if (needed != limit_) {
        // Fewer kinds of character came than the text has: a narrower `str`.
        Owned str = new_uninitialised_str(length_, needed);
        if (PyUnicode_CopyCharacters(str.get(), 0, str_.get(), 0, static_cast<Py_ssize_t>(length_)) < 0) {
            PyErr_Clear();
            fail("could not copy characters into a new str");
        }
        return str;
    }
    if (length_ != capacity_) resize(str_, length_);
    return std::move(str_);
}

char32_t widest_code_point(std::string_view text) noexcept {
    char32_t widest = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            widest = std::max<char32_t>(widest, lead);
            ++i;
            continue;
        }
        const CodePoint point = decode_well_formed(reinterpret_cast<const unsigned char*>(text.data() + i));
        widest = std::max(widest, point.value);
        i += point.length;
    }
    return widest;
}

template class StrSink<Py_UCS1>;
template class StrSink<Py_UCS2>;
template class StrSink<Py_UCS4>;

}  // namespace quenra::python
