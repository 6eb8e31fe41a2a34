#include "text/unicode.hpp"

#include <utf8proc.h>

#include <array>
#include <cstddef>

#include "text/utf8.hpp"

namespace quenra {

bool is_white_space_beyond_ascii(char32_t code_point) noexcept {
    if (code_point < 0x85) return false;
    if (code_point == 0x85) return true;
    const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(code_point));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP;
}

std::size_t blank_prefix_length(std::string_view text) noexcept {
    std::size_t length = 0;
    while (length < text.size()) {
        const CodePoint point = first_code_point(text.substr(length));
        if (point.value == '\n' || !is_white_space(point.value)) break;
        length += point.length;
    }
    return length;
}

bool is_blank(std::string_view text) noexcept {
    while (!text.empty()) {
        const CodePoint point = first_code_point(text);
        if (!is_white_space(point.value)) return false;
        text.remove_prefix(point.length);
    }
    return true;
}

namespace {

// For each lead byte of two or three bytes (0xC2 to 0xEF) and the byte
// after it, whether a white-space code point starts with the pair: made
// once, from utf8proc, so that a text is searched a byte at a time.
class WhiteSpacePairs {
public:
    WhiteSpacePairs() noexcept {
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (!is_white_space_beyond_ascii(c)) continue;
            const auto lead = c < 0x800 ? 0xC0 | c >> 6 : 0xE0 | c >> 12;
            const auto next = c < 0x800 ? 0x80 | (c & 0x3F) : 0x80 | (c >> 6 & 0x3F);
            marked_[index(static_cast<unsigned char>(lead), static_cast<unsigned char>(next))] = true;
        }
    }
    // `lead` is 0xC2 to 0xEF.
    bool may_start(unsigned char lead, unsigned char next) const noexcept {
        return (next & 0xC0) == 0x80 && marked_[index(lead, next)];
    }

private:
    static std::size_t index(unsigned char lead, unsigned char next) noexcept {
        return static_cast<std::size_t>(lead - 0xC0) << 6 | (next & 0x3F);
    }
    std::array<bool, 48 * 64> marked_{};
};

}  // namespace

bool holds_white_space(std::string_view text) noexcept {
    static const WhiteSpacePairs pairs;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // A byte below 0x80 is a character of its own; one of 0x80 to 0xBF
        // starts none; a lead byte of two or three whose pair starts no white
        // space is passed with the bytes that continue it. Any other is read
        // as the walk reads it.
        if (byte < 0x80) {
            if (is_white_space(byte)) return true;
            ++i;
        } else if (byte < 0xC0) {
            ++i;
        } else if (byte >= 0xC2 && byte <= 0xEF && i + 1 < text.size() &&
                   !pairs.may_start(byte, static_cast<unsigned char>(text[i + 1]))) {
            i += 2;
            if (byte >= 0xE0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        } else {
            const CodePoint point = first_code_point(text.substr(i));
            if (is_white_space(point.value)) return true;
            i += point.length;
        }
    }
    return false;
}

bool settles_cluster_state(char32_t code_point) noexcept {
    switch (utf8proc_get_property(static_cast<utf8proc_int32_t>(code_point))->boundclass) {
    case UTF8PROC_BOUNDCLASS_OTHER:
    case UTF8PROC_BOUNDCLASS_CR:
    case UTF8PROC_BOUNDCLASS_LF:
    case UTF8PROC_BOUNDCLASS_CONTROL:
    case UTF8PROC_BOUNDCLASS_L:
    case UTF8PROC_BOUNDCLASS_V:
    case UTF8PROC_BOUNDCLASS_T:
    case UTF8PROC_BOUNDCLASS_LV:
    case UTF8PROC_BOUNDCLASS_LVT:
    case UTF8PROC_BOUNDCLASS_SPACINGMARK:
    case UTF8PROC_BOUNDCLASS_PREPEND:
    case UTF8PROC_BOUNDCLASS_EXTENDED_PICTOGRAPHIC:
        return true;
    default:
        return false;
    }
}

bool joins_cluster(char32_t before, char32_t after) noexcept {
    return !utf8proc_grapheme_break(static_cast<utf8proc_int32_t>(before), static_cast<utf8proc_int32_t>(after));
}

bool GraphemeBreaks::boundary_beyond_ascii(char32_t code_point) noexcept {
    const auto next = static_cast<utf8proc_int32_t>(code_point);
    if (!started_) {
        started_ = true;
        previous_ = code_point;
        state_ = 0;
        return true;
    }
    utf8proc_int32_t state = state_;
    const bool boundary = utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(previous_), next, &state);
    state_ = state;
    previous_ = code_point;
    return boundary;
}

std::size_t grapheme_count(std::string_view text) noexcept {
    GraphemeBreaks breaks;
    std::size_t clusters = 0;
    while (!text.empty()) {
        const CodePoint point = first_code_point(text);
        clusters += static_cast<std::size_t>(breaks.boundary_before(point.value));
        text.remove_prefix(point.length);
    }
    return clusters;
}

std::size_t grapheme_prefix(std::string_view text, std::size_t clusters) noexcept {
    GraphemeBreaks breaks;
    std::size_t taken = 0;
    std::size_t offset = 0;
    while (offset < text.size()) {
        const CodePoint point = first_code_point(text.substr(offset));
        if (breaks.boundary_before(point.value) && taken++ == clusters) break;
        offset += point.length;
    }
    return offset;
}

}  // namespace quenra
