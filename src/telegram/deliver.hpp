// `convert` and `split` with the message written into a sink of the
// caller's (flex/json_writer.hpp), such as the `str` a binding returns.
#pragma once

#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "flex/write.hpp"
#include "line/check.hpp"
#include "line/split.hpp"
#include "telegram/document.hpp"
#include "text/unicode.hpp"

namespace quenra::telegram {

// Writes the message of `text` with `entities`, its links as given, into
// `sink`, a fresh JsonSink, and returns nothing when LINE accepts it: it is
// then `convert`'s message, whose repairs change nothing. Else the messages
// of `split` (what the sink holds is then to be dropped). `limits` must be
// valid.
template <class Sink>
std::optional<std::vector<std::string>> split_into(std::string_view text, std::span<const EntityView> entities,
                                                   const ConvertOptions& options, const LineLimits& limits,
                                                   Sink& sink) {
    DocumentMemory memory;
    const Document kept = read_document(text, entities, options, limits, memory.for_text(text.size()), Repairs::Kept);
    if (is_blank(text)) return std::vector<std::string>{};
    line::ProblemFinder problems(limits, false);
    const std::size_t bubble_bytes = write_message(sink, [&](auto& writer) { tell_message(kept, writer, problems); });
    if (problems.finds_only(bubble_bytes)) return std::nullopt;
    return line::cut_into_messages(
        read_document(text, entities, options, limits, std::pmr::get_default_resource(), Repairs::Made), limits);
}

}  // namespace quenra::telegram
