#include "convert/convert.hpp"

#include "convert/code_text.hpp"
#include "convert/strip.hpp"
#include "convert/walk.hpp"
#include "text/unicode.hpp"

namespace quenra {

namespace {

// The message records: spans, code blocks and links, with the plain text of
// every fragment read as the alternative text.
class Reader : public SpanCollector {
public:
    Reader() : SpanCollector(spans_, links_, alt_text_) {}

    void read(std::string_view text, const ConvertOptions& options) {
        alt_text_.reserve(text.size());
        DocumentWalk(*this, options).read_document(text);
        end_paragraph();
    }

    void code_block(std::string_view code) {
        end_paragraph();
        alt_text_.append(code);
        blocks_.push_back(Code{std::string(code)});
    }

    bool standalone_link(const Link& link, std::string_view tail) {
        CollectedLink collected{strip_markdown(link.text), std::string(link.url)};
        alt_text_.append(collected.label).append(tail);
        links_.push_back(std::move(collected));
        return true;
    }

    std::string& alt_text() { return alt_text_; }
    std::vector<Block>& blocks() { return blocks_; }
    std::vector<CollectedLink>& links() { return links_; }

private:
    void end_paragraph() {
        if (spans_.empty()) return;
        blocks_.push_back(Paragraph{std::move(spans_)});
        spans_.clear();
    }

    std::string alt_text_;
    std::vector<Block> blocks_;
    std::vector<Span> spans_;
    std::vector<CollectedLink> links_;
};

std::optional<FlexBox> body_box(std::vector<Block>& blocks) {
    if (blocks.empty()) return std::nullopt;
    std::vector<Component> components;
    components.reserve(blocks.size());
    for (Block& block : blocks) {
        if (auto* paragraph = std::get_if<Paragraph>(&block)) {
            components.push_back(Text{true, std::move(paragraph->spans)});
        } else {
            components.push_back(Text{true, {code_span(std::move(std::get<Code>(block).text))}});
        }
    }
    return body_box_of(std::move(components));
}

std::optional<FlexBox> footer_box(std::vector<CollectedLink>& links) {
    if (links.empty()) return std::nullopt;
    std::vector<Component> buttons;
    buttons.reserve(links.size());
    for (CollectedLink& link : links) buttons.push_back(Button{UriAction{std::move(link.label), std::move(link.url)}});
    return footer_box_of(std::move(buttons));
}

}  // namespace

std::optional<std::size_t> standalone_link_tail(std::string_view after_link) noexcept {
    const std::size_t blanks = blank_prefix_length(after_link);
    if (blanks == after_link.size()) return 0;  // the text ends: the blanks stay as text
    if (after_link[blanks] == '\n') return blanks + 1;
    return std::nullopt;
}

FlexMessage convert(std::string_view text, const ConvertOptions& options) {
    Reader reader;
    reader.read(text, options);
    return FlexMessage{std::move(reader.alt_text()), Bubble{body_box(reader.blocks()), footer_box(reader.links())}};
}

}  // namespace quenra
