// JsonWriter: compact JSON text appended to an output sink.
//
// The writer knows strings and booleans, and appends the punctuation and
// constant runs that its caller gives it as they stand; the caller (see
// serialize.hpp) lays out objects and arrays. There is no whitespace between
// tokens, and strings are escaped by one fixed table (`JSON_ESCAPES`).
//
// A sink is any type with
//     bool append(std::string_view bytes);   // false when the bytes were not taken
//     std::string describe_failure() const;  // what went wrong, after a false
//     std::size_t size() const;              // the bytes it took
// Every writer operation returns false once the sink has failed; the first
// failure's description is kept and nothing more reaches the sink.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quenra {

// How each byte is written inside a JSON string: 0 for itself, 'u' for the
// six-byte form \u00XX, or the letter of a two-byte form such as \n.
inline constexpr std::array<char, 256> JSON_ESCAPES = [] {
    std::array<char, 256> table{};
    for (std::size_t byte = 0; byte < 0x20; ++byte) table[byte] = 'u';
    table['\b'] = 'b';
    table['\t'] = 't';
    table['\n'] = 'n';
    table['\f'] = 'f';
    table['\r'] = 'r';
    table['"'] = '"';
    table['\\'] = '\\';
    return table;
}();

// The high bit of each byte of `word` that needs an escape: below 0x20, or
// '"' or '\\' (bytes of 0x80 and above are excluded by the final mask). A
// borrow can only flag bytes above a true one, so the word holds such a
// byte exactly when the result is not 0, and the lowest flag marks the first
// (the words are read little-endian).
constexpr std::uint64_t json_escapes_in(std::uint64_t word) noexcept {
    constexpr std::uint64_t ONES = 0x0101010101010101;
    constexpr std::uint64_t HIGHS = 0x8080808080808080;
    const std::uint64_t quote = word ^ (ONES * '"');
    const std::uint64_t backslash = word ^ (ONES * '\\');
    return ((word - ONES * 0x20) | (quote - ONES) | (backslash - ONES)) & ~word & HIGHS;
}

// Writes the escape of `byte` (one that JSON_ESCAPES escapes) at `out`, two
// or six bytes; returns their end.
inline char* write_json_escape(unsigned char byte, char* out) noexcept {
    const char escape = JSON_ESCAPES[byte];
    *out++ = '\\';
    if (escape != 'u') {
        *out++ = escape;
        return out;
    }
    constexpr std::string_view HEX = "0123456789abcdef";
    const char rest[] = {'u', '0', '0', HEX[byte >> 4], HEX[byte & 0xF]};
    std::memcpy(out, rest, sizeof rest);
    return out + sizeof rest;
}

// The length of `bytes` written inside a JSON string, without the quotes.
// Words without an escape are passed eight bytes at a time.
inline std::size_t json_escaped_size(std::string_view bytes) noexcept {
    const auto extra = [](char c) -> std::size_t {
        const char escape = JSON_ESCAPES[static_cast<unsigned char>(c)];
        return escape == 0 ? 0 : escape == 'u' ? 5 : 1;
    };
    std::size_t size = bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (json_escapes_in(word) == 0) continue;
        for (std::size_t k = 0; k < 8; ++k) size += extra(bytes[i + k]);
    }
    for (; i < bytes.size(); ++i) size += extra(bytes[i]);
    return size;
}

// A sink that gathers the writer's pieces in a small buffer of its own and
// hands them to its `Output` (any type with `void write(std::string_view)`)
// a buffer at a time, so that short pieces cost a copy, not a call. A block
// handed on always ends where a piece ended: no character is ever split. It
// never fails (exhausted memory throws std::bad_alloc); `flush` hands on
// what is still buffered once the writing is done.
template <class Output>
class BufferedSink {
public:
    explicit BufferedSink(Output output) noexcept : output_(std::move(output)) {}
    BufferedSink(const BufferedSink&) = delete;
    BufferedSink& operator=(const BufferedSink&) = delete;

    bool append(std::string_view bytes) {
        if (bytes.size() > BUFFER_SIZE - buffered_) {
            flush();
            if (bytes.size() >= BUFFER_SIZE) {
                output_.write(bytes);
                handed_on_ += bytes.size();
                return true;
            }
        }
        std::memcpy(buffer_ + buffered_, bytes.data(), bytes.size());
        buffered_ += bytes.size();
        return true;
    }
    std::string describe_failure() const { return {}; }

