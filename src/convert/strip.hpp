// Markup stripping: MarkdownV2 to the plain text that a reader sees.
#pragma once

#include <string>
#include <string_view>

#include "convert/walk.hpp"

namespace quenra {

namespace strip_detail {

// A builder of the document walk that keeps the plain text only.
template <class String>
class PlainText {
public:
    explicit PlainText(String& out) noexcept : out_(out) {}

    void text(std::string_view characters, const Look&) { out_.append(characters); }
    void inline_code(std::string_view code) { out_.append(code); }
    void hidden_code(std::string_view code) { out_.append(code); }
    void code_block(std::string_view code) { out_.append(code); }
    template <class ReadText>
    void link(const Link& /*link*/, const Look& look, bool /*after_bang*/, ReadText&& read_text) {
        read_text(look);
    }
    bool standalone_link(const Link&, std::string_view) const noexcept { return false; }

    static constexpr bool READS_LINKS = false;

private:
    String& out_;
};

}  // namespace strip_detail

// Appends the plain text of `text` to `out`: escapes resolved; style
// delimiters, link targets and code fences dropped; the text of every styled
// run, link and code span kept. It is never longer than `text`.
template <class Search = DefaultSearch, class String>
void append_plain_text(std::string_view text, String& out) {
    strip_detail::PlainText<String> builder(out);
    constexpr ConvertOptions NO_SWITCHES{false, false};
    DocumentWalk<strip_detail::PlainText<String>, Search>(builder, NO_SWITCHES).read_text(text, Look{});
}

// The plain text of `text`, as append_plain_text makes it.
template <class Search = DefaultSearch>
std::string strip_markdown(std::string_view text) {
    std::string plain;
    if (text.empty()) return plain;
    plain.reserve(text.size());  // every fragment yields at most the bytes it consumed
    append_plain_text<Search>(text, plain);
    return plain;
}

}  // namespace quenra
