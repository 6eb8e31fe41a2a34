// UTF-8, the text of every layer: character lengths, decoding and UTF-16
// lengths. Malformed bytes never stop a walk: a byte that cannot start a
// sequence, or one that starts a sequence the text cuts short, counts as a
// character of its own.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quenra {

// Length of the UTF-8 sequence that `lead` starts, going by the lead byte
// alone. Bytes that cannot start a sequence count as one byte.
constexpr std::size_t utf8_length(unsigned char lead) noexcept {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF8) return 4;
    return 1;
}

// Byte length of the character at the start of the non-empty `text`, never
// more than the bytes that remain.
constexpr std::size_t first_char_length(std::string_view text) noexcept {
    const std::size_t length = utf8_length(static_cast<unsigned char>(text.front()));
    return length < text.size() ? length : text.size();
}

// One code point of a text and the bytes it takes.
struct CodePoint {
    char32_t value;
    std::size_t length;
};

// The code point at the start of the non-empty `text`. A byte that does not
// start a well-formed sequence (a stray continuation, an overlong form, a
// surrogate, a sequence cut short) is read as U+FFFD, one byte long.
constexpr CodePoint first_code_point(std::string_view text) noexcept {
    const auto byte = [&](std::size_t i) -> char32_t { return static_cast<unsigned char>(text[i]); };
    const char32_t lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    constexpr CodePoint INVALID{0xFFFD, 1};
    const std::size_t length = utf8_length(static_cast<unsigned char>(lead));
    if (length == 1 || length > text.size()) return INVALID;
    char32_t value = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return INVALID;
        value = value << 6 | (byte(i) & 0x3F);
    }
    constexpr char32_t LEAST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < LEAST[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return INVALID;
    return {value, length};
}

// The code point at `bytes`, which start a well-formed sequence (as every
// character of a Python str's UTF-8 form does): read without checking it.
constexpr CodePoint decode_well_formed(const unsigned char* bytes) noexcept {
    const char32_t lead = bytes[0];
    if (lead < 0x80) return {lead, 1};
    if (lead < 0xE0) return {(lead & 0x1F) << 6 | (bytes[1] & 0x3Fu), 2};
    if (lead < 0xF0) return {(lead & 0x0F) << 12 | (bytes[1] & 0x3Fu) << 6 | (bytes[2] & 0x3Fu), 3};
    return {(lead & 0x07) << 18 | (bytes[1] & 0x3Fu) << 12 | (bytes[2] & 0x3Fu) << 6 | (bytes[3] & 0x3Fu), 4};
}

// The number of ASCII bytes that `text` starts with. Eight are tested at a
// time; on a little-endian machine the first byte beyond ASCII is found
// from the word's high bits.
inline std::size_t ascii_prefix_length(std::string_view text) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const std::uint64_t high = word & 0x8080808080808080u;
        if (high == 0) continue;
        if constexpr (std::endian::native == std::endian::little) {
            return i + static_cast<std::size_t>(std::countr_zero(high)) / 8;
        }
        break;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

// True when every byte of `text` is ASCII.
inline bool is_ascii(std::string_view text) noexcept { return ascii_prefix_length(text) == text.size(); }

// Length in UTF-16 code units, as the Messaging API and Telegram count.
inline std::size_t utf16_length(std::string_view text) noexcept {
    // Every byte but a continuation byte (10xxxxxx) starts a code unit; a
    // four-byte lead (11110xxx), for a code point beyond U+FFFF, starts a
    // second one. (So malformed bytes count one unit each, but for a
    // four-byte lead that the text cuts short, which counts two, and stray
    // continuation bytes, which count none: a count that may exceed the
    // bytes.) Eight bytes are counted at a time: shifting the word left
    // brings each byte's lower bits under its own high bit.
    constexpr std::uint64_t HIGHS = 0x8080808080808080u;
    constexpr std::uint64_t ONES = 0x0101010101010101u;
    // The number of high bits set, summed into the top byte by one multiply.
    const auto count = [](std::uint64_t highs) { return static_cast<std::size_t>(((highs >> 7) * ONES) >> 56); };
    const auto units_of = [&](std::uint64_t word, std::size_t bytes) {
        const std::uint64_t continuation = word & ~(word << 1) & HIGHS;
        const std::uint64_t four_byte_lead = word & (word << 1) & (word << 2) & (word << 3) & ~(word << 4) & HIGHS;
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

}  // namespace quenra
