// The Flex message as records, for the tests: what their independent reader
// of the JSON output (flex_json.hpp) makes of a message.
//
// Plain value types: a parent owns its children, optional fields are optional
// values, and nothing is shared. Fields are declared in the order in which
// they are written as JSON. Members whose value never varies ("type" of every
// record, "layout" of a box, "style" and "height" of a button) are not stored:
// the serializer writes them.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "flex/message.hpp"

namespace quenra {

enum class FontWeight : unsigned char { Bold, Regular };
enum class FontStyle : unsigned char { Normal, Italic };
enum class TextDecoration : unsigned char { None, Underline, LineThrough };

// One styled run of text inside a text component.
struct Span {
    std::string text;                          // written also when empty
    std::optional<FontWeight> weight;          // "bold" or "regular"
    std::optional<FontStyle> style;            // "normal" or "italic"
    std::optional<TextDecoration> decoration;  // "none", "underline" or "line-through"
    std::optional<std::string> color;          // such as "#1689FC"
    std::optional<std::string> size;           // such as "sm"

    friend bool operator==(const Span&, const Span&) = default;
};

// What a button does when tapped: opens `uri`.
struct UriAction {
    std::string label;
    std::string uri;

    friend bool operator==(const UriAction&, const UriAction&) = default;
};

// A wrapping (or not) paragraph of spans.
struct Text {
    bool wrap = true;
    std::vector<Span> contents;

    friend bool operator==(const Text&, const Text&) = default;
};

// A link-styled button of small height.
struct Button {
    UriAction action;

    friend bool operator==(const Button&, const Button&) = default;
};

// A dividing line; the conversion never makes one, the serializer writes it.
struct Separator {
    friend bool operator==(const Separator&, const Separator&) = default;
};

// A quote: a horizontal box of a coloured bar and a box of its text
// components, which the writer lays out.
struct Quote {
    std::vector<Text> contents;

    friend bool operator==(const Quote&, const Quote&) = default;
};

// Written as an object whose "type" names the alternative.
using Component = std::variant<Text, Button, Separator, Quote>;

// A vertical box of components.
struct FlexBox {
    std::vector<Component> contents;            // written also when empty
    std::optional<std::string> spacing;         // such as "md"
    std::optional<std::string> backgroundColor;

    friend bool operator==(const FlexBox&, const FlexBox&) = default;
};

struct Bubble {
    std::optional<FlexBox> body;
    std::optional<FlexBox> footer;

    friend bool operator==(const Bubble&, const Bubble&) = default;
};

// The top-level message: its alternative text and one bubble.
struct FlexMessage {
    std::string altText;
    Bubble contents;

    friend bool operator==(const FlexMessage&, const FlexMessage&) = default;
};

namespace testing {

// Calls `each(text)` for every text component of `box`, those in quotes too,
// in order.
template <class Each>
void for_each_text(const FlexBox& box, Each&& each) {
    for (const Component& component : box.contents) {
        if (const auto* text = std::get_if<Text>(&component)) each(*text);
        if (const auto* quote = std::get_if<Quote>(&component)) {
            for (const Text& text : quote->contents) each(text);
        }
    }
}

// The span fields that a look sets, as the writer writes them.
inline Span span_of(std::string text, const Look& look) {
    Span span{std::move(text), {}, {}, {}, {}, {}};
    if (look.bold()) span.weight = FontWeight::Bold;
    if (look.italic()) span.style = FontStyle::Italic;
    if (look.decoration() == Look::Decoration::Underline) span.decoration = TextDecoration::Underline;
    if (look.decoration() == Look::Decoration::LineThrough) span.decoration = TextDecoration::LineThrough;
    constexpr const char* COLORS[] = {nullptr, "#CCCCCC", "#1689FC", "#CC0000", "#D97706"};
    if (const char* color = COLORS[static_cast<int>(look.color())]) span.color = color;
    constexpr const char* SIZES[] = {nullptr, "sm", "xs"};
    if (const char* size = SIZES[static_cast<int>(look.size())]) span.size = size;
    return span;
}

// A MessageOut that makes the records of the message it is told.
class RecordsOf {
public:
    void begin_message(std::string_view alt_text, bool /*right_to_left*/) { message_.altText = alt_text; }
    void begin_box(Box box) {
        auto& slot = box == Box::Body ? message_.contents.body : message_.contents.footer;
        slot = FlexBox{{}, std::string(box == Box::Body ? "md" : "sm"),
                       box == Box::Body ? std::nullopt : std::optional<std::string>("#F0F0F0")};
        box_ = &*slot;
    }
    void end_box(Box) {}
    // Text components, and quotes: a box with a bar around a box of text
    // components (the model has no other boxes).
    void begin_frame(const Frame& frame) {
        if (frame.kind == Frame::Kind::Text) return begin_text();
        if (frame.box.bar) {
            box_->contents.emplace_back(std::in_place_type<Quote>);
            quote_ = &std::get<Quote>(box_->contents.back());
        }
    }
    void end_frame(const Frame& frame) {
        if (frame.kind == Frame::Kind::Box && frame.box.bar) quote_ = nullptr;
    }
    void begin_text() {
        if (quote_) {
            quote_->contents.push_back(Text{true, {}});
            text_ = &quote_->contents.back();
        } else {
            box_->contents.emplace_back(std::in_place_type<Text>, Text{true, {}});
            text_ = &std::get<Text>(box_->contents.back());
        }
    }
    void begin_span() { span_text_.clear(); }
    void span_text(std::string_view characters) { span_text_ += characters; }
    void end_span(const Look& look) { text_->contents.push_back(span_of(span_text_, look)); }
    void button(std::string_view label, std::string_view uri) {
        box_->contents.push_back(Button{UriAction{std::string(label), std::string(uri)}});
    }
    // No reading that these records are made for makes buttons that copy.
    void clipboard(std::string_view, std::string_view) { std::abort(); }
    void separator() { box_->contents.emplace_back(std::in_place_type<Separator>); }
    void end_message() {}

    const FlexMessage& message() const noexcept { return message_; }

private:
    FlexMessage message_;
    FlexBox* box_ = nullptr;
    Quote* quote_ = nullptr;
    Text* text_ = nullptr;
    std::string span_text_;
};

}  // namespace testing

}  // namespace quenra
