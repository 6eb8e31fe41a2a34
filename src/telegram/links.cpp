#include "telegram/links.hpp"

#include <algorithm>
#include <iterator>
#include <limits>
#include <vector>

#include "text/ascii.hpp"

namespace quenra::telegram {

namespace {

void append_lowered(std::string& out, std::string_view text) {
    std::transform(text.begin(), text.end(), std::back_inserter(out), ascii_lower);
}

// `canonical_int64(text)` within [least, most].
std::optional<std::int64_t> canonical_integer(std::string_view text, std::int64_t least, std::int64_t most) {
    const auto value = canonical_int64(text);
    if (!value || *value < least || *value > most) return std::nullopt;
    return value;
}

// The query of a tg:[//]host URL whose host is one of `hosts` (compared
// without regard to case): "host", then "/" at most, then "?" and the
// query, which ends at "#". Sets `host` to the one found.
std::optional<std::string_view> tg_query(std::string_view url, std::initializer_list<std::string_view> hosts,
                                         std::string_view& host) {
    if (!starts_with_ignoring_case(url, "tg:")) return std::nullopt;
    url.remove_prefix(3);
    if (url.starts_with("//")) url.remove_prefix(2);
    const auto found = std::find_if(hosts.begin(), hosts.end(), [&](std::string_view name) {
        return starts_with_ignoring_case(url, name) &&
               (url.size() == name.size() || std::string_view("/?#").find(url[name.size()]) != std::string_view::npos);
    });
    if (found == hosts.end()) return std::nullopt;
    host = *found;
    url.remove_prefix(found->size());
    if (url.starts_with('/')) url.remove_prefix(1);
    if (!url.starts_with('?')) return std::nullopt;
    url.remove_prefix(1);
    return url.substr(0, url.find('#'));
}

// The parameters of a query, in order: name and value.
std::vector<std::pair<std::string_view, std::string_view>> parameters(std::string_view query) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view parameter = query.substr(0, end);
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos) out.emplace_back(parameter.substr(0, equals), parameter.substr(equals + 1));
        query.remove_prefix(std::min(end + 1, query.size()));
    }
    return out;
}

bool is_host_character(char c) noexcept {
    return is_ascii_alpha(c) || is_ascii_digit(c) ||
           std::string_view(".-_!$,~*'();&+=").find(c) != std::string_view::npos || static_cast<unsigned char>(c) >= 0x80;
}

// True when every byte of `part` is a host character, "%XX", or one of
// `also`.
bool made_of_host_characters(std::string_view part, std::string_view also = {}) noexcept {
    for (std::size_t i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c == '%') {
            if (i + 2 >= part.size() || !is_ascii_hex(part[i + 1]) || !is_ascii_hex(part[i + 2])) return false;
            i += 2;
        } else if (!is_host_character(c) && also.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// Appends `part` with every byte up to a space escaped as %XX.
void append_escaping_controls(std::string& out, std::string_view part) {
    constexpr std::string_view HEX = "0123456789ABCDEF";
    const auto is_control = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    for (auto at = part.begin(); at != part.end();) {
        const auto control = std::find_if(at, part.end(), is_control);
        out.append(at, control);
        if (control == part.end()) break;
        const auto byte = static_cast<unsigned char>(*control);
        out.push_back('%');
        out.push_back(HEX[byte >> 4]);
        out.push_back(HEX[byte & 0xF]);
        at = control + 1;
    }
}

// `rest`, what follows a link's host, without the white space at its end.
std::string_view without_trailing_space(std::string_view rest) noexcept {
    while (!rest.empty() && is_space(rest.back())) rest.remove_suffix(1);
    return rest;
}

// True when `address` is an IPv4 address as the C library reads one: four
// decimal numbers up to 255, without leading zeros, split by dots.
bool is_ipv4_address(std::string_view address) noexcept {
    int numbers = 0;
    while (true) {
        const std::size_t end = std::min(address.find('.'), address.size());
        const std::string_view number = address.substr(0, end);
        if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0') ||
            !std::all_of(number.begin(), number.end(), is_ascii_digit) || (number.size() == 3 && number > "255")) {
            return false;
        }
        ++numbers;
        if (end == address.size()) return numbers == 4;
        address.remove_prefix(end + 1);
    }
}

// True when `address` is an IPv6 address as the C library reads one: eight
// groups of one to four hex digits split by ":", or fewer around one "::";
// the last two may be written as an IPv4 address.
bool is_ipv6_address(std::string_view address) noexcept {
    int groups = 0;
    bool gap = address.starts_with("::");
    if (gap) {
        address.remove_prefix(2);
    } else if (address.starts_with(':')) {
        return false;
    }
    while (!address.empty()) {
        const std::size_t end = std::min(address.find(':'), address.size());
        const std::string_view group = address.substr(0, end);
        if (group.find('.') != std::string_view::npos) {
            if (end != address.size() || !is_ipv4_address(group)) return false;
            groups += 2;
            break;
        }
        if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), is_ascii_hex)) return false;
        ++groups;
        if (end == address.size()) break;
        if (address.substr(end).starts_with("::")) {
            if (gap) return false;
            gap = true;
            address.remove_prefix(end + 2);
        } else {
            address.remove_prefix(end + 1);
            if (address.empty()) return false;  // a ":" at the end
        }
    }
    return gap ? groups <= 7 : groups == 8;
}

