// Reading MarkdownV2 as Telegram's server reads a bot's text: one pass over
// the bytes with a stack of the entities open (which only the innermost may
// close), then the clean-up and normal form that every message gets.
#include <quenra/telegram.hpp>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "telegram/entities.hpp"
#include "telegram/links.hpp"
#include "text/utf8.hpp"

namespace quenra::telegram {

namespace {

// What an open marker opened.
enum class Opened : std::uint8_t {
    Bold, Italic, Underline, Strikethrough, Spoiler, Code, Pre, PreCode, TextUrl, CustomEmoji, Blockquote,
};

constexpr std::string_view OPENED_NAMES[] = {
    "Bold", "Italic", "Underline", "Strikethrough", "Spoiler", "Code", "Pre", "PreCode", "TextUrl", "CustomEmoji",
    "Blockquote",
};

struct Open {
    Opened what;
    std::size_t marker;       // the byte offset of its marker in the input
    std::int64_t offset;      // of its content, in UTF-16 code units of the output
    std::size_t output_byte;  // of its content in the output
    std::string language;     // PreCode
};

constexpr std::string_view RESERVED = "_*[]()~`>#+-=|{}.!\n";

// A table of the bytes of `bytes`, looked up at once.
constexpr std::array<bool, 256> table_of(std::string_view bytes) {
    std::array<bool, 256> table{};
    for (const char c : bytes) table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr std::array<bool, 256> IS_RESERVED = table_of(RESERVED);

// The bytes that end a run of plain text: markup or an escape.
constexpr std::array<bool, 256> ENDS_TEXT_RUN = [] {
    std::array<bool, 256> table = IS_RESERVED;
    table['\\'] = true;
    return table;
}();
constexpr std::array<bool, 256> ENDS_CODE_RUN = table_of("`\\");

class Reader {
public:
    explicit Reader(std::string_view input) : in_(input) {}

    FormattedText read() {
        while (at_ < in_.size()) step();
        finish();
        // Entities come in the order they close. Of two alike over the same
        // text (a link in a link) the one that Telegram's own sort puts first
        // stays: the same sort, over the same order, puts it first here.
        std::sort(entities_.begin(), entities_.end(), comes_before);
        return FormattedText{std::move(out_), std::move(entities_)};
    }

private:
    // The byte at `i`, or NUL past the end.
    char byte(std::size_t i) const noexcept { return i < in_.size() ? in_[i] : '\0'; }
    bool in_code() const noexcept {
        return !open_.empty() && (open_.back().what == Opened::Code || open_.back().what == Opened::Pre ||
                                  open_.back().what == Opened::PreCode);
    }

    void step() {
        const char c = in_[at_];
        const char next = byte(at_ + 1);
        if (c == '\\' && next > 0 && next < 127) {
            put(next);
            if (next != '\r') can_start_quote_ = next == '\n';
            at_ += 2;
            return;
        }
        const bool code = in_code();
        if (!(code ? c == '`' : IS_RESERVED[static_cast<unsigned char>(c)])) {
            copy_plain_run(code);
            return;
        }
        if (!open_.empty() && closes(open_.back().what)) {
            close();
            return;
        }
        open_marker(c);
    }

    // Copies the bytes from here up to the next one that may be markup (or
    // a backslash) as they stand: the characters of plain text.
    void copy_plain_run(bool code) {
        const std::array<bool, 256>& ends = code ? ENDS_CODE_RUN : ENDS_TEXT_RUN;
        std::size_t end = at_ + 1;
        while (end < in_.size() && !ends[static_cast<unsigned char>(in_[end])]) ++end;
        const std::string_view run = in_.substr(at_, end - at_);
        out_.append(run);
        units_ += static_cast<std::int64_t>(utf16_length(run));
        // Any character but a carriage return ends the chance of a quote.
        if (run.find_first_not_of('\r') != std::string_view::npos) can_start_quote_ = false;
        at_ = end;
    }

    // Copies one byte of a character to the output.
    void put(char c) {
        out_.push_back(c);
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) units_ += b >= 0xF0 ? 2 : 1;
    }

    // True when the reserved byte at `at_` closes the innermost entity.
    bool closes(Opened what) const noexcept {
        const char c = in_[at_];
        const char next = byte(at_ + 1);
        switch (what) {
        case Opened::Bold:
            return c == '*';
        case Opened::Italic:
            return c == '_' && next != '_';
        case Opened::Underline:
            return c == '_' && next == '_';
        case Opened::Strikethrough:
            return c == '~';
        case Opened::Spoiler:
            return c == '|' && next == '|';
        case Opened::Code:
            return c == '`';
        case Opened::Pre:
        case Opened::PreCode:
            return in_.substr(at_).starts_with("```");
        case Opened::TextUrl:
        case Opened::CustomEmoji:
            return c == ']';
        case Opened::Blockquote:
            return false;
        }
        return false;
    }

    [[noreturn]] void refuse(const std::string& message) const { throw ParseError(message); }

    [[noreturn]] void refuse_reserved(char c) const {
        refuse(std::string("Character '") + c + "' is reserved and must be escaped with the preceding '\\'");
    }

    void push(Opened what, std::size_t marker_length, std::string language = {}) {
        open_.push_back(Open{what, at_, units_, out_.size(), std::move(language)});
        at_ += marker_length;
    }

    void open_marker(char c) {
        const char next = byte(at_ + 1);
        switch (c) {
        case '_':
            return next == '_' ? push(Opened::Underline, 2) : push(Opened::Italic, 1);
        case '*':
            return push(Opened::Bold, 1);
        case '~':
            return push(Opened::Strikethrough, 1);
        case '|':
            if (next != '|') refuse_reserved(c);
            return push(Opened::Spoiler, 2);
        case '[':
            return push(Opened::TextUrl, 1);
        case '!':
            if (next != '[') refuse_reserved(c);
            return push(Opened::CustomEmoji, 2);
        case '`':
            return in_.substr(at_).starts_with("```") ? open_pre() : push(Opened::Code, 1);
        case '>':
            if (!can_start_quote_) refuse_reserved(c);
            if (quote_open_) {
                ++at_;  // one more ">" of a line of the quote
                return;
            }
            quote_open_ = true;
            return push(Opened::Blockquote, 1);
        case '\n':
            return line_feed();
        default:
            refuse_reserved(c);
        }
    }

    static bool is_space(char c) noexcept {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\0';
    }

    // "```", a language when a word follows and white space ends it, and
    // one line break.
    void open_pre() {
        const std::size_t marker = at_;
        std::size_t i = at_ + 3;
        std::size_t end = i;
        while (end < in_.size() && !is_space(in_[end]) && in_[end] != '`') ++end;
        std::string language;
        if (end > i && end < in_.size() && is_space(in_[end])) {
            language.assign(in_.substr(i, end - i));
            i = end;
        }
        if (byte(i) == '\n' || byte(i) == '\r') {
            const char first = byte(i);
            ++i;
            if ((byte(i) == '\n' || byte(i) == '\r') && byte(i) != first) ++i;
        }
        const bool has_language = !language.empty();
        open_.push_back(Open{has_language ? Opened::PreCode : Opened::Pre, marker, units_, out_.size(), std::move(language)});
        at_ = i;
    }

    // A line feed outside code: it may end a quote, and lets the next line
    // start one.
    void line_feed() {
        put('\n');
        ++at_;
        can_start_quote_ = true;
        if (quote_open_ && byte(at_) != '>') end_quote(at_ - 1);
    }

    // Ends the quote open, the line feed at `line_feed` included (or at the
    // end of the text, `line_feed` being the text's length).
    void end_quote(std::size_t line_feed) {
        bool expandable = false;
        if (open_.back().what == Opened::Spoiler) {
            const std::size_t marker = open_.back().marker;
            // "||\r" before a line feed counts too, but not at the end.
            const bool before_line_feed =
                marker + 2 == line_feed ||
                (marker + 3 == line_feed && line_feed < in_.size() && in_[marker + 2] == '\r');
            if (before_line_feed) {
                open_.pop_back();
                expandable = true;
            }
        }
        if (open_.back().what != Opened::Blockquote) refuse_unclosed(open_.back());
        const Open quote = open_.back();
        open_.pop_back();
        quote_open_ = false;
        add(quote, expandable ? EntityType::ExpandableBlockquote : EntityType::Blockquote);
    }

    [[noreturn]] void refuse_unclosed(const Open& open) const {
        refuse("Can't find end of " + std::string(OPENED_NAMES[static_cast<std::size_t>(open.what)]) +
               " entity at byte offset " + std::to_string(open.marker));
    }

    // An entity over the output from where `open` started to here; none
    // when that is empty.
    Entity* add(const Open& open, EntityType type) {
        if (units_ == open.offset) return nullptr;
        entities_.push_back(Entity{type, open.offset, units_ - open.offset, {}, {}, {}, {}, {}, {}});
        return &entities_.back();
    }

    void close() {
        Open open = std::move(open_.back());
        open_.pop_back();
        switch (open.what) {
        case Opened::Bold:
        case Opened::Italic:
        case Opened::Strikethrough:
        case Opened::Code:
            ++at_;
            add(open, simple_type(open.what));
            return;
        case Opened::Underline:
        case Opened::Spoiler:
            at_ += 2;
            add(open, simple_type(open.what));
            return;
        case Opened::Pre:
        case Opened::PreCode:
            at_ += 3;
            if (Entity* pre = add(open, EntityType::Pre); pre && open.what == Opened::PreCode) pre->language = open.language;
            return;
        case Opened::TextUrl:
            return close_link(open);
        case Opened::CustomEmoji:
            return close_emoji(open);
        case Opened::Blockquote:
            return;
        }
    }

    static EntityType simple_type(Opened what) noexcept {
        switch (what) {
        case Opened::Bold:
            return EntityType::Bold;
        case Opened::Italic:
            return EntityType::Italic;
        case Opened::Underline:
            return EntityType::Underline;
        case Opened::Strikethrough:
            return EntityType::Strikethrough;
        case Opened::Spoiler:
            return EntityType::Spoiler;
        default:
            return EntityType::Code;
        }
    }

    // The URL in "(...)" after a link's "]": escapes undone, up to the first
    // unescaped ")". Nothing when no "(" follows.
    std::optional<std::string> url_after_bracket() {
        if (byte(at_) != '(') return std::nullopt;
        const std::size_t start = ++at_;
        std::string url;
        for (;; ++at_) {
            if (at_ >= in_.size()) refuse("Can't find end of a URL at byte offset " + std::to_string(start));
            const char c = in_[at_];
            if (c == ')') break;
            const char next = byte(at_ + 1);
            if (c == '\\' && next > 0 && next < 127) {
                url.push_back(next);
                ++at_;
            } else {
                url.push_back(c);
            }
        }
        ++at_;
        return url;
    }

    void close_link(const Open& open) {
        ++at_;  // "]"
        const std::optional<std::string> given = url_after_bracket();
        const std::string url = given ? *given : out_.substr(open.output_byte);
        if (const auto user = mentioned_user(url)) {
            if (Entity* mention = add(open, EntityType::TextMention)) mention->user_id = *user;
        } else if (auto link = checked_link(url)) {
            if (Entity* text_link = add(open, EntityType::TextLink)) text_link->url = std::move(*link);
        }
    }

    void close_emoji(const Open& open) {
        ++at_;  // "]"
        const std::optional<std::string> url = url_after_bracket();
        if (!url) refuse("The entity must contain a tg://emoji or tg://time URL");
        const auto target = emoji_or_time(*url);
        if (!target) refuse("Invalid tg://emoji or tg://time URL specified");
        if (target->custom_emoji_id) {
            if (Entity* emoji = add(open, EntityType::CustomEmoji)) emoji->custom_emoji_id = target->custom_emoji_id;
        } else if (Entity* date = add(open, EntityType::DateTime)) {
            date->unix_time = target->unix_time;
            date->date_time_format = target->date_time_format;
        }
    }

    void finish() {
        if (quote_open_) {
            // A spoiler opened by the text's last two bytes makes the quote
            // expandable, as before a line feed.
            end_quote(in_.size());
        }
        if (!open_.empty()) refuse_unclosed(open_.back());
    }

    std::string_view in_;
    std::size_t at_ = 0;
    std::string out_;
    std::int64_t units_ = 0;
    std::vector<Open> open_;
    std::vector<Entity> entities_;
    bool quote_open_ = false;
    bool can_start_quote_ = true;
};

// ---------------------------------------------------------------------------
// The clean-up of every message's text, with its entities kept in step.

// What becomes of a code point of the text: kept, dropped, or made a space.
enum class Fate : std::uint8_t { Keep, Drop, Space };

Fate fate_of(char32_t c) noexcept {
    if (c == '\r' || (c >= 0x2028 && c <= 0x202E) || c == 0x0333 || c == 0x033F || c == 0x030A) return Fate::Drop;
    if (c < 0x20 && c != '\n') return Fate::Space;
    return Fate::Keep;
}

// True when some character of `text` is one that `clean` changes: a
// control character, a line or paragraph separator or direction mark, or
// one of the combining marks that Telegram drops.
// The bytes that begin what cleaning changes: control characters but the
// line feed, and the leads of the marks it drops.
constexpr std::array<bool, 256> MAY_NEED_CLEANING = [] {
    std::array<bool, 256> table{};
    for (unsigned char byte = 0; byte < 0x20; ++byte) table[byte] = byte != '\n';
    table[0xCC] = table[0xE2] = true;
    return table;
}();

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

}  // namespace

FormattedText parse(std::string_view markdown_v2) {
    if (!is_well_formed(markdown_v2)) throw ParseError("Strings must be encoded in UTF-8");
    FormattedText formatted = Reader(markdown_v2).read();
    normalize(formatted.entities);
    if (needs_cleaning(formatted.text)) {
        clean(formatted);
        normalize(formatted.entities);
    }
    trim(formatted);
    if (shows_nothing(formatted.text)) throw ParseError("Text must be non-empty");
    return formatted;
}

}  // namespace quenra::telegram
