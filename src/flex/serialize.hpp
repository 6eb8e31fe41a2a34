// The JSON form of the Flex message records.
//
// Each record is one object: "type" first, then its fields in declared order,
// an absent optional field left out (never written as null), a nested record
// written in place and a list written as an array. Every `serialize` returns
// false as soon as the writer fails, and writes nothing after that.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "flex/json_writer.hpp"
#include "flex/model.hpp"

namespace quenra {

constexpr std::string_view json_name(FontWeight weight) noexcept {
    return weight == FontWeight::Bold ? "bold" : "regular";
}

constexpr std::string_view json_name(FontStyle style) noexcept {
    return style == FontStyle::Italic ? "italic" : "normal";
}

constexpr std::string_view json_name(TextDecoration decoration) noexcept {
    switch (decoration) {
    case TextDecoration::Underline:
        return "underline";
    case TextDecoration::LineThrough:
        return "line-through";
    case TextDecoration::None:
        break;
    }
    return "none";
}

namespace json_detail {

template <class Sink>
bool member(JsonWriter<Sink>& writer, Container& object, std::string_view key, std::string_view value) {
    return writer.key(object, key) && writer.string(value);
}

template <class Sink, class Enum>
bool optional_member(JsonWriter<Sink>& writer, Container& object, std::string_view key,
                     const std::optional<Enum>& value) {
    return !value || member(writer, object, key, json_name(*value));
}

template <class Sink>
bool optional_member(JsonWriter<Sink>& writer, Container& object, std::string_view key,
                     const std::optional<std::string>& value) {
    return !value || member(writer, object, key, *value);
}

template <class Sink, class Record>
bool write_array(JsonWriter<Sink>& writer, const std::vector<Record>& records) {
    Container array;
    if (!writer.begin_array(array)) return false;
    for (const Record& record : records) {
        if (!writer.element(array) || !serialize(record, writer)) return false;
    }
    return writer.end_array();
}

}  // namespace json_detail

template <class Sink>
bool serialize(const Span& span, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    Container o;
    return writer.begin_object(o) && member(writer, o, "type", "span") && member(writer, o, "text", span.text) &&
           optional_member(writer, o, "weight", span.weight) && optional_member(writer, o, "style", span.style) &&
           optional_member(writer, o, "decoration", span.decoration) &&
           optional_member(writer, o, "color", span.color) && optional_member(writer, o, "size", span.size) &&
           writer.end_object();
}

template <class Sink>
bool serialize(const UriAction& action, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    Container o;
    return writer.begin_object(o) && member(writer, o, "type", "uri") && member(writer, o, "label", action.label) &&
           member(writer, o, "uri", action.uri) && writer.end_object();
}

template <class Sink>
bool serialize(const Component& component, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    Container o;
    if (!writer.begin_object(o)) return false;
    const bool fields_written = std::visit(
        [&]<class Kind>(const Kind& alternative) {
            if constexpr (std::is_same_v<Kind, Text>) {
                return member(writer, o, "type", "text") && writer.key(o, "wrap") &&
                       writer.boolean(alternative.wrap) && writer.key(o, "contents") &&
                       write_array(writer, alternative.contents);
            } else if constexpr (std::is_same_v<Kind, Button>) {
                return member(writer, o, "type", "button") && writer.key(o, "action") &&
                       serialize(alternative.action, writer) && member(writer, o, "style", "link") &&
                       member(writer, o, "height", "sm");
            } else {
                static_assert(std::is_same_v<Kind, Separator>);
                return member(writer, o, "type", "separator");
            }
        },
        component);
    return fields_written && writer.end_object();
}

template <class Sink>
bool serialize(const FlexBox& box, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    Container o;
    return writer.begin_object(o) && member(writer, o, "type", "box") && member(writer, o, "layout", "vertical") &&
           writer.key(o, "contents") && write_array(writer, box.contents) &&
           optional_member(writer, o, "spacing", box.spacing) &&
           optional_member(writer, o, "backgroundColor", box.backgroundColor) && writer.end_object();
}

template <class Sink>
bool serialize(const Bubble& bubble, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    Container o;
    return writer.begin_object(o) && member(writer, o, "type", "bubble") &&
           (!bubble.body || (writer.key(o, "body") && serialize(*bubble.body, writer))) &&
           (!bubble.footer || (writer.key(o, "footer") && serialize(*bubble.footer, writer))) &&
           writer.end_object();
}

template <class Sink>
bool serialize(const FlexMessage& message, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    Container o;
    return writer.begin_object(o) && member(writer, o, "type", "flex") &&
           member(writer, o, "altText", message.altText) && writer.key(o, "contents") &&
           serialize(message.contents, writer) && writer.end_object();
}

// What a sink reported when it failed.
struct WriteFailure {
    std::string description;
};

// Writes `record` into `sink`: nothing on success, else the sink's first failure.
template <class Record, class Sink>
std::optional<WriteFailure> write_json(const Record& record, Sink& sink) {
    JsonWriter<Sink> writer(sink);
    if (serialize(record, writer)) return std::nullopt;
    return WriteFailure{writer.failure().value_or("")};
}

// The JSON text of `record`, written in memory.
template <class Record>
std::string to_json(const Record& record) {
    std::string out;
    StringSink sink(out);
    (void)write_json(record, sink);  // the in-memory sink never fails
    return out;
}

}  // namespace quenra