    static constexpr std::size_t BUFFER_SIZE = 4096;

    // Room for `size` (at most BUFFER_SIZE) bytes at the end of the buffer,
    // which is flushed first if need be: the caller writes there, then
    // `commit`s what it wrote, ending on a character's end.
    char* room(std::size_t size) {
        if (size > BUFFER_SIZE - buffered_) flush();
        return buffer_ + buffered_;
    }
    void commit(std::size_t size) noexcept { buffered_ += size; }

    void flush() {
        if (buffered_ == 0) return;
        output_.write(std::string_view(buffer_, buffered_));
        handed_on_ += std::exchange(buffered_, 0);
    }
    Output& output() noexcept { return output_; }

    // What is buffered, handed to the caller instead of the output; valid
    // while the sink lives and nothing more is appended.
    std::string_view take_buffered() noexcept {
        const std::size_t size = std::exchange(buffered_, 0);
        handed_on_ += size;
        return std::string_view(buffer_, size);
    }

    // The bytes appended so far.
    std::size_t size() const noexcept { return handed_on_ + buffered_; }

private:
    Output output_;
    std::size_t handed_on_ = 0;
    std::size_t buffered_ = 0;
    char buffer_[BUFFER_SIZE];
};

// Appends to a string.
struct AppendToString {
    std::string* text;
    void write(std::string_view bytes) { text->append(bytes); }
};

// The in-memory sink: the string grows geometrically without first filling
// room it has not written yet, and holds exactly the text written once the
// sink is flushed.
class StringSink : public BufferedSink<AppendToString> {
public:
    explicit StringSink(std::string& out) noexcept : BufferedSink(AppendToString{&out}) {}
};

// Counts the bytes written to it and keeps none; never fails.
class SizeSink {
public:
    bool append(std::string_view bytes) noexcept {
        size_ += bytes.size();
        return true;
    }
    std::string describe_failure() const { return {}; }
    std::size_t size() const noexcept { return size_; }

private:
    std::size_t size_ = 0;
};

// A sink that lends room in its own buffer (see BufferedSink::room).
template <class Sink>
concept LendsRoom = requires(Sink& sink, std::size_t size) {
    { sink.room(size) } -> std::same_as<char*>;
    sink.commit(size);
    { Sink::BUFFER_SIZE } -> std::convertible_to<std::size_t>;
};

// A run of JSON text known when the program is built: punctuation, or a run
// that never changes, such as {"type":"span","text":. Always ASCII.
template <std::size_t N>
struct JsonLiteral {
    char text[N];

    constexpr JsonLiteral(const char (&literal)[N]) noexcept {
        for (std::size_t i = 0; i < N; ++i) text[i] = literal[i];
    }
    static constexpr std::size_t size = N - 1;
    constexpr std::string_view view() const noexcept { return {text, size}; }
};

// A sink that writes characters of its own, not UTF-8: it takes the
// writer's literals, which are ASCII, and escapes text itself.
template <class Sink>
concept WritesCharacters = requires(Sink& sink, std::string_view text) {
    sink.template literal<",">();
    sink.escaped(text);
};

template <class Sink>
class JsonWriter {
public:
    explicit JsonWriter(Sink& sink) noexcept : sink_(sink) {}

    // Appends a literal, copied in place into a sink that lends room or
    // writes characters of its own.
    template <JsonLiteral L>
    [[gnu::always_inline]] bool literal() {
        if constexpr (WritesCharacters<Sink>) {
            sink_.template literal<L>();
            return true;
        } else if constexpr (LendsRoom<Sink>) {
            static_assert(L.size <= Sink::BUFFER_SIZE);
            std::memcpy(sink_.room(L.size), L.text, L.size);
            sink_.commit(L.size);
            return true;
        } else {
            return put(L.view());
        }
    }

    // The quoted, escaped text.
    bool string(std::string_view text) { return literal<"\"">() && escaped(text) && literal<"\"">(); }

