// The parts of a Flex message, told one after the other in the order of its
// JSON text: what the writer writes, what LINE's rules check, and what a
// message read back from JSON is made of.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <tuple>
#include <vector>

#include <quenra/internal_failure.hpp>
#include "flex/document.hpp"

namespace quenra {

// The boxes of a bubble: its body of components, and its footer of buttons.
enum class Box : std::uint8_t { Body, Footer };

// What takes a message part by part. The calls come in this order: one
// begin_message; each box that the bubble has, body first, with its
// components between begin_box and end_box; one end_message. A component
// that holds others (a text component, a box in the body) is begin_frame,
// what it holds, end_frame; a text component holds spans, each begin_span,
// its characters in any number of pieces, end_span with its look. A box
// with a bar holds it as its first component, told with the box.
template <class Out>
concept MessageOut = requires(Out& out, std::string_view characters, const Look& look, Box box, const Frame& frame) {
    out.begin_message(characters, true);  // the altText; shown right to left
    out.begin_box(box);
    out.end_box(box);
    out.begin_frame(frame);
    out.end_frame(frame);
    out.begin_span();
    out.span_text(characters);
    out.end_span(look);
    out.button(characters, characters);     // label, URI
    out.clipboard(characters, characters);  // label, the text it copies
    out.separator();
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

// A stretch of a document that a message tells, with its buttons or
// without them.
struct Stretch {
    Place begin;
    Place end;
    bool buttons = true;
};

namespace message_detail {

// Calls `each(item, characters)` for every item from `begin` up to `end`,
// with the characters of it that lie between them.
template <class Each>
void for_each_item(const Document& document, Place begin, Place end, Each&& each) {
    for (std::size_t i = begin.item; i < end.item || (i == end.item && end.offset > 0); ++i) {
        const Item& item = document.items[i];
        const std::size_t from = i == begin.item ? begin.offset : 0;
        const std::size_t to = i == end.item ? end.offset : document.size_of(item);
        each(item, document.characters(item).substr(from, to - from));
    }
}

// The frames open while a message is told, each written once it holds
// something (so that a frame that holds nothing is never written), and the
// span open in the text component written last.
template <class... Outs>
class FrameTeller {
public:
    FrameTeller(const Document& document, std::span<const std::uint32_t> open, Outs&... outs)
        : document_(document), outs_(outs...) {
        for (const std::uint32_t frame : open) push(frame);
    }

    void open(std::uint32_t frame) {
        push(frame);
        if (frame_of(frame).box.shown_empty && !frame_of(frame).flattened) write_pending();
    }
    void close() {
        if (depth_ == 0) fail("a frame is closed that is not open");
        const Entry entry = stack_[--depth_];
        if (entry.written) end(frame_of(entry.frame));
    }
    void shown(const Item& item, std::string_view characters) {
        write_pending();
        if (last_ && joins(*last_, item)) {
            each([&](auto& out) { out.span_text(characters); });
            return;
        }
        if (last_) each([&](auto& out) { out.end_span(last_->look); });
        each([&](auto& out) {
            out.begin_span();
            out.span_text(characters);
        });
        last_ = &item;
    }
    void separator() {
        write_pending();
        each([](auto& out) { out.separator(); });
    }
    // Ends what is written: the frames open, and the body.
    void finish() {
        while (depth_ > 0) close();
        if (body_) each([](auto& out) { out.end_box(Box::Body); });
    }

private:
    struct Entry {
        std::uint32_t frame;
        bool written;
    };

    const Frame& frame_of(std::uint32_t index) const noexcept { return document_.frames[index]; }

    void push(std::uint32_t frame) {
        if (depth_ == stack_.size()) fail("frames nest deeper than a message may");
        stack_[depth_++] = Entry{frame, false};
    }

    template <class Call>
    void each(Call&& call) {
        std::apply([&](auto&... out) { (call(out), ...); }, outs_);
    }

    // Writes the body and the frames open that are not written yet.
    void write_pending() {
        if (!body_) {
            each([](auto& out) { out.begin_box(Box::Body); });
            body_ = true;
        }
        for (Entry& entry : std::span(stack_).first(depth_)) {
            if (entry.written || frame_of(entry.frame).flattened) continue;
            entry.written = true;
            each([&](auto& out) { out.begin_frame(frame_of(entry.frame)); });
        }
    }
    void end(const Frame& frame) {
        if (frame.kind == Frame::Kind::Text && last_) {
            each([&](auto& out) { out.end_span(last_->look); });
            last_ = nullptr;
        }
        each([&](auto& out) { out.end_frame(frame); });
    }

    const Document& document_;
    std::tuple<Outs&...> outs_;
    std::array<Entry, MAX_FRAME_DEPTH> stack_;
    std::size_t depth_ = 0;
    bool body_ = false;
    const Item* last_ = nullptr;  // the shown item whose span is open
};

}  // namespace message_detail

// Tells each of `outs` alike the message that the document shows in
// `stretches`, in order, with `alt_text` as its altText; `open` are the
// frames open where the first stretch begins, outermost first. The body
// holds the shown items in their frames, the footer the buttons.
template <MessageOut... Outs>
void tell_message(const Document& document, std::span<const Stretch> stretches, std::span<const std::uint32_t> open,
                  std::string_view alt_text, Outs&... outs) {
    (outs.begin_message(alt_text, document.right_to_left), ...);
    message_detail::FrameTeller<Outs...> body(document, open, outs...);
    bool buttons = false;
    for (const Stretch& stretch : stretches) {
        message_detail::for_each_item(document, stretch.begin, stretch.end, [&](const Item& item, std::string_view characters) {
            switch (item.kind) {
            case Item::Kind::Shown:
                body.shown(item, characters);
                break;
            case Item::Kind::Open:
                body.open(item.index);
                break;
            case Item::Kind::Close:
                body.close();
                break;
            case Item::Kind::Separator:
                body.separator();
                break;
            case Item::Kind::Button:
                buttons |= stretch.buttons;
                break;
            case Item::Kind::Hidden:
                break;
            }
        });
    }
    body.finish();
    if (buttons) {
        (outs.begin_box(Box::Footer), ...);
        for (const Stretch& stretch : stretches) {
            if (!stretch.buttons) continue;
            message_detail::for_each_item(document, stretch.begin, stretch.end, [&](const Item& item, std::string_view) {
                if (item.kind != Item::Kind::Button) return;
                const ButtonText& button = document.buttons[item.index];
                if (button.copies) {
                    (outs.clipboard(document.view(button.label), document.view(button.uri)), ...);
                } else {
                    (outs.button(document.view(button.label), document.view(button.uri)), ...);
                }
            });
        }
        (outs.end_box(Box::Footer), ...);
    }
    (outs.end_message(), ...);
}

// The message of the document from `begin` up to `end`, where `open` are
// the frames open.
template <MessageOut... Outs>
void tell_message(const Document& document, Place begin, Place end, std::span<const std::uint32_t> open,
                  std::string_view alt_text, Outs&... outs) {
    const std::array<Stretch, 1> stretch{Stretch{begin, end, true}};
    tell_message(document, std::span<const Stretch>(stretch), open, alt_text, outs...);
}

// The whole document's message.
template <MessageOut... Outs>
void tell_message(const Document& document, Outs&... outs) {
    tell_message(document, Place{}, Place{document.items.size(), 0}, {}, document.text, outs...);
}

}  // namespace quenra
