// Rich messages given as JSON text: the nodes of a RapidJSON document.
#include <rapidjson/document.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>

#include <quenra/telegram.hpp>

#include "line/json_depth.hpp"
#include "line/split.hpp"
#include "telegram/rich.hpp"

namespace quenra::telegram {

namespace {

// A node of a parsed JSON document (null for a missing one).
class JsonNode {
public:
    explicit JsonNode(const rapidjson::Value* value) noexcept : value_(value) {}

    NodeKind kind() const noexcept {
        if (!value_) return NodeKind::Missing;
        switch (value_->GetType()) {
        case rapidjson::kNullType:
            return NodeKind::Null;
        case rapidjson::kFalseType:
        case rapidjson::kTrueType:
            return NodeKind::Boolean;
        case rapidjson::kNumberType:
            return NodeKind::Number;
        case rapidjson::kStringType:
            return NodeKind::String;
        case rapidjson::kArrayType:
            return NodeKind::Array;
        case rapidjson::kObjectType:
            return NodeKind::Object;
        }
        return NodeKind::Null;
    }
    JsonNode member(std::string_view name) const {
        const auto found = value_->FindMember(rapidjson::Value(rapidjson::StringRef(name.data(), name.size())));
        return JsonNode(found == value_->MemberEnd() ? nullptr : &found->value);
    }
    std::size_t size() const noexcept { return value_->Size(); }
    JsonNode item(std::size_t index) const { return JsonNode(&(*value_)[static_cast<rapidjson::SizeType>(index)]); }
    std::string_view text() const noexcept { return {value_->GetString(), value_->GetStringLength()}; }
    bool boolean() const noexcept { return value_->GetBool(); }
    double number() const noexcept { return value_->GetDouble(); }

private:
    const rapidjson::Value* value_;
};

// The deepest nesting of objects and arrays that a rich message within
// Telegram's limits has: blocks in blocks and text in text, with room.
constexpr unsigned MAX_JSON_DEPTH = 256;

// Parses `json` (without recursion) and runs `deliver` with the reading of
// its root node.
template <class Deliver>
auto with_reading(std::string_view json, bool decorate_links, Deliver&& deliver) {
    rapidjson::Document document;
    rapidjson::MemoryStream bytes(json.data(), json.size());
    rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> stream(bytes);
    if (auto failure = line::parse_within_depth<rapidjson::kParseDefaultFlags>(document, stream, MAX_JSON_DEPTH)) {
        throw InvalidRichMessage(std::move(*failure));
    }
    const JsonNode root(&document);
    return deliver(RichReading<JsonNode>{root, decorate_links, json.size()});
}

}  // namespace

std::string convert_rich(std::string_view rich_message_json, bool decorate_links, const LineLimits& limits) {
    return with_reading(rich_message_json, decorate_links,
                        [&](const auto& reading) { return line::convert_reading(reading, limits); });
}

std::vector<std::string> split_rich(std::string_view rich_message_json, bool decorate_links, const LineLimits& limits) {
    return with_reading(rich_message_json, decorate_links,
                        [&](const auto& reading) { return line::split_reading(reading, limits); });
}

}  // namespace quenra::telegram