// A tg:, ton: or tonsite: link: "scheme://host" and the rest from "?".
std::optional<std::string> checked_special_link(std::string_view url, std::string_view scheme) {
    url.remove_prefix(scheme.size() + 1);
    if (url.starts_with("//")) url.remove_prefix(2);
    const std::size_t host_end = std::min(url.find_first_of("/?#"), url.size());
    const std::string_view host = url.substr(0, host_end);
    // A TON site's host may have dots, as a domain has.
    const bool dots = scheme == "tonsite";
    if (host.empty() || host == "." || !std::all_of(host.begin(), host.end(), [dots](char c) {
            return is_ascii_alpha(c) || is_ascii_digit(c) || c == '_' || c == '-' || (dots && c == '.');
        })) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(scheme.size() + 4 + url.size());
    out.append(scheme).append("://");
    append_lowered(out, host);
    // The rest starts with "/", as a web link's path does, but for a query
    // right after the host, which keeps no "/" before it.
    std::string_view rest = without_trailing_space(url.substr(host_end));
    if (rest.starts_with("/?")) {
        rest.remove_prefix(1);
    } else if (!rest.starts_with('/') && !rest.starts_with('?')) {
        out.push_back('/');
    }
    append_escaping_controls(out, rest);
    return out;
}

}  // namespace

