// The parts of a Flex message, told one after the other in the order of its
// JSON text: what the writer writes, what LINE's rules check, and what a
// message read back from JSON is made of.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "flex/document.hpp"

namespace quenra {

// The boxes of a bubble: its body of text components, and its footer of
// buttons.
enum class Box : std::uint8_t { Body, Footer };

// What takes a message part by part. The calls come in this order: one
// begin_message; each box that the bubble has, body first, with its
// components between begin_box and end_box; one end_message. A text
// component is begin_text, its spans, end_text; a span is begin_span, its
// characters in any number of pieces, end_span with its look. A quote is a
// component of the body that holds text components of its own, between
// begin_quote and end_quote.
template <class Out>
concept MessageOut = requires(Out& out, std::string_view characters, const Look& look, Box box) {
    out.begin_message(characters);  // the altText
    out.begin_box(box);
    out.end_box(box);
    out.begin_text();
    out.end_text();
    out.begin_span();
    out.span_text(characters);
    out.end_span(look);
    out.button(characters, characters);  // label, URI
    out.separator();
    out.begin_quote();
    out.end_quote();
    out.end_message();
};

// A place between two characters of a document: before byte `offset` of the
// characters of item `item`. The offset is less than the item's size, but
// for the end of the document, {items.size(), 0}.
struct Place {
    std::size_t item = 0;
    std::size_t offset = 0;

    friend constexpr bool operator==(const Place&, const Place&) = default;
};

namespace message_detail {

// Calls `each(item, characters)` for every item from `begin` up to `end`,
// with the characters of it that lie between them.
template <class Each>
void for_each_item(const Document& document, Place begin, Place end, Each&& each) {
    for (std::size_t i = begin.item; i < end.item || (i == end.item && end.offset > 0); ++i) {
        const Item& item = document.items[i];
        const std::size_t from = i == begin.item ? begin.offset : 0;
        const std::size_t to = i == end.item ? end.offset : item.size();
        each(item, document.characters(item).substr(from, to - from));
    }
}

}  // namespace message_detail

// Tells each of `outs` alike the message that the document shows from
// `begin` up to `end`, with `alt_text` as its altText: a body of the shown
// items, grouped into their text components and spans, and a footer of the
// buttons.
template <MessageOut... Outs>
void tell_message(const Document& document, Place begin, Place end, std::string_view alt_text, Outs&... outs) {
    (outs.begin_message(alt_text), ...);
    bool body = false;
    const Item* last = nullptr;  // the shown item before, in the same component
    // Ends the text component of `last`, and its quote when that ends too.
    const auto end_component = [&](bool quote_ends) {
        (outs.end_span(last->look), ...);
        (outs.end_text(), ...);
        if (quote_ends && last->quote != 0) (outs.end_quote(), ...);
    };
    message_detail::for_each_item(document, begin, end, [&](const Item& item, std::string_view characters) {
        if (item.kind != Item::Kind::Shown) return;
        if (!body) {
            (outs.begin_box(Box::Body), ...);
            body = true;
        }
        if (!last || last->index != item.index || last->quote != item.quote) {
            const bool same_quote = last && last->quote == item.quote;
            if (last) end_component(!same_quote);
            if (!same_quote && item.quote != 0) (outs.begin_quote(), ...);
            (outs.begin_text(), ...);
            (outs.begin_span(), ...);
        } else if (!joins(*last, item)) {
            (outs.end_span(last->look), ...);
            (outs.begin_span(), ...);
        }
        (outs.span_text(characters), ...);
        last = &item;
    });
    if (body) {
        end_component(true);
        (outs.end_box(Box::Body), ...);
    }
    bool footer = false;
    // Most messages have no button: their items need not be looked at again.
    if (!document.buttons.empty()) {
        message_detail::for_each_item(document, begin, end, [&](const Item& item, std::string_view) {
            if (item.kind != Item::Kind::Button) return;
            if (!footer) {
                (outs.begin_box(Box::Footer), ...);
                footer = true;
            }
            const ButtonText& button = document.buttons[item.index];
            (outs.button(document.view(button.label), document.view(button.uri)), ...);
        });
    }
    if (footer) (outs.end_box(Box::Footer), ...);
    (outs.end_message(), ...);
}

// The whole document's message.
template <MessageOut... Outs>
void tell_message(const Document& document, Outs&... outs) {
    tell_message(document, Place{}, Place{document.items.size(), 0}, document.text, outs...);
}

}  // namespace quenra
