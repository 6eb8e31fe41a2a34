// Markup stripping: MarkdownV2 to the plain text that a reader sees.
#pragma once

#include <string>
#include <string_view>

#include "convert/walk.hpp"

namespace quenra {

namespace strip_detail {

// A builder of the document walk that keeps the plain text only.
class PlainText {
public:
    explicit PlainText(std::string& out) noexcept : out_(out) {}

    void text(std::string_view chars, const SpanStyle&) { out_.append(chars); }
    void inline_code(std::string_view code) { out_.append(code); }
    void hidden_code(std::string_view code) { out_.append(code); }
    std::size_t begin_link() const noexcept { return 0; }
    void end_link(std::size_t, const Link&) noexcept {}

private:
    std::string& out_;
};

}  // namespace strip_detail

// Escapes resolved; style delimiters, link targets and code fences dropped;
// the text of every styled run, link and code span kept. The result is never
// longer than `text`.
template <class Search = DefaultSearch>
std::string strip_markdown(std::string_view text) {
    std::string plain;
    if (text.empty()) return plain;
    // Every fragment yields at most the bytes it consumed, so this never grows.
    plain.reserve(text.size());
    strip_detail::PlainText builder(plain);
    constexpr ConvertOptions NO_SWITCHES{false, false};
    DocumentWalk<strip_detail::PlainText, Search>(builder, NO_SWITCHES).read_text(text, SpanStyle{});
    return plain;
}

}  // namespace quenra
