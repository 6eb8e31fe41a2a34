// UTF-8 written as the code units of a str's kind: what is read, where it
// stops, and that malformed text never makes it write beyond its room.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "python/code_units.hpp"

namespace quenra {
namespace {

struct Written {
    std::u32string units;
    std::size_t bytes_read;
    std::uint32_t seen;
};

Written write(std::string_view utf8, std::size_t room, std::uint32_t limit = 0x10FFFF) {
    std::vector<std::uint32_t> out(room + 8, 0xDEAD);  // guard units after the room
    std::uint32_t seen = 0;
    const CodeUnitsWritten written = append_code_units(utf8, out.data(), room, limit, seen);
    for (std::size_t i = room; i < out.size(); ++i) EXPECT_EQ(out[i], 0xDEADu) << "wrote beyond the room";
    return {std::u32string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(written.units_written)),
            written.bytes_read, seen};
}

TEST(CodeUnits, ReadsEveryWidthAndCountsCodePoints) {
    const std::string text = "plain ASCII, é, ſ, 日本, 😀 and more ASCII after them";
    const Written written = write(text, text.size());
    EXPECT_EQ(written.units, U"plain ASCII, é, ſ, 日本, 😀 and more ASCII after them");
    EXPECT_EQ(written.bytes_read, text.size());
    EXPECT_EQ(narrowest_limit(written.seen), 0x10FFFFu);
}

TEST(CodeUnits, StopsAtTheLimitOrTheRoom) {
    const struct {
        std::string_view text;
        std::size_t room;
        std::uint32_t limit;
        std::u32string units;
        std::size_t bytes_read;
    } cases[] = {
        {"ab\xC3\xA9", 10, 0x7F, U"ab", 2},                       // é is not ASCII
        {"a\xC5\xBF", 10, 0xFF, U"a", 1},                         // ſ is beyond Latin-1
        {"\xF0\x9F\x98\x80", 10, 0xFFFF, U"", 0},                 // 😀 is beyond UCS-2
        {"abcdefghijklmnop", 3, 0x7F, U"abc", 3},                 // the room ends first
        {"abcdefghijklmnop", 9, 0x7F, U"abcdefghi", 9},
    };
    for (const auto& c : cases) {
        const Written written = write(c.text, c.room, c.limit);
        EXPECT_EQ(written.units, c.units) << c.text;
        EXPECT_EQ(written.bytes_read, c.bytes_read) << c.text;
    }
}

TEST(CodeUnits, MalformedTextStaysWithinItsRoom) {
    const struct {
        std::string_view text;
        std::u32string_view units;
    } cases[] = {
        {"\xE2\x82", U"\uFFFD\uFFFD"},            // cut short: each byte stands alone
        {"A\xF0\x9F", U"A\uFFFD\uFFFD"},
        {"\x80\x80" "A", U"\uFFFD\uFFFDA"},        // continuation bytes alone
        {"\xF8\x88\x80", U"\uFFFD\uFFFD\uFFFD"},  // no such lead byte
        {"\xF7\xBF\xBF\xBF", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},  // a surrogate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(write(c.text, c.text.size()).units, c.units);
        EXPECT_EQ(write(c.text, 1).units, c.units.substr(0, 1));  // the rest is left unread
    }
}

}  // namespace
}  // namespace quenra
