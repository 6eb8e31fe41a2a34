// Reading HTML as Telegram's server reads a bot's text (stage 1): one pass
// over the bytes with a stack of the elements open, each closed only by an
// end tag of its own; character references decoded one level deep, in the
// text and in quoted attribute values. An element makes its entity at its
// end tag, and only when it holds some text.
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telegram/reading.hpp"
#include "text/ascii.hpp"

namespace quenra::telegram {

namespace {

// What an element makes.
enum class Tag : std::uint8_t {
    Link, Bold, Italic, Underline, Strikethrough, Spoiler, Span, CustomEmoji, Time, Pre, Code, Blockquote,
};

struct TagName {
    std::string_view name;
    Tag tag;
};

// The tags that Telegram reads, by their names in lower case.
constexpr TagName TAGS[] = {
    {"a", Tag::Link},          {"b", Tag::Bold},           {"strong", Tag::Bold},       {"i", Tag::Italic},
    {"em", Tag::Italic},       {"s", Tag::Strikethrough},  {"strike", Tag::Strikethrough},
    {"del", Tag::Strikethrough}, {"u", Tag::Underline},    {"ins", Tag::Underline},     {"tg-spoiler", Tag::Spoiler},
    {"tg-emoji", Tag::CustomEmoji}, {"tg-time", Tag::Time}, {"span", Tag::Span},        {"pre", Tag::Pre},
    {"code", Tag::Code},       {"blockquote", Tag::Blockquote},
};

struct Element {
    std::string_view name;    // in lower case, from TAGS
    Tag tag;
    std::int64_t offset;      // of its content, in UTF-16 code units of the output
    std::size_t output_byte;  // of its content in the output
    std::string argument;     // what its attributes give: href, language, class, emoji-id or format
    std::int32_t unix_time;   // tg-time's
};

// The bytes that end an attribute's name, besides white space.
constexpr std::array<bool, 256> ENDS_ATTRIBUTE_NAME = table_of("=>/\"'");
// The bytes that end a run of a quoted value's plain bytes: its quote, a
// reference, and NUL, which Telegram takes for the text's end.
constexpr std::array<bool, 256> ENDS_DOUBLE_QUOTED_RUN = table_of(std::string_view("\"&\0", 3));
constexpr std::array<bool, 256> ENDS_SINGLE_QUOTED_RUN = table_of(std::string_view("'&\0", 3));

// A character reference read: the code point and the byte after it.
struct Reference {
    char32_t value;
    std::size_t end;
};

class Reader {
public:
    explicit Reader(std::string_view input) : in_(input), out_(input) {}

    FormattedText read() && {
        while (at_ < in_.size()) step();
        if (!open_.empty()) {
            refuse("Can't find end tag corresponding to start tag \"" + std::string(open_.back().name) + "\"");
        }
        // Inline code shows no language.
        for (Entity& entity : out_.entities()) {
            if (entity.type == EntityType::Code) entity.language.reset();
        }
        if (wrote_surrogate_) {
            refuse("Text contains invalid Unicode characters after decoding HTML entities, check for unmatched "
                   "surrogate code units");
        }
        return std::move(out_).take();
    }

private:
    // The byte at `i`, or NUL past the end.
    char byte(std::size_t i) const noexcept { return i < in_.size() ? in_[i] : '\0'; }
    bool at_space(std::size_t i) const noexcept { return byte(i) != '\0' && is_space(byte(i)); }

    [[noreturn]] static void refuse(const std::string& message) { throw ParseError(message); }

    void step() {
        const char c = in_[at_];
        if (c == '&') {
            if (const auto reference = reference_at(at_)) {
                if (reference->value >= 0xD800 && reference->value <= 0xDFFF) wrote_surrogate_ = true;
                out_.put_code_point(reference->value);
                at_ = reference->end;
            } else {
                out_.put('&');
                ++at_;
            }
        } else if (c != '<') {
            const std::size_t end = find_either(in_, at_ + 1, '<', '&');
            out_.append(in_.substr(at_, end - at_));
            at_ = end;
        } else if (byte(at_ + 1) == '/') {
            end_tag();
        } else {
            start_tag();
        }
    }

    // The reference at `at` ("&" and a name or number, ";" optional): only
    // &lt; &gt; &amp; &quot; by name; by number, decimal or hexadecimal, a
    // code point from 1 to U+10FFFE written in fewer than 10 bytes. Nothing
    // for another, which stays as it is.
    std::optional<Reference> reference_at(std::size_t at) const noexcept {
        std::size_t end = at + 1;
        std::uint32_t value = 0;
        if (byte(end) == '#') {
            ++end;
            // Telegram's tdlib 1.8.69 takes "&#X" as well as "&#x".
            const bool hexadecimal = byte(end) == 'x' || byte(end) == 'X';
            if (hexadecimal) ++end;
            const auto is_digit = [&](char c) { return hexadecimal ? is_ascii_hex(c) : is_ascii_digit(c); };
            for (; is_digit(byte(end)); ++end) {
                // Digits from the tenth byte on refuse the reference anyway.
                if (end - at < 10) value = value * (hexadecimal ? 16 : 10) + digit_value(byte(end));
            }
            if (value == 0 || value >= 0x10FFFF || end - at >= 10) return std::nullopt;
        } else {
            while (is_ascii_alpha(byte(end))) ++end;
            const std::string_view name = in_.substr(at + 1, end - at - 1);
            if (name == "lt") {
                value = '<';
            } else if (name == "gt") {
                value = '>';
            } else if (name == "amp") {
                value = '&';
            } else if (name == "quot") {
                value = '"';
            } else {
                return std::nullopt;
            }
        }
        if (byte(end) == ';') ++end;
        return Reference{value, end};
    }

