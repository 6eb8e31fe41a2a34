// How deep styled runs and links can nest. Each level is a text that the
// consumers scan again, so the depth bounds both the recursion and how often
// a byte is re-read.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "fragment_text.hpp"
#include "parser/walk.hpp"
#include "parser/scanner.hpp"
#include "text_generator.hpp"

namespace quenra {
namespace {

// The number of texts on the longest chain of nested scans: 1 for a text
// without runs or links.
int nesting_depth(std::string_view text) {
    struct Deepest {
        int depth = 0;
        void fragment(const Fragment& fragment, std::string_view, Scanner&) {
            std::string_view inner;
            if (const auto* styled = std::get_if<Styled>(&fragment)) inner = styled->inner;
            if (const auto* link = std::get_if<Link>(&fragment)) inner = link->text;
            if (!inner.empty()) depth = std::max(depth, nesting_depth(inner));
        }
    } deepest;
    walk_text(text, deepest);
    return deepest.depth + 1;
}

// Links never nest: a link's text ends at the first "]" that its own search
// meets, so no link inside it can close. A run cannot directly enclose a run
// of its own delimiter either, since the first closing counts. It can only
// when the enclosing run's search stepped over the inner run's delimiters
// inside an escape, a code span or a fence that the inner scan reads
// differently, which takes a link whose url ends inside such a span. Searches
// over many texts found no chain with a delimiter more than three times: at
// most 5 delimiters x 3 + 1 link + the text itself.
constexpr int DEEPEST_NESTING = 17;

// The deepest chain found: every delimiter three times and one link.
constexpr std::string_view DEEPEST_TEXT =
    "```\n```\n__\\__``~*||[```\n```\n](```)~__||``*_[](`|``)||~[*__``\\__a_[__*]()~||```_*||``__~\n```\n||``````*~_`__";

TEST(Nesting, TheDeepestKnownTextReachesTheBound) { EXPECT_EQ(nesting_depth(DEEPEST_TEXT), DEEPEST_NESTING); }

TEST(Nesting, GeneratedTextsStayWithinTheBound) {
    testing::TextGenerator generate(17);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = generate.markup(80);
        ASSERT_LE(nesting_depth(text), DEEPEST_NESTING) << testing::quoted(text);
    }
}

// A hill climb towards deep nesting, from random texts made of the pieces
// that nest: it keeps every change that does not lose depth.
TEST(Nesting, ASearchForDeepNestingStaysWithinTheBound) {
    static constexpr std::string_view PIECES[] = {"*", "_", "__", "~", "||", "`", "``", "```", "\n", "\\",
                                                  "[", "]", "](", ")", "(", "a", "```\n", "\n```", "\n```\n"};
    std::mt19937 random(4);
    const auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    const auto join = [](const std::vector<std::size_t>& pieces) {
        std::string text;
        for (std::size_t piece : pieces) text += PIECES[piece];
        return text;
    };
    int deepest = 0;
    for (int restart = 0; restart < 10; ++restart) {
        std::vector<std::size_t> pieces(40);
        for (std::size_t& piece : pieces) piece = pick(std::size(PIECES));
        int depth = nesting_depth(join(pieces));
        for (int step = 0; step < 3000; ++step) {
            std::vector<std::size_t> changed = pieces;
            const std::size_t at = pick(changed.size() + 1);
            switch (pick(3)) {
            case 0:
                if (at < changed.size()) changed[at] = pick(std::size(PIECES));
                break;
            case 1:
                if (changed.size() < 80) changed.insert(changed.begin() + static_cast<long>(at), pick(std::size(PIECES)));
                break;
            default:
                if (at < changed.size()) changed.erase(changed.begin() + static_cast<long>(at));
            }
            const int changed_depth = nesting_depth(join(changed));
            ASSERT_LE(changed_depth, DEEPEST_NESTING) << testing::quoted(join(changed));
            if (changed_depth >= depth) {
                pieces = std::move(changed);
                depth = changed_depth;
            }
        }
        deepest = std::max(deepest, depth);
    }
    EXPECT_GE(deepest, 8) << "the search should get well beyond shallow nesting";
}

}  // namespace
}  // namespace quenra
