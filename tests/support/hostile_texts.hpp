// Families of texts that make straightforward closing and fence searches walk
// the same stretch again and again: each family repeats one unit to any
// length. Shared by the tests (at small sizes) and the benchmarks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quenra::testing {

struct HostileFamily {
    std::string_view name;
    std::string_view unit;    // repeated to fill the text
    std::string_view prefix;  // written once before the repetitions
};

inline const std::vector<HostileFamily>& hostile_families() {
    static const std::vector<HostileFamily> families{
        {"brackets without ]", "[", ""},
        {"links without )", "[a](", ""},
        {"fences without line feed", "```x", ""},
        {"fences never closed", "```\na", ""},
        {"brackets over open fences", "[```x\n", ""},
        {"delimiters around brackets", "*[_", ""},
        {"underscores _a__", "_a__", ""},
        {"lone backticks", "`", ""},
        {"backslash runs", "\\\\\\*", "*"},
        {"open runs of every delimiter", "||__*_~[", ""},
        {"nested code and links", "*_[`](`)", ""},
        {"only *", "*", ""},
        {"only _", "_", ""},
        {"only |", "|", ""},
        {"escaped ]", "\\]", ""},
        {"code blocks", "```\ncode\n```\n", ""},
        {"plain text", "Lorem ipsum dolor sit amet, consectetur. ", ""},
    };
    return families;
}

// `family`'s text, `size` bytes long or a little more.
inline std::string hostile_text(const HostileFamily& family, std::size_t size) {
    std::string text(family.prefix);
    text.reserve(size + family.unit.size());
    while (text.size() < size) text.append(family.unit);
    return text;
}

}  // namespace quenra::testing
