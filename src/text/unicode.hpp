// Unicode properties that delivery and reading need: White_Space, and
// grapheme clusters (UAX #29), both from utf8proc.
//
// Text is UTF-8, walked by first_code_point (utf8.hpp).
#pragma once

#include <cstddef>
#include <string_view>

namespace quenra {

// Unicode's White_Space property.
bool is_white_space(char32_t code_point) noexcept;

// The length of the white space at the start of `text`, line feeds left out:
// the run ends at the first other character or at a line feed.
std::size_t blank_prefix_length(std::string_view text) noexcept;

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

}  // namespace quenra
