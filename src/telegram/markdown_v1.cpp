// Reading legacy Markdown (parse_mode "Markdown") as Telegram's server reads
// a bot's text (stage 1): one pass over the bytes; a marker opens an entity
// that runs, as plain text, to the first closing character. Nothing nests,
// and the only escapes are those of the four markers outside entities.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "telegram/reading.hpp"

namespace quenra::telegram {

namespace {

// The bytes that end a run of plain text: a marker or an escape.
constexpr std::array<bool, 256> ENDS_TEXT_RUN = table_of("_*`[\\");

class Reader {
public:
    explicit Reader(std::string_view input) : in_(input), out_(input) {}

    FormattedText read() && {
        while (at_ < in_.size()) step();
        return std::move(out_).take();
    }

private:
    // The byte at `i`, or NUL past the end.
    char byte(std::size_t i) const noexcept { return i < in_.size() ? in_[i] : '\0'; }

    static bool is_marker(char c) noexcept { return c == '_' || c == '*' || c == '`' || c == '['; }

    void step() {
        const char c = in_[at_];
        if (c == '\\') {
            const bool escapes = is_marker(byte(at_ + 1));
            out_.put(in_[at_ + (escapes ? 1 : 0)]);
            at_ += escapes ? 2 : 1;
        } else if (is_marker(c)) {
            entity();
        } else {
            std::size_t end = at_ + 1;
            while (end < in_.size() && !ENDS_TEXT_RUN[static_cast<unsigned char>(in_[end])]) ++end;
            out_.append(in_.substr(at_, end - at_));
            at_ = end;
        }
    }

    // An entity from the marker at `at_`: "_" italic, "*" bold, "`" code,
    // "```" pre, "[" a link; its text runs up to the closing character, and
    // an entity with no text makes nothing.
    void entity() {
        const std::size_t begin = at_;
        const char marker = in_[begin];
        std::size_t i = begin + 1;
        const bool pre = marker == '`' && byte(i) == '`' && byte(i + 1) == '`';
        std::string_view language;
        if (pre) i = after_fence(in_, i + 2, language);
        const std::size_t end = pre ? in_.find("```", i) : in_.find(marker == '[' ? ']' : marker, i);
        if (end == std::string_view::npos) {
            throw ParseError("Can't find end of the entity starting at byte offset " + std::to_string(begin));
        }
        const std::int64_t offset = out_.units();
        const std::size_t output_byte = out_.bytes();
        const std::string_view content = in_.substr(i, end - i);
        out_.append(content);
        i = end;
        if (out_.units() > offset) {
            switch (marker) {
            case '_':
                out_.add(EntityType::Italic, offset);
                break;
            case '*':
                out_.add(EntityType::Bold, offset);
                break;
            case '[':
                i = close_link(offset, end, content, end - content.size() - output_byte);
                break;
            default:
                if (Entity* code = out_.add(pre ? EntityType::Pre : EntityType::Code, offset); !language.empty()) {
                    code->language = std::string(language);
                }
                break;
            }
        }
        at_ = i + (pre ? 3 : 1);
    }

    // A link over the text written from `offset` on, which is `content` of
    // the input, closed by the "]" at `bracket`; `removed` bytes of markup
    // were left out before it. Its URL is in "(...)" right after the "]" (up
    // to ")" or the end), else taken from the link's text. Returns where the
    // link's last byte is.
    std::size_t close_link(std::int64_t offset, std::size_t bracket, std::string_view content, std::size_t removed) {
        if (byte(bracket + 1) != '(') {
            out_.add_link(offset, url_of_text(content, removed));
            return bracket;
        }
        const std::size_t url = bracket + 2;
        const std::size_t end = std::min(in_.find(')', url), in_.size());
        out_.add_link(offset, in_.substr(url, end - url));
        return end;
    }

    // The URL that Telegram reads for a link without "(...)": its text, but
    // read from the buffer it writes its output into in place, where the
    // text has been written `removed` bytes further left over the start of
    // the text's own input. So the first bytes come shifted, and the last
    // `removed` bytes are read as they stood: "[example.com]" links to
    // "xample.comm".
    static std::string url_of_text(std::string_view content, std::size_t removed) {
        if (removed >= content.size()) return std::string(content);
        std::string url(content.substr(removed));
        url.append(content.substr(content.size() - removed));
        return url;
    }

    std::string_view in_;
    std::size_t at_ = 0;
    ReadText out_;
};

}  // namespace

FormattedText read_markdown(std::string_view input) { return Reader(input).read(); }

}  // namespace quenra::telegram
