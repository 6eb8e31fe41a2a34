// The Flex message records that a conversion produces.
//
// Plain value types: a parent owns its children, optional fields are optional
// values, and nothing is shared. Fields are declared in the order in which
// they are written as JSON. Members whose value never varies ("type" of every
// record, "layout" of a box, "style" and "height" of a button) are not stored:
// the serializer writes them.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

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

// Written as an object whose "type" names the alternative.
using Component = std::variant<Text, Button, Separator>;

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

}  // namespace quenra
