// Writing UTF-8 text as the code units of a `str`, one unit per code point:
// the way a Python str stores its characters (one byte each up to U+00FF,
// two up to U+FFFF, four beyond). Text is read in blocks: the ASCII that a
// block holds is written as it stands, a block at once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "flex/json_writer.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenra {

// Text is written into a `str` in blocks of this many bytes.
#if defined(__SSE2__)
inline constexpr std::size_t BLOCK = 16;
#else
inline constexpr std::size_t BLOCK = 8;
#endif

// The number of bytes at the start of the block at `bytes` that are ASCII
// and need no escape in a JSON string (see JSON_ESCAPES): those a writer of
// characters writes as they stand. BLOCK when all are.
inline std::size_t plain_in_block(const unsigned char* bytes) noexcept {
#if defined(__SSE2__)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    // Bytes of 0x80 and above are negative, so they are below 0x20 too.
    const __m128i special = _mm_or_si128(_mm_cmplt_epi8(block, _mm_set1_epi8(0x20)),
                                         _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                                      _mm_cmpeq_epi8(block, _mm_set1_epi8('\\'))));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    return mask == 0 ? BLOCK : static_cast<std::size_t>(std::countr_zero(mask));
#else
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    const std::uint64_t special = (word & 0x8080808080808080u) | json_escapes_in(word);
    if (special == 0) return BLOCK;
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<std::size_t>(std::countr_zero(special)) / 8;
    }
    std::size_t i = 0;
    while (bytes[i] < 0x80 && JSON_ESCAPES[bytes[i]] == 0) ++i;
    return i;
#endif
}

// What the bytes of a block are, a bit each (the lowest for the first byte):
// escaped in a JSON string, beyond ASCII, continuation bytes (which start no
// character), and leads of characters beyond U+00FF (0xC4 and up) and
// beyond U+FFFF (0xF0 and up).
struct BlockBytes {
    unsigned escaped;
    unsigned beyond_ascii;
    unsigned continuation;
    unsigned beyond_latin1;
    unsigned beyond_bmp;
};

inline BlockBytes classify_block(const unsigned char* bytes) noexcept {
#if defined(__SSE2__)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const auto mask = [](__m128i flags) { return static_cast<unsigned>(_mm_movemask_epi8(flags)); };
    // Compared as signed bytes: 0x80 to 0xFF are negative.
    const __m128i ascii = _mm_cmpgt_epi8(block, _mm_set1_epi8(-1));
    const __m128i escaped = _mm_and_si128(
        ascii, _mm_or_si128(_mm_cmplt_epi8(block, _mm_set1_epi8(0x20)),
                            _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                         _mm_cmpeq_epi8(block, _mm_set1_epi8('\\')))));
    const auto signed_byte = [](unsigned byte) { return static_cast<char>(static_cast<signed char>(byte)); };
    return BlockBytes{
        mask(escaped),
        mask(block),
        mask(_mm_cmplt_epi8(block, _mm_set1_epi8(signed_byte(0xC0)))),
        mask(_mm_andnot_si128(ascii, _mm_cmpgt_epi8(block, _mm_set1_epi8(signed_byte(0xC3))))),
        mask(_mm_andnot_si128(ascii, _mm_cmpgt_epi8(block, _mm_set1_epi8(signed_byte(0xEF))))),
    };
#else
    BlockBytes found{};
    for (unsigned k = 0; k < BLOCK; ++k) {
        const unsigned bit = 1u << k;
        const unsigned char byte = bytes[k];
        if (byte < 0x80) {
            if (JSON_ESCAPES[byte] != 0) found.escaped |= bit;
            continue;
        }
        found.beyond_ascii |= bit;
        if (byte < 0xC0) found.continuation |= bit;
        if (byte >= 0xC4) found.beyond_latin1 |= bit;
        if (byte >= 0xF0) found.beyond_bmp |= bit;
    }
    return found;
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

}  // namespace quenra
