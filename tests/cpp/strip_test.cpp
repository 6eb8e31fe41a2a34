#include <gtest/gtest.h>

#include <string_view>

#include "convert/code_text.hpp"
#include "convert/strip.hpp"
#include "fragment_text.hpp"

namespace quenra {
namespace {

using testing::quoted;

struct StripCase {
    std::string_view text;
    std::string_view plain;
};

void expect_stripped(std::initializer_list<StripCase> cases) {
    for (const StripCase& c : cases) {
        EXPECT_EQ(strip_markdown(c.text), c.plain) << "stripping " << quoted(c.text);
    }
}

TEST(StripMarkdown, TextWithoutMarkupComesBackWhole) {
    expect_stripped({
        {"", ""},
        {"plain text, 日本語 😀", "plain text, 日本語 😀"},
        {"a\nb\n\nc", "a\nb\n\nc"},
        {"> quote\n# title", "> quote\n# title"},
        {std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
    });
}

TEST(StripMarkdown, EscapesAndUnpairedMarkup) {
    expect_stripped({
        {"\\*", "*"},
        {"\\\\", "\\"},
        {"\\a", "\\a"},
        {"\\", "\\"},
        {"*a", "*a"},
        {"[a](", "[a]("},
        {"|a|", "|a|"},
    });
}

TEST(StripMarkdown, RunsAndLinksKeepOnlyTheirText) {
    expect_stripped({
        {"**", ""},
        {"*bold* _it_ __u__ ~s~ ||sp||", "bold it u s sp"},
        {"_[*b*](u)_", "b"},
        {"[Docs](https://example.com)", "Docs"},
        {"[](u)", ""},
        {"*a [b](c) d*", "a b d"},
        {"[a\\]b](u)", "a]b"},
    });
}

TEST(StripMarkdown, CodeKeepsItsTextVerbatim) {
    expect_stripped({
        {"`a\\*b`", "a\\*b"},
        {"x `*y*` z", "x *y* z"},
        {"```python\nprint(1)\n```", "print(1)"},
        {"```\nx\n\n\n```", "x"},
        {"```\n\n\n```", ""},
        {"```\r\nx\r\n```", "x\r"},
        {"```js\n*a*\n```\nafter", "*a*\nafter"},
        {"```js```", "js"},
    });
}

TEST(CodeBlockText, DropsTheFenceLineAndTrailingLineFeeds) {
    EXPECT_EQ(code_block_text("js\nx\n"), "x");
    EXPECT_EQ(code_block_text("\n"), "");
    EXPECT_EQ(code_block_text("\na\n\nb\n\n"), "a\n\nb");
    EXPECT_EQ(code_block_text("abc"), "abc");
    EXPECT_EQ(code_block_text("\nx \t\n"), "x \t");
}

}  // namespace
}  // namespace quenra
