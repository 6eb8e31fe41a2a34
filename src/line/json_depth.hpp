// Reading JSON without recursion, to a depth of nesting set by the caller:
// a document that RapidJSON builds (and later destroys, recursively) is then
// never deeper than that, whatever the text.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenra::line {

// Hands a reader's events to a document, refusing nesting of objects and
// arrays deeper than `max_depth`: with RapidJSON's iterative parser, no text
// can exhaust the stack.
class DepthLimited {
public:
    DepthLimited(rapidjson::Document& document, unsigned max_depth) noexcept
        : document_(document), max_depth_(max_depth) {}

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
        too_deep_ = ++depth_ > max_depth_;
        return !too_deep_;
    }

    rapidjson::Document& document_;
    unsigned max_depth_;
    unsigned depth_ = 0;
    bool too_deep_ = false;
};

// Parses `stream` into `document` with RapidJSON's `flags` and its iterative
// parser, no deeper than `max_depth`. Returns nothing when it parsed, or why
// it did not, naming the offset ("invalid JSON at offset ...", or "JSON
// nested more than ... levels deep at offset ..." followed by
// `too_deep_reason`).
template <unsigned flags, class Stream>
std::optional<std::string> parse_within_depth(rapidjson::Document& document, Stream& stream, unsigned max_depth,
                                              std::string_view too_deep_reason = {}) {
    rapidjson::Reader reader;
    bool too_deep = false;
    auto parse = [&](rapidjson::Document& handler) {
        DepthLimited limited(handler, max_depth);
        const bool parsed = !reader.Parse<flags | rapidjson::kParseIterativeFlag>(stream, limited).IsError();
        too_deep = limited.too_deep();
        return parsed;
    };
    document.Populate(parse);
    if (!reader.HasParseError()) return std::nullopt;
    const std::string offset = std::to_string(reader.GetErrorOffset());
    if (too_deep) {
        return "JSON nested more than " + std::to_string(max_depth) + " levels deep at offset " + offset +
               std::string(too_deep_reason);
    }
    return "invalid JSON at offset " + offset + ": " + rapidjson::GetParseError_En(reader.GetParseErrorCode());
}

}  // namespace quenra::line
