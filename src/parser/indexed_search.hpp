// The search policy of the library's own scans. For the one view it serves,
// it first answers the scanner's questions by plain searches, as the
// straightforward ones do, and keeps count of the bytes they pass. Once they
// have passed more than a few times the view's length (which ordinary text
// never makes them do), it builds indexes of the view and remembers answers,
// so that no stretch of the view is walked again for the same question.
// Either way the answers are those of search.hpp, and scanning a view costs
// time linear in its length, whatever the text; short ordinary texts are
// scanned without allocating anything.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "parser/position_set.hpp"
#include "parser/search.hpp"
#include "parser/syntax.hpp"

namespace quenra {

// The closing delimiters that searches are made for: "]" and every style
// delimiter, numbered in this order.
inline constexpr std::size_t CLOSING_SLOTS = 1 + STYLE_DELIMITERS.size();
constexpr std::size_t closing_slot(std::string_view delimiter) noexcept {
    const StyleDelimiter* entry = style_delimiter(delimiter);
    return entry ? 1 + static_cast<std::size_t>(entry - STYLE_DELIMITERS.data()) : 0;
}

class IndexedSearch {
public:
    explicit IndexedSearch(std::string_view view) noexcept : IndexedSearch(view, 2 * view.size() + 256) {}
    // `budget`: the bytes that plain searches may pass before the indexes
    // take over (0 for indexes from the start).
    IndexedSearch(std::string_view view, std::size_t budget) noexcept : view_(view), budget_(budget) {}
    IndexedSearch(const IndexedSearch&) = delete;
    IndexedSearch& operator=(const IndexedSearch&) = delete;

    // The questions of the search policy (see ReferenceSearch): `rest` is a
    // suffix of the view, and each answer is an offset into `rest`.
    std::optional<std::size_t> closing(std::string_view rest, std::string_view delimiter) {
        // A run closed at once, as in "**": the walk's first step closes it
        // (no delimiter starts with a backslash or a backtick, which it would
        // step over first). Texts of nothing but delimiters ask this at every
        // pair.
        if (ClosingDelimiter(delimiter).begins(rest, 0)) return 0;
        return closing_further(rest, delimiter);
    }
    std::optional<std::size_t> code_block_end(std::string_view rest);
    std::optional<std::size_t> next_byte(std::string_view rest, char byte);
    // Past a failed search for a delimiter, searches fail at once.
    bool known_unclosed(std::string_view rest, std::string_view delimiter) const noexcept {
        return position_of(rest) >= closing_limits_[closing_slot(delimiter)];
    }
    // True when `rest` holds no ")" (the one byte asked about): past the
    // view's last, found once.
    bool known_without(std::string_view rest, char byte) const noexcept {
        assert(byte == ')');
        if (!end_of_right_parentheses_) {
            const std::size_t last = view_.rfind(byte);
            end_of_right_parentheses_ = last == std::string_view::npos ? 0 : last + 1;
        }
        return position_of(rest) >= *end_of_right_parentheses_;
    }

private:
    // What is remembered of earlier closing searches for one delimiter: per
    // position, 0 when unknown, 1 when no closing follows, else the closing's
    // position plus 2. Only positions where two walks can first meet are
    // written (see `closing`), so the pages of plain text are never touched.
    struct FreeMemory {
        void operator()(std::uint32_t* memory) const noexcept { std::free(memory); }
    };
    using ClosingMemo = std::unique_ptr<std::uint32_t[], FreeMemory>;

    // Where `rest`, a suffix of the view (which debug builds assert), begins.
    std::size_t position_of(std::string_view rest) const noexcept {
        assert(rest.size() <= view_.size() && rest.data() + rest.size() == view_.data() + view_.size());
        return view_.size() - rest.size();
    }

    // True once the plain searches have passed their budget: from then on
    // the indexes and the memos answer.
    bool indexed() const noexcept { return spent_ >= budget_; }
    void spend(std::size_t bytes) noexcept { spent_ += bytes; }

    // A closing search whose run does not close where it starts.
    std::optional<std::size_t> closing_further(std::string_view rest, std::string_view delimiter);
    // Questions by absolute position, answered either way.
    std::optional<std::size_t> next_backtick(std::size_t from);
    std::optional<std::size_t> next_right_parenthesis(std::size_t from);
    std::optional<std::size_t> next_occurrence(std::size_t from, char byte,
                                               const PositionSet& (IndexedSearch::*index)());

    const PositionSet& line_feeds();
    const PositionSet& backticks();
    const PositionSet& right_parentheses();
    const PositionSet& closing_fences();

    // Position just past the closing fence of a block whose opening fence
    // ends at `after_fence`.
    std::optional<std::size_t> fence_end(std::size_t after_fence);
    // The closing search as a plain walk (`memo` null) or with the memo.
    // `slot` numbers the delimiter's walk and memo, as `closing` found it.
    std::optional<std::size_t> walk_to_closing(std::size_t start, std::string_view delimiter, std::size_t slot,
                                               std::uint32_t* memo);
    std::uint32_t* memo_for(std::size_t slot);
    // One past the last position of `byte`: no closing search for a
    // delimiter that starts with it succeeds from there on.
    std::size_t closing_limit(char byte) const noexcept;

    std::string_view view_;
    // Where the view's ")"s end: past the last one (0 for none), once asked.
    mutable std::optional<std::size_t> end_of_right_parentheses_;
    std::size_t budget_;
    std::size_t spent_ = 0;
    // Per closing delimiter, where searches start to fail at once: known
    // after one has failed (UNKNOWN before).
    static constexpr std::size_t UNKNOWN = static_cast<std::size_t>(-1);
    std::array<std::size_t, CLOSING_SLOTS> closing_limits_ = [] {
        std::array<std::size_t, CLOSING_SLOTS> limits{};
        limits.fill(UNKNOWN);
        return limits;
    }();

    // What is built once the budget is spent. Most views, nested texts of a
    // few bytes above all, never need it and cost nothing to make or drop.
    struct Indexes {
        std::optional<PositionSet> line_feeds;
        std::optional<PositionSet> backticks;
        std::optional<PositionSet> right_parentheses;
        std::optional<PositionSet> closing_fences;  // line feeds that start an accepted closing fence
        std::array<ClosingMemo, CLOSING_SLOTS> closing_memos;  // one per closing delimiter
        std::vector<std::size_t> walked_anchors;                // scratch of `closing`
    };
    std::unique_ptr<Indexes> indexes_;
    Indexes& indexes() {
        if (!indexes_) indexes_ = std::make_unique<Indexes>();
        return *indexes_;
    }
};

// The policy that the library's own scans use.
using DefaultSearch = IndexedSearch;

}  // namespace quenra
