#include "line/read_json.hpp"

#include <rapidjson/document.h>

#include "line/json_depth.hpp"

#include <quenra/internal_failure.hpp>
#include "flex/json_writer.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>

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
    std::optional<std::string_view> one_of(std::string_view name, std::initializer_list<std::string_view> values) {
        const auto text = optional_string(name);
        if (!text) return text;
        for (const std::string_view value : values) {
            if (*text == value) return text;
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
    std::array<std::string_view, 12> names_{};  // an object of a message has at most nine members
    std::size_t read_ = 0;
};

const Value& array_at(const Value& value, const std::string& path) {
    if (!value.IsArray()) throw Unreadable{"expected an array at " + path};
    return value;
}

// The frames that components read from JSON are told as: LINE's rules do
// not look at how they look.
constexpr Frame TEXT_FRAME{Frame::Kind::Text, false, {}, {}, 0, 0};
constexpr Frame BOX_FRAME{Frame::Kind::Box, false, {}, {}, 0, 0};

// An optional whole number that is not negative, such as a flex.
void whole_number(ObjectReader& object, std::string_view name) {
    const Value* value = object.optional(name);
    if (value && !(value->IsUint64() && value->GetUint64() <= std::numeric_limits<std::uint32_t>::max())) {
        throw Unreadable{"expected a whole number at " + object.child(name)};
    }
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

void read_components(const Value& value, const std::string& path, ProblemFinder& out);

void read_text(const Value& value, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "text");
    if (const Value* wrap = object.optional("wrap"); wrap && !wrap->IsBool()) {
        throw Unreadable{"expected true or false at " + object.child("wrap")};
    }
    const std::string spans_path = object.child("contents");
    const Value& spans = array_at(object.required("contents"), spans_path);
    out.begin_frame(TEXT_FRAME);
    for (rapidjson::SizeType i = 0; i < spans.Size(); ++i) read_span(spans[i], spans_path + "/" + std::to_string(i), out);
    whole_number(object, "flex");
    object.optional_string("size");
    object.one_of("weight", {"bold", "regular"});
    object.optional_string("color");
    object.one_of("align", {"start", "end", "center"});
    object.one_of("gravity", {"top", "bottom", "center"});
    object.finish();
    out.end_frame(TEXT_FRAME);
}

void read_button(const Value& value, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "button");
    const Value& action_value = object.required("action");
    bool copies = false;
    if (action_value.IsObject()) {
        const auto type = action_value.FindMember("type");
        copies = type != action_value.MemberEnd() && type->value.IsString() && string_of(type->value) == "clipboard";
    }
    ObjectReader action(action_value, object.child("action"), copies ? "clipboard" : "uri");
    const std::string_view label = action.string("label");
    const std::string_view target = action.string(copies ? "clipboardText" : "uri");
    action.finish();
    object.one_of("style", {"link", "primary", "secondary"});
    object.one_of("height", {"sm", "md"});
    object.finish();
    if (copies) {
        out.clipboard(label, target);
    } else {
        out.button(label, target);
    }
}

// A box in the body: components laid out one way, and how it looks.
void read_inner_box(const Value& value, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "box");
    if (!object.one_of("layout", {"vertical", "horizontal", "baseline"})) {
        throw Unreadable{"missing member \"layout\" at " + path};
    }
    out.begin_frame(BOX_FRAME);
    read_components(object.required("contents"), object.child("contents"), out);
    whole_number(object, "flex");
    for (const std::string_view name : {"spacing", "paddingAll", "paddingStart", "backgroundColor", "cornerRadius"}) {
        object.optional_string(name);
    }
    object.finish();
    out.end_frame(BOX_FRAME);
}

void read_component(const Value& value, const std::string& path, ProblemFinder& out) {
    if (!value.IsObject()) throw Unreadable{"expected an object at " + path};
    const auto type = value.FindMember("type");
    const std::string_view kind = type != value.MemberEnd() && type->value.IsString() ? string_of(type->value) : "";
    if (kind == "text") return read_text(value, path, out);
    if (kind == "button") return read_button(value, path, out);
    if (kind == "box") return read_inner_box(value, path, out);
    if (kind == "separator") {
        ObjectReader separator(value, path, "separator");
        separator.optional_string("color");
        separator.finish();
        out.separator();
        return;
    }
    throw Unreadable{"expected a text, box, button or separator component at " + path};
}

void read_components(const Value& value, const std::string& path, ProblemFinder& out) {
    const Value& components = array_at(value, path);
    for (rapidjson::SizeType i = 0; i < components.Size(); ++i) {
        read_component(components[i], path + "/" + std::to_string(i), out);
    }
}

// The body or the footer.
void read_box(const Value& value, Box box, const std::string& path, ProblemFinder& out) {
    ObjectReader object(value, path, "box");
    object.constant("layout", "vertical");
    out.begin_box(box);
    read_components(object.required("contents"), object.child("contents"), out);
    object.optional_string("spacing");
    object.optional_string("backgroundColor");
    object.finish();
    out.end_box(box);
}

// The length of `value` written as compact JSON by the writer's rules.
std::size_t compact_size(const Value& value) {
    if (value.IsString()) return 2 + json_escaped_size(string_of(value));
    if (value.IsBool()) return value.GetBool() ? 4 : 5;
    if (value.IsUint64()) return std::to_string(value.GetUint64()).size();
    if (value.IsArray()) {
        std::size_t size = 2 + (value.Empty() ? 0 : value.Size() - 1);
        for (rapidjson::SizeType i = 0; i < value.Size(); ++i) size += compact_size(value[i]);
        return size;
    }
    if (!value.IsObject()) fail("a message holds only strings, booleans, whole numbers, arrays and objects");
    std::size_t size = 2 + (value.ObjectEmpty() ? 0 : value.MemberCount() - 1);
    const auto members = value.MemberBegin();
    for (rapidjson::SizeType i = 0; i < value.MemberCount(); ++i) {
        size += 3 + json_escaped_size(string_of(members[i].name)) + compact_size(members[i].value);
    }
    return size;
}

std::size_t read_whole(const Value& value, ProblemFinder& out) {
    ObjectReader message(value, "", "flex");
    const std::string_view alt_text = message.string("altText");
    const Value& contents = message.required("contents");
    ObjectReader bubble(contents, "/contents", "bubble");
    const auto direction = bubble.one_of("direction", {"ltr", "rtl"});
    out.begin_message(alt_text, direction == "rtl");
    if (const Value* body = bubble.optional("body")) read_box(*body, Box::Body, "/contents/body", out);
    if (const Value* footer = bubble.optional("footer")) read_box(*footer, Box::Footer, "/contents/footer", out);
    bubble.finish();
    message.finish();
    out.end_message();
    return compact_size(contents);
}

// The deepest nesting of objects and arrays that a message of the writer's
// shape has: message, bubble, box and its components, two for each frame
// (a text component or a box and its components), and a span.
constexpr unsigned MAX_DEPTH = 5 + 2 * MAX_FRAME_DEPTH;

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
    if (auto failure = parse_within_depth<rapidjson::kParseInsituFlag>(
            document, stream, MAX_DEPTH, ", deeper than any Flex message of this shape")) {
        return {std::nullopt, std::move(*failure)};
    }
    try {
        return {read_whole(document, out), {}};
    } catch (const Unreadable& unreadable) {
        return {std::nullopt, unreadable.reason};
    }
}

}  // namespace quenra::line