    static std::uint32_t digit_value(char c) noexcept {
        return static_cast<std::uint32_t>(is_ascii_digit(c) ? c - '0' : ascii_lower(c) - 'a' + 10);
    }

    // Where a tag's name from `i` ends: at white space or ">".
    std::size_t name_end(std::size_t i) const noexcept {
        while (!is_space(byte(i)) && byte(i) != '>') ++i;
        return i;
    }

    // "<name", attributes, ">": opens an element.
    void start_tag() {
        const std::size_t begin = at_;
        std::size_t i = name_end(begin + 1);
        if (byte(i) == '\0') refuse("Unclosed start tag at byte offset " + std::to_string(begin));
        const std::string_view written = in_.substr(begin + 1, i - begin - 1);
        const auto known =
            std::ranges::find_if(TAGS, [&](const TagName& tag) { return equals_ignoring_case(written, tag.name); });
        if (known == std::end(TAGS)) {
            refuse("Unsupported start tag \"" + ascii_lowered(written) + "\" at byte offset " + std::to_string(begin));
        }
        Element element{known->name, known->tag, out_.units(), out_.bytes(), {}, 0};
        const auto unclosed = [&] {
            refuse("Unclosed start tag \"" + std::string(element.name) + "\" at byte offset " + std::to_string(begin));
        };
        while (byte(i) != '>') {
            while (at_space(i)) ++i;
            if (byte(i) == '>') break;
            const std::size_t name_begin = i;
            while (!is_space(byte(i)) && !ENDS_ATTRIBUTE_NAME[static_cast<unsigned char>(byte(i))]) ++i;
            const std::string_view name = in_.substr(name_begin, i - name_begin);
            if (name.empty()) {
                refuse("Empty attribute name in the tag \"" + std::string(element.name) + "\" at byte offset " +
                       std::to_string(begin));
            }
            while (at_space(i)) ++i;
            if (byte(i) != '=') {
                if (byte(i) == '\0') unclosed();
                take(element, name, std::nullopt);
                continue;
            }
            ++i;
            while (at_space(i)) ++i;
            if (byte(i) == '\0') unclosed();
            std::string value = attribute_value(i);
            if (byte(i) == '\0') refuse("Unclosed start tag at byte offset " + std::to_string(begin));
            take(element, name, std::move(value));
        }
        if (element.tag == Tag::Span && element.argument != "spoiler") {
            refuse("Tag \"span\" must have class \"tg-spoiler\" at byte offset " + std::to_string(begin));
        }
        if (open_.capacity() == 0) open_.reserve(8);  // room for the usual nesting at once
        open_.push_back(std::move(element));
        at_ = i + 1;
    }

    // The value at `i`, which it moves past: quoted with ' or " (up to the
    // same quote or the end, references decoded), or a name token of
    // letters, digits, "." and "-" (in lower case), which white space or ">"
    // must follow.
    std::string attribute_value(std::size_t& i) const {
        const char quote = byte(i);
        if (quote != '"' && quote != '\'') {
            const std::size_t token = i;
            while (is_ascii_alpha(byte(i)) || is_ascii_digit(byte(i)) || byte(i) == '.' || byte(i) == '-') ++i;
            if (!is_space(byte(i)) && byte(i) != '>') {
                refuse("Unexpected end of name token at byte offset " + std::to_string(token));
            }
            return ascii_lowered(in_.substr(token, i - token));
        }
        const std::array<bool, 256>& ends = quote == '"' ? ENDS_DOUBLE_QUOTED_RUN : ENDS_SINGLE_QUOTED_RUN;
        std::string value;
        ++i;
        while (byte(i) != quote && byte(i) != '\0') {
            if (byte(i) == '&') {
                if (const auto reference = reference_at(i)) {
                    append_utf8(value, reference->value);
                    i = reference->end;
                    continue;
                }
            }
            std::size_t end = i + 1;
            while (end < in_.size() && !ends[static_cast<unsigned char>(in_[end])]) ++end;
            value.append(in_.substr(i, end - i));
            i = end;
        }
        if (byte(i) == quote) ++i;
        return value;
    }

