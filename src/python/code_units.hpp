// UTF-8 text written as code units of one fixed width, one unit per code
// point: the way a Python str stores its characters (one byte each up to
// U+00FF, two up to U+FFFF, four beyond). A writer that knows the width of
// its result can put the JSON text there directly instead of decoding it
// from UTF-8 afterwards.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "flex/json_writer.hpp"
#include "text/utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenra {

// What `append_code_units` did: the bytes of the text it read and the units
// it wrote. It stops early, at a character above its limit, which is then
// the next to read.
struct CodeUnitsWritten {
    std::size_t bytes_read;
    std::size_t units_written;
};

// The narrowest limit among U+007F, U+00FF, U+FFFF and U+10FFFF that holds
// every code point whose bits were ORed into `seen`.
constexpr std::uint32_t narrowest_limit(std::uint32_t seen) noexcept {
    if (seen < 0x80) return 0x7F;
    if (seen < 0x100) return 0xFF;
    if (seen < 0x10000) return 0xFFFF;
    return 0x10FFFF;
}

// The number of ASCII bytes that `bytes` starts with, of its first `size`:
// sixteen bytes are tested at a time with SSE2 (every x86-64), else eight.
inline std::size_t ascii_prefix(const unsigned char* bytes, std::size_t size) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= size; i += 16) {
        const int high_bits = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
        if (high_bits != 0) return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(high_bits)));
    }
#endif
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (const std::uint64_t high_bits = word & 0x8080808080808080u; high_bits != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                return i + static_cast<std::size_t>(std::countr_zero(high_bits)) / 8;
            }
            break;
        }
    }
    while (i < size && bytes[i] < 0x80) ++i;
    return i;
}

// Text is written into a `str` in blocks of this many bytes.
#if defined(__SSE2__)
inline constexpr std::size_t BLOCK = 16;
#else
inline constexpr std::size_t BLOCK = 8;
#endif

// The number of bytes at the start of the block at `bytes` that are ASCII
// and, when `ESCAPE`, need no escape in a JSON string (see JSON_ESCAPES):
// those a writer of characters writes as they stand. BLOCK when all are.
template <bool ESCAPE>
inline std::size_t special_in_block(const unsigned char* bytes) noexcept {
#if defined(__SSE2__)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    // Bytes of 0x80 and above are negative, so they are below 0x20 too.
    __m128i special = block;
    if constexpr (ESCAPE) {
        special = _mm_or_si128(_mm_cmplt_epi8(block, _mm_set1_epi8(0x20)),
                               _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                            _mm_cmpeq_epi8(block, _mm_set1_epi8('\\'))));
    }
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    return mask == 0 ? BLOCK : static_cast<std::size_t>(std::countr_zero(mask));
#else
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    std::uint64_t special = word & 0x8080808080808080u;
    if constexpr (ESCAPE) special |= json_escapes_in(word);
    if (special == 0) return BLOCK;
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(special)) / 8;
    }
    std::size_t i = 0;
    while (bytes[i] < 0x80 && (!ESCAPE || JSON_ESCAPES[bytes[i]] == 0)) ++i;
    return i;
#endif
}

// Writes the block at `bytes` as BLOCK code units, whatever they are.
template <class Unit>
inline void widen_block(const unsigned char* bytes, Unit* out) noexcept {
    if constexpr (sizeof(Unit) == 1) {
        std::memcpy(out, bytes, BLOCK);
        return;
    }
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i low = _mm_unpacklo_epi8(block, zero);
    const __m128i high = _mm_unpackhi_epi8(block, zero);
    auto* const to = reinterpret_cast<__m128i*>(out);
    if constexpr (sizeof(Unit) == 2) {
        _mm_storeu_si128(to, low);
        _mm_storeu_si128(to + 1, high);
    } else {
        _mm_storeu_si128(to, _mm_unpacklo_epi16(low, zero));
        _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(low, zero));
        _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(high, zero));
        _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(high, zero));
    }
#else
    for (std::size_t k = 0; k < BLOCK; ++k) out[k] = static_cast<Unit>(bytes[k]);
#endif
}

// Writes `size` ASCII bytes as as many code units: a copy for one-byte
// units; else, with SSE2, sixteen at a time interleaved with zeros.
template <class Unit>
inline void widen_ascii(const unsigned char* bytes, Unit* out, std::size_t size) noexcept {
    if constexpr (sizeof(Unit) == 1) {
        std::memcpy(out, bytes, size);
        return;
    }
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i low = _mm_unpacklo_epi8(sixteen, zero);
        const __m128i high = _mm_unpackhi_epi8(sixteen, zero);
        auto* const to = reinterpret_cast<__m128i*>(out + i);
        if constexpr (sizeof(Unit) == 2) {
            _mm_storeu_si128(to, low);
            _mm_storeu_si128(to + 1, high);
        } else {
            _mm_storeu_si128(to, _mm_unpacklo_epi16(low, zero));
            _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(low, zero));
            _mm_storeu_si128(to + 2, _mm_unpacklo_epi16(high, zero));
            _mm_storeu_si128(to + 3, _mm_unpackhi_epi16(high, zero));
        }
    }
#endif
    for (; i < size; ++i) out[i] = static_cast<Unit>(bytes[i]);
}

// Writes the code points of `utf8` to `out`, which has room for `room`
// units, and ORs each one above U+007F into `seen`. Stops when the room is
// used up, or before the first code point above `limit` (at most what a
// Unit holds). The text is meant to be valid UTF-8; a malformed byte is read
// as U+FFFD (see first_code_point), and nothing is ever read beyond the text
// or written beyond the room.
template <class Unit>
CodeUnitsWritten append_code_units(std::string_view utf8, Unit* out, std::size_t room, std::uint32_t limit,
                                   std::uint32_t& seen) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    std::size_t i = 0;
    Unit* const start = out;
    Unit* const end = out + room;
    while (i < size && out < end) {
        // ASCII in runs, the common case by far.
        const std::size_t run = ascii_prefix(bytes + i, std::min(size - i, static_cast<std::size_t>(end - out)));
        widen_ascii(bytes + i, out, run);
        i += run;
        out += run;
        if (i == size || out == end) break;
        const CodePoint point = first_code_point(utf8.substr(i));
        if (point.value > limit) break;
        seen |= point.value;
        *out++ = static_cast<Unit>(point.value);
        i += point.length;
    }
    return {i, static_cast<std::size_t>(out - start)};
}

}  // namespace quenra
