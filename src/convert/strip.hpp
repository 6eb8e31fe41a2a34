// Markup stripping: MarkdownV2 to the plain text that a reader sees.
#pragma once

#include <string>
#include <string_view>

#include "parser/search.hpp"

namespace quenra {

// Escapes resolved; style delimiters, link targets and code fences dropped;
// the text of every styled run, link and code span kept. The result is never
// longer than `text`.
template <class Search = DefaultSearch>
std::string strip_markdown(std::string_view text);

// Appends the plain text of `text` to `out`.
template <class Search = DefaultSearch>
void append_plain_text(std::string_view text, std::string& out);

}  // namespace quenra
