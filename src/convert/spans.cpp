#include "convert/spans.hpp"

#include "convert/walk.hpp"

namespace quenra {

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
