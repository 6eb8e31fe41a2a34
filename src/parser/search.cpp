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
    const auto fence_end = [text](std::size_t after_fence) -> std::optional<std::size_t> {
        const auto end = find_code_block_end(text.substr(after_fence));
        if (!end) return std::nullopt;
        return after_fence + *end;
    };
    const auto next_backtick = [text](std::size_t from) -> std::optional<std::size_t> {
        const auto found = find_byte(text.substr(from), '`');
        if (!found) return std::nullopt;
        return from + *found;
    };
    const ClosingDelimiter closer(delimiter);
    for (std::size_t i = 0; i < text.size();) {
        const ClosingStep step = closing_step(text, i, closer, fence_end, next_backtick);
        if (step.closes) return i;
        i = step.next;
    }
    return std::nullopt;
}

}  // namespace quenra
