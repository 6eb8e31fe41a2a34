// The one loop over a text's fragments. Every reading of markup (the
// conversion, stripping, and the tests' own readings) is a visitor of it,
// and reads nested texts (styled runs, link texts) by walking them in turn.
#pragma once

#include <string_view>

#include "parser/indexed_search.hpp"
#include "parser/scanner.hpp"

namespace quenra {

// Walks `text` from its start to its end. A visitor has
//     void fragment(const Fragment& fragment, std::string_view source, BasicScanner<Search>& scanner);
// which gets each fragment with the source text it was read from, and the
// scanner (to look at or pass over the text after it). A visitor that also has
//     void run(std::string_view characters);
// gets the runs of characters that can only be plain text in one piece
// instead of as `Char` fragments one by one.
template <class Search = DefaultSearch, class Visitor>
void walk_text(std::string_view text, Visitor& visitor) {
    BasicScanner<Search> scanner(text);
    while (!scanner.done()) {
        if constexpr (requires(std::string_view run) { visitor.run(run); }) {
            if (const std::string_view run = scanner.take_plain_run(); !run.empty()) {
                visitor.run(run);
                continue;
            }
        }
        const std::string_view before = scanner.rest();
        const Fragment fragment = scanner.next();
        visitor.fragment(fragment, before.substr(0, before.size() - scanner.rest().size()), scanner);
    }
}

}  // namespace quenra
