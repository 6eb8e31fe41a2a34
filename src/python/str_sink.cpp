#include "python/str_sink.hpp"

#include <algorithm>
#include <new>

#include <quenra/internal_failure.hpp>
#include "python/code_units.hpp"

namespace quenra::python {

namespace {

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

// Copies the first `length` characters of `from` into the new `to`, which
// holds characters as wide as they are.
void copy_characters(const Owned& to, const Owned& from, std::size_t length) {
    if (PyUnicode_CopyCharacters(to.get(), 0, from.get(), 0, static_cast<Py_ssize_t>(length)) < 0) {
        PyErr_Clear();
        fail("could not copy characters into a new str");
    }
}

template <class Unit>
CodeUnitsWritten append_to(void* data, std::size_t length, std::size_t capacity, std::string_view utf8,
                           std::uint32_t limit, std::uint32_t& seen) noexcept {
    return append_code_units(utf8, static_cast<Unit*>(data) + length, capacity - length, limit, seen);
}

}  // namespace

StrOutput::StrOutput(std::size_t capacity, Py_UCS4 max_character) noexcept
    : limit_(narrowest_limit(max_character)), capacity_(std::max<std::size_t>(capacity, 1)) {}

void StrOutput::reallocate(std::size_t capacity, std::uint32_t limit) {
    Owned str = new_uninitialised_str(capacity, limit);
    if (length_ > 0) copy_characters(str, str_, length_);
    str_ = std::move(str);
    data_ = PyUnicode_DATA(str_.get());
    kind_ = PyUnicode_KIND(str_.get());
    limit_ = limit;
    capacity_ = capacity;
}

void StrOutput::write(std::string_view utf8) {
    if (!str_) reallocate(std::max(capacity_, utf8.size()), limit_);
    append(utf8);
}

void StrOutput::append(std::string_view utf8) {
    // Every byte makes at most one character.
    if (utf8.size() > capacity_ - length_) grow(utf8.size());
    put(utf8);
}

void StrOutput::grow(std::size_t more) {
    const std::size_t capacity = std::max(capacity_ + capacity_ / 2, length_ + more);
    resize(str_, capacity);
    data_ = PyUnicode_DATA(str_.get());
    capacity_ = capacity;
}

void StrOutput::put(std::string_view utf8) {
    while (!utf8.empty()) {
        CodeUnitsWritten written{};
        switch (kind_) {
        case PyUnicode_1BYTE_KIND:
            written = append_to<Py_UCS1>(data_, length_, capacity_, utf8, limit_, seen_);
            break;
        case PyUnicode_2BYTE_KIND:
            written = append_to<Py_UCS2>(data_, length_, capacity_, utf8, limit_, seen_);
            break;
        default:
            written = append_to<Py_UCS4>(data_, length_, capacity_, utf8, limit_, seen_);
            break;
        }
        length_ += written.units_written;
        utf8.remove_prefix(written.bytes_read);
        if (utf8.empty()) break;
        if (length_ == capacity_) {
            grow(utf8.size());  // the room ran out
        } else {
            reallocate(capacity_, narrowest_limit(limit_ + 1));  // a character wider than the `str` holds
        }
    }
}

Owned StrOutput::finish(std::string_view last) && {
    if (!str_ && last.empty()) return new_uninitialised_str(0, 0x7F);  // the empty str
    if (!str_) {
        // Room for as many characters as bytes, the most there can be: the
        // `str` is cut to its length at the end.
        reallocate(last.size(), limit_);
        put(last);
    } else {
        append(last);
    }
    const std::uint32_t needed = narrowest_limit(seen_);
    if (needed != limit_) {
        // Fewer kinds of character came than the input had: a narrower `str`.
        Owned str = new_uninitialised_str(length_, needed);
        copy_characters(str, str_, length_);
        return str;
    }
    if (length_ != capacity_) resize(str_, length_);
    return std::move(str_);
}

}  // namespace quenra::python
