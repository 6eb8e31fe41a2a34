// Delivering a reading to LINE: the one path from any reading's document to
// messages that LINE accepts, written into a sink of the caller's when LINE
// takes the message as it is (the common case, which then costs a
// conversion written once), else repaired and cut.
#pragma once

#include <concepts>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/build.hpp"
#include "flex/write.hpp"
#include "line/check.hpp"
#include "line/repair.hpp"
#include <quenra.hpp>

namespace quenra::line {

// A reading of some input into a document, with a link policy of the
// caller's choice: the links as given, or repaired for LINE.
template <class R>
concept Reading = requires(const R& reading, GivenLinks& given, RepairedLinks& repaired,
                           std::pmr::memory_resource* memory, const Document& document) {
    { reading.read(given, memory) } -> std::same_as<Document>;
    { reading.read(repaired, memory) } -> std::same_as<Document>;
    // The size of the input in bytes, which the memory of a document follows.
    { reading.input_size() } -> std::convertible_to<std::size_t>;
    // True when the message, read as given, shows nothing to send.
    { reading.shows_nothing(document) } -> std::same_as<bool>;
};

// The altText of a message that shows nothing but buttons whose text is
// empty, from `begin` to `end`: their labels, one a line, shortened to the
// limit.
std::string labels_as_alt_text(const Document& document, Place begin, Place end, const LineLimits& limits);

// Tells `outs` the whole document's message, whose altText is its text, or
// its buttons' labels when it has no text.
template <MessageOut... Outs>
void tell_whole(const Document& document, const LineLimits& limits, Outs&... outs) {
    const Place end{document.items.size(), 0};
    if (!document.text.empty()) return tell_message(document, Place{}, end, {}, document.text, outs...);
    const std::string labels = labels_as_alt_text(document, Place{}, end, limits);
    tell_message(document, Place{}, end, {}, labels, outs...);
}

// How the cutter finds where a message ends: quickly (searching white space
// from the end), or by walking every place of it in order. Both find the
// same; the walk is the reference that tests hold the search to.
enum class CutSearch : bool { Fast, Walking };

// The messages that `document` is cut into, each of which LINE accepts when
// the document's links and labels are repaired (repair.hpp).
std::vector<std::string> cut_into_messages(const Document& document, const LineLimits& limits,
                                           CutSearch search = CutSearch::Fast);

// The document of `reading` with LINE's repairs made.
template <Reading R>
Document read_repaired(const R& reading, const LineLimits& limits, std::pmr::memory_resource* memory) {
    RepairedLinks repaired(limits);
    return reading.read(repaired, memory);
}

// The messages of a reading whose document as given, `given`, LINE refuses
// for what `problems` found, repaired and cut so that each passes. Where the
// repairs would change no more than leave out empty spans, `given` is cut
// itself, without reading the input again.
template <Reading R>
std::vector<std::string> messages_that_fit(const R& reading, const LineLimits& limits, Document& given,
                                           const ProblemFinder& problems) {
    using enum ProblemCode;
    if (problems.finds_only(0, {AltTextTooLong, BubbleTooLarge, SpanEmpty}) && needs_no_repair(given, limits)) {
        std::erase_if(given.items, [](const Item& item) { return item.kind == Item::Kind::Shown && item.size() == 0; });
        return cut_into_messages(given, limits);
    }
    return cut_into_messages(read_repaired(reading, limits, std::pmr::get_default_resource()), limits);
}

// Writes a message into a string, in one pass: the `Write` of split_into for
// C++ callers.
struct StringWrite {
    std::string json;

    template <class Tell>
    std::size_t first(Tell&& tell) {
        json.clear();
        StringSink sink(json);
        const std::size_t bubble_bytes = write_message(sink, std::forward<Tell>(tell));
        sink.flush();
        return bubble_bytes;
    }
    template <class Tell>
    void last(Tell&& /*tell*/) const noexcept {}
};

// The messages of `reading` that LINE accepts. When LINE takes its message
// as given as it is, that message is written by `write` and nothing is
// returned; else the messages of `messages_that_fit`, none when the message
// shows nothing. `write.first(tell)` tells the message once (judging it as
// it goes) and returns its bubble's bytes; `write.last(tell)` is called
// when LINE takes it, to write it out where the first pass did not (see
// StringWrite, or the binding's writer into a `str`). `limits` must be
// valid (see require_valid).
template <Reading R, class Write>
std::optional<std::vector<std::string>> split_into(const R& reading, const LineLimits& limits, Write& write) {
    DocumentMemory memory;
    GivenLinks given;
    Document document = reading.read(given, memory.for_text(reading.input_size()));
    if (reading.shows_nothing(document)) return std::vector<std::string>{};
    ProblemFinder problems(limits, false);
    const auto tell = [&](auto& writer) { tell_whole(document, limits, writer); };
    // A long text's message, which LINE mostly refuses, is judged before it
    // is written; a short one's while it is told the first time.
    const bool long_text = document.text.size() > limits.alt_text;
    if (long_text) tell_whole(document, limits, problems);
    if (!long_text || problems.finds_only(0)) {
        const std::size_t bubble_bytes =
            long_text ? write.first(tell) : write.first([&](auto& writer) { tell_whole(document, limits, writer, problems); });
        if (problems.finds_only(bubble_bytes)) {
            write.last(tell);
            return std::nullopt;
        }
    }
    return messages_that_fit(reading, limits, document, problems);
}

// Writes one message of `reading`, repaired for LINE but never cut, with
// `write` (see split_into).
template <Reading R, class Write>
void convert_into(const R& reading, const LineLimits& limits, Write& write) {
    DocumentMemory memory;
    const Document document = read_repaired(reading, limits, memory.for_text(reading.input_size()));
    const auto tell = [&](auto& writer) { tell_whole(document, limits, writer); };
    write.first(tell);
    write.last(tell);
}

// `split_into` as a list of strings: the message LINE accepts alone, or the
// messages cut.
template <Reading R>
std::vector<std::string> split_reading(const R& reading, const LineLimits& limits) {
    require_valid(limits);
    StringWrite write;
    write.json.reserve(expected_json_size(reading.input_size()));
    if (auto messages = split_into(reading, limits, write)) return std::move(*messages);
    std::vector<std::string> alone;
    alone.push_back(std::move(write.json));
    return alone;
}

// `convert_into` as a string.
template <Reading R>
std::string convert_reading(const R& reading, const LineLimits& limits) {
    require_valid(limits);
    StringWrite write;
    write.json.reserve(expected_json_size(reading.input_size()));
    convert_into(reading, limits, write);
    return std::move(write.json);
}

// MarkdownV2 as this library reads it.
struct MarkdownReading {
    std::string_view text;
    ConvertOptions options;

    template <LinkPolicy Links>
    Document read(Links& links, std::pmr::memory_resource* memory) const {
        return read_markdown(text, options, links, memory);
    }
    std::size_t input_size() const noexcept { return text.size(); }
    bool shows_nothing(const Document& document) const noexcept { return document.items.empty(); }
};

}  // namespace quenra::line
