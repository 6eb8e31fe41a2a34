// `convert` and `split` with the message written into a sink of the
// caller's (flex/json_writer.hpp), such as the `str` a binding returns.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flex/write.hpp"
#include "line/check.hpp"
#include "line/split.hpp"
#include "telegram/document.hpp"
#include "text/unicode.hpp"

namespace quenra::telegram {

// Writes the message of `document`, read from `text`, into `sink`, a fresh
// JsonSink, and returns nothing when LINE accepts it; else the messages of
// `split` (what the sink holds is then to be dropped). `limits` must be
// valid.
template <class Sink>
std::optional<std::vector<std::string>> split_into(const Document& document, std::string_view text,
                                                   const LineLimits& limits, Sink& sink) {
    if (is_blank(text)) return std::vector<std::string>{};
    line::ProblemFinder problems(limits, false);
    const std::size_t bubble_bytes = write_message(sink, [&](auto& writer) { tell_message(document, writer, problems); });
    if (problems.finds_only(bubble_bytes)) return std::nullopt;
    return line::cut_into_messages(document, limits);
}

}  // namespace quenra::telegram
