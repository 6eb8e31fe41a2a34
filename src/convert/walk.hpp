// The one reading of a document: fragments in reading order, with styled runs
// and link texts read as nested texts, told to a builder that makes something
// of them (the message records, or the pieces that a split message is cut
// from). The walk decides what is markup; the builder decides what to keep.
//
// A builder has these members; the walk calls them in reading order:
//   void text(std::string_view chars, const SpanStyle& style);
//       characters shown in the running text, in `style`
//   void inline_code(std::string_view code);      a code span
//   void hidden_code(std::string_view code);      a code block met inside a run
//                                                 or link text: no span, but
//                                                 part of the plain text
//   void code_block(std::string_view code);       a top-level code block
//   std::size_t begin_link();                     before a link's text; a mark
//   void end_link(std::size_t mark, const Link& link);  after it
//   bool standalone_link(const Link& link, std::string_view tail);
//       a top-level link that ends its line (when standalone links are
//       buttons); `tail` is the white space and line feed after it. True
//       when taken as a button only; false to read it in the running text.
// A builder may also have these; without them every link is a button:
//   LinkReading link_reading(const Link& link, bool after_bang);
//       how to read a link in the running text; `after_bang` when the
//       character just before it, at the same level, is an unescaped "!"
//   void take_back_bang();                        forget that "!" again
// Only the walks for builders that have them keep track of that "!".
#pragma once

#include <concepts>
#include <optional>
#include <string_view>

#include "convert/code_text.hpp"
#include "convert/spans.hpp"
#include <quenra.hpp>
#include "parser/scanner.hpp"
#include "parser/walk.hpp"

namespace quenra {

// When the text after a link makes it standalone, the bytes to pass over: the
// white space other than line feed and the line feed after it, or none when the
// text ends. Nothing when the link is not standalone.
std::optional<std::size_t> standalone_link_tail(std::string_view after_link) noexcept;

template <class Builder, class Search = DefaultSearch>
class DocumentWalk {
    static constexpr bool READS_LINKS = requires(Builder& builder, const Link& link) {
        { builder.link_reading(link, true) } -> std::same_as<LinkReading>;
    };

public:
    DocumentWalk(Builder& builder, const ConvertOptions& options) noexcept : builder_(builder), options_(options) {}

    // A whole document: code blocks and standalone links are its own.
    void read_document(std::string_view text) { read<true>(text, SpanStyle{}); }

    // A nested text (a styled run's inner text, a link's text) in `style`.
    void read_text(std::string_view text, const SpanStyle& style) { read<false>(text, style); }

    // One fragment of a nested text, or a top-level one that is neither a code
    // block nor a standalone link.
    void read_fragment(const Fragment& fragment, const SpanStyle& style, bool after_bang) {
        std::visit(
            [&]<class Kind>(const Kind& f) {
                if constexpr (std::is_same_v<Kind, Char>) {
                    builder_.text(f.utf8, style);
                } else if constexpr (std::is_same_v<Kind, Escaped>) {
                    builder_.text(std::string_view(&f.character, 1), style);
                } else if constexpr (std::is_same_v<Kind, InlineCode>) {
                    builder_.inline_code(f.code);
                } else if constexpr (std::is_same_v<Kind, Link>) {
                    read_link(f, style, after_bang);
                } else if constexpr (std::is_same_v<Kind, Styled>) {
                    // An empty run shows nothing: not even its style is worked out
                    // (texts of only delimiters are made of such runs).
                    if (!f.inner.empty()) read_text(f.inner, run_style(style, f.style));
                } else {
                    static_assert(std::is_same_v<Kind, CodeBlock>);
                    builder_.hidden_code(code_block_text(f.body));
                }
            },
            fragment);
    }

private:
    // One level of nesting: its style, and whether an unescaped "!" was the
    // last character read.
    template <bool TopLevel>
    struct Level {
        DocumentWalk& walk;
        const SpanStyle& style;
        bool after_bang = false;

        void run(std::string_view characters) {
            walk.builder_.text(characters, style);
            if constexpr (READS_LINKS) after_bang = characters.back() == '!';
        }
        void fragment(const Fragment& fragment, std::string_view /*source*/, BasicScanner<Search>& scanner) {
            bool taken = false;
            if constexpr (TopLevel) taken = walk.read_top_level(fragment, scanner);
            if (!taken) walk.read_fragment(fragment, style, after_bang);
            if constexpr (READS_LINKS) {
                const auto* character = std::get_if<Char>(&fragment);
                after_bang = character && character->utf8 == "!";
            }
        }
    };

    template <bool TopLevel>
    void read(std::string_view text, const SpanStyle& style) {
        Level<TopLevel> level{*this, style};
        walk_text<Search>(text, level);
    }

    // Code blocks, and links that end their line when they become buttons.
    bool read_top_level(const Fragment& fragment, BasicScanner<Search>& scanner) {
        if (const auto* block = std::get_if<CodeBlock>(&fragment)) {
            builder_.code_block(code_block_text(block->body));
            return true;
        }
        const auto* link = std::get_if<Link>(&fragment);
        if (!link || !options_.standalone_links_as_buttons) return false;
        const auto tail = standalone_link_tail(scanner.rest());
        if (!tail || !builder_.standalone_link(*link, scanner.rest().substr(0, *tail))) return false;
        scanner.skip(*tail);
        return true;
    }

    void read_link(const Link& link, const SpanStyle& style, bool after_bang) {
        if constexpr (READS_LINKS) {
            const LinkReading reading = builder_.link_reading(link, after_bang);
            if (reading != LinkReading::Button) {
                if (reading == LinkReading::TextWithoutBang) builder_.take_back_bang();
                read_text(link.text, style);
                return;
            }
        }
        const std::size_t mark = builder_.begin_link();
        read_text(link.text, link_style(style, options_.decorate_links));
        builder_.end_link(mark, link);
    }

    Builder& builder_;
    const ConvertOptions& options_;
};

}  // namespace quenra
