// Building a document (flex/document.hpp) from a walk of MarkdownV2. What
// becomes of links is the policy of the reading: the exact conversion keeps
// every link as a button with its URI as written; delivery to LINE repairs
// them (line/repair.hpp).
#pragma once

#include <algorithm>
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
concept LinkPolicy = requires(Links& links, Document& document, const Ref& label, const Link& link,
                               std::string_view text) {
    // Spans with no characters (empty code) are kept, or left out.
    { Links::KEEPS_EMPTY_SPANS } -> std::convertible_to<bool>;
    // The button of a link read in the running text.
    { links.button(document, label, link) } -> std::same_as<ButtonText>;
    // The button of a standalone link, or nothing to read it in the running
    // text instead.
    { links.standalone_button(document, label, link) } -> std::same_as<std::optional<ButtonText>>;
    // A button of the footer alone (label, URI or the text it copies,
    // whether it copies), or nothing to leave it out.
    { links.lone_button(document, text, text, true) } -> std::same_as<std::optional<ButtonText>>;
};

template <class Links>
concept ReadsLinks = LinkPolicy<Links> && requires(Links& links, const Link& link) {
    { links.reading(link, true) } -> std::same_as<LinkReading>;
};

// The policy of a message as given: every link is a button, labelled with
// its plain text and opening its URI as given.
struct GivenLinks {
    static constexpr bool KEEPS_EMPTY_SPANS = true;

    ButtonText button(Document& document, const Ref& label, const Link& link) const {
        return ButtonText{label, document.ref_to(link.url), false};
    }
    std::optional<ButtonText> standalone_button(Document& document, const Ref& label, const Link& link) const {
        return button(document, label, link);
    }
    std::optional<ButtonText> lone_button(Document& document, std::string_view label, std::string_view target,
                                          bool copies) const {
        return ButtonText{document.keep(label), document.ref_to(target), copies};
    }
};

// The frames of a quote: a box with a bar at its start and a tint behind
// what it holds, and inside it a box of its components.
inline constexpr Frame QUOTE_FRAME{Frame::Kind::Box, false, {},
                                   BoxStyle{.horizontal = true, .spacing = BoxStyle::Spacing::Medium, .padded = true,
                                            .background = BoxStyle::Background::Quote, .rounded = true, .bar = true},
                                   0, 0};
inline constexpr Frame QUOTE_CONTENTS_FRAME{Frame::Kind::Box, false, {},
                                            BoxStyle{.spacing = BoxStyle::Spacing::Medium}, 0, 0};

// Appends to a document what a reading tells it: text, code, links and
// buttons, in frames (text components and boxes) that the reading opens, or
// in text components opened where shown text needs one.
template <LinkPolicy Links>
class DocumentBuilder {
public:
    DocumentBuilder(Document& document, Links& links, const ConvertOptions& options) noexcept
        : document_(document), links_(links), options_(options) {}

    // Links may be read otherwise after a "!".
    static constexpr bool READS_LINKS = ReadsLinks<Links>;

    // Inlined into the walk: it runs once per stretch of text.
    [[gnu::always_inline]] void text(std::string_view characters, const Look& look) {
        if (!text_open_) begin_text();
        const std::size_t begin = append(characters);
        const Item& last = document_.items.back();
        if (last.kind == Item::Kind::Shown && last.merges && last.look == look) return;  // it takes them
        add_item(Item::Kind::Shown, true, false, look, 0, begin);
    }

    void inline_code(std::string_view code) { add_code(code); }
    // Characters of the altText only.
    void hidden(std::string_view characters) {
        if (characters.empty()) return;
        const std::size_t begin = append(characters);
        add_item(Item::Kind::Hidden, false, false, {}, 0, begin);
    }
    void hidden_code(std::string_view code) { hidden(code); }
    // A code block is a text component of its own.
    void code_block(std::string_view code) {
        end_text();
        begin_text();
        add_code(code);
        end_text();
    }

    // A link in the running text, in `look`, whose text `read_text(look)`
    // reads: a button with its text in the look of links, or, when the
    // policy reads it as text, its text in `look` (taking back the "!"
    // before it, as the policy may say, when `after_bang`).
    template <class ReadText>
    void link(const Link& link, const Look& look, bool after_bang, ReadText&& read_text) {
        if constexpr (ReadsLinks<Links>) {
            const LinkReading reading = links_.reading(link, after_bang);
            if (reading != LinkReading::Button) {
                if (reading == LinkReading::TextWithoutBang) take_back_bang();
                read_text(look);
                return;
            }
        }
        const std::size_t mark = document_.text.size();
        const std::size_t first_item = document_.items.size();
        read_text(link_look(look, options_.decorate_links));
        const Ref label{Ref::In::Text, mark, document_.text.size() - mark};
        const ButtonText button = links_.button(document_, label, link);
        // Buttons come in the order in which their links start: before any
        // that the text held (buttons in a rich message's text).
        const auto items = document_.items.begin();
        const auto held = std::find_if(items + static_cast<std::ptrdiff_t>(first_item), document_.items.end(),
                                       [](const Item& item) { return item.kind == Item::Kind::Button; });
        if (held == document_.items.end()) return add_button(button, false, document_.text.size());
        Item inserted{.begin = held->begin, .index = static_cast<std::uint32_t>(document_.buttons.size()), .look = {},
                      .kind = Item::Kind::Button};
        document_.items.insert(held, inserted);
        document_.buttons.push_back(button);
    }

