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

// How a link in the running text is read.
enum class LinkReading : unsigned char {
    Button,     // shown in link style, and kept for a button
    Text,       // its text read in the style around it, with no button
    TextWithoutBang,  // the same, with the "!" before it taken back
};

// The span that shows code: the text verbatim, red and small.
Span code_span(std::string code);

namespace span_detail {

inline bool same_text_attribute(const std::optional<std::string>& span_value,
                                const std::optional<std::string_view>& style_value) {
    if (span_value.has_value() != style_value.has_value()) return false;
    return !span_value || *span_value == *style_value;
}

inline std::optional<std::string> owned(const std::optional<std::string_view>& value) {
    if (!value) return std::nullopt;
    return std::string(*value);
}

}  // namespace span_detail

// True when `span` has exactly `style`, in all five fields.
inline bool has_style(const Span& span, const SpanStyle& style) {
    using span_detail::same_text_attribute;
    return span.weight == style.weight && span.style == style.style && span.decoration == style.decoration &&
           same_text_attribute(span.color, style.color) && same_text_attribute(span.size, style.size);
}

// Appends `characters` to `text`; single characters, such as escaped ones,
// arrive one at a time and are the common case worth a shortcut.
inline void append_characters(std::string& text, std::string_view characters) {
    if (characters.size() == 1) {
        text.push_back(characters[0]);
    } else {
        text.append(characters);
    }
}

// A new span of `characters` in `style`.
inline Span styled_span(std::string_view characters, const SpanStyle& style) {
    using span_detail::owned;
    return Span{std::string(characters), style.weight, style.style, style.decoration, owned(style.color),
                owned(style.size)};
}

// The style inside a run of `run` style.
SpanStyle run_style(SpanStyle style, RunStyle run);

// The style of a link's text: blue and underlined when links are decorated,
// whatever colour or decoration was in force; otherwise the style in force.
SpanStyle link_style(SpanStyle style, bool decorate_links);

// Appends `characters` as a new span in `style`.
void push_span(std::vector<Span>& spans, const SpanStyle& style, std::string_view characters);

// Appends `characters` in `style`: to the last span when its style is the same
// in all five fields, else as a new span. Only the last span is compared.
inline void push_text(std::vector<Span>& spans, const SpanStyle& style, std::string_view characters) {
    if (!spans.empty() && has_style(spans.back(), style)) {
        append_characters(spans.back().text, characters);
    } else {
        push_span(spans, style, characters);
    }
}

// Builds spans, collected links and plain text from a walk of inline markup
// (see walk.hpp): every link becomes a button, labelled with the plain text
// of its link text.
class SpanCollector {
public:
    SpanCollector(std::vector<Span>& spans, std::vector<CollectedLink>& links, std::string& plain) noexcept
        : spans_(spans), links_(links), plain_(plain) {}

    void text(std::string_view chars, const SpanStyle& style) {
        push_text(spans_, style, chars);
        append_characters(plain_, chars);
    }
    void inline_code(std::string_view code) {
        spans_.push_back(code_span(std::string(code)));
        plain_.append(code);
    }
    void hidden_code(std::string_view code) { plain_.append(code); }
    std::size_t begin_link() const noexcept { return plain_.size(); }
    void end_link(std::size_t mark, const Link& link) {
        links_.push_back(CollectedLink{plain_.substr(mark), std::string(link.url)});
    }

protected:
    std::vector<Span>& spans_;
    std::vector<CollectedLink>& links_;
    std::string& plain_;
};

// Appends the spans of one fragment read in `style`, recursing into styled
// runs and link texts; every link met is appended to `links`, with the plain
// text of its link text as label. The fragment's plain text (what
// strip_markdown makes of it) is appended to `plain` in the same reading.
void collect_fragment_spans(const Fragment& fragment, const SpanStyle& style, std::vector<Span>& spans,
                            std::vector<CollectedLink>& links, bool decorate_links, std::string& plain);

}  // namespace quenra
