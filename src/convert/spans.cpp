#include "convert/spans.hpp"

#include "convert/walk.hpp"

namespace quenra {

namespace {

bool same_text_attribute(const std::optional<std::string>& span_value,
                         const std::optional<std::string_view>& style_value) {
    if (span_value.has_value() != style_value.has_value()) return false;
    return !span_value || *span_value == *style_value;
}

std::optional<std::string> owned(const std::optional<std::string_view>& value) {
    if (!value) return std::nullopt;
    return std::string(*value);
}

}  // namespace

bool has_style(const Span& span, const SpanStyle& style) {
    return span.weight == style.weight && span.style == style.style && span.decoration == style.decoration &&
           same_text_attribute(span.color, style.color) && same_text_attribute(span.size, style.size);
}

Span styled_span(std::string_view characters, const SpanStyle& style) {
    return Span{std::string(characters), style.weight, style.style, style.decoration, owned(style.color),
                owned(style.size)};
}

SpanStyle run_style(SpanStyle style, std::string_view delimiter) {
    if (delimiter == "*") {
        style.weight = FontWeight::Bold;
    } else if (delimiter == "_") {
        style.style = FontStyle::Italic;
    } else if (delimiter == "__") {
        style.decoration = TextDecoration::Underline;
    } else if (delimiter == "~") {
        style.decoration = TextDecoration::LineThrough;
    } else if (delimiter == "||") {
        style.color = SPOILER_COLOR;
    }
    return style;
}

SpanStyle link_style(SpanStyle style, bool decorate_links) {
    if (decorate_links) {
        style.color = LINK_COLOR;
        style.decoration = TextDecoration::Underline;
    }
    return style;
}

Span code_span(std::string code) {
    return Span{std::move(code), {}, {}, {}, std::string(CODE_COLOR), std::string(CODE_SIZE)};
}

void push_text(std::vector<Span>& spans, const SpanStyle& style, std::string_view characters) {
    if (!spans.empty() && has_style(spans.back(), style)) {
        spans.back().text.append(characters);
        return;
    }
    if (spans.empty()) spans.reserve(8);  // a paragraph holds a few spans: skip the first regrowths
    spans.push_back(styled_span(characters, style));
}

void collect_fragment_spans(const Fragment& fragment, const SpanStyle& style, std::vector<Span>& spans,
                            std::vector<CollectedLink>& links, bool decorate_links, std::string& plain) {
    SpanCollector collector(spans, links, plain);
    const ConvertOptions options{false, decorate_links};
    DocumentWalk(collector, options).read_fragment(fragment, style, false);
}

}  // namespace quenra
