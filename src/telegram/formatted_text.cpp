// Every reading of a bot's text: the UTF-8 check, the parse mode's own
// reader (stage 1), then the clean-up, normal form and trimming that Telegram
// gives every message's text and entities (stage 2).
#include <quenra/telegram.hpp>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "telegram/entities.hpp"
#include "telegram/links.hpp"
#include "telegram/reading.hpp"
#include "text/ascii.hpp"
#include "text/utf8.hpp"

namespace quenra::telegram {

namespace {

// What becomes of a code point of the text: kept, dropped, or made a space.
enum class Fate : std::uint8_t { Keep, Drop, Space };

Fate fate_of(char32_t c) noexcept {
    if (c == '\r' || (c >= 0x2028 && c <= 0x202E) || c == 0x0333 || c == 0x033F || c == 0x030A) return Fate::Drop;
    if (c < 0x20 && c != '\n') return Fate::Space;
    return Fate::Keep;
}

// The bytes that begin what cleaning changes: control characters but the
// line feed, and the leads of the marks it drops.
constexpr std::array<bool, 256> MAY_NEED_CLEANING = [] {
    std::array<bool, 256> table{};
    for (unsigned char byte = 0; byte < 0x20; ++byte) table[byte] = byte != '\n';
    table[0xCC] = table[0xE2] = true;
    return table;
}();

// True when some character of `text` is one that `clean` changes: a
// control character, a line or paragraph separator or direction mark, or
// one of the combining marks that Telegram drops.
bool needs_cleaning(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!MAY_NEED_CLEANING[byte]) continue;
        if (byte < 0x20) return true;
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte == 0xCC && (next == 0x8A || next == 0xB3 || next == 0xBF)) return true;
        const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
        if (byte == 0xE2 && next == 0x80 && ((third >= 0xA8 && third <= 0xAE) || third == 0x8E || third == 0x8F)) {
            return true;
        }
    }
    return false;
}

// Drops and replaces characters as `fate_of` says, moving the entities'
// edges with the text; then in each run of U+200E and U+200F all but the
// last become U+200C.
void clean(FormattedText& formatted) {
    std::string out;
    out.reserve(formatted.text.size());
    // The UTF-16 offset of each unit of the input in the output.
    std::vector<std::int64_t> moved;
    std::int64_t units = 0;
    std::string_view text = formatted.text;
    for (std::size_t i = 0; i < text.size();) {
        const CodePoint point = first_code_point(text.substr(i));
        const int width = point.value > 0xFFFF ? 2 : 1;
        for (int k = 0; k < width; ++k) moved.push_back(units);
        switch (fate_of(point.value)) {
        case Fate::Drop:
            break;
        case Fate::Space:
            out.push_back(' ');
            ++units;
            break;
        case Fate::Keep:
            out.append(text.substr(i, point.length));
            units += width;
            break;
        }
        i += point.length;
    }
    moved.push_back(units);
    for (Entity& entity : formatted.entities) {
        const std::int64_t begin = moved[static_cast<std::size_t>(entity.offset)];
        entity.length = moved[static_cast<std::size_t>(entity.offset + entity.length)] - begin;
        entity.offset = begin;
    }
    std::erase_if(formatted.entities, [](const Entity& entity) { return entity.length == 0; });
    // U+200E is E2 80 8E, U+200F is E2 80 8F, U+200C is E2 80 8C.
    const auto is_mark = [&](std::size_t i) {
        return i + 3 <= out.size() && out.compare(i, 2, "\xE2\x80") == 0 && (out[i + 2] == '\x8E' || out[i + 2] == '\x8F');
    };
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (is_mark(i) && is_mark(i + 3)) out[i + 2] = '\x8C';
    }
    formatted.text = std::move(out);
}

bool is_blank_unit(char c) noexcept { return c == ' ' || c == '\n'; }

