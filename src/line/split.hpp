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

// The messages of `text`, whose exact conversion `exact` LINE refuses for
// what `problems` found, repaired and cut so that each passes. Where the
// repairs would change no more than leave out empty spans, `exact` is cut
// itself, without reading the text again.
std::vector<std::string> messages_that_fit(std::string_view text, const ConvertOptions& options,
                                           const LineLimits& limits, Document& exact, const ProblemFinder& problems);

// The messages that `document` is cut into, each of which LINE accepts when
// the document's links and labels are repaired (repair.hpp).
std::vector<std::string> cut_into_messages(const Document& document, const LineLimits& limits);

// Writes the exact conversion of `text` into `sink`, a fresh JsonSink.
// Returns nothing when LINE accepts it as it is, else the messages of
// `messages_that_fit` (what the sink holds is then to be dropped). `limits`
// must be valid (see require_valid).
template <class Sink>
std::optional<std::vector<std::string>> split_into(std::string_view text, const ConvertOptions& options,
                                                   const LineLimits& limits, Sink& sink) {
    DocumentMemory memory;
    Document document = read_markdown(text, options, memory.for_text(text.size()));
    ProblemFinder problems(limits, false);
    // A long text's message, which LINE mostly refuses, is judged before it
    // is written; a short one's while it is written.
    const bool long_text = document.text.size() > limits.alt_text;
    if (long_text) tell_message(document, problems);
    if (!long_text || problems.finds_only(0)) {
        const std::size_t bubble_bytes = write_message(sink, [&](auto& writer) {
            if (long_text) {
                tell_message(document, writer);
            } else {
                tell_message(document, writer, problems);
            }
        });
        if (problems.finds_only(bubble_bytes)) return std::nullopt;
    }
    return messages_that_fit(text, options, limits, document, problems);
}

}  // namespace quenra::line
