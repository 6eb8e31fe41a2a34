#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "fragment_text.hpp"
#include "parser/search.hpp"
#include "parser/syntax.hpp"

namespace quenra {
namespace {

using testing::quoted;
constexpr std::optional<std::size_t> NONE = std::nullopt;

TEST(Escapable, HoldsExactlyTheNineteenCharacters) {
    const std::string_view expected = "!#()*+-.=>[\\]_`{|}~";
    for (unsigned code = 0; code < 256; ++code) {
        const bool listed = code < 128 && expected.find(static_cast<char>(code)) != std::string_view::npos;
        EXPECT_EQ(is_escapable(static_cast<unsigned char>(code)), listed) << "code " << code;
    }
}

struct ClosingCase {
    std::string_view text;
    std::string_view delimiter;
    std::optional<std::size_t> expected;
};

void expect_closing(std::initializer_list<ClosingCase> cases) {
    for (const ClosingCase& c : cases) {
        EXPECT_EQ(find_closing(c.text, c.delimiter), c.expected)
            << quoted(c.text) << " searched for " << quoted(c.delimiter);
    }
}

TEST(FindClosing, FirstOccurrenceWinsWithoutNesting) {
    expect_closing({
        {"", "*", NONE},
        {"", "]", NONE},
        {"*", "*", 0},
        {"**", "*", 0},
        {"a|b||", "||", 3},
        {"a[b]c]", "]", 3},
        {"abc", "~", NONE},
        {"é*", "*", 2},
        {"日本~", "~", 6},
        {"a_b__", "__", 3},
    });
}

TEST(FindClosing, StepsOverEscapes) {
    expect_closing({
        {"a\\||b||", "||", 5},
        {"a\\]b](u)", "]", 4},
        {"a\\__", "__", NONE},
        {"\\\\*", "*", 2},
        {"\\a*", "*", 2},
        {"\\é*", "*", 3},
        {"a\\", "*", NONE},
        {"\\*", "*", NONE},
    });
}

TEST(FindClosing, StepsOverInlineCode) {
    expect_closing({
        {"a `*` b*", "*", 7},
        {"`]`](u)", "]", 3},
        {"`*", "*", 1},
        {"\\`*`*", "*", 2},
        {"``*", "*", 2},
        {"`a\\`*", "*", 4},
    });
}

TEST(FindClosing, StepsOverFencedBlocks) {
    expect_closing({
        {"```\nx*\n```\n*", "*", 11},
        {"```\nx*\n```*", "*", 10},
        {"```*", "*", 3},
        {"```\n*", "*", 4},
        {"a```js\n]\n```\n]", "]", 13},
    });
}

struct FenceCase {
    std::string_view text;
    std::optional<std::size_t> expected;
};

TEST(FindCodeBlockEnd, ClosingFenceBeginsALineAndEndsItOrTheText) {
    const FenceCase cases[] = {
        {"", NONE},
        {"abc", NONE},
        {"js```", NONE},
        {"js```\n", NONE},
        {"\n```", 4},
        {"\n```\n", 4},
        {"py\n```", 6},
        {"python\nprint(1)\n```", 19},
        {"abc\n```\n", 7},
        {"\n```x", NONE},
        {"\n````", NONE},
        {"\n``` \n```", 9},
        {"\n```\r\n```", 9},
        {"\na\n````\n```", 11},
        {"\n``\n```", 7},
        {"x\n\n```", 6},
    };
    for (const FenceCase& c : cases) {
        EXPECT_EQ(find_code_block_end(c.text), c.expected) << quoted(c.text);
    }
}

TEST(FindByte, ReportsTheFirstOccurrence) {
    EXPECT_EQ(find_byte("", ')'), NONE);
    EXPECT_EQ(find_byte("ab)c)", ')'), 2u);
    EXPECT_EQ(find_byte(std::string_view("a\0)", 3), ')'), 2u);
}

}  // namespace
}  // namespace quenra
