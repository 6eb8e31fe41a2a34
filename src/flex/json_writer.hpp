// JsonWriter: compact JSON text appended to an output sink.
//
// The writer knows objects, arrays, strings and booleans. Its text has no
// whitespace between tokens, members come in the order the caller writes
// them, and strings are escaped by one fixed table (`JSON_ESCAPES`).
//
// A sink is any type with
//     bool append(std::string_view bytes);   // false when the bytes were not taken
//     std::string describe_failure() const;  // what went wrong, after a false
// Every writer operation returns false once the sink has failed; the first
// failure's description is kept and nothing more reaches the sink.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

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

// The in-memory sink: appends to a string that grows geometrically. It never
// fails (exhausted memory ends the process).
class StringSink {
public:
    explicit StringSink(std::string& out) noexcept : out_(out) {}

    bool append(std::string_view bytes) {
        out_.append(bytes);
        return true;
    }
    std::string describe_failure() const { return {}; }

private:
    std::string& out_;
};

// Whether the object or array being written has a member or element yet; it
// decides whether the next one needs a comma. One lives with each open object
// or array, in the code that writes it.
struct Container {
    bool empty = true;
};

template <class Sink>
class JsonWriter {
public:
    explicit JsonWriter(Sink& sink) noexcept : sink_(sink) {}

    bool begin_object(Container& object) {
        object.empty = true;
        return put("{");
    }
    // Writes the member's key and the colon; the value follows.
    bool key(Container& object, std::string_view name) { return separate(object) && string(name) && put(":"); }
    bool end_object() { return put("}"); }

    bool begin_array(Container& array) {
        array.empty = true;
        return put("[");
    }
    // Writes the comma that precedes every element but the first.
    bool element(Container& array) { return separate(array); }
    bool end_array() { return put("]"); }

    bool boolean(bool value) { return put(value ? "true" : "false"); }

    // The quoted, escaped text. Bytes that need no escape are appended in
    // runs, one block per run.
    bool string(std::string_view text) {
        if (!put("\"")) return false;
        std::size_t run = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            const char escape = JSON_ESCAPES[byte];
            if (escape == 0) continue;
            if (i > run && !put(text.substr(run, i - run))) return false;
            if (!put_escape(byte, escape)) return false;
            run = i + 1;
        }
        if (text.size() > run && !put(text.substr(run))) return false;
        return put("\"");
    }

    // The description of the sink's first failure, if it has failed.
    const std::optional<std::string>& failure() const noexcept { return failure_; }

private:
    bool separate(Container& container) {
        if (container.empty) {
            container.empty = false;
            return !failure_;
        }
        return put(",");
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
