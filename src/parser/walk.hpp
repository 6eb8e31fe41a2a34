// The one loop over a text's fragments. Every reading of markup (the
// conversion, stripping, and the tests' own readings) is a visitor of it,
// and reads nested texts (styled runs, link texts) by walking them in turn.
#pragma once

#include <string_view>
#include <variant>

#include "parser/indexed_search.hpp"
#include "parser/scanner.hpp"

namespace quenra {

// Walks `text` from its start to its end. A visitor has
//     void fragment(const Fragment& fragment, std::string_view source, BasicScanner<Search>& scanner);
// which gets each fragment with the source text it was read from, and the
// scanner (to look at or pass over the text after it). A visitor that also has
//     void run(std::string_view characters);
// gets the characters that open nothing in one piece: each stretch between
// other fragments, instead of as `Char` fragments one by one. One that also
// has
//     void skipped_empty_runs();
// gets no styled run with no inner text: such runs are passed over unread,
// and it is told where they were.
template <class Search = DefaultSearch, class Visitor>
void walk_text(std::string_view text, Visitor& visitor) {
    if (text.empty()) return;  // nested texts are often empty, as in "**"
    BasicScanner<Search> scanner(text);
    if constexpr (requires(std::string_view run) { visitor.run(run); }) {
        // Plain runs and the characters that failed to open markup, such as
        // a "[" that no link follows, make one stretch of the text.
        const char* stretch = text.data();
        std::size_t length = 0;
        while (!scanner.done()) {
            length += scanner.take_plain_run().size();
            if (scanner.done()) break;
            if constexpr (requires(char escaped) { visitor.escaped(escaped); }) {
                // An escape is read at once, without a fragment.
                const std::string_view rest = scanner.rest();
                if (rest.size() > 1 && rest[0] == '\\' && is_escapable(static_cast<unsigned char>(rest[1]))) {
                    if (length > 0) visitor.run(std::string_view(stretch, length));
                    visitor.escaped(rest[1]);
                    scanner.skip(2);
                    stretch = scanner.rest().data();
                    length = 0;
                    continue;
                }
            }
            if constexpr (requires { visitor.skipped_empty_runs(); }) {
                if (scanner.skip_empty_runs()) {
                    if (length > 0) visitor.run(std::string_view(stretch, length));
                    visitor.skipped_empty_runs();
                    stretch = scanner.rest().data();
                    length = 0;
                    continue;
                }
            }
            const std::string_view before = scanner.rest();
            const Fragment fragment = scanner.next();
            if (const auto* character = std::get_if<Char>(&fragment)) {
                length += character->utf8.size();
                continue;
            }
            if (length > 0) visitor.run(std::string_view(stretch, length));
            visitor.fragment(fragment, before.substr(0, before.size() - scanner.rest().size()), scanner);
            stretch = scanner.rest().data();
            length = 0;
        }
        if (length > 0) visitor.run(std::string_view(stretch, length));
    } else {
        while (!scanner.done()) {
            const std::string_view before = scanner.rest();
            const Fragment fragment = scanner.next();
            visitor.fragment(fragment, before.substr(0, before.size() - scanner.rest().size()), scanner);
        }
    }
}

}  // namespace quenra
