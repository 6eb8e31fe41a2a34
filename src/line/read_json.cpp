#include "line/read_json.hpp"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <quenra/internal_failure.hpp>
#include "flex/json_writer.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace quenra::line {

namespace {

using Value = rapidjson::Value;

// Thrown inside the reader only; read_message turns it into its result.
struct Unreadable {
    std::string reason;
};

// A JSON Pointer reference token: "~" and "/" escaped.
std::string pointer_token(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == '~') {
            out += "~0";
        } else if (c == '/') {
            out += "~1";
        } else {
            out += c;
        }
    }
    return out;
}

std::string_view string_of(const Value& value) { return {value.GetString(), value.GetStringLength()}; }

std::string where(const std::string& path) { return path.empty() ? "/" : path; }

// One JSON object of a message part: its members read by name, the
// constant "type" checked, and any member left unread refused.
class ObjectReader {
public:
    ObjectReader(const Value& value, std::string path, std::string_view type) : path_(std::move(path)) {
        if (!value.IsObject()) throw Unreadable{"expected an object at " + where(path_)};
        object_ = &value;
        constant("type", type);
    }

    const Value* optional(std::string_view name) {
        const auto member = object_->FindMember(Value(rapidjson::StringRef(name.data(), name.size())));
        if (member == object_->MemberEnd()) return nullptr;
        if (read_ < names_.size()) names_[read_] = name;
        ++read_;
        return &member->value;
    }
    const Value& required(std::string_view name) {
        if (const Value* value = optional(name)) return *value;
        throw Unreadable{"missing member \"" + std::string(name) + "\" at " + where(path_)};
    }
    std::string_view string(std::string_view name) { return string_at(required(name), name); }
    std::optional<std::string_view> optional_string(std::string_view name) {
        const Value* value = optional(name);
        if (!value) return std::nullopt;
        return string_at(*value, name);
    }
    // A member whose value never varies.
    void constant(std::string_view name, std::string_view expected) {
        if (string(name) != expected) {
            throw Unreadable{"expected \"" + std::string(expected) + "\" at " + child(name)};
        }
    }
    // An optional member that takes one of a few values.
    void one_of(std::string_view name, std::initializer_list<std::string_view> values) {
        const auto text = optional_string(name);
        if (!text) return;
        for (const std::string_view value : values) {
            if (*text == value) return;
        }
        throw Unreadable{"unknown value \"" + std::string(*text) + "\" at " + child(name)};
    }
    std::string child(std::string_view name) const { return path_ + "/" + pointer_token(name); }
    // Refuses members that no part of the message has.
    void finish() const {
        if (read_ == object_->MemberCount()) return;
        for (auto member = object_->MemberBegin(); member != object_->MemberEnd(); ++member) {
            const std::string_view name = string_of(member->name);
            if (!known(name)) throw Unreadable{"unexpected member \"" + std::string(name) + "\" at " + where(path_)};
        }
        throw Unreadable{"a member repeated at " + where(path_)};
    }

private:
    std::string_view string_at(const Value& value, std::string_view name) const {
        if (!value.IsString()) throw Unreadable{"expected a string at " + child(name)};
        return string_of(value);
    }
    bool known(std::string_view name) const {
        for (std::size_t i = 0; i < read_ && i < names_.size(); ++i) {
            if (names_[i] == name) return true;
        }
        return false;
    }

    const Value* object_ = nullptr;
    std::string path_;
    std::array<std::string_view, 8> names_{};  // an object of a message has at most seven members
    std::size_t read_ = 0;
};

const Value& array_at(const Value& value, const std::string& path) {
    if (!value.IsArray()) throw Unreadable{"expected an array at " + path};
    return value;
}

void read_span(const Value& value, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "span");
    const std::string_view text = object.string("text");
    object.one_of("weight", {"bold", "regular"});
    object.one_of("style", {"normal", "italic"});
    object.one_of("decoration", {"none", "underline", "line-through"});
    object.optional_string("color");
    object.optional_string("size");
    object.finish();
    out.begin_span();
    out.span_text(text);
    out.end_span(Look{});
}

