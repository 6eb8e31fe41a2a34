#include "parser/indexed_search.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include <quenra/internal_failure.hpp>
#include "parser/search.hpp"
#include "parser/syntax.hpp"

namespace quenra {

namespace {

// Memo entries are 32 bits; longer views are searched without a memo.
constexpr std::size_t MAX_MEMO_VIEW = std::numeric_limits<std::uint32_t>::max() - 2;

// How a closing search walks for one delimiter. `opener` is the byte before
// every position that the scanner starts a search from: the delimiter's own
// byte for a styled run, "[" for a link text.
struct ClosingWalk {
    std::size_t slot;
    char opener;
    // The bytes where a walk must stop and look: escapes, code, a possible
    // closing, and a possible start of another search (an anchor, for a walk
    // with a memo).
    std::array<bool, 256> stops;
    // The same without the start of another search.
    std::array<bool, 256> closes_or_steps_over;
};

constexpr ClosingWalk make_walk(std::size_t slot, char closer, char opener) {
    ClosingWalk walk{slot, opener, {}, {}};
    for (char c : {'\\', '`', closer}) walk.closes_or_steps_over[static_cast<unsigned char>(c)] = true;
    walk.stops = walk.closes_or_steps_over;
    walk.stops[static_cast<unsigned char>(opener)] = true;
    return walk;
}

// Slot 0 closes link texts, slot 1 + i the style delimiter i.
constexpr std::array<ClosingWalk, CLOSING_SLOTS> WALKS = [] {
    std::array<ClosingWalk, CLOSING_SLOTS> walks{};
    walks[0] = make_walk(0, ']', '[');
    for (std::size_t i = 0; i < STYLE_DELIMITERS.size(); ++i) {
        const char byte = STYLE_DELIMITERS[i].text[0];
        walks[i + 1] = make_walk(i + 1, byte, byte);
    }
    return walks;
}();

const ClosingWalk& walk_for(std::string_view delimiter) {
    if (delimiter != "]" && !style_delimiter(delimiter)) fail("no closing search for this delimiter");
    return WALKS[closing_slot(delimiter)];
}

}  // namespace

const PositionSet& IndexedSearch::line_feeds() {
    if (!indexes().line_feeds) indexes().line_feeds = PositionSet::of_byte(view_, '\n');
    return *indexes().line_feeds;
}

const PositionSet& IndexedSearch::backticks() {
    if (!indexes().backticks) indexes().backticks = PositionSet::of_byte(view_, '`');
    return *indexes().backticks;
}

const PositionSet& IndexedSearch::right_parentheses() {
    if (!indexes().right_parentheses) indexes().right_parentheses = PositionSet::of_byte(view_, ')');
    return *indexes().right_parentheses;
}

const PositionSet& IndexedSearch::closing_fences() {
    if (!indexes().closing_fences) {
        PositionSet fences(view_.size());
        const PositionSet& candidates = line_feeds();
        for (auto at = candidates.first_from(0); at; at = candidates.first_from(*at + 1)) {
            const std::size_t end = *at + CLOSING_FENCE.size();
            if (view_.substr(*at).starts_with(CLOSING_FENCE) && (end == view_.size() || view_[end] == '\n')) {
                fences.insert(*at);
            }
        }
        fences.seal();
        indexes().closing_fences = std::move(fences);
    }
    return *indexes().closing_fences;
}

std::optional<std::size_t> IndexedSearch::fence_end(std::size_t after_fence) {
    if (!indexed()) {
        const auto end = find_code_block_end(view_.substr(after_fence));
        spend(end ? *end : view_.size() - after_fence);
        if (!end) return std::nullopt;
        return after_fence + *end;
    }
    // The closing fence may start at the line feed that ends the fence's
    // first line, and at no line feed before it.
    const auto first_line_end = line_feeds().first_from(after_fence);
    if (!first_line_end) return std::nullopt;
    const auto closing = closing_fences().first_from(*first_line_end);
    if (!closing) return std::nullopt;
    return *closing + CLOSING_FENCE.size();
}

std::optional<std::size_t> IndexedSearch::next_occurrence(std::size_t from, char byte,
                                                          const PositionSet& (IndexedSearch::*index)()) {
    if (indexed()) return (this->*index)().first_from(from);
    const auto found = find_byte(view_.substr(from), byte);
    spend(found ? *found + 1 : view_.size() - from);
    if (!found) return std::nullopt;
    return from + *found;
}

std::optional<std::size_t> IndexedSearch::next_backtick(std::size_t from) {
    return next_occurrence(from, '`', &IndexedSearch::backticks);
}

std::optional<std::size_t> IndexedSearch::next_right_parenthesis(std::size_t from) {
    return next_occurrence(from, ')', &IndexedSearch::right_parentheses);
}

std::optional<std::size_t> IndexedSearch::code_block_end(std::string_view rest) {
    const std::size_t start = position_of(rest);
    const auto end = fence_end(start);
    if (!end) return std::nullopt;
    return *end - start;
}

std::optional<std::size_t> IndexedSearch::next_byte(std::string_view rest, char byte) {
    const std::size_t start = position_of(rest);
    std::optional<std::size_t> found;
    if (byte == '`') {
        found = next_backtick(start);
    } else if (byte == ')') {
        found = next_right_parenthesis(start);
    } else {
        return find_byte(rest, byte);
    }
    if (!found) return std::nullopt;
    return *found - start;
}

std::uint32_t* IndexedSearch::memo_for(std::size_t slot) {
    ClosingMemo& memo = indexes().closing_memos[slot];
    if (!memo) {
        // Zeroed memory from the system: pages that are never written cost nothing.
        memo.reset(static_cast<std::uint32_t*>(std::calloc(view_.size() + 1, sizeof(std::uint32_t))));
        if (!memo) throw std::bad_alloc();
    }
    return memo.get();
}

std::size_t IndexedSearch::closing_limit(char byte) const noexcept {
    const std::size_t last = view_.find_last_of(byte);
    return last == std::string_view::npos ? 0 : last + 1;
}

// The straightforward search walks a chain of positions: each step passes
// one character, an escape, an inline code span or a fenced block. Where the
// walk goes from a position does not depend on the delimiter searched for, so
// two walks that meet go on together, and their answer from there is the
// same. Two walks can first meet only at the start of one of them, or at a
// position that a jump lands on, which follows a backtick (the end of a code
// span or a fence) or lies two bytes after a backslash (the end of an escape).
// These positions are the anchors: every walk writes its answer at the anchors
// it passed, and stops at the first anchor that holds an answer. Every query
// starts just after an opener byte, so starts are anchors too. No stretch is
// then walked twice for the same delimiter.
std::optional<std::size_t> IndexedSearch::closing_further(std::string_view rest, std::string_view delimiter) {
    const std::size_t start = position_of(rest);
    const ClosingWalk& walk = walk_for(delimiter);
    // Once a search has failed, the text may lack the delimiter after some
    // point altogether (as "[" repeated lacks "]"): searches that start
    // there fail at once.
    if (start >= closing_limits_[walk.slot]) return std::nullopt;
    std::uint32_t* memo = indexed() && view_.size() <= MAX_MEMO_VIEW ? memo_for(walk.slot) : nullptr;
    if (memo && memo[start] != 0) {
        if (memo[start] == 1) return std::nullopt;
        return memo[start] - 2 - start;
    }
    const auto found = walk_to_closing(start, delimiter, walk.slot, memo);
    if (!found) {
        if (closing_limits_[walk.slot] == UNKNOWN) closing_limits_[walk.slot] = closing_limit(delimiter[0]);
        return std::nullopt;
    }
    return *found - start;
}

std::optional<std::size_t> IndexedSearch::walk_to_closing(std::size_t start, std::string_view delimiter,
                                                          std::size_t slot, std::uint32_t* memo) {
    const ClosingWalk& walk = WALKS[slot];
    const std::size_t size = view_.size();
    const auto byte_at = [this](std::size_t i) { return static_cast<unsigned char>(view_[i]); };
    const auto is_anchor = [&](std::size_t i) {
        const char before = view_[i - 1];
        return before == '`' || before == walk.opener || (i >= 2 && view_[i - 2] == '\\');
    };
    const ClosingDelimiter closer(delimiter);
    std::vector<std::size_t>* walked_anchors = memo ? &indexes().walked_anchors : nullptr;
    if (walked_anchors) walked_anchors->clear();

    std::optional<std::size_t> found;
    std::size_t i = start;
    while (i < size) {
        if (memo && (i == start || is_anchor(i))) {
            if (const std::uint32_t known = memo[i]) {
                if (known >= 2) found = known - 2;
                break;
            }
            walked_anchors->push_back(i);
        }
        const ClosingStep step = closing_step(
            view_, i, closer, [this](std::size_t after_fence) { return fence_end(after_fence); },
            [this](std::size_t from) { return next_backtick(from); });
        if (step.closes) {
            found = i;
            break;
        }
        i = step.next;
        if (!step.one_character) continue;
        // Pass plain text at once. A walk without a memo looks at no anchor;
        // one with a memo does not pass one (the skipped bytes then hold no
        // stop, so they hold no anchor).
        if (!memo) {
            while (i < size && !walk.closes_or_steps_over[byte_at(i)]) i += utf8_length(byte_at(i));
            i = std::min(i, size);
        } else if (i < size && !walk.stops[byte_at(i - 1)] && (i < 2 || view_[i - 2] != '\\')) {
            while (i < size && !walk.stops[byte_at(i)]) i += utf8_length(byte_at(i));
            i = std::min(i, size);
        }
    }

    if (memo) {
        const std::uint32_t answer = found ? static_cast<std::uint32_t>(*found + 2) : 1;
        for (const std::size_t anchor : *walked_anchors) memo[anchor] = answer;
    } else {
        spend(std::min(i, size) - start);
    }
    return found;
}

}  // namespace quenra
