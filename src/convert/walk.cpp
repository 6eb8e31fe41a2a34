#include "convert/walk.hpp"

#include "text/unicode.hpp"

namespace quenra {

std::optional<std::size_t> standalone_link_tail(std::string_view after_link) noexcept {
    const std::size_t blanks = blank_prefix_length(after_link);
    if (blanks == after_link.size()) return 0;  // the text ends: the blanks stay as text
    if (after_link[blanks] == '\n') return blanks + 1;
    return std::nullopt;
}

}  // namespace quenra
