#include "convert/spans.hpp"

#include "convert/code_text.hpp"

namespace quenra {

namespace {

bool same_text_attribute(const std::optional<std::string>& span_value,
                         const std::optional<std::string_view>& style_value) {
    if (span_value.has_value() != style_value.has_value()) return false;
    return !span_value || *span_value == *style_value;
}

bool has_style(const Span& span, const SpanStyle& style) {
    return span.weight == style.weight && span.style == style.style && span.decoration == style.decoration &&
           same_text_attribute(span.color, style.color) && same_text_attribute(span.size, style.size);
}

std::optional<std::string> owned(const std::optional<std::string_view>& value) {
    if (!value) return std::nullopt;
    return std::string(*value);
}

// The style inside a run opened by `delimiter`.
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

// The style of a link's text: blue and underlined when links are decorated,
// whatever colour or decoration was in force; otherwise the style in force.
SpanStyle link_style(SpanStyle style, bool decorate_links) {
    if (decorate_links) {
        style.color = LINK_COLOR;
        style.decoration = TextDecoration::Underline;
    }
    return style;
}

}  // namespace

Span code_span(std::string code) {
    return Span{std::move(code), {}, {}, {}, std::string(CODE_COLOR), std::string(CODE_SIZE)};
}

void push_text(std::vector<Span>& spans, const SpanStyle& style, std::string_view characters) {
    if (!spans.empty() && has_style(spans.back(), style)) {
        spans.back().text.append(characters);
        return;
    }
    if (spans.empty()) spans.reserve(8);  // a paragraph holds a few spans: skip the first regrowths
    spans.push_back(
        Span{std::string(characters), style.weight, style.style, style.decoration, owned(style.color), owned(style.size)});
}

void collect_text_spans(std::string_view text, const SpanStyle& style, std::vector<Span>& spans,
                        std::vector<CollectedLink>& links, bool decorate_links, std::string& plain) {
    Scanner scanner(text);
    while (!scanner.done()) {
        if (const std::string_view run = scanner.take_plain_run(); !run.empty()) {
            push_text(spans, style, run);
            plain.append(run);
            continue;
        }
        collect_fragment_spans(scanner.next(), style, spans, links, decorate_links, plain);
    }
}

void collect_fragment_spans(const Fragment& fragment, const SpanStyle& style, std::vector<Span>& spans,
                            std::vector<CollectedLink>& links, bool decorate_links, std::string& plain) {
    std::visit(
        [&]<class Kind>(const Kind& f) {
            if constexpr (std::is_same_v<Kind, Char>) {
                push_char(spans, style, f.utf8);
                plain.append(f.utf8);
            } else if constexpr (std::is_same_v<Kind, Escaped>) {
                push_char(spans, style, std::string_view(&f.character, 1));
                plain.push_back(f.character);
            } else if constexpr (std::is_same_v<Kind, InlineCode>) {
                spans.push_back(code_span(std::string(f.code)));
                plain.append(f.code);
            } else if constexpr (std::is_same_v<Kind, Link>) {
                // The link text's plain text is the button's label.
                std::string label;
                collect_text_spans(f.text, link_style(style, decorate_links), spans, links, decorate_links, label);
                plain.append(label);
                links.push_back(CollectedLink{std::move(label), std::string(f.url)});
            } else if constexpr (std::is_same_v<Kind, Styled>) {
                collect_text_spans(f.inner, run_style(style, f.delimiter), spans, links, decorate_links, plain);
            } else {
                // A code block met inside a run or a link text shows no span;
                // its code is still part of the plain text.
                static_assert(std::is_same_v<Kind, CodeBlock>);
                plain.append(code_block_text(f.body));
            }
        },
        fragment);
}

}  // namespace quenra
