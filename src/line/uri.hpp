// URIs and labels of buttons as LINE accepts them, and their repairs.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <quenra.hpp>

namespace quenra::line {

// The scheme of `uri` (RFC 3986: a letter, then letters, digits, "+", "-" or
// ".", before the first ":"), or nothing when it has none.
std::optional<std::string_view> uri_scheme(std::string_view uri) noexcept;

// True when `name` is a scheme name: a letter, then letters, digits, "+",
// "-" or ".".
bool is_scheme_name(std::string_view name) noexcept;

// True when `scheme` is one of the allowed ones, compared without regard to
// case.
bool scheme_allowed(std::string_view scheme, const LineLimits& limits) noexcept;

// The offset of the first byte of `uri` that RFC 3986 does not allow
// (anything but unreserved and reserved characters and "%"), or npos.
std::size_t first_byte_outside_uri_syntax(std::string_view uri) noexcept;

// True for the links that Telegram writes after a "!": custom emoji
// (tg://emoji?id=...) and dates (tg://time?unix=...), compared without regard
// to case.
bool is_bang_link(std::string_view url) noexcept;

// The URI that a button gets for a link to `url`, or nothing when LINE would
// refuse it whatever is done: the public https form of a tg: link that has
// one, with every byte outside RFC 3986 percent-encoded, when its scheme is
// allowed and it is within the length limit.
std::optional<std::string> repair_uri(std::string_view url, const LineLimits& limits);

// The label that a button for `uri` shows: `label` itself, or `uri` when it is
// empty or white space, cut at a grapheme cluster boundary to end in "…"
// within the limit when it is longer.
std::string repair_label(std::string_view label, std::string_view uri, const LineLimits& limits);

// `text` cut to at most `bytes` bytes of UTF-8 at a code point boundary, with
// "…" at its end. For labels that no grapheme boundary can make short enough.
std::string shorten_to_bytes(std::string_view text, std::size_t bytes);

// `text` cut to at most `units` UTF-16 code units at a code point boundary,
// with "…" at its end; `text` itself when it is short enough.
std::string shorten_to_utf16(std::string_view text, std::size_t units);

}  // namespace quenra::line