// Cuts the blanks after the last other character, and those before the
// first as far as the first entity.
void trim(FormattedText& formatted) {
    std::string& text = formatted.text;
    std::size_t end = text.size();
    while (end > 0 && is_blank_unit(text[end - 1])) --end;
    text.resize(end);
    const auto length = static_cast<std::int64_t>(utf16_length(text));
    std::erase_if(formatted.entities, [&](const Entity& entity) { return entity.offset >= length; });
    for (Entity& entity : formatted.entities) entity.length = std::min(entity.length, length - entity.offset);
    std::size_t start = 0;
    while (start < text.size() && is_blank_unit(text[start])) ++start;
    for (const Entity& entity : formatted.entities) start = std::min(start, static_cast<std::size_t>(entity.offset));
    text.erase(0, start);
    for (Entity& entity : formatted.entities) entity.offset -= static_cast<std::int64_t>(start);
}

// True when the text shows nothing: blanks, no-break and zero-width spaces,
// the blank Braille pattern and fillers.
bool shows_nothing(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const CodePoint point = first_code_point(text.substr(i));
        const char32_t c = point.value;
        const bool blank = c == ' ' || c == '\n' || c == 0xA0 || c == 0x2800 || c == 0x3164 || c == 0x115F ||
                           c == 0x1160 || c == 0xFFA0 || (c >= 0x2000 && c <= 0x200F) || c == 0x202F || c == 0x205F ||
                           c == 0x3000 || c == 0xFEFF;
        if (!blank) return false;
        i += point.length;
    }
    return true;
}

bool is_well_formed(std::string_view text) noexcept {
    std::size_t i = 0;
    while ((i += ascii_prefix_length(text.substr(i))) < text.size()) {
        const CodePoint point = first_code_point(text.substr(i));
        if (point.value == 0xFFFD && point.length == 1) return false;  // U+FFFD itself takes three bytes
        i += point.length;
    }
    return true;
}

// What Telegram does to each entity before the clean-up. A link's URL or a
// pre's language that is not UTF-8 is refused: legacy Markdown's reading of
// a link's text as its URL may cut a character, and HTML's references in
// attributes may write surrogates. A link whose checked URL names a user
// (checking drops white space at its end) mentions that user.
void take_entities(std::vector<Entity>& entities) {
    for (Entity& entity : entities) {
        if (entity.url && !is_well_formed(*entity.url)) {
            throw ParseError("MessageEntityTextUrl.url must be encoded in UTF-8");
        }
        if (entity.language && !is_well_formed(*entity.language)) {
            throw ParseError("MessageEntityPreCode.language must be encoded in UTF-8");
        }
        if (entity.type != EntityType::TextLink) continue;
        if (const auto user = mentioned_user(*entity.url)) {
            entity.type = EntityType::TextMention;
            entity.user_id = *user;
            entity.url.reset();
        }
    }
}

// Stage 2, which every message's text and entities get: each entity taken,
// the normal form, the clean-up and the normal form again, trimming; a text
// that shows nothing is refused.
void fix(FormattedText& formatted) {
    take_entities(formatted.entities);
    normalize(formatted.entities);
    if (needs_cleaning(formatted.text)) {
        clean(formatted);
        normalize(formatted.entities);
    }
    trim(formatted);
    if (shows_nothing(formatted.text)) throw ParseError("Text must be non-empty");
}

// Stage 1: the text and entities that the markup of `mode` makes.
FormattedText read(std::string_view text, ParseMode mode) {
    switch (mode) {
    case ParseMode::HTML:
        return read_html(text);
    case ParseMode::Markdown:
        return read_markdown(text);
    case ParseMode::MarkdownV2:
        break;
    }
    return read_markdown_v2(text);
}

}  // namespace

std::optional<ParseMode> parse_mode_named(std::string_view name) noexcept {
    for (const auto& [mode, mode_name] : {std::pair{ParseMode::MarkdownV2, std::string_view("MarkdownV2")},
                                          std::pair{ParseMode::HTML, std::string_view("HTML")},
                                          std::pair{ParseMode::Markdown, std::string_view("Markdown")}}) {
        if (equals_ignoring_case(name, mode_name)) return mode;
    }
    return std::nullopt;
}

FormattedText parse(std::string_view text, ParseMode mode) {
    if (!is_well_formed(text)) throw ParseError("Strings must be encoded in UTF-8");
    return parse_well_formed(text, mode);
}

FormattedText parse_well_formed(std::string_view text, ParseMode mode) {
    FormattedText formatted = read(text, mode);
    fix(formatted);
    return formatted;
}

}  // namespace quenra::telegram
