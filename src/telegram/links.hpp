// What Telegram makes of the URL of a link, in every parse mode: a mention
// of a user, or a checked and normalised link; and the ids, times and
// formats of custom emoji and dates, from MarkdownV2's tg:// URLs or HTML's
// attributes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenra::telegram {

// White space as Telegram's readers take it: NUL among it, which is what
// they read past the text's end (and a form feed not). A link's URL drops
// it at its end.
constexpr bool is_space(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\0';
}

// The value of `text` when it is a 64-bit signed integer written as Telegram
// writes one: an optional "-", then decimal digits without leading zeros
// ("0" itself, but not "-0"). Ids of users and custom emoji are such.
std::optional<std::int64_t> canonical_int64(std::string_view text) noexcept;

// The user that a tg://user?id=N URL names, or nothing.
std::optional<std::int64_t> mentioned_user(std::string_view url);

// The URL as Telegram keeps a link's: http(s) with a host that has a dot (or
// an IPv6 address), or a tg:, ton: or tonsite: link; lower-cased scheme and
// host, a path from "/", spaces and control bytes escaped. Nothing for a URL
// that Telegram drops.
std::optional<std::string> checked_link(std::string_view url);

// True when `id` is a custom emoji's id as Telegram takes one: a canonical
// 64-bit integer other than 0.
bool is_custom_emoji_id(std::string_view id) noexcept;

// The Bot API's date_time_format for a date's `format`: "r" for "r" or "R"
// (relative), else which parts show ("w?[dD]?[tT]?": the weekday, the date,
// the time, each short where both lengths are asked for) of a format made
// of the letters tTdDwW; empty for an empty format; nothing for a format
// that Telegram refuses.
std::optional<std::string> date_time_format(std::string_view format);

// A date's time as HTML's tg-time gives it in its "unix" attribute: the
// digits that the value starts with (after a "-" if any), wrapped to 32 bits
// as Telegram's reader wraps them ("1700000000abc" is 1700000000, "abc" 0,
// "4294967295" -1). MarkdownV2's tg://time URL (`emoji_or_time`) is stricter:
// a canonical integer from 1 to 2^31 - 1, or the URL is refused.
std::int32_t wrapped_int32(std::string_view value) noexcept;

// A custom emoji's id, or a date's time and format, from the URL after
// "![...]"; nothing when the URL is neither.
struct EmojiOrTime {
    std::optional<std::string> custom_emoji_id;
    std::int64_t unix_time = 0;
    std::optional<std::string> date_time_format;
};
std::optional<EmojiOrTime> emoji_or_time(std::string_view url);

// What a mention of `username` (with or without its "@"), a phone number
// and an email address open when shown as links.
std::string mention_uri(std::string_view username);
std::string phone_uri(std::string_view number);  // its digits, and a "+" before them
std::string email_uri(std::string_view address);

}  // namespace quenra::telegram
