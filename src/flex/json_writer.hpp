// JsonWriter: compact JSON text written into a sink.
//
// The writer knows strings, and appends the punctuation and constant runs
// that its caller gives it as they stand; the caller (see write.hpp) lays
// out objects and arrays. There is no whitespace between tokens, and strings
// are escaped by one fixed table (`JSON_ESCAPES`). Every writer operation
// returns false once the sink has failed; the first failure's description is
// kept and nothing more reaches the sink.
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

// A run of JSON text known when the program is built: punctuation, or a run
// that never changes, such as {"type":"span","text":. Always ASCII.
template <std::size_t N>
struct JsonLiteral {
    char text[N];

    constexpr JsonLiteral(const char (&literal)[N]) noexcept {
        for (std::size_t i = 0; i < N; ++i) text[i] = literal[i];
    }
    static constexpr std::size_t size = N - 1;
};

// What a JsonWriter writes into: each call true when it took what it was
// given, and the size of what it holds measured as UTF-8, as LINE measures.
// A sink whose calls never fail (only memory can run out) says so with
// `static constexpr bool NEVER_FAILS = true`.
template <class Sink>
concept JsonSink = requires(Sink& sink, const Sink& held, std::string_view text) {
    { sink.template literal<",">() } -> std::same_as<bool>;  // JSON text written already
    { sink.escaped(text) } -> std::same_as<bool>;            // text, escaped as inside a JSON string
    { held.size() } -> std::same_as<std::size_t>;
    { held.describe_failure() } -> std::convertible_to<std::string>;  // after a false
};

// Appends to a string, through a small buffer of its own so that short
// pieces cost a copy, not a call. The string grows geometrically without
// first filling room it has not written yet, and holds exactly the text
// written once the sink is flushed. It never fails (exhausted memory throws
// std::bad_alloc).
class StringSink {
public:
    static constexpr bool NEVER_FAILS = true;

    explicit StringSink(std::string& out) noexcept : out_(out) {}
    StringSink(const StringSink&) = delete;
    StringSink& operator=(const StringSink&) = delete;

    template <JsonLiteral L>
    [[gnu::always_inline]] bool literal() {
        std::memcpy(room(L.size), L.text, L.size);
        buffered_ += L.size;
        return true;
    }

    // The text escaped in pieces that fit the buffer at the worst (six bytes
    // for each byte, and a word more) and end on a character's end.
    bool escaped(std::string_view text) {
        while (!text.empty()) {
            std::size_t take = std::min(text.size(), PIECE);
            std::size_t end = take;
            while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
            if (end > 0) take = end;  // else a run of continuation bytes: no character to keep whole
            char* const start = room(6 * take + 8);
            buffered_ += static_cast<std::size_t>(escape_piece(text.substr(0, take), start) - start);
            text.remove_prefix(take);
        }
        return true;
    }

    std::size_t size() const noexcept { return handed_on_ + buffered_; }
    std::string describe_failure() const { return {}; }

    void flush() {
        out_.append(buffer_, buffered_);
        handed_on_ += std::exchange(buffered_, 0);
    }

private:
    static constexpr std::size_t BUFFER_SIZE = 4096;
    static constexpr std::size_t PIECE = (BUFFER_SIZE - 8) / 6;

    // Room for `size` bytes at the end of the buffer, flushed first if need be.
    char* room(std::size_t size) {
        if (size > BUFFER_SIZE - buffered_) flush();
        return buffer_ + buffered_;
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
                std::uint64_t word = 0x2020202020202020u;  // spaces need no escape
                if (take == 8) {
                    std::memcpy(&word, text.data() + i, 8);
                } else {
                    std::memcpy(&word, text.data() + i, take);
                }
                std::memcpy(out, &word, 8);
                if (json_escapes_in(word) == 0) {
                    i += take;
                    out += take;
                    continue;
                }
                // A word with escapes is written byte by byte: escapes come
                // close together where they come at all.
                for (const std::size_t end = i + take; i < end; ++i) {
                    const auto byte = static_cast<unsigned char>(text[i]);
                    out = JSON_ESCAPES[byte] == 0 ? (*out = static_cast<char>(byte), out + 1) : write_json_escape(byte, out);
                }
            }
            return out;
        }
        for (; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            out = JSON_ESCAPES[byte] == 0 ? (*out = static_cast<char>(byte), out + 1) : write_json_escape(byte, out);
        }
        return out;
    }

    std::string& out_;
    std::size_t handed_on_ = 0;
    std::size_t buffered_ = 0;
    char buffer_[BUFFER_SIZE];
};

// Counts the bytes written to it and keeps none; never fails.
class SizeSink {
public:
    static constexpr bool NEVER_FAILS = true;

    template <JsonLiteral L>
    bool literal() noexcept {
        size_ += L.size;
        return true;
    }
    bool escaped(std::string_view text) noexcept {
        size_ += json_escaped_size(text);
        return true;
    }
    std::size_t size() const noexcept { return size_; }
    std::string describe_failure() const { return {}; }

private:
    std::size_t size_ = 0;
};

template <JsonSink Sink>
class JsonWriter {
public:
    explicit JsonWriter(Sink& sink) noexcept : sink_(sink) {}

    template <JsonLiteral L>
    [[gnu::always_inline]] bool literal() {
        if constexpr (NEVER_FAILS) return sink_.template literal<L>();
        return !failure_ && (sink_.template literal<L>() || failed());
    }

    // The quoted, escaped text.
    bool string(std::string_view text) { return literal<"\"">() && escaped(text) && literal<"\"">(); }

    // The text escaped, without quotes: a string written in pieces.
    bool escaped(std::string_view text) {
        if constexpr (NEVER_FAILS) return sink_.escaped(text);
        return !failure_ && (sink_.escaped(text) || failed());
    }

    // The description of the sink's first failure, if it has failed.
    const std::optional<std::string>& failure() const noexcept { return failure_; }

    // The bytes written so far.
    std::size_t written() const noexcept { return sink_.size(); }

private:
    static constexpr bool NEVER_FAILS = requires { requires Sink::NEVER_FAILS; };

    bool failed() {
        failure_ = sink_.describe_failure();
        return false;
    }

    Sink& sink_;
    std::optional<std::string> failure_;
};

}  // namespace quenra
