#include "convert/spans.hpp"

#include "convert/walk.hpp"

namespace quenra {

SpanStyle run_style(SpanStyle style, RunStyle run) {
    switch (run) {
    case RunStyle::Bold:
        style.weight = FontWeight::Bold;
        break;
    case RunStyle::Italic:
        style.style = FontStyle::Italic;
        break;
    case RunStyle::Underline:
        style.decoration = TextDecoration::Underline;
        break;
    case RunStyle::Strikethrough:
        style.decoration = TextDecoration::LineThrough;
        break;
    case RunStyle::Spoiler:
        style.color = SPOILER_COLOR;
        break;
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

void push_span(std::vector<Span>& spans, const SpanStyle& style, std::string_view characters) {
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
