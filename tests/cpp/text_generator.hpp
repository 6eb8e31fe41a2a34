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

    std::size_t pick(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }

private:
    std::mt19937 random_;
};

}  // namespace quenra::testing
