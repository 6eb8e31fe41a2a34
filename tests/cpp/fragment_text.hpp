// Readable renderings of fragments, so that scanner tests read like tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/scanner.hpp"

namespace quenra::testing {

// Quotes `text`, writing a line feed as \n and a carriage return as \r.
inline std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string describe(const Fragment& fragment) {
    struct Describe {
        std::string operator()(const Escaped& f) const {
            return "Escaped(" + quoted(std::string_view(&f.character, 1)) + ")";
        }
        std::string operator()(const CodeBlock& f) const { return "CodeBlock(" + quoted(f.body) + ")"; }
        std::string operator()(const InlineCode& f) const { return "InlineCode(" + quoted(f.code) + ")"; }
        std::string operator()(const Link& f) const {
            return "Link(" + quoted(f.text) + ", " + quoted(f.url) + ")";
        }
        std::string operator()(const Styled& f) const {
            return "Styled(" + quoted(f.delimiter) + ", " + quoted(f.inner) + ")";
        }
        std::string operator()(const Char& f) const { return "Char(" + quoted(f.utf8) + ")"; }
    };
    return std::visit(Describe{}, fragment);
}

// Every fragment of `text`, scanned to the end with the given search policy.
template <class Search = DefaultSearch>
std::vector<std::string> scan_all(std::string_view text) {
    std::vector<std::string> out;
    BasicScanner<Search> scanner(text);
    while (!scanner.done()) out.push_back(describe(scanner.next()));
    return out;
}

// Every fragment of `text` and of the texts nested in it, in reading order.
template <class Search = DefaultSearch>
void scan_nested(std::string_view text, std::vector<std::string>& out) {
    BasicScanner<Search> scanner(text);
    while (!scanner.done()) {
        const Fragment fragment = scanner.next();
        out.push_back(describe(fragment));
        if (const auto* styled = std::get_if<Styled>(&fragment)) scan_nested<Search>(styled->inner, out);
        if (const auto* link = std::get_if<Link>(&fragment)) scan_nested<Search>(link->text, out);
    }
}

}  // namespace quenra::testing
