// Inline span collection: styled runs, links and inline code become the spans
// of a paragraph, and every link met is kept for a footer button.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flex/model.hpp"
#include "parser/scanner.hpp"

namespace quenra {

inline constexpr std::string_view LINK_COLOR = "#1689FC";
inline constexpr std::string_view SPOILER_COLOR = "#CCCCCC";
inline constexpr std::string_view CODE_COLOR = "#CC0000";
inline constexpr std::string_view CODE_SIZE = "sm";

// The inline style in force while spans are collected; all fields are absent
// at the top level. `color` and `size` point to static constants.
struct SpanStyle {
    std::optional<FontWeight> weight;
    std::optional<FontStyle> style;
    std::optional<TextDecoration> decoration;
    std::optional<std::string_view> color;
    std::optional<std::string_view> size;
};

// A link kept for the footer: its text stripped of markup, and its url as
// written.
struct CollectedLink {
    std::string label;
    std::string url;

    friend bool operator==(const CollectedLink&, const CollectedLink&) = default;
};

// The span that shows code: the text verbatim, red and small.
Span code_span(std::string code);

// Appends `characters` in `style`: to the last span when its style is the same
// in all five fields, else as a new span. Only the last span is compared.
void push_text(std::vector<Span>& spans, const SpanStyle& style, std::string_view characters);

// Appends one character (its UTF-8 bytes) in `style`.
inline void push_char(std::vector<Span>& spans, const SpanStyle& style, std::string_view character) {
    push_text(spans, style, character);
}

// Appends the spans of one fragment read in `style`, recursing into styled
// runs and link texts; every link met is appended to `links`, with the plain
// text of its link text as label. The fragment's plain text (what
// strip_markdown makes of it) is appended to `plain` in the same reading.
void collect_fragment_spans(const Fragment& fragment, const SpanStyle& style, std::vector<Span>& spans,
                            std::vector<CollectedLink>& links, bool decorate_links, std::string& plain);

// The same for a whole text.
void collect_text_spans(std::string_view text, const SpanStyle& style, std::vector<Span>& spans,
                        std::vector<CollectedLink>& links, bool decorate_links, std::string& plain);

}  // namespace quenra
