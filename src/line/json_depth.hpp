// Reading JSON without recursion, to a depth of nesting set by the caller:
// a document that RapidJSON builds (and later destroys, recursively) is then
// never deeper than that, whatever the text.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>

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

}  // namespace quenra::line
