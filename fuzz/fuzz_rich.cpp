// libFuzzer harness over rich messages (the Bot API's RichMessage as JSON).
// The input is read as JSON, and mutated as a tree (custom mutator): blocks
// and texts swapped, duplicated, deleted, nested and retyped, fields given
// the wrong kind, pieces of real rich messages grafted in. Under LINE's
// limits and under small ones, every part of split_rich passes check, a
// message whose whole conversion passes is that one part, and nothing fails
// but a refusal of the input as InvalidRichMessage.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <quenra.hpp>
#include <quenra/telegram.hpp>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

void require_deliverable(std::string_view json, const quenra::LineLimits& limits) {
    std::vector<std::string> parts;
    try {
        parts = quenra::telegram::split_rich(json, true, limits);
    } catch (const quenra::telegram::InvalidRichMessage& refused) {
        require(*refused.what() != '\0', "a refusal says why");
        return;
    }
    for (const std::string& part : parts) require(quenra::check(part, limits).empty(), "every part passes check");
    const std::string whole = quenra::telegram::convert_rich(json, true, limits);
    if (!parts.empty() && quenra::check(whole, limits).empty()) {
        require(parts == std::vector{whole}, "a message that passes is alone");
    }
}

// ---- Mutations of the JSON tree ---------------------------------------------

using Value = rapidjson::Value;
using Allocator = rapidjson::Document::AllocatorType;

constexpr std::array<std::string_view, 51> TYPES = {
    "paragraph", "heading", "pre", "footer", "divider", "mathematical_expression", "anchor", "list", "blockquote",
    "expandable_blockquote", "pullquote", "collage", "slideshow", "table", "details", "map", "document", "photo",
    "video", "animation", "audio", "voice_note", "thinking", "buttons", "bold", "italic", "underline",
    "strikethrough", "spoiler", "subscript", "superscript", "marked", "code", "date_time", "text_mention",
    "custom_emoji", "url", "email_address", "phone_number", "bank_card_number", "bot_command", "mention", "hashtag",
    "cashtag", "anchor_link", "reference", "reference_link", "button", "sparkle", "", "future_block"};

// Pieces of rich messages to graft in: blocks, texts and their parts.
constexpr std::array<std::string_view, 16> PIECES = {
    R"({"type":"paragraph","text":"Hello, world"})",
    R"({"type":"heading","text":"Title","size":2})",
    R"({"type":"list","items":[{"label":"","blocks":[{"type":"paragraph","text":"item"}],"has_checkbox":true}]})",
    R"({"type":"table","is_bordered":true,"is_striped":true,"cells":[[{"text":"A","is_header":true,"align":"left","valign":"top"},{"text":"B","colspan":2,"rowspan":2,"align":"right","valign":"bottom"}],[{"align":"center","valign":"middle"}]],"caption":"t"})",
    R"({"type":"blockquote","blocks":[{"type":"divider"}],"credit":"Ann"})",
    R"({"type":"details","summary":"More","blocks":[],"is_open":false})",
    R"({"type":"map","location":{"latitude":35.68,"longitude":139.76},"zoom":12,"width":1,"height":1,"caption":{"text":"c","credit":"d"}})",
    R"({"type":"buttons","buttons":[{"text":"Go","url":"https://example.com"},{"text":"Copy","copy_text":{"text":"x"}}]})",
    R"({"type":"document","document":{"file_name":"a.pdf"}})",
    R"({"type":"url","text":"link","url":"https://example.com/a"})",
    R"({"type":"phone_number","text":"call","phone_number":"+1 555"})",
    R"({"type":"mention","text":"@ann","username":"ann"})",
    R"({"type":"button","button":{"text":"b","copy_text":{"text":"copied"}}})",
    R"({"type":"code","text":["x",{"type":"bold","text":"y"}]})",
    R"(["plain ",{"type":"italic","text":"it"}," \u0000\n"])",
    R"({"type":"custom_emoji","custom_emoji_id":"1","alternative_text":"😀"})",
};

// Every value of the tree, with the array or object that holds it.
struct Place {
    Value* value;
    Value* parent;
};

std::vector<Place> places_of(Value& root) {
    std::vector<Place> out{{&root, nullptr}};
    for (std::size_t i = 0; i < out.size(); ++i) {
        Value& value = *out[i].value;
        if (value.IsArray()) {
            for (Value& item : value.GetArray()) out.push_back({&item, &value});
        } else if (value.IsObject()) {
            // RapidJSON's member iterators compare ambiguously in C++20: by index.
            for (rapidjson::SizeType m = 0; m < value.MemberCount(); ++m) {
                out.push_back({&(value.MemberBegin() + m)->value, &value});
            }
        }
    }
    return out;
}

