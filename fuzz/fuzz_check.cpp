// libFuzzer harness over `check`: arbitrary bytes, and mutations of real
// messages (the seeds in fuzz/check_seeds). For every input, under LINE's
// limits and under small limits taken from the input, `check` must return
// or refuse the text as unreadable, never fail otherwise, and give the same
// answer twice; every problem has a known code, a JSON Pointer and a
// message. A message that it reads must have the same problems when it is
// written again, compactly and with every object's members in reverse order.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <quenra.hpp>
#include "split_properties.hpp"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

const std::set<std::string, std::less<>> CODES{
    "alt_text_empty", "alt_text_too_long", "bubble_empty", "bubble_too_large", "box_empty",  "text_without_spans",
    "span_empty",     "label_empty",       "label_too_long", "uri_scheme",    "uri_characters", "uri_too_long",
    "clipboard_text_empty", "clipboard_text_too_long",
};

// The problems, or nothing when the text is unreadable.
std::optional<std::vector<quenra::Problem>> problems_of(std::string_view json, const quenra::LineLimits& limits) {
    try {
        return quenra::check(json, limits);
    } catch (const quenra::UnreadableMessage& unreadable) {
        require(*unreadable.what() != '\0', "an unreadable message is named");
        return std::nullopt;
    }
}

// Every object's members in reverse order, all the way down.
void reverse_members(rapidjson::Value& value) {
    if (value.IsArray()) {
        for (rapidjson::SizeType i = 0; i < value.Size(); ++i) reverse_members(value[i]);
    } else if (value.IsObject()) {
        const auto members = value.MemberBegin();
        const rapidjson::SizeType count = value.MemberCount();
        for (rapidjson::SizeType i = 0; i < count / 2; ++i) std::swap(members[i], members[count - 1 - i]);
        for (rapidjson::SizeType i = 0; i < count; ++i) reverse_members(members[i].value);
    }
}

// `json` written again by another writer, compactly, its members reversed.
std::string rewritten(std::string_view json) {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    require(!document.HasParseError(), "what check reads is JSON");
    reverse_members(document);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    for (const quenra::LineLimits& limits : {quenra::LineLimits{}, quenra::testing::limits_from_bytes(json)}) {
        const auto problems = problems_of(json, limits);
        require(problems == problems_of(json, limits), "same input, same answer");
        if (!problems) continue;
        for (const quenra::Problem& problem : *problems) {
            require(CODES.contains(problem.code), "a known code");
            require(problem.path.starts_with("/") && !problem.message.empty(), "a path and a message");
        }
        require(problems_of(rewritten(json), limits) == problems, "member order and white space change no problem");
    }
    return 0;
}
