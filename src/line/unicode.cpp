#include "line/unicode.hpp"

#include <utf8proc.h>

#include <cstdint>
#include <cstring>

namespace quenra::line {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

}  // namespace

CodePoint first_code_point(std::string_view text) noexcept {
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80) return {lead, 1};
    utf8proc_int32_t value = 0;
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                         static_cast<utf8proc_ssize_t>(text.size() < 4 ? text.size() : 4), &value);
    if (length <= 0) return {REPLACEMENT, 1};
    return {static_cast<char32_t>(value), static_cast<std::size_t>(length)};
}

std::size_t utf16_length(std::string_view text) noexcept {
    // Every byte but a continuation byte (10xxxxxx) starts a code unit; a
    // four-byte lead (11110xxx), for a code point beyond U+FFFF, starts a
    // second one. Eight bytes are counted at a time: shifting the word left
    // brings each byte's lower bits under its own high bit.
    constexpr std::uint64_t HIGHS = 0x8080808080808080u;
    constexpr std::uint64_t ONES = 0x0101010101010101u;
    // The number of high bits set, summed into the top byte by one multiply.
    const auto count = [](std::uint64_t highs) { return static_cast<std::size_t>(((highs >> 7) * ONES) >> 56); };
    const auto units_of = [&](std::uint64_t word, std::size_t bytes) {
        const std::uint64_t continuation = word & ~(word << 1) & HIGHS;
        const std::uint64_t four_byte_lead = word & (word << 1) & (word << 2) & (word << 3) & HIGHS;
        return bytes - count(continuation) + count(four_byte_lead);
    };
    std::size_t units = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        units += units_of(word, 8);
    }
    std::uint64_t rest = 0;
    std::memcpy(&rest, text.data() + i, text.size() - i);
    return units + units_of(rest, text.size() - i);
}

bool is_white_space(char32_t code_point) noexcept {
    if (code_point <= 0x20) return code_point == 0x20 || (code_point >= 0x09 && code_point <= 0x0D);
    if (code_point < 0x85) return false;
    if (code_point == 0x85) return true;
    const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(code_point));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP;
}

bool is_blank(std::string_view text) noexcept {
    while (!text.empty()) {
        const CodePoint point = first_code_point(text);
        if (!is_white_space(point.value)) return false;
        text.remove_prefix(point.length);
    }
    return true;
}

bool joins_white_space(char32_t before, char32_t after) noexcept {
    return !utf8proc_grapheme_break(static_cast<utf8proc_int32_t>(before), static_cast<utf8proc_int32_t>(after));
}

bool GraphemeBreaks::boundary_before(char32_t code_point) noexcept {
    const auto next = static_cast<utf8proc_int32_t>(code_point);
    if (started_ && code_point < 0x80 && previous_ < 0x80) {
        // Between two ASCII characters only CR LF holds together, and the
        // state after an ASCII character is the one a fresh start gives.
        const bool boundary = !(previous_ == '\r' && code_point == '\n');
        previous_ = code_point;
        state_ = 0;
        return boundary;
    }
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

}  // namespace quenra::line
