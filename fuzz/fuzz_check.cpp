// libFuzzer harness over `check`: arbitrary bytes, and mutations of real
// messages (the seeds in fuzz/check_seeds). For every input, under LINE's
// limits and under small limits taken from the input, `check` must return
// or refuse the text as unreadable, never fail otherwise, and give the same
// answer twice; every problem has a known code, a JSON Pointer and a
// message. A message that it reads must have the same problems when it is
// written again compactly in the serializer's member order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "flex/read_json.hpp"
#include "json_text.hpp"
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
        const auto message = quenra::read_flex_message(json).message;
        require(message.has_value(), "what check reads, the reader reads");
        require(problems_of(quenra::testing::to_json(*message), limits) == problems,
                "member order and white space change no problem");
    }
    return 0;
}
