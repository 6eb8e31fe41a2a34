// Unicode properties that delivery and reading need: White_Space, and
// grapheme clusters (UAX #29), both from utf8proc.
//
// Text is UTF-8, walked by first_code_point (utf8.hpp).
#pragma once

#include <cstddef>
#include <string_view>

namespace quenra {

bool is_white_space_beyond_ascii(char32_t code_point) noexcept;

// Unicode's White_Space property.
inline bool is_white_space(char32_t code_point) noexcept {
    if (code_point < 0x80) return code_point == 0x20 || (code_point >= 0x09 && code_point <= 0x0D);
    return is_white_space_beyond_ascii(code_point);
}

// The length of the white space at the start of `text`, line feeds left out:
// the run ends at the first other character or at a line feed.
std::size_t blank_prefix_length(std::string_view text) noexcept;

// True when `text` is empty or white space only.
bool is_blank(std::string_view text) noexcept;

// True when some character of `text` is white space.
bool holds_white_space(std::string_view text) noexcept;

// True when `after` continues the grapheme cluster of `before`, judged by
// the pair alone: right where either is white space (a combining mark on a
// space, LF after CR), since the rules that need more context than the pair
// never join a white-space character.
bool joins_cluster(char32_t before, char32_t after) noexcept;

// True when whether a grapheme cluster boundary follows `code_point` turns
// on the next code point alone, whatever came before: after any but an
// Extend, a ZWJ or a regional indicator, which carry the state of an emoji
// sequence or a flag's pair through them.
bool settles_cluster_state(char32_t code_point) noexcept;

// Walks grapheme cluster boundaries of one text or of several texts read as
// one (the state carries over from one `boundary_before` to the next).
class GraphemeBreaks {
public:
    // True when a cluster boundary falls before `code_point`, given every
    // code point passed before it. The first one always starts a cluster.
    bool boundary_before(char32_t code_point) noexcept {
        if (started_ && code_point < 0x80 && previous_ < 0x80) {
            // Between two ASCII characters only CR LF holds together, and the
            // state after an ASCII character is the one a fresh start gives.
            const bool boundary = !(previous_ == '\r' && code_point == '\n');
            previous_ = code_point;
            state_ = 0;
            return boundary;
        }
        return boundary_beyond_ascii(code_point);
    }
    // Forgets the text read so far: the next code point starts a cluster.
    void reset() noexcept { started_ = false; }

    // True when the last code point passed was ASCII, which is then
    // `previous()`: an ASCII one after it needs no more look.
    bool after_ascii() const noexcept { return started_ && previous_ < 0x80; }
    char32_t previous() const noexcept { return previous_; }
    // Passes ASCII code points, the last being `last`, after ASCII.
    void pass_ascii(char last) noexcept {
        previous_ = static_cast<unsigned char>(last);
        state_ = 0;
    }

private:
    bool boundary_beyond_ascii(char32_t code_point) noexcept;

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
