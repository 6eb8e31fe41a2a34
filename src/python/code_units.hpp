// UTF-8 text written as code units of one fixed width, one unit per code
// point: the way a Python str stores its characters (one byte each up to
// U+00FF, two up to U+FFFF, four beyond). A writer that knows the width of
// its result can put the JSON text there directly instead of decoding it
// from UTF-8 afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

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

// Writes eight bytes as eight code units: with SSE2 (every x86-64) by
// interleaving them with zeros, elsewhere one by one.
template <class Unit>
inline void widen_eight(const unsigned char* bytes, Unit* out) noexcept {
#if defined(__SSE2__)
    if constexpr (sizeof(Unit) > 1) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i halves = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)), zero);
        if constexpr (sizeof(Unit) == 2) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), halves);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(halves, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(halves, zero));
        }
        return;
    }
#endif
    for (std::size_t k = 0; k < 8; ++k) out[k] = static_cast<Unit>(bytes[k]);
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
        // ASCII in blocks of eight, the common case by far.
        for (std::uint64_t word; i + 8 <= size && end - out >= 8; i += 8, out += 8) {
            std::memcpy(&word, bytes + i, 8);
            if (word & 0x8080808080808080) break;
            widen_eight(bytes + i, out);
        }
        if (i == size || out == end) break;
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            *out++ = static_cast<Unit>(lead);
            ++i;
            continue;
        }
        const CodePoint point = first_code_point(utf8.substr(i));
        if (point.value > limit) break;
        seen |= point.value;
        *out++ = static_cast<Unit>(point.value);
        i += point.length;
    }
    return {i, static_cast<std::size_t>(out - start)};
}

}  // namespace quenra
