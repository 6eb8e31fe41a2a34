// Markup stripping: MarkdownV2 to the plain text that a reader sees.
#pragma once

#include <string>
#include <string_view>

#include "parser/indexed_search.hpp"

namespace quenra {

// Escapes resolved; style delimiters, link targets and code fences dropped;
// the text of every styled run, link and code span kept. The result is never
// longer than `text`.
template <class Search = DefaultSearch>
std::string strip_markdown(std::string_view text);

}  // namespace quenra
