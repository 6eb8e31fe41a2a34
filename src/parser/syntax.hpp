// The fixed vocabulary of MarkdownV2 as this reader understands it: which ASCII
// characters a backslash escapes, which delimiters open styled runs, and the
// byte-level UTF-8 helpers that every scanning step uses.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "text/utf8.hpp"

namespace quenra {

// One flag per ASCII code: set for the 19 characters that a backslash escapes.
inline constexpr std::array<bool, 128> ESCAPABLE = [] {
    std::array<bool, 128> table{};
    for (char c : std::string_view("!#()*+-.=>[\\]_`{|}~")) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}();

// The extra test that a style delimiter makes beyond finding its closing twin.
enum class DelimiterRule : unsigned char {
    Plain,                // no extra test
    NoRepeatAfterOpen,    // the byte after the opener must not repeat its first byte
    NoRepeatAroundClose,  // the bytes around the closer must not repeat its first byte
};

// What a styled run shows its inner text as.
enum class RunStyle : unsigned char { Bold, Italic, Underline, Strikethrough, Spoiler };

// Everything that a style delimiter means: its text, its pairing rule and its
// style. Every other table of delimiters is derived from STYLE_DELIMITERS.
struct StyleDelimiter {
    std::string_view text;
    DelimiterRule rule;
    RunStyle style;
};

// Tried in this order: "__" must come before "_" so that a double underscore is
// read as underline before it could be read as two italic markers.
inline constexpr std::array<StyleDelimiter, 5> STYLE_DELIMITERS{{
    {"||", DelimiterRule::Plain, RunStyle::Spoiler},
    {"__", DelimiterRule::NoRepeatAfterOpen, RunStyle::Underline},
    {"*", DelimiterRule::Plain, RunStyle::Bold},
    {"_", DelimiterRule::NoRepeatAroundClose, RunStyle::Italic},
    {"~", DelimiterRule::Plain, RunStyle::Strikethrough},
}};

// The closing searches (and the scanner) rely on every delimiter being one
// byte, or one byte twice, and on none being a byte that starts an escape or
// code.
static_assert([] {
    for (const StyleDelimiter& delimiter : STYLE_DELIMITERS) {
        const std::string_view text = delimiter.text;
        if (text.empty() || text.size() > 2 || (text.size() == 2 && text[0] != text[1])) return false;
        if (text[0] == '\\' || text[0] == '`') return false;  // searches step over these before comparing
    }
    return true;
}());

// The entry of STYLE_DELIMITERS whose text is `text`, or nothing.
constexpr const StyleDelimiter* style_delimiter(std::string_view text) noexcept {
    for (const StyleDelimiter& delimiter : STYLE_DELIMITERS) {
        if (delimiter.text == text) return &delimiter;
    }
    return nullptr;
}

// The entries of STYLE_DELIMITERS that start with one byte, in the table's
// order: the only ones the scanner need try at that byte.
struct DelimiterCandidates {
    std::size_t count = 0;
    std::array<std::size_t, STYLE_DELIMITERS.size()> entries{};
};
inline constexpr std::array<DelimiterCandidates, 256> STYLE_DELIMITERS_STARTING_WITH = [] {
    std::array<DelimiterCandidates, 256> table{};
    for (std::size_t i = 0; i < STYLE_DELIMITERS.size(); ++i) {
        DelimiterCandidates& candidates = table[static_cast<unsigned char>(STYLE_DELIMITERS[i].text[0])];
        candidates.entries[candidates.count++] = i;
    }
    return table;
}();

// The bytes that a style delimiter starts with.
inline constexpr std::array<bool, 256> STARTS_STYLE_DELIMITER = [] {
    std::array<bool, 256> table{};
    for (std::size_t byte = 0; byte < 256; ++byte) table[byte] = STYLE_DELIMITERS_STARTING_WITH[byte].count > 0;
    return table;
}();

// The bytes that a rule other than the plain-character rule may start with:
// the backslash, the backtick, "[" and the first bytes of the style delimiters.
// Every other byte starts a character that can only be read as plain text.
inline constexpr std::array<bool, 256> MAY_OPEN_MARKUP = [] {
    std::array<bool, 256> table = STARTS_STYLE_DELIMITER;
    for (char c : std::string_view("\\`[")) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

// A fenced code block opens with three backticks and closes with three
// backticks that begin a line: the closing pattern starts at that line feed.
inline constexpr std::string_view FENCE = "```";
inline constexpr std::string_view CLOSING_FENCE = "\n```";

// True when `byte` is an ASCII character that a preceding backslash escapes.
constexpr bool is_escapable(unsigned char byte) noexcept {
    return byte < ESCAPABLE.size() && ESCAPABLE[byte];
}

}  // namespace quenra
