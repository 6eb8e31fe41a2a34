// Markup stripping: MarkdownV2 to the plain text that a reader sees.
#pragma once

#include <string>
#include <string_view>

#include "parser/scanner.hpp"

namespace quenra {

// Escapes resolved; style delimiters, link targets and code fences dropped;
// the text of every styled run, link and code span kept. The result is never
// longer than `text`.
template <class Search = DefaultSearch>
std::string strip_markdown(std::string_view text);

// Appends the plain text of one fragment: what `strip_markdown` makes of the
// fragment's source text.
void append_plain_text(const Fragment& fragment, std::string& out);

}  // namespace quenra
