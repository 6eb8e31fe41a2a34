#include "convert/strip.hpp"

#include "convert/code_text.hpp"
#include "parser/scanner.hpp"

namespace quenra {

template <class Search>
void append_plain_text(std::string_view text, std::string& out) {
    BasicScanner<Search> scanner(text);
    while (!scanner.done()) {
        if (const std::string_view run = scanner.take_plain_run(); !run.empty()) {
            out.append(run);
            continue;
        }
        std::visit(
            [&out]<class Kind>(const Kind& fragment) {
                if constexpr (std::is_same_v<Kind, Char>) {
                    out.append(fragment.utf8);
                } else if constexpr (std::is_same_v<Kind, Escaped>) {
                    out.push_back(fragment.character);
                } else if constexpr (std::is_same_v<Kind, InlineCode>) {
                    out.append(fragment.code);
                } else if constexpr (std::is_same_v<Kind, CodeBlock>) {
                    out.append(code_block_text(fragment.body));
                } else if constexpr (std::is_same_v<Kind, Link>) {
                    append_plain_text<Search>(fragment.text, out);
                } else {
                    static_assert(std::is_same_v<Kind, Styled>);
                    append_plain_text<Search>(fragment.inner, out);
                }
            },
            scanner.next());
    }
}

template <class Search>
std::string strip_markdown(std::string_view text) {
    std::string plain;
    if (text.empty()) return plain;
    // Every fragment yields at most the bytes it consumed, so this never grows.
    plain.reserve(text.size());
    append_plain_text<Search>(text, plain);
    return plain;
}

template std::string strip_markdown<ReferenceSearch>(std::string_view);
template void append_plain_text<ReferenceSearch>(std::string_view, std::string&);

}  // namespace quenra
