// What Telegram makes of the URL of a link in MarkdownV2: a mention of a
// user, a checked and normalised link, or for a custom emoji or a date, its
// tg:// URL read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenra::telegram {

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

// A custom emoji's id, or a date's time and format, from the URL after
// "![...]"; nothing when the URL is neither.
struct EmojiOrTime {
    std::optional<std::string> custom_emoji_id;
    std::int64_t unix_time = 0;
    std::optional<std::string> date_time_format;
};
std::optional<EmojiOrTime> emoji_or_time(std::string_view url);

}  // namespace quenra::telegram