    // A link of MarkdownV2 that ends its line: its label is its plain text.
    bool standalone_link(const Link& link, std::string_view tail) {
        return standalone_link(link, tail, [&] { append_plain_text(link.text, document_.text); });
    }

    // A link that ends its line, whose label `append_label()` appends to the
    // text, with `tail` (the white space and line feed after it): true when
    // it is a button only, false to read it in the running text instead.
    template <class AppendLabel>
    bool standalone_link(const Link& link, std::string_view tail, AppendLabel&& append_label) {
        const std::size_t begin = document_.text.size();
        append_label();
        const Ref label{Ref::In::Text, begin, document_.text.size() - begin};
        const std::optional<ButtonText> button = links_.standalone_button(document_, label, link);
        if (!button) {
            document_.text.resize(begin);
            return false;
        }
        add_button(*button, true, begin);
        hidden(tail);
        return true;
    }

    // A button of the footer alone: its label and what it opens, or the
    // text it copies; left out where the policy leaves it out.
    void button(std::string_view label, std::string_view target, bool copies = false) {
        if (auto made = links_.lone_button(document_, label, target, copies)) {
            add_button(*made, false, document_.text.size());
        }
    }

    // A quote: a box of its own for what comes until end_quote.
    void begin_quote() {
        open_frame(QUOTE_FRAME);
        open_frame(QUOTE_CONTENTS_FRAME);
    }
    void end_quote() {
        close_frame();
        close_frame();
    }

    // Opens a frame for what comes until its close_frame, ending the text
    // component open, if any; returns its index among the document's frames.
    std::uint32_t open_frame(const Frame& frame) {
        end_text();
        const auto index = static_cast<std::uint32_t>(document_.frames.size());
        document_.frames.push_back(frame);
        add_item(Item::Kind::Open, false, false, {}, index, document_.text.size());
        return index;
    }
    void close_frame() {
        end_text();
        add_item(Item::Kind::Close, false, false, {}, 0, document_.text.size());
    }
    // A text component of the given style for the shown text until end_text.
    void begin_text(const TextStyle& style, bool block = false) {
        open_frame(Frame{Frame::Kind::Text, block, style, {}, 0, 0});
        text_open_ = true;
    }
    void end_text() {
        if (!std::exchange(text_open_, false)) return;
        add_item(Item::Kind::Close, false, false, {}, 0, document_.text.size());
    }
    void separator() {
        end_text();
        add_item(Item::Kind::Separator, false, false, {}, 0, document_.text.size());
    }

    // Ends what is open at the end of a reading.
    void finish() { end_text(); }

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

    Document& document() noexcept { return document_; }

private:
    // A text component of the default style; the one frame of it is shared.
    void begin_text() {
        if (!default_text_) {
            default_text_ = static_cast<std::uint32_t>(document_.frames.size());
            document_.frames.push_back(Frame{});
        }
        add_item(Item::Kind::Open, false, false, {}, *default_text_, document_.text.size());
        text_open_ = true;
    }

    // The "!" was the last character read, so it ends the last item.
    void take_back_bang() {
        document_.text.pop_back();
        if (document_.items.back().begin == document_.text.size()) document_.items.pop_back();
    }

    // An item that owns the text from `begin` on.
    void add_item(Item::Kind kind, bool merges, bool standalone, Look look, std::uint32_t index, std::size_t begin) {
        Item item{.begin = begin, .index = index, .look = look, .kind = kind};
        item.merges = merges;
        item.standalone = standalone;
        document_.items.push_back(item);
    }

    void add_code(std::string_view code) {
        if (code.empty() && !Links::KEEPS_EMPTY_SPANS) return;
        if (!text_open_) begin_text();
        const std::size_t begin = append(code);
        add_item(Item::Kind::Shown, false, false, CODE_LOOK, 0, begin);
    }

    // A button whose own characters run from `begin` to the end of the text.
    void add_button(const ButtonText& button, bool standalone, std::size_t begin) {
        add_item(Item::Kind::Button, false, standalone, {}, static_cast<std::uint32_t>(document_.buttons.size()),
                 begin);
        document_.buttons.push_back(button);
    }

    Document& document_;
    Links& links_;
    const ConvertOptions& options_;
    std::optional<std::uint32_t> default_text_;
    bool text_open_ = false;
};

// The document that `text` makes, read with `links` as its link policy, in
// `memory`.
template <LinkPolicy Links>
Document read_markdown(std::string_view text, const ConvertOptions& options, Links& links,
                       std::pmr::memory_resource* memory = std::pmr::get_default_resource()) {
    Document document(memory);
    document.input = text;
    document.reserve_for(text.size());
    DocumentBuilder<Links> builder(document, links, options);
    DocumentWalk(builder, options).read_document(text);
    builder.finish();
    return document;
}

// The exact conversion's document.
inline Document read_markdown(std::string_view text, const ConvertOptions& options,
                              std::pmr::memory_resource* memory = std::pmr::get_default_resource()) {
    GivenLinks links;
    return read_markdown(text, options, links, memory);
}

}  // namespace quenra
