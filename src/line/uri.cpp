#include "line/uri.hpp"

#include <array>

#include "text/ascii.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace quenra::line {

namespace {

constexpr std::string_view ELLIPSIS = "\u2026";

// The bytes RFC 3986 allows in a URI: unreserved, reserved, and "%" (which is
// left alone even where no two hexadecimal digits follow it).
constexpr std::array<bool, 256> URI_BYTES = [] {
    std::array<bool, 256> table{};
    for (int c = 'a'; c <= 'z'; ++c) table[static_cast<std::size_t>(c)] = true;
    for (int c = 'A'; c <= 'Z'; ++c) table[static_cast<std::size_t>(c)] = true;
    for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = true;
    for (char c : std::string_view("-._~:/?#[]@!$&'()*+,;=%")) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

// The value of `name` in a query "a=1&b=2", when it is there.
std::optional<std::string_view> query_value(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
            return pair.substr(name.size() + 1);
        }
        if (end == std::string_view::npos) break;
        query.remove_prefix(end + 1);
    }
    return std::nullopt;
}

// The public https form of the tg: links that have one.
std::optional<std::string> public_form_of_tg_link(std::string_view url) {
    const auto scheme = uri_scheme(url);
    if (!scheme || !equals_ignoring_case(*scheme, "tg")) return std::nullopt;
    const std::string_view rest = url.substr(scheme->size() + 1);
    const auto query_of = [&](std::string_view path) -> std::optional<std::string_view> {
        if (!rest.starts_with(path) || rest.size() == path.size() || rest[path.size()] != '?') return std::nullopt;
        return rest.substr(path.size() + 1);
    };
    if (const auto query = query_of("//resolve")) {
        const auto domain = query_value(*query, "domain");
        if (!domain || domain->empty()) return std::nullopt;
        std::string out = "https://t.me/" + std::string(*domain);
        if (const auto post = query_value(*query, "post"); post && !post->empty()) out.append("/").append(*post);
        return out;
    }
    if (const auto query = query_of("//join")) {
        const auto invite = query_value(*query, "invite");
        if (!invite || invite->empty()) return std::nullopt;
        return "https://t.me/+" + std::string(*invite);
    }
    return std::nullopt;
}

std::string percent_encoded(std::string_view uri) {
    constexpr std::string_view HEX = "0123456789ABCDEF";
    std::string out;
    out.reserve(uri.size());
    for (const char c : uri) {
        const auto byte = static_cast<unsigned char>(c);
        if (URI_BYTES[byte]) {
            out.push_back(c);
        } else {
            out.append({'%', HEX[byte >> 4], HEX[byte & 0xF]});
        }
    }
    return out;
}

}  // namespace

bool is_scheme_name(std::string_view name) noexcept {
    if (name.empty() || !is_ascii_alpha(name.front())) return false;
    for (const char c : name.substr(1)) {
        if (!is_ascii_alpha(c) && !is_ascii_digit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

std::optional<std::string_view> uri_scheme(std::string_view uri) noexcept {
    const std::size_t colon = uri.find(':');
    if (colon == std::string_view::npos || !is_scheme_name(uri.substr(0, colon))) return std::nullopt;
    return uri.substr(0, colon);
}

bool scheme_allowed(std::string_view scheme, const LineLimits& limits) noexcept {
    for (const std::string& allowed : limits.uri_schemes) {
        if (equals_ignoring_case(scheme, allowed)) return true;
    }
    return false;
}

std::size_t first_byte_outside_uri_syntax(std::string_view uri) noexcept {
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (!URI_BYTES[static_cast<unsigned char>(uri[i])]) return i;
    }
    return std::string_view::npos;
}

bool is_bang_link(std::string_view url) noexcept {
    for (const std::string_view prefix : {"tg://emoji?", "tg://time?"}) {
        if (starts_with_ignoring_case(url, prefix)) return true;
    }
    return false;
}

std::optional<std::string> repair_uri(std::string_view url, const LineLimits& limits) {
    const auto accepted = [&](std::string_view uri) {
        const auto scheme = uri_scheme(uri);
        return scheme && scheme_allowed(*scheme, limits) && utf16_length(uri) <= limits.uri;
    };
    // A link that LINE accepts is kept as it is, whatever else could be done.
    if (first_byte_outside_uri_syntax(url) == std::string_view::npos && accepted(url)) return std::string(url);
    std::string uri = public_form_of_tg_link(url).value_or(std::string(url));
    if (first_byte_outside_uri_syntax(uri) != std::string_view::npos) uri = percent_encoded(uri);
    if (!accepted(uri)) return std::nullopt;
    return uri;
}

std::string repair_label(std::string_view label, std::string_view uri, const LineLimits& limits) {
    const std::string_view shown = is_blank(label) ? uri : label;
    if (grapheme_count(shown) <= limits.label) return std::string(shown);
    // Keep as many clusters as leave room for the ellipsis. A cluster that the
    // ellipsis would join (after a prepended mark) costs one more.
    for (std::size_t kept = limits.label - 1;; --kept) {
        std::string out(shown.substr(0, grapheme_prefix(shown, kept)));
        out.append(ELLIPSIS);
        if (kept == 0 || grapheme_count(out) <= limits.label) return out;
    }
}

namespace {

// `text` cut at the last code point boundary where `cost` of the prefix stays
// within `room`, with the ellipsis (which costs `ellipsis_cost`) at its end.
template <class Cost>
std::string shorten(std::string_view text, std::size_t room, std::size_t ellipsis_cost, Cost&& cost) {
    room = room > ellipsis_cost ? room - ellipsis_cost : 0;
    std::size_t end = 0;
    for (std::size_t spent = 0; end < text.size();) {
        const CodePoint point = first_code_point(text.substr(end));
        spent += cost(text.substr(end, point.length));
        if (spent > room) break;
        end += point.length;
    }
    std::string out(text.substr(0, end));
    out.append(ELLIPSIS);
    return out;
}

}  // namespace

std::string shorten_to_bytes(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return std::string(text);
    return shorten(text, bytes, ELLIPSIS.size(), [](std::string_view point) { return point.size(); });
}

std::string shorten_to_utf16(std::string_view text, std::size_t units) {
    if (utf16_length(text) <= units) return std::string(text);
    return shorten(text, units, 1, utf16_length);
}

}  // namespace quenra::line