Value piece(std::mt19937& random, Allocator& allocator) {
    rapidjson::Document document(&allocator);
    const std::string_view json = PIECES[random() % PIECES.size()];
    document.Parse(json.data(), json.size());
    return Value(document, allocator);
}

Value string_value(std::string_view text, Allocator& allocator) {
    return Value(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

// A value of another kind than most fields take.
Value wrong_kind(std::mt19937& random, Allocator& allocator) {
    switch (random() % 7) {
    case 0:
        return Value(rapidjson::kNullType);
    case 1:
        return Value(random() % 2 == 0);
    case 2:
        return Value(std::array{0.0, -1.0, 2.5, 20.0, 21.0, 1e300, 65537.0}[random() % 7]);
    case 3:
        return Value(rapidjson::kObjectType);
    case 4:
        return Value(rapidjson::kArrayType);
    case 5:
        return string_value(TYPES[random() % TYPES.size()], allocator);
    default:
        return piece(random, allocator);
    }
}

// A string mutated by libFuzzer's own byte mutations.
void mutate_string(Value& value, Allocator& allocator) {
    std::string text(value.GetString(), value.GetStringLength());
    if (text.empty()) text = "a";
    const std::size_t size = text.size();
    text.resize(size + 16);
    text.resize(LLVMFuzzerMutate(reinterpret_cast<std::uint8_t*>(text.data()), size, text.size()));
    value.SetString(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

void mutate(Value& root, std::mt19937& random, Allocator& allocator) {
    std::vector<Place> places = places_of(root);
    const Place place = places[random() % places.size()];
    Value& value = *place.value;
    switch (random() % 8) {
    case 0:  // graft a piece in
        if (value.IsArray()) {
            value.PushBack(piece(random, allocator), allocator);
        } else {
            value = piece(random, allocator);
        }
        return;
    case 1:  // a field of the wrong kind
        value = wrong_kind(random, allocator);
        return;
    case 2:  // nest it: in an array, a quote, a styled text
        if (random() % 3 == 0) {
            Value array(rapidjson::kArrayType);
            array.PushBack(value, allocator);
            value = array;
        } else {
            const bool block = random() % 2 == 0;
            Value object(rapidjson::kObjectType);
            object.AddMember("type", string_value(block ? "blockquote" : "bold", allocator), allocator);
            Value inner(rapidjson::kArrayType);
            inner.PushBack(value, allocator);
            object.AddMember(string_value(block ? "blocks" : "text", allocator), inner, allocator);
            value = object;
        }
        return;
    case 3:  // retype
        if (value.IsObject()) {
            if (value.HasMember("type")) value["type"] = string_value(TYPES[random() % TYPES.size()], allocator);
        } else if (value.IsString()) {
            mutate_string(value, allocator);
        }
        return;
    case 4:  // duplicate an item
        if (place.parent && place.parent->IsArray()) {
            Value copy(value, allocator);
            place.parent->PushBack(copy, allocator);
        }
        return;
    case 5:  // delete an item or member
        if (place.parent && place.parent->IsArray()) {
            place.parent->Erase(&value);
        } else if (place.parent && place.parent->IsObject()) {
            for (rapidjson::SizeType m = 0; m < place.parent->MemberCount(); ++m) {
                const auto member = place.parent->MemberBegin() + m;
                if (&member->value == &value) {
                    place.parent->EraseMember(member);
                    break;
                }
            }
        }
        return;
    case 6:  // swap two items
        if (value.IsArray() && value.Size() > 1) {
            value[random() % value.Size()].Swap(value[random() % value.Size()]);
        }
        return;
    default:
        if (value.IsString()) mutate_string(value, allocator);
        if (value.IsNumber()) value = wrong_kind(random, allocator);
        return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    const quenra::LineLimits small{.alt_text = 40, .bubble_bytes = 2100};
    for (const quenra::LineLimits& limits : {quenra::LineLimits{}, small}) require_deliverable(json, limits);
    return 0;
}

// Mutates the input as a JSON tree; input that is no JSON is mutated as bytes.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int seed) {
    std::mt19937 random(seed);
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(reinterpret_cast<const char*>(data), size);
    if (document.HasParseError() || random() % 16 == 0) return LLVMFuzzerMutate(data, size, max_size);
    for (unsigned count = 1 + random() % 3; count > 0; --count) mutate(document, random, document.GetAllocator());
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    if (buffer.GetSize() > max_size) return LLVMFuzzerMutate(data, size, max_size);
    std::memcpy(data, buffer.GetString(), buffer.GetSize());
    return buffer.GetSize();
}
