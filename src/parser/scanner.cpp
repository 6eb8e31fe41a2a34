#include "parser/scanner.hpp"

namespace quenra {

char32_t Char::character() const noexcept {
    const auto byte = [this](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    switch (utf8.size()) {
    case 1:
        return byte(0);
    case 2:
        return (char32_t{byte(0)} & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
    case 3:
        return (char32_t{byte(0)} & 0x0Fu) << 12 | (char32_t{byte(1)} & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
    default:
        return (char32_t{byte(0)} & 0x07u) << 18 | (char32_t{byte(1)} & 0x3Fu) << 12 |
               (char32_t{byte(2)} & 0x3Fu) << 6 | (byte(3) & 0x3Fu);
    }
}

Fragment next_fragment(std::string_view& cursor) {
    ReferenceSearch search(cursor);
    return next_fragment(cursor, search);
}

}  // namespace quenra