void read_components(const Value& value, const std::string& path, ProblemFinder& out, bool in_quote);

// A quote: a horizontal box of a bar (a separator) and a vertical box of the
// quote's components.
void read_quote(const Value& value, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "box");
    object.constant("layout", "horizontal");
    const std::string parts_path = object.child("contents");
    const Value& parts = array_at(object.required("contents"), parts_path);
    if (parts.Size() != 2) throw Unreadable{"expected a bar and a box at " + parts_path};
    ObjectReader bar(parts[0], parts_path + "/0", "separator");
    bar.optional_string("color");
    bar.finish();
    ObjectReader inner(parts[1], parts_path + "/1", "box");
    inner.constant("layout", "vertical");
    out.begin_quote();
    read_components(inner.required("contents"), inner.child("contents"), out, true);
    inner.optional_string("spacing");
    inner.finish();
    for (const std::string_view name : {"spacing", "paddingAll", "backgroundColor", "cornerRadius"}) {
        object.optional_string(name);
    }
    object.finish();
    out.end_quote();
}

void read_component(const Value& value, const std::string& path, ProblemFinder& out, bool in_quote) {
    if (!value.IsObject()) throw Unreadable{"expected an object at " + path};
    const auto type = value.FindMember("type");
    const std::string_view kind = type != value.MemberEnd() && type->value.IsString() ? string_of(type->value) : "";
    if (kind == "text") {
        ObjectReader object(value, path, "text");
        if (!object.required("wrap").IsBool()) throw Unreadable{"expected true or false at " + object.child("wrap")};
        const std::string spans_path = object.child("contents");
        const Value& spans = array_at(object.required("contents"), spans_path);
        out.begin_text();
        for (rapidjson::SizeType i = 0; i < spans.Size(); ++i) read_span(spans[i], spans_path + "/" + std::to_string(i), out);
        object.finish();
        out.end_text();
        return;
    }
    if (kind == "button") {
        ObjectReader object(value, path, "button");
        ObjectReader action(object.required("action"), object.child("action"), "uri");
        const std::string_view label = action.string("label");
        const std::string_view uri = action.string("uri");
        action.finish();
        object.constant("style", "link");
        object.constant("height", "sm");
        object.finish();
        out.button(label, uri);
        return;
    }
    if (kind == "separator") {
        ObjectReader(value, path, "separator").finish();
        out.separator();
        return;
    }
    if (kind == "box" && !in_quote) {
        read_quote(value, path, out);
        return;
    }
    throw Unreadable{"expected a text, button or separator component at " + path};
}

void read_components(const Value& value, const std::string& path, ProblemFinder& out, bool in_quote) {
    const Value& components = array_at(value, path);
    for (rapidjson::SizeType i = 0; i < components.Size(); ++i) {
        read_component(components[i], path + "/" + std::to_string(i), out, in_quote);
    }
}

void read_box(const Value& value, Box box, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "box");
    object.constant("layout", "vertical");
    out.begin_box(box);
    read_components(object.required("contents"), object.child("contents"), out, false);
    object.optional_string("spacing");
    object.optional_string("backgroundColor");
    object.finish();
    out.end_box(box);
}

// The length of `value` written as compact JSON by the writer's rules.
std::size_t compact_size(const Value& value) {
    if (value.IsString()) return 2 + json_escaped_size(string_of(value));
    if (value.IsBool()) return value.GetBool() ? 4 : 5;
    if (value.IsArray()) {
        std::size_t size = 2 + (value.Empty() ? 0 : value.Size() - 1);
        for (rapidjson::SizeType i = 0; i < value.Size(); ++i) size += compact_size(value[i]);
        return size;
    }
    if (!value.IsObject()) fail("a message holds only strings, booleans, arrays and objects");
    std::size_t size = 2 + (value.ObjectEmpty() ? 0 : value.MemberCount() - 1);
    const auto members = value.MemberBegin();
    for (rapidjson::SizeType i = 0; i < value.MemberCount(); ++i) {
        size += 3 + json_escaped_size(string_of(members[i].name)) + compact_size(members[i].value);
    }
    return size;
}

