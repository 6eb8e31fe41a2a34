// Reading MarkdownV2 as Telegram's server reads a bot's text (stage 1): one
// pass over the bytes with a stack of the entities open, which only the
// innermost may close.
#include <array>
#include <string>
#include <vector>

#include "telegram/reading.hpp"

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
    explicit Reader(std::string_view input) : in_(input), out_(input) {}

    FormattedText read() && {
        while (at_ < in_.size()) step();
        finish();
        return std::move(out_).take();
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
            out_.put(next);
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
        // Any character but a carriage return ends the chance of a quote.
        if (run.find_first_not_of('\r') != std::string_view::npos) can_start_quote_ = false;
        at_ = end;
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
        open_.push_back(Open{what, at_, out_.units(), out_.bytes(), std::move(language)});
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

    // "```", a language when a word follows and white space ends it, and
    // one line break.
    void open_pre() {
        const std::size_t marker = at_;
        std::string_view language;
        at_ = after_fence(in_, at_ + 3, language);
        open_.push_back(Open{language.empty() ? Opened::Pre : Opened::PreCode, marker, out_.units(), out_.bytes(),
                             std::string(language)});
    }

    // A line feed outside code: it may end a quote, and lets the next line
    // start one.
    void line_feed() {
        out_.put('\n');
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
    Entity* add(const Open& open, EntityType type) { return out_.add(type, open.offset); }

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
        out_.add_link(open.offset, given ? std::string_view(*given) : out_.since(open.output_byte));
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
    ReadText out_;
    std::vector<Open> open_;
    bool quote_open_ = false;
    bool can_start_quote_ = true;
};

}  // namespace

FormattedText read_markdown_v2(std::string_view input) { return Reader(input).read(); }

}  // namespace quenra::telegram
