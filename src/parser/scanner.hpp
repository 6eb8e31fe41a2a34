// The fragment scanner: reads MarkdownV2 text one `Fragment` at a time.
//
// The scanner is flat. It returns styled runs and links with their inner text
// unread; the consumers scan those texts again with a scanner of their own.
// Fragments are views into the scanned text: nothing is copied or unescaped,
// and a fragment must not outlive that text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <variant>

#include <quenra/internal_failure.hpp>
#include "parser/indexed_search.hpp"
#include "parser/search.hpp"
#include "parser/syntax.hpp"

namespace quenra {

// A backslash and the escapable ASCII character after it (2 bytes).
struct Escaped {
    char character;
};

// "```", the body, "```". The body starts with the fence's first line and
// ends with the line feed before the closing fence.
struct CodeBlock {
    std::string_view body;
};

// "`", the code, "`". The code honours no escapes and may be empty.
struct InlineCode {
    std::string_view code;
};

// "[", the text, "](", the url, ")".
struct Link {
    std::string_view text;
    std::string_view url;
};

// The delimiter, the inner text, the delimiter again. `delimiter` is one of
// the strings of `STYLE_DELIMITERS`, and `style` its entry's style.
struct Styled {
    std::string_view delimiter;
    std::string_view inner;
    RunStyle style;
};

// One character that opened nothing, as its UTF-8 bytes (1 to 4).
struct Char {
    std::string_view utf8;
};

using Fragment = std::variant<Escaped, CodeBlock, InlineCode, Link, Styled, Char>;

// Returns the fragment at the start of `cursor` and advances `cursor` past its
// source text, by at least one whole character. `cursor` must be non-empty and
// must end where the view that `search` was made for ends.
template <class Search>
Fragment next_fragment(std::string_view& cursor, Search& search);

// The same, with the straightforward searches.
Fragment next_fragment(std::string_view& cursor);

// Walks one text, fragment by fragment, with its own search policy.
template <class Search = DefaultSearch>
class BasicScanner {
public:
    explicit BasicScanner(std::string_view text) : rest_(text), search_(text) {}

    bool done() const noexcept { return rest_.empty(); }
    Fragment next() { return next_fragment(rest_, search_); }

    // Takes the longest prefix that can only be read as plain characters. It is
    // exactly what `next` would return as consecutive `Char` fragments, so a
    // consumer may take it in one piece: characters that open nothing, and
    // those that might by their byte but are seen not to without a search.
    // Empty when the next character may open markup.
    [[gnu::always_inline]] std::string_view take_plain_run() noexcept {
        std::size_t length = 0;
        while (length < rest_.size()) {
            const auto lead = static_cast<unsigned char>(rest_[length]);
            if (MAY_OPEN_MARKUP[lead] && !opens_nothing(rest_.substr(length))) break;
            length += utf8_length(lead);
        }
        length = std::min(length, rest_.size());  // a sequence cut short at the end of the text
        const std::string_view run = rest_.substr(0, length);
        rest_.remove_prefix(length);
        return run;
    }

    // Passes over the styled runs with no inner text that the text starts
    // with, as `next` would return them (such as "**"): true when there was
    // any. A reader to whom such runs show nothing need not read them.
    bool skip_empty_runs() noexcept {
        // Every such run starts with its delimiter's byte twice.
        if (rest_.size() < 2 || rest_[0] != rest_[1]) return false;
        bool skipped = false;
        while (const std::size_t length = empty_run_length()) {
            rest_.remove_prefix(length);
            skipped = true;
        }
        return skipped;
    }

    // The text not read yet, and a way to pass over part of it unread.
    std::string_view rest() const noexcept { return rest_; }
    void skip(std::size_t bytes) noexcept { rest_.remove_prefix(bytes); }

private:
    // True when the character that starts `rest` may open markup by its byte
    // but is seen not to, at little cost: a backslash before no escapable
    // character, a single "|", a "[" past where searches for "]" are known
    // to fail, and a delimiter byte repeated where no rule takes it (as the
    // first of three underscores).
    bool opens_nothing(std::string_view rest) const noexcept {
        switch (rest.front()) {
        case '\\':
            return rest.size() < 2 || !is_escapable(static_cast<unsigned char>(rest[1]));
        case '|':
            return rest.size() < 2 || rest[1] != '|';
        case '[':
            return search_.known_unclosed(rest.substr(1), "]") || search_.known_without(rest.substr(1), ')');
        case '`':
            return false;
        default:
            break;
        }
        // The rules that decide without a search all look at a repeat.
        if (rest.size() < 2 || rest[1] != rest[0]) return false;
        const DelimiterCandidates& candidates = STYLE_DELIMITERS_STARTING_WITH[static_cast<unsigned char>(rest.front())];
        for (std::size_t k = 0; k < candidates.count; ++k) {
            const StyleDelimiter& entry = STYLE_DELIMITERS[candidates.entries[k]];
            const ClosingDelimiter delimiter(entry.text);
            const std::size_t size = entry.text.size();
            if (!delimiter.begins(rest, 0)) continue;
            if (entry.rule == DelimiterRule::NoRepeatAfterOpen && rest.size() > size && rest[size] == delimiter.byte) {
                continue;
            }
            // Closed at once, by a closer that a repeat follows.
            if (entry.rule == DelimiterRule::NoRepeatAroundClose && delimiter.begins(rest, size) &&
                rest.size() > 2 * size && rest[2 * size] == delimiter.byte) {
                continue;
            }
            return false;
        }
        return true;
    }

