// The library's one operation with the JSON text going to a sink of the
// caller's (see flex/json_writer.hpp) instead of a new string: for callers
// that keep the text in a form of their own, such as a Python `str`.
#pragma once

#include <string_view>

#include <quenra.hpp>
#include "convert/build.hpp"
#include "flex/write.hpp"

namespace quenra {

// What the conversion of an empty text gives, whatever the options: the
// entry points answer that frequent call without converting.
inline constexpr std::string_view EMPTY_TEXT_JSON = R"({"type":"flex","altText":"","contents":{"type":"bubble"}})";

// Writes what quenra_json_with_options(text, options) returns into `sink`.
template <class Sink>
void write_quenra_json(std::string_view text, const ConvertOptions& options, Sink& sink) {
    DocumentMemory memory;
    write_document(read_markdown(text, options, memory.for_text(text.size())), sink);
}

}  // namespace quenra
