// Readable renderings of fragments, so that scanner tests read like tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "parser/scanner.hpp"
#include "parser/walk.hpp"

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

// The Unicode scalar value that a `Char` fragment's bytes encode.
inline char32_t character_of(const Char& fragment) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(fragment.utf8[i]); };
    switch (fragment.utf8.size()) {
    case 1:
        return byte(0);
    case 2:
        return (char32_t{byte(0)} & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
    case 3:
        return (char32_t{byte(0)} & 0x0Fu) << 12 | (char32_t{byte(1)} & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
    default:
        return (char32_t{byte(0)} & 0x07u) << 18 | (char32_t{byte(1)} & 0x3Fu) << 12 |
               (char32_t{byte(2)} & 0x3Fu) << 6 | (byte(3) & 0x3Fu);
    }
}

// Every fragment of `text`, scanned to the end with the given search policy;
// with `nested`, the fragments of the texts nested in it too, in reading order.
template <class Search = DefaultSearch>
void scan_fragments(std::string_view text, std::vector<std::string>& out, bool nested) {
    struct Describe {
        std::vector<std::string>& out;
        bool nested;
        void fragment(const Fragment& fragment, std::string_view, BasicScanner<Search>&) {
            out.push_back(describe(fragment));
            if (!nested) return;
            if (const auto* styled = std::get_if<Styled>(&fragment)) scan_fragments<Search>(styled->inner, out, true);
            if (const auto* link = std::get_if<Link>(&fragment)) scan_fragments<Search>(link->text, out, true);
        }
    } visitor{out, nested};
    walk_text<Search>(text, visitor);
}

template <class Search = DefaultSearch>
std::vector<std::string> scan_all(std::string_view text) {
    std::vector<std::string> out;
    scan_fragments<Search>(text, out, false);
    return out;
}

template <class Search = DefaultSearch>
void scan_nested(std::string_view text, std::vector<std::string>& out) {
    scan_fragments<Search>(text, out, true);
}

}  // namespace quenra::testing
