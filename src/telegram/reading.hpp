// What Telegram's readings of a bot's text share. Each parse mode is read in
// two stages: the mode's own reader (stage 1) turns the markup into a text and
// entities; then every reading gets the same clean-up, normal form and
// trimming (stage 2, formatted_text.cpp).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <quenra/telegram.hpp>

#include "telegram/entities.hpp"
#include "telegram/links.hpp"
#include "text/utf8.hpp"

namespace quenra::telegram {

// A table of the bytes of `bytes`, looked up at once.
constexpr std::array<bool, 256> table_of(std::string_view bytes) {
    std::array<bool, 256> table{};
    for (const char c : bytes) table[static_cast<unsigned char>(c)] = true;
    return table;
}

// The first byte of `text` from `from` on that is `a` or `b`, or the text's
// size: eight bytes are tested at a time.
inline std::size_t find_either(std::string_view text, std::size_t from, char a, char b) noexcept {
    constexpr std::uint64_t ONES = 0x0101010101010101u;
    constexpr std::uint64_t HIGHS = 0x8080808080808080u;
    // Nonzero when some byte of `word` is zero.
    const auto has_zero_byte = [](std::uint64_t word) { return (word - ONES) & ~word & HIGHS; };
    const std::uint64_t as = ONES * static_cast<unsigned char>(a);
    const std::uint64_t bs = ONES * static_cast<unsigned char>(b);
    std::size_t i = from;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (has_zero_byte(word ^ as) | has_zero_byte(word ^ bs)) break;
    }
    while (i < text.size() && text[i] != a && text[i] != b) ++i;
    return i;
}

// After "```" at `i` of `in`: a language when a word follows and white space
// ends it within the input, and one line break (CR LF or LF CR as one).
// Returns where the content starts.
inline std::size_t after_fence(std::string_view in, std::size_t i, std::string_view& language) noexcept {
    const auto byte = [in](std::size_t at) { return at < in.size() ? in[at] : '\0'; };
    std::size_t end = i;
    while (!is_space(byte(end)) && byte(end) != '`') ++end;
    if (end > i && end < in.size() && in[end] != '`') {
        language = in.substr(i, end - i);
        i = end;
    }
    const char first = byte(i);
    if (first == '\n' || first == '\r') {
        const char second = byte(i + 1);
        i += (second == '\n' || second == '\r') && second != first ? 2 : 1;
    }
    return i;
}

// Appends the code point `c` (at most U+10FFFF) in UTF-8; a surrogate too,
// in three bytes, as Telegram's readers write one.
inline void append_utf8(std::string& out, char32_t c) {
    const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (c < 0x80) {
        out.push_back(byte(c));
    } else if (c < 0x800) {
        out.push_back(byte(0xC0 | c >> 6));
        out.push_back(byte(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(byte(0xE0 | c >> 12));
        out.push_back(byte(0x80 | (c >> 6 & 0x3F)));
        out.push_back(byte(0x80 | (c & 0x3F)));
    } else {
        out.push_back(byte(0xF0 | c >> 18));
        out.push_back(byte(0x80 | (c >> 12 & 0x3F)));
        out.push_back(byte(0x80 | (c >> 6 & 0x3F)));
        out.push_back(byte(0x80 | (c & 0x3F)));
    }
}

// The text a stage-1 reader writes and the entities it makes, with the
// text's length in UTF-16 code units.
class ReadText {
public:
    // `input` bounds the text: no reading writes more than it reads.
    explicit ReadText(std::string_view input) { text_.reserve(input.size()); }

    std::int64_t units() const noexcept { return units_; }
    std::size_t bytes() const noexcept { return text_.size(); }
    // What was written from byte `from` on.
    std::string_view since(std::size_t from) const noexcept { return std::string_view(text_).substr(from); }

    // Writes one byte; a byte that starts a character counts its units.
    void put(char c) {
        text_.push_back(c);
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) units_ += b >= 0xF0 ? 2 : 1;
    }

    // Writes whole characters.
    void append(std::string_view run) {
        text_.append(run);
        units_ += static_cast<std::int64_t>(utf16_length(run));
    }

    // Writes the code point `c` (a surrogate too).
    void put_code_point(char32_t c) {
        append_utf8(text_, c);
        units_ += c >= 0x10000 ? 2 : 1;
    }

    // An entity of `type` over what was written from the unit `offset` on;
    // none when nothing was.
    Entity* add(EntityType type, std::int64_t offset) {
        if (units_ == offset) return nullptr;
        if (entities_.capacity() == 0) entities_.reserve(8);  // room for a message's usual few at once
        entities_.push_back(Entity{type, offset, units_ - offset, {}, {}, {}, {}, {}, {}});
        return &entities_.back();
    }

    // A link to `url` over what was written from `offset` on, as Telegram
    // makes one: a mention of a tg://user, else a checked link; none for a
    // URL that Telegram drops.
    void add_link(std::int64_t offset, std::string_view url) {
        if (const auto user = mentioned_user(url)) {
            if (Entity* mention = add(EntityType::TextMention, offset)) mention->user_id = *user;
        } else if (auto link = checked_link(url)) {
            if (Entity* text_link = add(EntityType::TextLink, offset)) text_link->url = std::move(*link);
        }
    }

    std::vector<Entity>& entities() noexcept { return entities_; }

    // The text and its entities in Telegram's order. Entities come in the
    // order they close; of two alike over the same text (a link in a link)
    // the one that Telegram's own sort puts first stays: the same sort, over
    // the same order, puts it first here.
    FormattedText take() && {
        std::sort(entities_.begin(), entities_.end(), comes_before);
        return FormattedText{std::move(text_), std::move(entities_)};
    }

private:
    std::string text_;
    std::int64_t units_ = 0;
    std::vector<Entity> entities_;
};

// The stage-1 readers: the text and entities that a parse mode's markup
// makes, in Telegram's order; ParseError with Telegram's message where
// Telegram refuses. The input is UTF-8.
FormattedText read_markdown_v2(std::string_view input);
FormattedText read_html(std::string_view input);
FormattedText read_markdown(std::string_view input);

// `parse` of a text known to be UTF-8 (a Python str's, say), which it does
// not check again.
FormattedText parse_well_formed(std::string_view text, ParseMode mode);

}  // namespace quenra::telegram
