// How LINE measures text, and where text may be cut: UTF-16 lengths, grapheme
// clusters (UAX #29, through utf8proc) and Unicode's White_Space property.
//
// Text is UTF-8. Malformed bytes never stop a walk: each one counts as one
// code point, U+FFFD, one byte long.
#pragma once

#include <cstddef>
#include <string_view>

namespace quenra::line {

// One code point of a text and the bytes it takes.
struct CodePoint {
    char32_t value;
    std::size_t length;
};

// The code point at the start of the non-empty `text`.
CodePoint first_code_point(std::string_view text) noexcept;

// Length in UTF-16 code units, as the Messaging API counts.
std::size_t utf16_length(std::string_view text) noexcept;

// Unicode's White_Space property.
bool is_white_space(char32_t code_point) noexcept;

// True when `text` is empty or white space only.
bool is_blank(std::string_view text) noexcept;

// True when `after` belongs to the grapheme cluster of a white-space
// character `before` (a combining mark on a space, LF after CR). The rules
// that need more context than the pair never join a white-space character.
bool joins_white_space(char32_t before, char32_t after) noexcept;

// Walks grapheme cluster boundaries of one text or of several texts read as
// one (the state carries over from one `boundary_before` to the next).
class GraphemeBreaks {
public:
    // True when a cluster boundary falls before `code_point`, given every
    // code point passed before it. The first one always starts a cluster.
    bool boundary_before(char32_t code_point) noexcept;
    // Forgets the text read so far: the next code point starts a cluster.
    void reset() noexcept { started_ = false; }

private:
    bool started_ = false;
    char32_t previous_ = 0;
    int state_ = 0;
};

// The number of grapheme clusters of `text`.
std::size_t grapheme_count(std::string_view text) noexcept;

// The byte length of the first `clusters` grapheme clusters of `text` (all
// of it when it has fewer).
std::size_t grapheme_prefix(std::string_view text, std::size_t clusters) noexcept;

}  // namespace quenra::line