    // What an attribute (`value` nothing when it has none) gives its
    // element: a later one overrides an earlier one.
    static void take(Element& element, std::string_view name, std::optional<std::string> value) {
        if (element.tag == Tag::Blockquote && name == "expandable") {
            element.argument = "1";
            return;
        }
        if (!value) return;
        switch (element.tag) {
        case Tag::Link:
            if (name == "href") element.argument = std::move(*value);
            break;
        case Tag::Code:
            if (name == "class" && value->starts_with("language-")) element.argument = value->substr(9);
            break;
        case Tag::Span:
            if (name == "class" && value->starts_with("tg-")) element.argument = value->substr(3);
            break;
        case Tag::CustomEmoji:
            if (name == "emoji-id") element.argument = std::move(*value);
            break;
        case Tag::Time:
            if (name == "unix") element.unix_time = wrapped_int32(*value);
            if (name == "format") element.argument = std::move(*value);
            break;
        default:
            break;
        }
    }

    // "</name>", or "</>" for the innermost element: closes it.
    void end_tag() {
        const std::size_t begin = at_;
        if (open_.empty()) refuse("Unexpected end tag at byte offset " + std::to_string(begin));
        std::size_t i = name_end(begin + 2);
        const std::string_view name = in_.substr(begin + 2, i - begin - 2);
        while (at_space(i)) ++i;
        if (byte(i) != '>') refuse("Unclosed end tag at byte offset " + std::to_string(begin));
        const Element element = std::move(open_.back());
        open_.pop_back();
        if (!name.empty() && !equals_ignoring_case(name, element.name)) {
            refuse("Unmatched end tag at byte offset " + std::to_string(begin) + ", expected \"</" +
                   std::string(element.name) + ">\", found \"</" + ascii_lowered(name) + ">\"");
        }
        at_ = i + 1;
        if (out_.units() > element.offset) close(element);
    }

    // Makes the entity of an element that holds some text.
    void close(const Element& element) {
        switch (element.tag) {
        case Tag::Bold:
            out_.add(EntityType::Bold, element.offset);
            return;
        case Tag::Italic:
            out_.add(EntityType::Italic, element.offset);
            return;
        case Tag::Underline:
            out_.add(EntityType::Underline, element.offset);
            return;
        case Tag::Strikethrough:
            out_.add(EntityType::Strikethrough, element.offset);
            return;
        case Tag::Spoiler:
        case Tag::Span:
            out_.add(EntityType::Spoiler, element.offset);
            return;
        case Tag::CustomEmoji:
            if (!is_custom_emoji_id(element.argument)) refuse("Invalid custom emoji identifier specified");
            out_.add(EntityType::CustomEmoji, element.offset)->custom_emoji_id = element.argument;
            return;
        case Tag::Time:
            return close_time(element);
        case Tag::Link:
            return out_.add_link(element.offset, element.argument.empty() ? out_.since(element.output_byte)
                                                                          : std::string_view(element.argument));
        case Tag::Pre:
            return close_pre(element);
        case Tag::Code:
            return close_code(element);
        case Tag::Blockquote:
            out_.add(element.argument.empty() ? EntityType::Blockquote : EntityType::ExpandableBlockquote,
                     element.offset);
            return;
        }
    }

    // A date: its format checked (even when the time is none), made only
    // for a time after 1970.
    void close_time(const Element& element) {
        auto format = date_time_format(element.argument);
        if (!format) refuse("Invalid date format used");
        if (element.unix_time <= 0) return;
        Entity* date = out_.add(EntityType::DateTime, element.offset);
        date->unix_time = element.unix_time;
        if (!format->empty()) date->date_time_format = std::move(*format);
    }

    // The last entity made, when it lies exactly over `element`'s text.
    Entity* last_over(const Element& element) {
        std::vector<Entity>& made = out_.entities();
        if (made.empty() || made.back().offset != element.offset ||
            made.back().length != out_.units() - element.offset) {
            return nullptr;
        }
        return &made.back();
    }

    // A pre; around a code of the same text with a language, that code
    // becomes a pre with its language.
    void close_pre(const Element& element) {
        Entity* code = last_over(element);
        if (code && code->type == EntityType::Code && code->language) {
            code->type = EntityType::Pre;
            return;
        }
        out_.add(EntityType::Pre, element.offset);
    }

    // A code, with its language if any; around a pre of the same text
    // without one, the language goes to that pre.
    void close_code(const Element& element) {
        Entity* pre = last_over(element);
        if (pre && pre->type == EntityType::Pre && !pre->language && !element.argument.empty()) {
            pre->language = element.argument;
            return;
        }
        Entity* code = out_.add(EntityType::Code, element.offset);
        if (!element.argument.empty()) code->language = element.argument;
    }

    std::string_view in_;
    std::size_t at_ = 0;
    ReadText out_;
    std::vector<Element> open_;
    bool wrote_surrogate_ = false;
};

}  // namespace

FormattedText read_html(std::string_view input) { return Reader(input).read(); }

}  // namespace quenra::telegram
