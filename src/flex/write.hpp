// The JSON text of a Flex message, written part by part as tell_message
// (message.hpp) tells them: compact, every object's "type" first, members in
// one fixed order, absent members left out.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <quenra/internal_failure.hpp>
#include "flex/document.hpp"
#include "flex/json_writer.hpp"
#include "flex/message.hpp"

namespace quenra {

// A MessageOut that writes JSON text into a JsonWriter. It also measures
// the bubble: the bytes of the JSON text that "contents" holds.
template <class Sink>
class MessageWriter {
public:
    explicit MessageWriter(JsonWriter<Sink>& json) noexcept : json_(json) {}

    void begin_message(std::string_view alt_text, bool right_to_left) {
        write<R"({"type":"flex","altText":)">();
        json_.string(alt_text);
        write<R"(,"contents":)">();
        bubble_start_ = json_.written();
        write<R"({"type":"bubble")">();
        if (right_to_left) write<R"(,"direction":"rtl")">();
    }
    void end_message() {
        write<"}">();
        bubble_bytes_ = json_.written() - bubble_start_;
        write<"}">();
    }

    void begin_box(Box box) {
        if (box == Box::Body) {
            write<R"(,"body":{"type":"box","layout":"vertical","contents":[)">();
        } else {
            write<R"(,"footer":{"type":"box","layout":"vertical","contents":[)">();
        }
        first_component_ = true;
    }
    void end_box(Box box) {
        if (box == Box::Body) {
            write<R"(],"spacing":"md"})">();
        } else {
            write<R"(],"spacing":"sm","backgroundColor":"#F0F0F0"})">();
        }
    }

    void begin_frame(const Frame& frame) {
        comma_unless_first(first_component_);
        if (depth_ == MAX_FRAME_DEPTH) fail("frames nest deeper than a message may");
        ++depth_;
        if (frame.kind == Frame::Kind::Text) {
            write<R"({"type":"text","wrap":true,"contents":[)">();
            first_span_ = true;
            return;
        }
        if (frame.box.horizontal) {
            write<R"({"type":"box","layout":"horizontal","contents":[)">();
        } else {
            write<R"({"type":"box","layout":"vertical","contents":[)">();
        }
        // The bar, in the colour of links, is the box's first component.
        if (frame.box.bar) write<R"({"type":"separator","color":"#1689FC"})">();
        first_component_ = !frame.box.bar;
    }
    void end_frame(const Frame& frame) {
        write<"]">();
        if (frame.kind == Frame::Kind::Text) {
            end_text(frame.text);
        } else {
            end_box(frame.box);
        }
        write<"}">();
        --depth_;
        first_component_ = false;  // the frame itself was a component
    }

    void begin_span() {
        comma_unless_first(first_span_);
        write<R"({"type":"span","text":")">();
    }
    void span_text(std::string_view characters) { json_.escaped(characters); }
    void end_span(const Look& look) {
        write<"\"">();
        if (look.bold()) write<R"(,"weight":"bold")">();
        if (look.italic()) write<R"(,"style":"italic")">();
        switch (look.decoration()) {
        case Look::Decoration::None:
            break;
        case Look::Decoration::Underline:
            write<R"(,"decoration":"underline")">();
            break;
        case Look::Decoration::LineThrough:
            write<R"(,"decoration":"line-through")">();
            break;
        }
        switch (look.color()) {
        case Look::Color::None:
            break;
        case Look::Color::Spoiler:
            write<R"(,"color":"#CCCCCC")">();
            break;
        case Look::Color::Link:
            write<R"(,"color":"#1689FC")">();
            break;
        case Look::Color::Code:
            write<R"(,"color":"#CC0000")">();
            break;
        case Look::Color::Marked:
            write<R"(,"color":"#D97706")">();
            break;
        }
        switch (look.size()) {
        case Look::Size::Regular:
            break;
        case Look::Size::Small:
            write<R"(,"size":"sm")">();
            break;
        case Look::Size::ExtraSmall:
            write<R"(,"size":"xs")">();
            break;
        }
        write<"}">();
    }

    void button(std::string_view label, std::string_view uri) {
        comma_unless_first(first_component_);
        write<R"({"type":"button","action":{"type":"uri","label":)">();
        json_.string(label);
        write<R"(,"uri":)">();
        json_.string(uri);
        write<R"(},"style":"link","height":"sm"})">();
    }
    void clipboard(std::string_view label, std::string_view text) {
        comma_unless_first(first_component_);
        write<R"({"type":"button","action":{"type":"clipboard","label":)">();
        json_.string(label);
        write<R"(,"clipboardText":)">();
        json_.string(text);
        write<R"(},"style":"link","height":"sm"})">();
    }
    void separator() {
        comma_unless_first(first_component_);
        write<R"({"type":"separator"})">();
    }

    // The bytes of the bubble, once the message is written.
    std::size_t bubble_bytes() const noexcept { return bubble_bytes_; }

private:
    template <JsonLiteral L>
    [[gnu::always_inline]] void write() {
        json_.template literal<L>();
    }

