#include "text/unicode.hpp"

#include <utf8proc.h>

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
