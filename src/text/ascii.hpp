// ASCII letters and digits, as URI schemes, hosts and queries use them:
// classes and case-insensitive comparison that leave every other byte alone.
#pragma once

#include <string>
#include <string_view>

namespace quenra {

constexpr bool is_ascii_alpha(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool is_ascii_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr char ascii_lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool is_ascii_hex(char c) noexcept {
    return is_ascii_digit(c) || (ascii_lower(c) >= 'a' && ascii_lower(c) <= 'f');
}

// True when `a` and `b` are equal but for the case of ASCII letters.
constexpr bool equals_ignoring_case(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

// `text` with its ASCII letters in lower case.
inline std::string ascii_lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = ascii_lower(c);
    return out;
}

constexpr bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) noexcept {
    return text.size() >= prefix.size() && equals_ignoring_case(text.substr(0, prefix.size()), prefix);
}

}  // namespace quenra