    // A comma before every item of a list but the first.
    void comma_unless_first(bool& first) {
        if (!std::exchange(first, false)) write<",">();
    }

    // A whole number, such as a flex.
    void number(std::int32_t value) {
        char digits[12];
        const auto written = std::to_chars(digits, digits + sizeof digits, value);
        json_.escaped(std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
    }

    // A text component's members after its spans.
    void end_text(const TextStyle& style) {
        if (style.flex >= 0) {
            write<R"(,"flex":)">();
            number(style.flex);
        }
        switch (style.size) {
        case TextStyle::Size::Default:
            break;
        case TextStyle::Size::ExtraSmall:
            write<R"(,"size":"xs")">();
            break;
        case TextStyle::Size::Small:
            write<R"(,"size":"sm")">();
            break;
        case TextStyle::Size::Medium:
            write<R"(,"size":"md")">();
            break;
        case TextStyle::Size::Large:
            write<R"(,"size":"lg")">();
            break;
        case TextStyle::Size::ExtraLarge:
            write<R"(,"size":"xl")">();
            break;
        }
        if (style.bold) write<R"(,"weight":"bold")">();
        if (style.grey) write<R"(,"color":"#8C8C8C")">();
        switch (style.align) {
        case TextStyle::Align::Default:
            break;
        case TextStyle::Align::Start:
            write<R"(,"align":"start")">();
            break;
        case TextStyle::Align::Center:
            write<R"(,"align":"center")">();
            break;
        case TextStyle::Align::End:
            write<R"(,"align":"end")">();
            break;
        }
        switch (style.gravity) {
        case TextStyle::Gravity::Default:
            break;
        case TextStyle::Gravity::Top:
            write<R"(,"gravity":"top")">();
            break;
        case TextStyle::Gravity::Center:
            write<R"(,"gravity":"center")">();
            break;
        case TextStyle::Gravity::Bottom:
            write<R"(,"gravity":"bottom")">();
            break;
        }
    }

    // A box's members after its components.
    void end_box(const BoxStyle& style) {
        if (style.flex >= 0) {
            write<R"(,"flex":)">();
            number(style.flex);
        }
        switch (style.spacing) {
        case BoxStyle::Spacing::None:
            break;
        case BoxStyle::Spacing::Small:
            write<R"(,"spacing":"sm")">();
            break;
        case BoxStyle::Spacing::Medium:
            write<R"(,"spacing":"md")">();
            break;
        }
        if (style.padded) write<R"(,"paddingAll":"md")">();
        if (style.indented) write<R"(,"paddingStart":"lg")">();
        switch (style.background) {
        case BoxStyle::Background::None:
            break;
        case BoxStyle::Background::Quote:
            write<R"(,"backgroundColor":"#EEF5FD")">();
            break;
        case BoxStyle::Background::Stripe:
            write<R"(,"backgroundColor":"#F5F5F5")">();
            break;
        }
        if (style.rounded) write<R"(,"cornerRadius":"md")">();
    }

    JsonWriter<Sink>& json_;
    std::size_t bubble_start_ = 0;
    std::size_t bubble_bytes_ = 0;
    std::size_t depth_ = 0;
    bool first_component_ = true;
    bool first_span_ = true;
};

// Writes what `tell` tells a MessageWriter into `sink` and returns the
// bubble's size in bytes. A sink that fails breaks an invariant of the
// library (the in-memory one never does), so the failure is raised.
template <class Sink, class Tell>
std::size_t write_message(Sink& sink, Tell&& tell) {
    JsonWriter<Sink> json(sink);
    MessageWriter<Sink> writer(json);
    tell(writer);
    if (json.failure()) fail("FlexMessage serialization failed: " + *json.failure());
    return writer.bubble_bytes();
}

// Writes the whole document's message into `sink`; returns the bubble's size.
template <class Sink>
std::size_t write_document(const Document& document, Sink& sink) {
    return write_message(sink, [&](auto& writer) { tell_message(document, writer); });
}

// The size of the bubble that `tell` tells a MessageWriter, counted
// without writing it.
template <class Tell>
std::size_t bubble_size(Tell&& tell) {
    SizeSink sink;
    return write_message(sink, std::forward<Tell>(tell));
}

// The size of the bubble of a message that shows one button alone.
inline std::size_t lone_button_size(std::string_view label, std::string_view uri, bool copies = false) {
    return bubble_size([&](auto& writer) {
        writer.begin_message({}, false);
        writer.begin_box(Box::Footer);
        if (copies) {
            writer.clipboard(label, uri);
        } else {
            writer.button(label, uri);
        }
        writer.end_box(Box::Footer);
        writer.end_message();
    });
}

// Room worth making for the JSON text of a message converted from a text of
// `text_size` bytes: chat messages come out about six times their length.
constexpr std::size_t expected_json_size(std::size_t text_size) noexcept { return 128 + 6 * text_size; }

}  // namespace quenra
