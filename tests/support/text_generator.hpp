// Seeded generators of MarkdownV2-like texts for property tests: dense in the
// characters that open, close and escape markup, with multi-byte characters
// mixed in.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace quenra::testing {

class TextGenerator {
public:
    explicit TextGenerator(std::uint32_t seed) : random_(seed) {}

    // A text of up to `max_pieces` pieces of markup and prose.
    std::string markup(std::size_t max_pieces = 40) {
        static constexpr std::array<std::string_view, 34> PIECES{
            "*",  "_",   "__", "~",   "||", "|",  "`",  "```", "```js\n", "\n```", "\n```\n",
            "\n", "\\",  "\\*", "\\_", "\\`", "[",  "]",  "](",  "(",      ")",     "[a](u)",
            "a",  "bc",  " ",  "\t",  ">",  "é",  "日本", "😀", "\u3000", "\u00a0", "\r\n", "x y"};
        std::string text;
        const std::size_t pieces = pick(max_pieces + 1);
        for (std::size_t i = 0; i < pieces; ++i) text += PIECES[pick(PIECES.size())];
        return text;
    }

    // A text like `markup`, with links that LINE accepts, refuses or that
    // need repairs, custom emoji, long words and blank lines mixed in.
    std::string delivery(std::size_t max_pieces = 60) {
        static constexpr std::array<std::string_view, 22> PIECES{
            "[a b](https://e.com/x)", "[](https://e.com)", "![😀](tg://emoji?id=1)", "[c](tg://resolve?domain=d)",
            "[é](http://e/é\\)",      "[ ](u)",             "!",                        "\n\n",
            "wordwordword",           " ",                  "👍🏽",                       "🇯🇵",
            "*b _i_ b*",              "`c`",                "\n```\ncode\n```\n",   "e\u0301",
            " \u0301",               "\u0600 ",            "\u3000\n",                "日本語の文章です。",
            "\r\n\r\n",           "\u2028"};
        std::string text;
        const std::size_t pieces = pick(max_pieces + 1);
        for (std::size_t i = 0; i < pieces; ++i) text += pick(3) == 0 ? PIECES[pick(PIECES.size())] : markup(3);
        return text;
    }

    std::size_t pick(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }

private:
    std::mt19937 random_;
};

}  // namespace quenra::testing
