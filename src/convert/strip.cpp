#include "convert/strip.hpp"

#include "convert/code_text.hpp"
#include "parser/scanner.hpp"

namespace quenra {

namespace {

template <class Search>
void append_text(std::string_view text, std::string& out);

template <class Search>
void append_fragment(const Fragment& fragment, std::string& out) {
    std::visit(
        [&out]<class Kind>(const Kind& f) {
            if constexpr (std::is_same_v<Kind, Char>) {
                out.append(f.utf8);
            } else if constexpr (std::is_same_v<Kind, Escaped>) {
                out.push_back(f.character);
            } else if constexpr (std::is_same_v<Kind, InlineCode>) {
                out.append(f.code);
            } else if constexpr (std::is_same_v<Kind, CodeBlock>) {
                out.append(code_block_text(f.body));
            } else if constexpr (std::is_same_v<Kind, Link>) {
                append_text<Search>(f.text, out);
            } else {
                static_assert(std::is_same_v<Kind, Styled>);
                append_text<Search>(f.inner, out);
            }
        },
        fragment);
}

template <class Search>
void append_text(std::string_view text, std::string& out) {
    BasicScanner<Search> scanner(text);
    while (!scanner.done()) {
        if (const std::string_view run = scanner.take_plain_run(); !run.empty()) {
            out.append(run);
            continue;
        }
        append_fragment<Search>(scanner.next(), out);
    }
}

}  // namespace

template <class Search>
std::string strip_markdown(std::string_view text) {
    std::string plain;
    if (text.empty()) return plain;
    // Every fragment yields at most the bytes it consumed, so this never grows.
    plain.reserve(text.size());
    append_text<Search>(text, plain);
    return plain;
}

template std::string strip_markdown<ReferenceSearch>(std::string_view);
template std::string strip_markdown<IndexedSearch>(std::string_view);

}  // namespace quenra