std::size_t read_whole(const Value& value, ProblemFinder& out) {
    ObjectReader message(value, "", "flex");
    out.begin_message(message.string("altText"));
    const Value& contents = message.required("contents");
    ObjectReader bubble(contents, "/contents", "bubble");
    if (const Value* body = bubble.optional("body")) read_box(*body, Box::Body, "/contents/body", out);
    if (const Value* footer = bubble.optional("footer")) read_box(*footer, Box::Footer, "/contents/footer", out);
    bubble.finish();
    message.finish();
    out.end_message();
    return compact_size(contents);
}

// The deepest nesting of objects and arrays that a message of the writer's
// shape has: message, bubble, box, components, quote, its parts, its box,
// components, text, spans, span.
constexpr unsigned MAX_DEPTH = 11;

// Hands a reader's events to a document, refusing nesting deeper than
// MAX_DEPTH: the reader walks without recursion, and the document it builds
// can then be read record by record without any either.
class DepthLimited {
public:
    explicit DepthLimited(rapidjson::Document& document) noexcept : document_(document) {}

    bool too_deep() const noexcept { return too_deep_; }

    bool Null() { return document_.Null(); }
    bool Bool(bool value) { return document_.Bool(value); }
    bool Int(int value) { return document_.Int(value); }
    bool Uint(unsigned value) { return document_.Uint(value); }
    bool Int64(std::int64_t value) { return document_.Int64(value); }
    bool Uint64(std::uint64_t value) { return document_.Uint64(value); }
    bool Double(double value) { return document_.Double(value); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.RawNumber(text, length, copy);
    }
    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        return document_.String(text, length, copy);
    }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) { return document_.Key(text, length, copy); }
    bool StartObject() { return enter() && document_.StartObject(); }
    bool EndObject(rapidjson::SizeType members) {
        --depth_;
        return document_.EndObject(members);
    }
    bool StartArray() { return enter() && document_.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) {
        --depth_;
        return document_.EndArray(elements);
    }

private:
    bool enter() noexcept {
        too_deep_ = ++depth_ > MAX_DEPTH;
        return !too_deep_;
    }

    rapidjson::Document& document_;
    unsigned depth_ = 0;
    bool too_deep_ = false;
};

}  // namespace

ReadResult read_message(std::string_view json, ProblemFinder& out) {
    // Parsed in place, in a copy: strings are unescaped where they stand
    // instead of being copied into the document. The document's nodes start
    // in a buffer on the stack, so that a message of a few kilobytes costs
    // no allocation for them. Strings are not checked to be UTF-8: a Python
    // str always is, and the parts take any bytes.
    if (const std::size_t nul = json.find('\0'); nul != std::string_view::npos) {
        return {std::nullopt, "invalid JSON at offset " + std::to_string(nul) + ": a NUL byte"};
    }
    std::string text(json);
    alignas(std::max_align_t) char nodes[8192];
    rapidjson::MemoryPoolAllocator<> allocator(nodes, sizeof nodes);
    rapidjson::Document document(&allocator);
    rapidjson::InsituStringStream stream(text.data());
    rapidjson::Reader reader;
    bool too_deep = false;
    const auto parse = [&](rapidjson::Document& handler) {
        DepthLimited limited(handler);
        const bool parsed = !reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag>(stream, limited)
                                 .IsError();
        too_deep = limited.too_deep();
        return parsed;
    };
    document.Populate(parse);
    if (reader.HasParseError()) {
        const std::string offset = std::to_string(reader.GetErrorOffset());
        if (too_deep) {
            return {std::nullopt, "JSON nested more than " + std::to_string(MAX_DEPTH) + " levels deep at offset " +
                                      offset + ", deeper than any Flex message of this shape"};
        }
        return {std::nullopt,
                "invalid JSON at offset " + offset + ": " + rapidjson::GetParseError_En(reader.GetParseErrorCode())};
    }
    try {
        return {read_whole(document, out), {}};
    } catch (const Unreadable& unreadable) {
        return {std::nullopt, unreadable.reason};
    }
}

}  // namespace quenra::line
