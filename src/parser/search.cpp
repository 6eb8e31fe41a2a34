#include "parser/search.hpp"

#include "parser/syntax.hpp"

namespace quenra {

std::optional<std::size_t> find_code_block_end(std::string_view text) noexcept {
    // The fence's first line (language tag or nothing) cannot hold the closing
    // fence, so the search starts at the line feed that ends it.
    std::size_t start = text.find('\n');
    if (start == std::string_view::npos) return std::nullopt;
    for (;;) {
        const std::size_t line_feed = text.find(CLOSING_FENCE, start);
        if (line_feed == std::string_view::npos) return std::nullopt;
        const std::size_t end = line_feed + CLOSING_FENCE.size();
        if (end == text.size() || text[end] == '\n') return end;
        start = line_feed + 1;
    }
}

std::optional<std::size_t> find_closing(std::string_view text, std::string_view delimiter) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::string_view rest = text.substr(i);
        const char c = rest.front();
        if (c == '\\' && rest.size() > 1 && is_escapable(static_cast<unsigned char>(rest[1]))) {
            i += 2;
            continue;
        }
        if (c == '`') {
            if (rest.starts_with(FENCE)) {
                if (const auto end = find_code_block_end(rest.substr(FENCE.size()))) {
                    i += FENCE.size() + *end;
                    continue;
                }
            }
            if (const auto partner = find_byte(rest.substr(1), '`')) {
                i += *partner + 2;
                continue;
            }
        }
        if (rest.starts_with(delimiter)) return i;
        i += first_char_length(rest);
    }
    return std::nullopt;
}

}  // namespace quenra
