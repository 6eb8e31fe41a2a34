// Messages as Telegram stores them: a text and its entities.
//
//     #include <quenra/telegram.hpp>
//     auto [text, entities] = quenra::telegram::parse("*Hi* there\\!");
//     std::vector<std::string> messages = quenra::telegram::split(text, entities, {true, true});
//
// `parse` reads a bot's text exactly as Telegram's server reads it, in any of
// the Bot API's parse modes (MarkdownV2, HTML, legacy Markdown).
// `convert_rich` and `split_rich` do for rich messages (Bot API JSON) what
// `convert` and `split` do for a text and its entities.
// `convert` and `split` turn a text and its entities into Flex messages that
// LINE accepts, with the repairs and cuts of quenra::split. Offsets and
// lengths are in UTF-16 code units, as Telegram counts them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <quenra.hpp>

namespace quenra::telegram {

// The kinds of entity that this version knows, in the Bot API's words.
enum class EntityType : std::uint8_t {
    Mention,               // "mention": @username
    Hashtag,               // "hashtag"
    Cashtag,               // "cashtag"
    BotCommand,            // "bot_command"
    Url,                   // "url"
    Email,                 // "email"
    PhoneNumber,           // "phone_number"
    BankCard,              // "bank_card"
    Bold,                  // "bold"
    Italic,                // "italic"
    Underline,             // "underline"
    Strikethrough,         // "strikethrough"
    Spoiler,               // "spoiler"
    Code,                  // "code"
    Pre,                   // "pre", with its language if any
    TextLink,              // "text_link", with its url
    TextMention,           // "text_mention", with its user's id
    CustomEmoji,           // "custom_emoji", with its custom_emoji_id
    DateTime,              // "date_time", with its unix_time and date_time_format
    Blockquote,            // "blockquote"
    ExpandableBlockquote,  // "expandable_blockquote"
};

// The Bot API's name of `type`, and the type of a name (nothing for a name
// this version does not know).
std::string_view entity_type_name(EntityType type) noexcept;
std::optional<EntityType> entity_type_named(std::string_view name) noexcept;

struct Entity {
    EntityType type;
    std::int64_t offset;  // in UTF-16 code units
    std::int64_t length;  // in UTF-16 code units
    std::optional<std::string> url;
    std::optional<std::string> language;
    std::optional<std::string> custom_emoji_id;
    std::optional<std::int64_t> user_id;
    std::optional<std::int64_t> unix_time;
    std::optional<std::string> date_time_format;

    friend bool operator==(const Entity&, const Entity&) = default;
};

struct FormattedText {
    std::string text;
    std::vector<Entity> entities;  // in Telegram's order

    friend bool operator==(const FormattedText&, const FormattedText&) = default;
};

// Raised by `parse` for text that Telegram refuses; `what()` is Telegram's
// own message, such as "Can't find end of Bold entity at byte offset 0".
class ParseError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Raised by `convert` and `split` for an entity whose offset or length is
// negative, that reaches outside the text, or that cuts a character in two.
class InvalidEntity : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Raised by `convert_rich` and `split_rich` for a rich message that cannot be
// read (not JSON, or a block without a type, a field of the wrong kind,
// nesting deeper than Telegram allows); `what()` names where, as a path
// such as "blocks[3].items[0].blocks".
class InvalidRichMessage : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The Bot API's parse modes: how a bot's text marks its entities.
enum class ParseMode : std::uint8_t {
    MarkdownV2,  // "MarkdownV2"
    HTML,        // "HTML"
    Markdown,    // "Markdown", the legacy mode
};

// The parse mode of a Bot API name, in any letter case as the Bot API takes
// it ("MarkdownV2", "html", ...); nothing for another name.
std::optional<ParseMode> parse_mode_named(std::string_view name) noexcept;

// The text and entities that Telegram makes of `text` (UTF-8) when a bot
// sends it with `mode`, without the entities that Telegram's server detects
// on its own (mentions, URLs, ...).
FormattedText parse(std::string_view text, ParseMode mode = ParseMode::MarkdownV2);

// One Flex message of `text` (UTF-8) with `entities`, in any order, with the
// repairs of `split` but never cut.
std::string convert(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                    const LineLimits& limits = {});

// The messages, each of which LINE accepts: exactly { convert(...) } when
// that passes every limit; none when the text shows nothing.
std::vector<std::string> split(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                               const LineLimits& limits = {});

// One Flex message of a rich message (the Bot API's RichMessage as JSON
// text), with the repairs of `split_rich` but never cut.
std::string convert_rich(std::string_view rich_message_json, bool decorate_links = true,
                         const LineLimits& limits = {});

// The messages of a rich message, each of which LINE accepts: exactly
// { convert_rich(...) } when that passes every limit, else cut between
// blocks; none when the message shows nothing.
std::vector<std::string> split_rich(std::string_view rich_message_json, bool decorate_links = true,
                                    const LineLimits& limits = {});

}  // namespace quenra::telegram
