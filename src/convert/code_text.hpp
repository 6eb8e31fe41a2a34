// The text that a fenced code block shows.
#pragma once

#include <string_view>

namespace quenra {

// A block's body starts with the fence's first line (a language tag, or
// nothing) and ends with the line feed before the closing fence. The code text
// drops that first line and every line feed at the end; a body without a line
// feed is taken whole. Only line feeds are trimmed: a carriage return stays.
constexpr std::string_view code_block_text(std::string_view body) noexcept {
    const std::size_t first_line_end = body.find('\n');
    if (first_line_end == std::string_view::npos) return body;
    std::string_view code = body.substr(first_line_end + 1);
    while (!code.empty() && code.back() == '\n') code.remove_suffix(1);
    return code;
}

}  // namespace quenra
