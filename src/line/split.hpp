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

// One message of a document cut: the stretches it tells (a table's header
// rows repeated, then its own), the frames open where it starts (outermost
// first), and its altText.
struct Part {
    std::vector<Stretch> stretches;
    std::vector<std::uint32_t> open;
    std::string alt_text;
};

// Tells `outs` the message of `part` of `document`.
template <MessageOut... Outs>
void tell_part(const Document& document, const Part& part, Outs&... outs) {
    tell_message(document, std::span<const Stretch>(part.stretches), std::span<const std::uint32_t>(part.open),
                 part.alt_text, outs...);
}

// The parts that `document` is cut into, each of which LINE accepts when
// the document's links and labels are repaired (repair.hpp).
std::vector<Part> cut_into_parts(const Document& document, const LineLimits& limits,
                                 CutSearch search = CutSearch::Fast);

// `document` with its outermost boxes flattened (left unwritten, their
// components written into the box around them) where boxes nest deeper than
// a message of `limits` can hold around text, when one message cannot hold
// the whole; nothing when no box need be.
std::optional<Document> flattened_to_fit(const Document& document, const LineLimits& limits);

// Writes with `write` (see split_into) the parts that `document` is cut
// into, its boxes flattened to fit first.
template <class Write>
void write_cut(const Document& document, const LineLimits& limits, Write& write, CutSearch search = CutSearch::Fast) {
    const std::optional<Document> flat = flattened_to_fit(document, limits);
    const Document& cut = flat ? *flat : document;
    for (const Part& part : cut_into_parts(cut, limits, search)) write.part(cut, part);
}

// The messages of those parts (flattened to fit), as strings.
std::vector<std::string> cut_into_messages(const Document& document, const LineLimits& limits,
                                           CutSearch search = CutSearch::Fast);

// Writes messages into strings: the `Write` of split_into for C++ callers.
// A whole message is written in one pass, judged as it is written; parts
// go to `messages`.
struct StringWrite {
    std::string json;
    std::vector<std::string> messages;

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
    void part(const Document& document, const Part& part) {
        std::string& out = messages.emplace_back();
        StringSink sink(out);
        write_message(sink, [&](auto& writer) { tell_part(document, part, writer); });
        sink.flush();
    }
};

// The document of `reading` with LINE's repairs made.
template <Reading R>
Document read_repaired(const R& reading, const LineLimits& limits, std::pmr::memory_resource* memory) {
    RepairedLinks repaired(limits);
    return reading.read(repaired, memory);
}

// Writes with `write` the messages of a reading whose document as given,
// `given`, LINE refuses for what `problems` found, repaired and cut so that
// each passes. Where the repairs would change no more than leave out empty
// spans, `given` is cut itself, without reading the input again.
template <Reading R, class Write>
void write_parts(const R& reading, const LineLimits& limits, Document& given, const ProblemFinder& problems,
                 Write& write) {
    using enum ProblemCode;
    if (problems.finds_only(0, {AltTextTooLong, BubbleTooLarge, SpanEmpty}) && needs_no_repair(given, limits)) {
        given.erase_empty_spans();
        return write_cut(given, limits, write);
    }
    write_cut(read_repaired(reading, limits, std::pmr::get_default_resource()), limits, write);
}

// Writes with `write` the messages of `reading` that LINE accepts: true when
// LINE takes its message as given as it is, which `write` then holds whole;
// false when it holds the parts of write_parts, none when the message shows
// nothing. `write.first(tell)` tells the message once (judging it as it
// goes) and returns its bubble's bytes; `write.last(tell)` is called when
// LINE takes it, to write it where the first pass did not; `write.part` gets
// each part otherwise (see StringWrite, or the binding's writer into `str`s).
// `limits` must be valid (see require_valid).
template <Reading R, class Write>
bool split_into(const R& reading, const LineLimits& limits, Write& write) {
    DocumentMemory memory;
    GivenLinks given;
    Document document = reading.read(given, memory.for_text(reading.input_size()));
    if (reading.shows_nothing(document)) return false;
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
            return true;
        }
    }
    write_parts(reading, limits, document, problems, write);
    return false;
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
    if (!split_into(reading, limits, write)) return std::move(write.messages);
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
