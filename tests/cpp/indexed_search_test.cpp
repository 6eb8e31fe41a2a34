// The indexed searches answer exactly as the straightforward ones.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "convert/strip.hpp"
#include "fragment_text.hpp"
#include "hostile_texts.hpp"
#include "parser/indexed_search.hpp"
#include "parser/position_set.hpp"
#include "text_generator.hpp"

namespace quenra {
namespace {

using testing::quoted;
using testing::scan_nested;

// The indexed search with a fixed budget: 0 uses the indexes from the start,
// the largest never does.
template <std::size_t Budget>
struct SearchWithBudget : IndexedSearch {
    explicit SearchWithBudget(std::string_view view) : IndexedSearch(view, Budget) {}
};
using AlwaysIndexed = SearchWithBudget<0>;
using NeverIndexed = SearchWithBudget<SIZE_MAX>;

void expect_same_scans(std::string_view text) {
    std::vector<std::string> reference, indexed, adaptive, plain;
    scan_nested<ReferenceSearch>(text, reference);
    scan_nested<AlwaysIndexed>(text, indexed);
    scan_nested<IndexedSearch>(text, adaptive);
    scan_nested<NeverIndexed>(text, plain);
    ASSERT_EQ(indexed, reference) << quoted(text);
    ASSERT_EQ(adaptive, reference) << quoted(text);
    ASSERT_EQ(plain, reference) << quoted(text);
    ASSERT_EQ(strip_markdown<IndexedSearch>(text), strip_markdown<ReferenceSearch>(text)) << quoted(text);
}

TEST(IndexedSearch, ScansLikeTheReferenceOnGeneratedTexts) {
    testing::TextGenerator generate(314);
    for (int i = 0; i < 20000; ++i) {
        expect_same_scans(generate.markup(60));
        if (HasFatalFailure()) return;
    }
}

TEST(IndexedSearch, ScansLikeTheReferenceOnHostileFamilies) {
    for (const auto& family : testing::hostile_families()) {
        for (std::size_t size : {1u, 7u, 64u, 300u, 2000u}) {
            SCOPED_TRACE(family.name);
            expect_same_scans(testing::hostile_text(family, size));
            if (HasFatalFailure()) return;
        }
    }
}

// Queries in every order and from every position, against the reference.
TEST(IndexedSearch, AnswersEveryQueryFromEveryPosition) {
    testing::TextGenerator generate(2718);
    constexpr std::string_view DELIMITERS[] = {"]", "||", "__", "*", "_", "~"};
    for (int i = 0; i < 3000; ++i) {
        const std::string text = generate.markup(30);
        IndexedSearch indexed(text, 0);
        for (std::size_t from = text.size() + 1; from-- > 0;) {
            const std::string_view rest = std::string_view(text).substr(from);
            ASSERT_EQ(indexed.code_block_end(rest), find_code_block_end(rest)) << quoted(text) << " @" << from;
            ASSERT_EQ(indexed.next_byte(rest, '`'), find_byte(rest, '`'));
            ASSERT_EQ(indexed.next_byte(rest, ')'), find_byte(rest, ')'));
            for (std::string_view delimiter : DELIMITERS) {
                ASSERT_EQ(indexed.closing(rest, delimiter), find_closing(rest, delimiter))
                    << quoted(text) << " @" << from << " for " << quoted(delimiter);
            }
        }
    }
}

TEST(PositionSet, FindsTheFirstMemberAtOrAfter) {
    for (std::size_t size : {0u, 1u, 63u, 64u, 65u, 200u, 1000u}) {
        std::string text(size, 'a');
        for (std::size_t i = 0; i < size; i += 1 + i % 97) text[i] = 'x';
        const PositionSet set = PositionSet::of_byte(text, 'x');
        for (std::size_t from = 0; from <= size + 70; ++from) {
            const std::size_t expected = from < size ? text.find('x', from) : std::string::npos;
            const auto found = set.first_from(from);
            ASSERT_EQ(found.value_or(std::string::npos), expected) << size << " @" << from;
        }
    }
}

}  // namespace
}  // namespace quenra

namespace quenra {
namespace {

TEST(IndexedSearchDeathTest, AskingAboutAViewThatIsNotASuffixIsABug) {
#ifdef NDEBUG
    GTEST_SKIP() << "assertions are off in this build";
#else
    const std::string text = "*a* and *b*";
    const std::string copy = text;
    IndexedSearch search(text);
    EXPECT_DEATH((void)search.closing(std::string_view(copy).substr(1), "*"), "position_of");
    EXPECT_DEATH((void)search.closing(std::string_view(text).substr(1, 3), "*"), "position_of");
#endif
}

}  // namespace
}  // namespace quenra