std::optional<std::int64_t> canonical_int64(std::string_view text) noexcept {
    const bool negative = text.starts_with('-');
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || (digits[0] == '0' && (digits.size() > 1 || negative))) return std::nullopt;
    // The magnitude in unsigned arithmetic, which holds the least value's.
    const std::uint64_t most = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    std::uint64_t magnitude = 0;
    for (const char c : digits) {
        if (!is_ascii_digit(c)) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (most - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

std::optional<std::int64_t> mentioned_user(std::string_view url) {
    std::string_view host;
    const auto query = tg_query(url, {"user"}, host);
    if (!query) return std::nullopt;
    for (const auto& [name, value] : parameters(*query)) {
        if (equals_ignoring_case(name, "id")) return canonical_integer(value, 1, (std::int64_t{1} << 40) - 1);
    }
    return std::nullopt;
}

std::optional<std::string> checked_link(std::string_view url) {
    for (const std::string_view scheme : {"tg", "ton", "tonsite"}) {
        if (starts_with_ignoring_case(url, scheme) && url.size() > scheme.size() && url[scheme.size()] == ':') {
            return checked_special_link(url, scheme);
        }
    }
    // A scheme is what comes before the first of these, when "://" follows.
    std::string scheme = "http";
    if (const std::size_t end = url.find_first_of(":/?#@[]"); end != std::string_view::npos &&
                                                               url.substr(end).starts_with("://")) {
        scheme = ascii_lowered(url.substr(0, end));
        if (scheme != "http" && scheme != "https") return std::nullopt;
        url.remove_prefix(end + 3);
    }
    const std::size_t authority_end = std::min(url.find_first_of("/?#"), url.size());
    std::string_view authority = url.substr(0, authority_end);
    const std::string_view rest = without_trailing_space(url.substr(authority_end));
    std::string_view userinfo;
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        userinfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        if (!made_of_host_characters(userinfo, ":")) return std::nullopt;
    }
    std::string_view host = authority;
    std::string port;
    const bool ipv6 = host.starts_with('[');
    const std::size_t host_end = ipv6 ? host.find(']') : host.rfind(':');
    if (ipv6 && host_end == std::string_view::npos) return std::nullopt;
    const std::size_t colon = ipv6 ? host_end + 1 : host_end;
    if (colon != std::string_view::npos && colon < authority.size()) {
        if (authority[colon] != ':') return std::nullopt;
        std::string_view digits = authority.substr(colon + 1);
        while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
        const auto number = canonical_integer(digits, 1, 65535);
        if (!number) return std::nullopt;
        port = std::to_string(*number);
        host = authority.substr(0, colon);
    }
    if (ipv6) {
        if (!is_ipv6_address(host.substr(1, host.size() - 2))) return std::nullopt;
    } else if (host.empty() || host == "." || !made_of_host_characters(host) || host.find('.') == std::string_view::npos) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(scheme.size() + 4 + url.size());
    out.append(scheme).append("://");
    if (!userinfo.empty()) out.append(userinfo).push_back('@');
    append_lowered(out, host);
    if (!port.empty()) out.append(":").append(port);
    if (!rest.starts_with('/')) out.push_back('/');
    append_escaping_controls(out, rest);
    return out;
}

std::optional<EmojiOrTime> emoji_or_time(std::string_view url) {
    std::string_view host;
    const auto query = tg_query(url, {"emoji", "time"}, host);
    if (!query) return std::nullopt;
    const auto found = parameters(*query);
    if (host == "emoji") {
        for (const auto& [name, value] : found) {
            if (name != "id") continue;
            if (!is_custom_emoji_id(value)) return std::nullopt;
            return EmojiOrTime{std::string(value), 0, std::nullopt};
        }
        return std::nullopt;
    }
    EmojiOrTime time;
    std::optional<std::string_view> format;
    for (const auto& [name, value] : found) {
        if (name == "unix") {
            const auto unix_time = canonical_integer(value, 1, std::numeric_limits<std::int32_t>::max());
            if (!unix_time) return std::nullopt;
            time.unix_time = *unix_time;
        } else if (name == "format") {
            format = value;
        }
    }
    if (time.unix_time == 0) return std::nullopt;
    if (format) {
        auto normal = date_time_format(*format);
        if (!normal) return std::nullopt;
        if (!normal->empty()) time.date_time_format = std::move(normal);
    }
    return time;
}

bool is_custom_emoji_id(std::string_view id) noexcept {
    const auto value = canonical_int64(id);
    return value && *value != 0;
}

std::optional<std::string> date_time_format(std::string_view format) {
    std::string normal;
    if (format == "r" || format == "R") {
        normal.push_back('r');
    } else {
        if (format.find_first_not_of("tTdDwW") != std::string_view::npos) return std::nullopt;
        const auto has = [&](char c) { return format.find(c) != std::string_view::npos; };
        if (has('w') || has('W')) normal.push_back('w');
        if (has('d') || has('D')) normal.push_back(has('d') ? 'd' : 'D');
        if (has('t') || has('T')) normal.push_back(has('t') ? 't' : 'T');
    }
    return normal;
}

std::int32_t wrapped_int32(std::string_view value) noexcept {
    const bool negative = value.starts_with('-');
    std::uint32_t magnitude = 0;
    for (std::size_t i = negative ? 1 : 0; i < value.size() && is_ascii_digit(value[i]); ++i) {
        magnitude = magnitude * 10 + static_cast<std::uint32_t>(value[i] - '0');
    }
    // Two's complement: the bits of the value, negated if need be, read as
    // signed.
    return static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
}

std::string mention_uri(std::string_view username) {
    if (username.starts_with('@')) username.remove_prefix(1);
    return "https://t.me/" + std::string(username);
}

std::string phone_uri(std::string_view number) {
    std::string uri = "tel:";
    for (const char c : number) {
        if ((c >= '0' && c <= '9') || (c == '+' && uri.size() == 4)) uri += c;
    }
    return uri;
}

std::string email_uri(std::string_view address) { return "mailto:" + std::string(address); }

}  // namespace quenra::telegram
