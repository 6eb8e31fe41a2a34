// `split` with the message that LINE accepts as it is written into a sink of
// the caller's: the common case, which then costs a conversion written once.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/build.hpp"
#include "flex/write.hpp"
#include "line/check.hpp"
#include <quenra.hpp>

namespace quenra::line {

// The messages of a text whose exact conversion LINE refuses: repaired and
// cut so that each passes.
std::vector<std::string> repaired_messages(std::string_view text, const ConvertOptions& options,
                                           const LineLimits& limits);

// Writes the exact conversion of `text` into `sink`, a fresh BufferedSink.
// Returns nothing when LINE accepts it as it is, else the messages of
// `repaired_messages` (what the sink holds is then to be dropped). `limits`
// must be valid (see require_valid).
template <class Sink>
std::optional<std::vector<std::string>> split_into(std::string_view text, const ConvertOptions& options,
                                                   const LineLimits& limits, Sink& sink) {
    DocumentMemory memory;
    const Document document = read_markdown(text, options, memory.for_text(text.size()));
    ProblemFinder problems(limits);
    const std::size_t bubble_bytes =
        write_message(sink, [&](auto& writer) { tell_message(document, writer, problems); });
    if (problems.passes(bubble_bytes)) return std::nullopt;
    return repaired_messages(text, options, limits);
}

}  // namespace quenra::line
