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
// Every writer operation returns false once the sink has failed; the first
// failure's description is kept and nothing more reaches the sink.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
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

// The length of `bytes` written inside a JSON string, without the quotes.
constexpr std::size_t json_escaped_size(std::string_view bytes) noexcept {
    std::size_t size = 0;
    for (const char c : bytes) {
        const char escape = JSON_ESCAPES[static_cast<unsigned char>(c)];
        size += escape == 0 ? 1 : escape == 'u' ? 6 : 2;
    }
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
                return true;
            }
        }
        std::memcpy(buffer_ + buffered_, bytes.data(), bytes.size());
        buffered_ += bytes.size();
        return true;
    }
    std::string describe_failure() const { return {}; }

    void flush() {
        if (buffered_ == 0) return;
        output_.write(std::string_view(buffer_, buffered_));
        buffered_ = 0;
    }
    Output& output() noexcept { return output_; }

private:
    static constexpr std::size_t BUFFER_SIZE = 4096;

    Output output_;
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

template <class Sink>
class JsonWriter {
public:
    explicit JsonWriter(Sink& sink) noexcept : sink_(sink) {}

    // Appends JSON text that is written already: punctuation, or a run that
    // never changes, such as {"type":"span","text":.
    bool literal(std::string_view json) { return put(json); }

    // The quoted, escaped text. Bytes that need no escape are appended in
    // runs, one block per run.
    bool string(std::string_view text) {
        if (!put("\"")) return false;
        std::size_t run = 0;
        for (std::size_t i = next_escape(text, 0); i < text.size(); i = next_escape(text, i + 1)) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (i > run && !put(text.substr(run, i - run))) return false;
            if (!put_escape(byte, JSON_ESCAPES[byte])) return false;
            run = i + 1;
        }
        if (text.size() > run && !put(text.substr(run))) return false;
        return put("\"");
    }

    // The description of the sink's first failure, if it has failed.
    const std::optional<std::string>& failure() const noexcept { return failure_; }

private:
    // The first position at or after `from` whose byte needs an escape, or
    // the text's length. Eight bytes are tested at a time.
    static std::size_t next_escape(std::string_view text, std::size_t from) noexcept {
        constexpr std::uint64_t ONES = 0x0101010101010101;
        constexpr std::uint64_t HIGHS = 0x8080808080808080;
        std::size_t i = from;
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            // A byte below 0x20, or equal to '"' or '\\', sets its high bit here
            // (bytes of 0x80 and above are excluded by the final mask). A
            // borrow can only flag bytes above a true one, so the lowest flag
            // marks the first such byte (the words are read little-endian).
            const std::uint64_t quote = word ^ (ONES * '"');
            const std::uint64_t backslash = word ^ (ONES * '\\');
            const std::uint64_t found =
                ((word - ONES * 0x20) | (quote - ONES) | (backslash - ONES)) & ~word & HIGHS;
            if (found != 0) {
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

    bool put_escape(unsigned char byte, char escape) {
        if (escape != 'u') {
            const char two[] = {'\\', escape};
            return put(std::string_view(two, sizeof two));
        }
        constexpr std::string_view HEX = "0123456789abcdef";
        const char six[] = {'\\', 'u', '0', '0', HEX[byte >> 4], HEX[byte & 0xF]};
        return put(std::string_view(six, sizeof six));
    }

    bool put(std::string_view bytes) {
        if (failure_) return false;
        if (sink_.append(bytes)) return true;
        failure_ = sink_.describe_failure();
        return false;
    }

    Sink& sink_;
    std::optional<std::string> failure_;
};

}  // namespace quenra
