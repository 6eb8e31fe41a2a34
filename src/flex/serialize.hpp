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

namespace json_detail {

// Every object starts with its constant "type" member, so every later member
// follows a comma. The runs of text that never change (an object's opening
// with its type, a key with its colon and comma, an enumerator's member) are
// written as one literal each.

constexpr std::string_view member_json(FontWeight weight) noexcept {
    return weight == FontWeight::Bold ? R"(,"weight":"bold")" : R"(,"weight":"regular")";
}

constexpr std::string_view member_json(FontStyle style) noexcept {
    return style == FontStyle::Italic ? R"(,"style":"italic")" : R"(,"style":"normal")";
}

constexpr std::string_view member_json(TextDecoration decoration) noexcept {
    switch (decoration) {
    case TextDecoration::Underline:
        return R"(,"decoration":"underline")";
    case TextDecoration::LineThrough:
        return R"(,"decoration":"line-through")";
    case TextDecoration::None:
        break;
    }
    return R"(,"decoration":"none")";
}

template <class Sink, class Enum>
bool optional_member(JsonWriter<Sink>& writer, const std::optional<Enum>& value) {
    return !value || writer.literal(member_json(*value));
}

// `key_json` is the member's comma, quoted key and colon.
template <class Sink>
bool optional_member(JsonWriter<Sink>& writer, std::string_view key_json, const std::optional<std::string>& value) {
    return !value || (writer.literal(key_json) && writer.string(*value));
}

template <class Sink, class Record>
bool write_array(JsonWriter<Sink>& writer, const std::vector<Record>& records) {
    if (!writer.literal("[")) return false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if ((i > 0 && !writer.literal(",")) || !serialize(records[i], writer)) return false;
    }
    return writer.literal("]");
}

}  // namespace json_detail

template <class Sink>
bool serialize(const Span& span, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    return writer.literal(R"({"type":"span","text":)") && writer.string(span.text) &&
           optional_member(writer, span.weight) && optional_member(writer, span.style) &&
           optional_member(writer, span.decoration) && optional_member(writer, R"(,"color":)", span.color) &&
           optional_member(writer, R"(,"size":)", span.size) && writer.literal("}");
}

template <class Sink>
bool serialize(const UriAction& action, JsonWriter<Sink>& writer) {
    return writer.literal(R"({"type":"uri","label":)") && writer.string(action.label) &&
           writer.literal(R"(,"uri":)") && writer.string(action.uri) && writer.literal("}");
}

template <class Sink>
bool serialize(const Component& component, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    return std::visit(
        [&writer]<class Kind>(const Kind& alternative) {
            if constexpr (std::is_same_v<Kind, Text>) {
                return writer.literal(alternative.wrap ? R"({"type":"text","wrap":true,"contents":)"
                                                       : R"({"type":"text","wrap":false,"contents":)") &&
                       write_array(writer, alternative.contents) && writer.literal("}");
            } else if constexpr (std::is_same_v<Kind, Button>) {
                return writer.literal(R"({"type":"button","action":)") && serialize(alternative.action, writer) &&
                       writer.literal(R"(,"style":"link","height":"sm"})");
            } else {
                static_assert(std::is_same_v<Kind, Separator>);
                return writer.literal(R"({"type":"separator"})");
            }
        },
        component);
}

template <class Sink>
bool serialize(const FlexBox& box, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    return writer.literal(R"({"type":"box","layout":"vertical","contents":)") && write_array(writer, box.contents) &&
           optional_member(writer, R"(,"spacing":)", box.spacing) &&
           optional_member(writer, R"(,"backgroundColor":)", box.backgroundColor) && writer.literal("}");
}

template <class Sink>
bool serialize(const Bubble& bubble, JsonWriter<Sink>& writer) {
    return writer.literal(R"({"type":"bubble")") &&
           (!bubble.body || (writer.literal(R"(,"body":)") && serialize(*bubble.body, writer))) &&
           (!bubble.footer || (writer.literal(R"(,"footer":)") && serialize(*bubble.footer, writer))) &&
           writer.literal("}");
}

namespace json_detail {

inline constexpr std::string_view MESSAGE_OPEN = R"({"type":"flex","altText":)";
inline constexpr std::string_view MESSAGE_CONTENTS = R"(,"contents":)";
inline constexpr std::string_view MESSAGE_CLOSE = "}";

}  // namespace json_detail

template <class Sink>
bool serialize(const FlexMessage& message, JsonWriter<Sink>& writer) {
    using namespace json_detail;
    return writer.literal(MESSAGE_OPEN) && writer.string(message.altText) && writer.literal(MESSAGE_CONTENTS) &&
           serialize(message.contents, writer) && writer.literal(MESSAGE_CLOSE);
}

// The bytes of a message's JSON text, as `serialize` writes it, that are not
// its bubble's.
inline std::size_t message_frame_size(const FlexMessage& message) {
    using namespace json_detail;
    return MESSAGE_OPEN.size() + json_escaped_size(message.altText) + 2 + MESSAGE_CONTENTS.size() +
           MESSAGE_CLOSE.size();
}

// The length of `record`'s JSON text, counted without writing it.
template <class Record>
std::size_t json_size(const Record& record) {
    SizeSink sink;
    JsonWriter<SizeSink> writer(sink);
    (void)serialize(record, writer);  // counting never fails
    return sink.size();
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

}  // namespace quenra