    // The text escaped, without quotes: a string written in pieces. Bytes
    // that need no escape are appended in runs, one block per run; a sink
    // that lends room in its own buffer gets the text escaped right there.
    bool escaped(std::string_view text) {
        if constexpr (WritesCharacters<Sink>) {
            sink_.escaped(text);
            return true;
        }
        if constexpr (LendsRoom<Sink>) {
            escape_into_room(text);  // such a sink never fails
            return true;
        }
        std::size_t run = 0;
        for (std::size_t i = next_escape(text, 0); i < text.size(); i = next_escape(text, i + 1)) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (i > run && !put(text.substr(run, i - run))) return false;
            if (!put_escape(byte)) return false;
            run = i + 1;
        }
        return text.size() <= run || put(text.substr(run));
    }

    // The description of the sink's first failure, if it has failed.
    const std::optional<std::string>& failure() const noexcept { return failure_; }

    // The bytes written so far.
    std::size_t written() const noexcept { return sink_.size(); }

private:
    // The escaped text, written in pieces that fit the sink's room at the
    // worst (six bytes for each byte) and end on a character's end.
    void escape_into_room(std::string_view text) {
        constexpr std::size_t PIECE = (Sink::BUFFER_SIZE - 8) / 6;
        static_assert(PIECE >= 4, "a piece holds any character");
        while (!text.empty()) {
            std::size_t take = std::min(text.size(), PIECE);
            std::size_t end = take;
            while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
            if (end > 0) take = end;  // else a run of continuation bytes: no character to keep whole
            char* const start = sink_.room(6 * take + 8);
            char* const out = escape_piece(text.substr(0, take), start);
            sink_.commit(static_cast<std::size_t>(out - start));
            text.remove_prefix(take);
        }
    }

    // Writes `text` escaped at `out`, which has room for six bytes for each
    // of its bytes and eight more; returns the end of what was written.
    // Eight bytes are tested at a time and stored at once (the last few
    // padded with spaces), an escape then writing over those that follow it.
    static char* escape_piece(std::string_view text, char* out) noexcept {
        std::size_t i = 0;
        if constexpr (std::endian::native == std::endian::little) {
            while (i < text.size()) {
                const std::size_t take = std::min<std::size_t>(text.size() - i, 8);
                std::uint64_t word;
                if (take == 8) {
                    std::memcpy(&word, text.data() + i, 8);
                } else {
                    char padded[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
                    for (std::size_t k = 0; k < take; ++k) padded[k] = text[i + k];
                    std::memcpy(&word, padded, 8);
                }
                std::memcpy(out, &word, 8);
                const std::uint64_t found = json_escapes_in(word);
                if (found == 0) {
                    i += take;
                    out += take;
                    continue;
                }
                const std::size_t passed = static_cast<std::size_t>(std::countr_zero(found)) / 8;  // within `take`
                out = write_json_escape(static_cast<unsigned char>(text[i + passed]), out + passed);
                i += passed + 1;
            }
            return out;
        }
        for (; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (JSON_ESCAPES[byte] == 0) {
                *out++ = static_cast<char>(byte);
            } else {
                out = write_json_escape(byte, out);
            }
        }
        return out;
    }

    // The first position at or after `from` whose byte needs an escape, or
    // the text's length. Eight bytes are tested at a time.
    static std::size_t next_escape(std::string_view text, std::size_t from) noexcept {
        std::size_t i = from;
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (const std::uint64_t found = json_escapes_in(word); found != 0) {
                if constexpr (std::endian::native == std::endian::little) {
                    return i + static_cast<std::size_t>(std::countr_zero(found)) / 8;
                }
                break;  // elsewhere the bytes below find it
            }
        }
        for (; i < text.size(); ++i) {
            if (JSON_ESCAPES[static_cast<unsigned char>(text[i])] != 0) return i;
        }
        return i;
    }

    bool put_escape(unsigned char byte) {
        char form[6];
        return put(std::string_view(form, static_cast<std::size_t>(write_json_escape(byte, form) - form)));
    }

    bool put(std::string_view bytes) {
        if constexpr (LendsRoom<Sink>) {
            sink_.append(bytes);
            return true;
        }
        if (failure_) return false;
        if (sink_.append(bytes)) return true;
        failure_ = sink_.describe_failure();
        return false;
    }

    Sink& sink_;
    std::optional<std::string> failure_;
};

}  // namespace quenra
