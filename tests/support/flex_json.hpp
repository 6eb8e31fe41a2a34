// An independent reader of the library's JSON output, for tests and fuzzing.
//
// `parse_compact_json` accepts only compact JSON made of objects, arrays,
// strings and booleans (no whitespace between tokens, no numbers, no null),
// and decodes every escape. `read_flex_message` rebuilds a FlexMessage from
// the parsed value and insists on the exact shape: every member in its place
// and order, constants with their values, nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "flex_model.hpp"

namespace quenra::testing {

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;  // in written order

struct JsonValue {
    std::variant<std::string, bool, JsonArray, JsonObject> value;
};

class CompactJsonParser {
public:
    explicit CompactJsonParser(std::string_view text) : text_(text) {}

    std::optional<JsonValue> parse() {
        auto value = parse_value(0);
        if (!value || pos_ != text_.size()) return std::nullopt;
        return value;
    }

private:
    static constexpr int MAX_DEPTH = 64;

    bool eat(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool eat(std::string_view word) {
        if (text_.substr(pos_).starts_with(word)) {
            pos_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<JsonValue> parse_value(int depth) {
        if (depth > MAX_DEPTH || pos_ >= text_.size()) return std::nullopt;
        switch (text_[pos_]) {
        case '"':
            if (auto s = parse_string()) return JsonValue{std::move(*s)};
            return std::nullopt;
        case 't':
            if (eat("true")) return JsonValue{true};
            return std::nullopt;
        case 'f':
            if (eat("false")) return JsonValue{false};
            return std::nullopt;
        case '[':
            return parse_array(depth);
        case '{':
            return parse_object(depth);
        default:
            return std::nullopt;
        }
    }

    std::optional<JsonValue> parse_array(int depth) {
        eat('[');
        JsonArray items;
        if (eat(']')) return JsonValue{std::move(items)};
        do {
            auto item = parse_value(depth + 1);
            if (!item) return std::nullopt;
            items.push_back(std::move(*item));
        } while (eat(','));
        if (!eat(']')) return std::nullopt;
        return JsonValue{std::move(items)};
    }

    std::optional<JsonValue> parse_object(int depth) {
        eat('{');
        JsonObject members;
        if (eat('}')) return JsonValue{std::move(members)};
        do {
            auto key = parse_string();
            if (!key || !eat(':')) return std::nullopt;
            auto value = parse_value(depth + 1);
            if (!value) return std::nullopt;
            members.emplace_back(std::move(*key), std::move(*value));
        } while (eat(','));
        if (!eat('}')) return std::nullopt;
        return JsonValue{std::move(members)};
    }

    static int hex_digit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    static void append_utf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::string> parse_string() {
        if (!eat('"')) return std::nullopt;
        std::string out;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;  // raw control byte
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) return std::nullopt;
            const char e = text_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (pos_ + 4 > text_.size()) return std::nullopt;
                std::uint32_t code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = hex_digit(text_[pos_++]);
                    if (digit < 0) return std::nullopt;
                    code = code * 16 + static_cast<std::uint32_t>(digit);
                }
                append_utf8(out, code);
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

inline std::optional<JsonValue> parse_compact_json(std::string_view text) {
    return CompactJsonParser(text).parse();
}

// Reads the members of one object in their written order, each at most once.
class MemberReader {
public:
    explicit MemberReader(const JsonObject& members) : members_(members) {}

    // The next member's value when its key is `key`, else nothing (and the
    // member stays unread).
    const JsonValue* optional(std::string_view key) {
        if (next_ < members_.size() && members_[next_].first == key) return &members_[next_++].second;
        return nullptr;
    }
    const JsonValue* required(std::string_view key) {
        const JsonValue* value = optional(key);
        if (!value) ok_ = false;
        return value;
    }
    bool constant(std::string_view key, std::string_view expected) {
        const JsonValue* value = required(key);
        const auto* text = value ? std::get_if<std::string>(&value->value) : nullptr;
        if (!text || *text != expected) ok_ = false;
        return ok_;
    }
    // True when every member was read and all were as expected.
    bool finish() const { return ok_ && next_ == members_.size(); }
    void reject() { ok_ = false; }

private:
    const JsonObject& members_;
    std::size_t next_ = 0;
    bool ok_ = true;
};

namespace flex_json_detail {

inline const JsonObject* as_object(const JsonValue* value) {
    return value ? std::get_if<JsonObject>(&value->value) : nullptr;
}
inline const JsonArray* as_array(const JsonValue* value) {
    return value ? std::get_if<JsonArray>(&value->value) : nullptr;
}
inline const std::string* as_string(const JsonValue* value) {
    return value ? std::get_if<std::string>(&value->value) : nullptr;
}

template <class Enum>
bool read_enum(MemberReader& reader, std::string_view key, std::optional<Enum>& out,
               std::initializer_list<std::pair<std::string_view, Enum>> names) {
    const JsonValue* value = reader.optional(key);
    if (!value) return true;
    const std::string* text = as_string(value);
    for (const auto& [name, enumerator] : names) {
        if (text && *text == name) {
            out = enumerator;
            return true;
        }
    }
    reader.reject();
    return false;
}

inline bool read_optional_string(MemberReader& reader, std::string_view key, std::optional<std::string>& out) {
    const JsonValue* value = reader.optional(key);
    if (!value) return true;
    const std::string* text = as_string(value);
    if (!text) {
        reader.reject();
        return false;
    }
    out = *text;
    return true;
}

inline std::optional<Span> read_span(const JsonValue& value) {
    const JsonObject* object = as_object(&value);
    if (!object) return std::nullopt;
    MemberReader reader(*object);
    Span span;
    reader.constant("type", "span");
    const std::string* text = as_string(reader.required("text"));
    if (!text) return std::nullopt;
    span.text = *text;
    read_enum(reader, "weight", span.weight, {{"bold", FontWeight::Bold}, {"regular", FontWeight::Regular}});
    read_enum(reader, "style", span.style, {{"normal", FontStyle::Normal}, {"italic", FontStyle::Italic}});
    read_enum(reader, "decoration", span.decoration,
              {{"none", TextDecoration::None},
               {"underline", TextDecoration::Underline},
               {"line-through", TextDecoration::LineThrough}});
    read_optional_string(reader, "color", span.color);
    read_optional_string(reader, "size", span.size);
    if (!reader.finish()) return std::nullopt;
    return span;
}

inline std::optional<Component> read_component(const JsonValue& value);

// The quote box exactly as the writer writes it.
inline std::optional<Quote> read_quote(MemberReader& reader) {
    reader.constant("layout", "horizontal");
    const JsonArray* parts = as_array(reader.required("contents"));
    reader.constant("spacing", "md");
    reader.constant("paddingAll", "md");
    reader.constant("backgroundColor", "#EEF5FD");
    reader.constant("cornerRadius", "md");
    if (!parts || parts->size() != 2 || !reader.finish()) return std::nullopt;
    const JsonObject* bar = as_object(&(*parts)[0]);
    const JsonObject* box = as_object(&(*parts)[1]);
    if (!bar || !box) return std::nullopt;
    MemberReader bar_reader(*bar);
    bar_reader.constant("type", "separator");
    bar_reader.constant("color", "#1689FC");
    MemberReader box_reader(*box);
    box_reader.constant("type", "box");
    box_reader.constant("layout", "vertical");
    const JsonArray* texts = as_array(box_reader.required("contents"));
    box_reader.constant("spacing", "md");
    if (!bar_reader.finish() || !texts || !box_reader.finish()) return std::nullopt;
    Quote quote;
    for (const JsonValue& item : *texts) {
        auto component = read_component(item);
        if (!component || !std::holds_alternative<Text>(*component)) return std::nullopt;
        quote.contents.push_back(std::get<Text>(std::move(*component)));
    }
    return quote;
}

inline std::optional<Component> read_component(const JsonValue& value) {
    const JsonObject* object = as_object(&value);
    if (!object || object->empty()) return std::nullopt;
    MemberReader reader(*object);
    const std::string* type = as_string(reader.required("type"));
    if (!type) return std::nullopt;
    if (*type == "separator") {
        if (!reader.finish()) return std::nullopt;
        return Separator{};
    }
    if (*type == "button") {
        const JsonObject* action = as_object(reader.required("action"));
        reader.constant("style", "link");
        reader.constant("height", "sm");
        if (!action || !reader.finish()) return std::nullopt;
        MemberReader action_reader(*action);
        action_reader.constant("type", "uri");
        const std::string* label = as_string(action_reader.required("label"));
        const std::string* uri = as_string(action_reader.required("uri"));
        if (!label || !uri || !action_reader.finish()) return std::nullopt;
        return Button{UriAction{*label, *uri}};
    }
    if (*type == "text") {
        const JsonValue* wrap = reader.required("wrap");
        const JsonArray* spans = as_array(reader.required("contents"));
        const bool* wrap_value = wrap ? std::get_if<bool>(&wrap->value) : nullptr;
        if (!wrap_value || !spans || !reader.finish()) return std::nullopt;
        Text text{*wrap_value, {}};
        for (const JsonValue& item : *spans) {
            auto span = read_span(item);
            if (!span) return std::nullopt;
            text.contents.push_back(std::move(*span));
        }
        return text;
    }
    if (*type == "box") return read_quote(reader);
    return std::nullopt;
}

inline std::optional<FlexBox> read_box(const JsonValue& value) {
    const JsonObject* object = as_object(&value);
    if (!object) return std::nullopt;
    MemberReader reader(*object);
    reader.constant("type", "box");
    reader.constant("layout", "vertical");
    const JsonArray* contents = as_array(reader.required("contents"));
    FlexBox box;
    read_optional_string(reader, "spacing", box.spacing);
    read_optional_string(reader, "backgroundColor", box.backgroundColor);
    if (!contents || !reader.finish()) return std::nullopt;
    for (const JsonValue& item : *contents) {
        auto component = read_component(item);
        if (!component) return std::nullopt;
        box.contents.push_back(std::move(*component));
    }
    return box;
}

}  // namespace flex_json_detail

// The FlexMessage that `json` is the exact JSON form of, or nothing when the
// text is not compact JSON of that shape.
inline std::optional<FlexMessage> read_flex_message(std::string_view json) {
    using namespace flex_json_detail;
    const auto parsed = parse_compact_json(json);
    if (!parsed) return std::nullopt;
    const JsonObject* object = as_object(&*parsed);
    if (!object) return std::nullopt;
    MemberReader reader(*object);
    reader.constant("type", "flex");
    const std::string* alt_text = as_string(reader.required("altText"));
    const JsonObject* bubble = as_object(reader.required("contents"));
    if (!alt_text || !bubble || !reader.finish()) return std::nullopt;

    FlexMessage message{*alt_text, {}};
    MemberReader bubble_reader(*bubble);
    bubble_reader.constant("type", "bubble");
    for (auto [key, box] : {std::pair{"body", &message.contents.body}, {"footer", &message.contents.footer}}) {
        if (const JsonValue* value = bubble_reader.optional(key)) {
            *box = read_box(*value);
            if (!*box) return std::nullopt;
        }
    }
    if (!bubble_reader.finish()) return std::nullopt;
    return message;
}

// True when `json` has no whitespace outside its string values.
inline bool has_no_whitespace_outside_strings(std::string_view json) {
    bool in_string = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (in_string) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            return false;
        }
    }
    return true;
}

}  // namespace quenra::testing
