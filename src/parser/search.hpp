// Closing-delimiter and fence searches.
//
// `find_closing` and `find_code_block_end` are the straightforward searches:
// each call walks the text it is given from its start. They define what the
// scanner pairs. The scanner reaches them only through a search policy (see
// `ReferenceSearch`), so that a policy which remembers earlier answers can
// stand in for them without the scanner changing.
#pragma once

#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

#include "parser/syntax.hpp"

namespace quenra {

// Offset in `text` where the first counted occurrence of `delimiter` begins:
// backslash escapes, fenced code blocks and inline code spans are stepped
// over, and nesting is not tracked. Nothing when there is none.
std::optional<std::size_t> find_closing(std::string_view text, std::string_view delimiter) noexcept;

// `text` is everything after an opening fence of three backticks. Returns the
// offset just past the backticks of the closing fence: three backticks that
// begin a line after the fence's first line and end that line or the text.
std::optional<std::size_t> find_code_block_end(std::string_view text) noexcept;

// Offset of the first `byte` in `text`, or nothing.
inline std::optional<std::size_t> find_byte(std::string_view text, char byte) noexcept {
    if (text.empty()) return std::nullopt;
    const void* hit = std::memchr(text.data(), byte, text.size());
    if (hit == nullptr) return std::nullopt;
    return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// What a closing search makes of one position: the closing delimiter begins
// there, or the search passes to `next`, past an escape, an inline code span
// or a fenced block, or past one character (`one_character`).
struct ClosingStep {
    bool closes;
    bool one_character;
    std::size_t next;
};

// A closing delimiter as the searches compare it: one byte, or one byte twice.
struct ClosingDelimiter {
    char byte;
    bool twice;

    explicit constexpr ClosingDelimiter(std::string_view text) noexcept : byte(text[0]), twice(text.size() == 2) {}

    // True when the delimiter begins `text` at `i`.
    constexpr bool begins(std::string_view text, std::size_t i) const noexcept {
        return i < text.size() && text[i] == byte && (!twice || (i + 1 < text.size() && text[i + 1] == byte));
    }
};

// What closes a run: one step of a closing search for `delimiter` at `i` in
// `text`, with code found through the caller's searches: `fence_end(after)`
// gives the position just past the closing fence of a block whose opening
// fence ends at `after`, `next_backtick(from)` the first backtick at or after
// `from`; each gives nothing when there is none.
template <class FenceEnd, class NextBacktick>
[[gnu::always_inline]] inline ClosingStep closing_step(std::string_view text, std::size_t i,
                                                       ClosingDelimiter delimiter, FenceEnd&& fence_end,
                                                       NextBacktick&& next_backtick) {
    // Bytes are compared one by one: this runs once per character passed.
    const std::size_t left = text.size() - i;
    const char c = text[i];
    if (c == '\\' && left > 1 && is_escapable(static_cast<unsigned char>(text[i + 1]))) return {false, false, i + 2};
    if (c == '`') {
        if (left >= FENCE.size() && text[i + 1] == '`' && text[i + 2] == '`') {
            if (const auto end = fence_end(i + FENCE.size())) return {false, false, *end};
        }
        if (const auto partner = next_backtick(i + 1)) return {false, false, *partner + 1};
    }
    if (delimiter.begins(text, i)) return {true, false, i};
    const std::size_t length = utf8_length(static_cast<unsigned char>(c));
    return {false, true, i + (length < left ? length : left)};
}

// A search policy answers the scanner's three questions about the text that
// remains in one scanned view. Every `rest` it is given is a suffix of that
// view, and every answer is an offset into `rest`.
//
// This one asks the straightforward searches each time and remembers nothing.
class ReferenceSearch {
public:
    explicit ReferenceSearch(std::string_view /*view*/) noexcept {}

    std::optional<std::size_t> closing(std::string_view rest, std::string_view delimiter) const noexcept {
        return find_closing(rest, delimiter);
    }
    // True when `closing(rest, delimiter)` is known, without searching, to
    // find nothing; a policy that remembers nothing never knows.
    bool known_unclosed(std::string_view /*rest*/, std::string_view /*delimiter*/) const noexcept { return false; }
    // True when `rest` is known, without searching, to hold no `byte`.
    bool known_without(std::string_view /*rest*/, char /*byte*/) const noexcept { return false; }
    std::optional<std::size_t> code_block_end(std::string_view rest) const noexcept {
        return find_code_block_end(rest);
    }
    std::optional<std::size_t> next_byte(std::string_view rest, char byte) const noexcept {
        return find_byte(rest, byte);
    }
};

}  // namespace quenra
