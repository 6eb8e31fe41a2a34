// Building a document (flex/document.hpp) from a walk of MarkdownV2. What
// becomes of links is the policy of the reading: the exact conversion keeps
// every link as a button with its URI as written; delivery to LINE repairs
// them (line/repair.hpp).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "convert/strip.hpp"
#include "convert/walk.hpp"
#include "flex/document.hpp"
#include <quenra.hpp>

namespace quenra {

// What a reading does with links. `label` is the link's plain text, a
// stretch of the document's text; a button that stays gets its label and URI
// from the policy. A policy that also has
//     LinkReading reading(const Link& link, bool after_bang);
// decides how each link in the running text is read; without it every one
// is a button.
template <class Links>
concept LinkPolicy = requires(Links& links, Document& document, const Ref& label, const Link& link) {
    // Spans with no characters (empty code) are kept, or left out.
    { Links::KEEPS_EMPTY_SPANS } -> std::convertible_to<bool>;
    // The button of a link read in the running text.
    { links.button(document, label, link) } -> std::same_as<ButtonText>;
    // The button of a standalone link, or nothing to read it in the running
    // text instead.
    { links.standalone_button(document, label, link) } -> std::same_as<std::optional<ButtonText>>;
};

template <class Links>
concept ReadsLinks = LinkPolicy<Links> && requires(Links& links, const Link& link) {
    { links.reading(link, true) } -> std::same_as<LinkReading>;
};

// The exact conversion's policy: every link is a button, labelled with its
// plain text and opening its URI as written.
struct ExactLinks {
    static constexpr bool KEEPS_EMPTY_SPANS = true;

    ButtonText button(Document& document, const Ref& label, const Link& link) const noexcept {
        return ButtonText{label, document.input_ref(link.url)};
    }
    std::optional<ButtonText> standalone_button(Document& document, const Ref& label, const Link& link) const noexcept {
        return button(document, label, link);
    }
};

// A MarkdownBuilder that appends to a document.
template <LinkPolicy Links>
class DocumentBuilder {
public:
    DocumentBuilder(Document& document, Links& links) noexcept : document_(document), links_(links) {}

    // Inlined into the walk: it runs once per stretch of text.
    [[gnu::always_inline]] void text(std::string_view characters, const Look& look) {
        const std::size_t begin = append(characters);
        if (!document_.items.empty()) {
            Item& last = document_.items.back();
            if (last.kind == Item::Kind::Shown && last.merges && last.index == component_ && last.look == look) {
                last.end = document_.text.size();
                return;
            }
        }
        add_item(Item::Kind::Shown, true, false, look, component_, begin);
    }

    void inline_code(std::string_view code) { add_code(code); }
    void hidden_code(std::string_view code) { add_hidden(code); }
    // A code block is a text component of its own.
    void code_block(std::string_view code) {
        ++component_;
        add_code(code);
        ++component_;
    }

    std::size_t begin_link() const noexcept { return document_.text.size(); }
    void end_link(std::size_t mark, const Link& link) {
        const Ref label{Ref::In::Text, mark, document_.text.size() - mark};
        add_button(links_.button(document_, label, link), false, document_.text.size());
    }

    bool standalone_link(const Link& link, std::string_view tail) {
        return standalone_button(link, tail, [&] { append_plain_text(link.text, document_.text); });
    }

    // A standalone link whose label `append_label()` appends to the text.
    template <class AppendLabel>
    bool standalone_button(const Link& link, std::string_view tail, AppendLabel&& append_label) {
        const std::size_t begin = document_.text.size();
        append_label();
        const Ref label{Ref::In::Text, begin, document_.text.size() - begin};
        const std::optional<ButtonText> button = links_.standalone_button(document_, label, link);
        if (!button) {
            document_.text.resize(begin);
            return false;
        }
        add_button(*button, true, begin);
        add_hidden(tail);
        return true;
    }

    // The shown items from here on are in quote `quote` (0 for none); a
    // quote starts and ends a text component.
    void set_quote(std::uint32_t quote) noexcept {
        if (quote == quote_) return;
        ++component_;
        quote_ = quote;
    }

    // Characters appended to the text as they stand.
    std::size_t append(std::string_view characters) {
        const std::size_t begin = document_.text.size();
        if (characters.size() == 1) {
            document_.text.push_back(characters[0]);  // escaped characters come one by one
        } else {
            document_.text.append(characters);
        }
        return begin;
    }

    LinkReading link_reading(const Link& link, bool after_bang)
        requires ReadsLinks<Links>
    {
        return links_.reading(link, after_bang);
    }

    // The "!" was the last character read, so it ends the last item.
    void take_back_bang()
        requires ReadsLinks<Links>
    {
        document_.text.pop_back();
        Item& last = document_.items.back();
        if (--last.end == last.begin) document_.items.pop_back();
    }

private:
    // An item that owns the text from `begin` to its end.
    void add_item(Item::Kind kind, bool merges, bool standalone, Look look, std::size_t index, std::size_t begin) {
        document_.items.push_back(Item{kind, merges, standalone, look, quote_, index, begin, document_.text.size()});
    }

    // Characters of the altText only.
    void add_hidden(std::string_view characters) {
        if (characters.empty()) return;
        const std::size_t begin = append(characters);
        add_item(Item::Kind::Hidden, false, false, {}, 0, begin);
    }

    void add_code(std::string_view code) {
        if (code.empty() && !Links::KEEPS_EMPTY_SPANS) return;
        const std::size_t begin = append(code);
        add_item(Item::Kind::Shown, false, false, CODE_LOOK, component_, begin);
    }

    // A button whose own characters run from `begin` to the end of the text.
    void add_button(const ButtonText& button, bool standalone, std::size_t begin) {
        add_item(Item::Kind::Button, false, standalone, {}, document_.buttons.size(), begin);
        document_.buttons.push_back(button);
    }

    Document& document_;
    Links& links_;
    std::size_t component_ = 0;
    std::uint32_t quote_ = 0;
};

// The document that `text` makes, read with `links` as its link policy, in
// `memory`.
template <LinkPolicy Links>
Document read_markdown(std::string_view text, const ConvertOptions& options, Links& links,
                       std::pmr::memory_resource* memory = std::pmr::get_default_resource()) {
    Document document(memory);
    document.input = text;
    document.text.reserve(text.size());  // the plain text is never longer
    document.items.reserve(16);
    DocumentBuilder<Links> builder(document, links);
    DocumentWalk(builder, options).read_document(text);
    return document;
}

// The exact conversion's document.
inline Document read_markdown(std::string_view text, const ConvertOptions& options,
                              std::pmr::memory_resource* memory = std::pmr::get_default_resource()) {
    ExactLinks links;
    return read_markdown(text, options, links, memory);
}

}  // namespace quenra
