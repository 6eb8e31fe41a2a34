#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "fragment_text.hpp"
#include "parser/scanner.hpp"

namespace quenra {
namespace {

using testing::quoted;
using testing::scan_all;

struct ScanCase {
    std::string_view text;
    std::vector<std::string> fragments;
};

void expect_scans(std::initializer_list<ScanCase> cases) {
    for (const ScanCase& c : cases) {
        EXPECT_EQ(scan_all(c.text), c.fragments) << "scanning " << quoted(c.text);
    }
}

std::vector<std::string> chars(std::string_view text) {
    std::vector<std::string> out;
    for (char c : text) out.push_back("Char(" + quoted(std::string_view(&c, 1)) + ")");
    return out;
}

TEST(Scanner, StyledRuns) {
    expect_scans({
        {"*a*", {R"~(Styled("*", "a"))~"}},
        {"**", {R"~(Styled("*", ""))~"}},
        {"**a**", {R"~(Styled("*", ""))~", R"~(Char("a"))~", R"~(Styled("*", ""))~"}},
        {"*a**", {R"~(Styled("*", "a"))~", R"~(Char("*"))~"}},
        {"~\\~~", {R"~(Styled("~", "\~"))~"}},
        {"||a|b||", {R"~(Styled("||", "a|b"))~"}},
        {"||||", {R"~(Styled("||", ""))~"}},
        {"|a|", {R"~(Char("|"))~", R"~(Char("a"))~", R"~(Char("|"))~"}},
        {"héllo*é*",
         {R"~(Char("h"))~", R"~(Char("é"))~", R"~(Char("l"))~", R"~(Char("l"))~", R"~(Char("o"))~",
          R"~(Styled("*", "é"))~"}},
        {"*a\n\nb*", {R"~(Styled("*", "a\n\nb"))~"}},
        {"*[a*](u)*",
         {R"~(Styled("*", "[a"))~", R"~(Char("]"))~", R"~(Char("("))~", R"~(Char("u"))~", R"~(Char(")"))~",
          R"~(Char("*"))~"}},
    });
}

TEST(Scanner, DoubleUnderscoreMustNotRepeatAfterItsOpener) {
    expect_scans({
        {"__a__", {R"~(Styled("__", "a"))~"}},
        {"__a___b", {R"~(Styled("__", "a"))~", R"~(Char("_"))~", R"~(Char("b"))~"}},
        {"___a___", {R"~(Char("_"))~", R"~(Styled("__", "a"))~", R"~(Char("_"))~"}},
        {"__", {R"~(Styled("_", ""))~"}},
        {"__a", {R"~(Styled("_", ""))~", R"~(Char("a"))~"}},
        {"__a_b__", {R"~(Styled("__", "a_b"))~"}},
    });
}

TEST(Scanner, SingleUnderscoreMustNotTouchAnotherAtItsCloser) {
    expect_scans({
        {"____", {R"~(Char("_"))~", R"~(Char("_"))~", R"~(Styled("_", ""))~"}},
        {"_", {R"~(Char("_"))~"}},
        {"_a_", {R"~(Styled("_", "a"))~"}},
        {"_a__b_", {R"~(Char("_"))~", R"~(Char("a"))~", R"~(Styled("_", ""))~", R"~(Char("b"))~", R"~(Char("_"))~"}},
        {"_a\\__", {R"~(Char("_"))~", R"~(Char("a"))~", R"~(Escaped("_"))~", R"~(Char("_"))~"}},
        {"_\\_a_", {R"~(Styled("_", "\_a"))~"}},
    });
}

TEST(Scanner, EscapesAndPlainCharacters) {
    expect_scans({
        {"\\", {R"~(Char("\"))~"}},
        {"\\a", {R"~(Char("\"))~", R"~(Char("a"))~"}},
        {"\\\\", {R"~(Escaped("\"))~"}},
        {"\\é", {R"~(Char("\"))~", R"~(Char("é"))~"}},
        {"\\>", {R"~(Escaped(">"))~"}},
        {"> quote", chars("> quote")},
        {"😀\n", {R"~(Char("😀"))~", R"~(Char("\n"))~"}},
        {"a]b)c(", chars("a]b)c(")},
    });
}

TEST(Scanner, FencesAndInlineCode) {
    expect_scans({
        {"```\n```", {R"~(CodeBlock("\n"))~"}},
        {"```python\nprint(1)\n```\nx", {R"~(CodeBlock("python\nprint(1)\n"))~", R"~(Char("\n"))~", R"~(Char("x"))~"}},
        {"```code```", {R"~(InlineCode(""))~", R"~(InlineCode("code"))~", R"~(InlineCode(""))~"}},
        {"```\ncode\n```py",
         {R"~(InlineCode(""))~", R"~(InlineCode("\ncode\n"))~", R"~(InlineCode(""))~", R"~(Char("p"))~",
          R"~(Char("y"))~"}},
        {"```", {R"~(InlineCode(""))~", R"~(Char("`"))~"}},
        {"`", {R"~(Char("`"))~"}},
        {"`a\\`b`", {R"~(InlineCode("a\"))~", R"~(Char("b"))~", R"~(Char("`"))~"}},
        {"*a `*` b*", {R"~(Styled("*", "a `*` b"))~"}},
        {"*```\nx*\n```*", {R"~(Styled("*", "```\nx*\n```"))~"}},
        {"*a\n```\n*\n```\n*", {R"~(Styled("*", "a\n```\n*\n```\n"))~"}},
        {"ab```\nc\n```", {R"~(Char("a"))~", R"~(Char("b"))~", R"~(CodeBlock("\nc\n"))~"}},
        {"````\ncode\n```", {R"~(CodeBlock("`\ncode\n"))~"}},
        {"```js\nx\n```\n```", {R"~(CodeBlock("js\nx\n"))~", R"~(Char("\n"))~", R"~(InlineCode(""))~", R"~(Char("`"))~"}},
        {"\\`x`", {R"~(Escaped("`"))~", R"~(Char("x"))~", R"~(Char("`"))~"}},
        {"```\r\nx\r\n```", {R"~(CodeBlock("\r\nx\r\n"))~"}},
    });
}

TEST(Scanner, Links) {
    expect_scans({
        {"[a](b)", {R"~(Link("a", "b"))~"}},
        {"[](u)", {R"~(Link("", "u"))~"}},
        {"[a]()", {R"~(Link("a", ""))~"}},
        {"[a](b\\)c)", {R"~(Link("a", "b\"))~", R"~(Char("c"))~", R"~(Char(")"))~"}},
        {"[a\\]b](u)", {R"~(Link("a\]b", "u"))~"}},
        {"[`]`](u)", {R"~(Link("`]`", "u"))~"}},
        {"[a*b](c*d)", {R"~(Link("a*b", "c*d"))~"}},
        {"[a]", chars("[a]")},
        {"[a](", chars("[a](")},
        {"[a] (u)", chars("[a] (u)")},
        {"[a [b] c](u)", chars("[a [b] c](u)")},
        {"[a`](`u)", {R"~(Char("["))~", R"~(Char("a"))~", R"~(InlineCode("]("))~", R"~(Char("u"))~", R"~(Char(")"))~"}},
        {"[a](b(c))", {R"~(Link("a", "b(c"))~", R"~(Char(")"))~"}},
    });
}

TEST(Scanner, CharacterDecodesItsScalarValue) {
    const std::pair<std::string_view, char32_t> cases[] = {
        {"a", U'a'}, {"é", U'é'}, {"日", U'日'}, {"😀", U'😀'}, {"\n", U'\n'}};
    for (const auto& [text, scalar] : cases) {
        std::string_view cursor = text;
        const Fragment fragment = next_fragment(cursor);
        ASSERT_TRUE(std::holds_alternative<Char>(fragment)) << quoted(text);
        EXPECT_EQ(testing::character_of(std::get<Char>(fragment)), scalar) << quoted(text);
        EXPECT_TRUE(cursor.empty());
    }
}

TEST(Scanner, EmptyCursorIsAnInternalFailure) {
    std::string_view cursor;
    EXPECT_THROW(next_fragment(cursor), InternalFailure);
}

TEST(Scanner, APlainRunStopsAtTheEndOfATextThatCutsASequenceShort) {
    for (std::string_view text : {std::string_view("a\xF7"), std::string_view("\xE6\x97"), std::string_view("\xF0")}) {
        Scanner scanner(text);
        EXPECT_EQ(scanner.take_plain_run(), text);
        EXPECT_TRUE(scanner.done());
    }
}

TEST(Scanner, MalformedUtf8StillAdvances) {
    // A lone continuation byte, a truncated sequence and an invalid lead byte.
    const std::string_view text("\x80\xE6\x97\xFF", 4);
    std::string_view cursor = text;
    while (!cursor.empty()) {
        const std::size_t before = cursor.size();
        next_fragment(cursor);
        ASSERT_LT(cursor.size(), before);
    }
}

}  // namespace
}  // namespace quenra