    // The length of the styled run with no inner text that starts the text,
    // found without a search, or 0: the first entry of STYLE_DELIMITERS that
    // would take it closes at once.
    std::size_t empty_run_length() const noexcept {
        if (rest_.empty()) return 0;
        const DelimiterCandidates& candidates = STYLE_DELIMITERS_STARTING_WITH[static_cast<unsigned char>(rest_.front())];
        for (std::size_t k = 0; k < candidates.count; ++k) {
            const StyleDelimiter& entry = STYLE_DELIMITERS[candidates.entries[k]];
            const ClosingDelimiter delimiter(entry.text);
            const std::size_t size = entry.text.size();
            if (!delimiter.begins(rest_, 0)) continue;
            if (entry.rule == DelimiterRule::NoRepeatAfterOpen && rest_.size() > size && rest_[size] == delimiter.byte) {
                continue;
            }
            if (!delimiter.begins(rest_, size)) return 0;  // a search would be needed
            if (entry.rule == DelimiterRule::NoRepeatAroundClose && rest_.size() > 2 * size &&
                rest_[2 * size] == delimiter.byte) {
                continue;
            }
            return 2 * size;
        }
        return 0;
    }

    std::string_view rest_;
    Search search_;
};

using Scanner = BasicScanner<>;

// ---------------------------------------------------------------------------

namespace scan_detail {

template <class Search>
bool take_code(std::string_view& cursor, Search& search, Fragment& out) {
    const std::string_view text = cursor;
    if (text.starts_with(FENCE)) {
        const std::string_view after = text.substr(FENCE.size());
        if (const auto end = search.code_block_end(after)) {
            out = CodeBlock{after.substr(0, *end - FENCE.size())};
            cursor.remove_prefix(FENCE.size() + *end);
            return true;
        }
    }
    if (const auto partner = search.next_byte(text.substr(1), '`')) {
        out = InlineCode{text.substr(1, *partner)};
        cursor.remove_prefix(*partner + 2);
        return true;
    }
    return false;
}

template <class Search>
bool take_link(std::string_view& cursor, Search& search, Fragment& out) {
    const std::string_view label_and_rest = cursor.substr(1);
    // A link's URL ends at a ")": with none after it, no "]" is searched for.
    if (search.known_without(label_and_rest, ')')) return false;
    const auto bracket = search.closing(label_and_rest, "]");
    if (!bracket || *bracket + 1 >= label_and_rest.size() || label_and_rest[*bracket + 1] != '(') {
        return false;
    }
    const std::string_view url_and_rest = label_and_rest.substr(*bracket + 2);
    const auto paren = search.next_byte(url_and_rest, ')');
    if (!paren) return false;
    out = Link{label_and_rest.substr(0, *bracket), url_and_rest.substr(0, *paren)};
    cursor.remove_prefix(*bracket + *paren + 4);
    return true;
}

template <class Search>
bool take_styled(std::string_view& cursor, Search& search, Fragment& out) {
    const DelimiterCandidates& candidates = STYLE_DELIMITERS_STARTING_WITH[static_cast<unsigned char>(cursor.front())];
    for (std::size_t k = 0; k < candidates.count; ++k) {
        const StyleDelimiter& entry = STYLE_DELIMITERS[candidates.entries[k]];
        const std::string_view delimiter = entry.text;
        // Every delimiter is one byte, or one byte twice.
        if (delimiter.size() == 2 && (cursor.size() < 2 || cursor[1] != delimiter[1])) continue;
        const std::string_view after = cursor.substr(delimiter.size());
        const char first = delimiter.front();
        if (entry.rule == DelimiterRule::NoRepeatAfterOpen && !after.empty() && after.front() == first) {
            continue;
        }
        const auto close = search.closing(after, delimiter);
        if (!close) continue;
        if (entry.rule == DelimiterRule::NoRepeatAroundClose) {
            const std::size_t behind = *close + delimiter.size();
            if (behind < after.size() && after[behind] == first) continue;
            if (*close > 0 && after[*close - 1] == first) continue;
        }
        out = Styled{delimiter, after.substr(0, *close), entry.style};
        cursor.remove_prefix(*close + 2 * delimiter.size());
        return true;
    }
    return false;
}

}  // namespace scan_detail

// Inlined into the walks: it runs once per fragment, and texts made of
// nothing but markup pay mostly for the call and the copy of its result.
template <class Search>
[[gnu::always_inline]] inline Fragment next_fragment(std::string_view& cursor, Search& search) {
    if (cursor.empty()) fail("next_fragment called on an empty cursor");
    // Each rule needs its own first byte, so dispatching on it tries the rules
    // in their order without testing the ones that cannot match.
    Fragment fragment;
    switch (cursor.front()) {
    case '\\':
        if (cursor.size() > 1 && is_escapable(static_cast<unsigned char>(cursor[1]))) {
            const char escaped = cursor[1];
            cursor.remove_prefix(2);
            return Escaped{escaped};
        }
        break;
    case '`':
        if (scan_detail::take_code(cursor, search, fragment)) return fragment;
        break;
    case '[':
        if (scan_detail::take_link(cursor, search, fragment)) return fragment;
        break;
    default:
        if (STARTS_STYLE_DELIMITER[static_cast<unsigned char>(cursor.front())] &&
            scan_detail::take_styled(cursor, search, fragment)) {
            return fragment;
        }
        break;
    }
    const std::string_view character = cursor.substr(0, first_char_length(cursor));
    cursor.remove_prefix(character.size());
    return Char{character};
}

}  // namespace quenra
