// The one reading of a MarkdownV2 document: fragments in reading order, with
// styled runs and link texts read as nested texts, told to a builder that
// makes something of them (a document, or plain text). The walk decides what
// is markup and how it looks; the builder decides what to keep.
#pragma once

#include <concepts>
#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>

#include "convert/code_text.hpp"
#include "flex/document.hpp"
#include <quenra.hpp>
#include "parser/scanner.hpp"
#include "parser/walk.hpp"

namespace quenra {

// How a link in the running text is read.
enum class LinkReading : unsigned char {
    Button,           // shown in link style, and kept for a button
    Text,             // its text read in the look around it, with no button
    TextWithoutBang,  // the same, with the "!" before it taken back
};

// What the walk tells a builder, in reading order.
template <class Builder>
concept MarkdownBuilder = requires(Builder& builder, std::string_view characters, const Look& look, const Link& link,
                                   void (*read_text)(const Look&)) {
    builder.text(characters, look);     // characters shown in the running text
    builder.inline_code(characters);    // a code span
    builder.hidden_code(characters);    // a code block inside a run or link text: plain text only
    builder.code_block(characters);     // a top-level code block
    // A link in the running text in `look`, after an unescaped "!" or not;
    // `read_text(look)` reads its text in the look the builder gives it.
    builder.link(link, look, true, read_text);
    // A top-level link that ends its line (when standalone links are
    // buttons); `characters` is the white space and line feed after it.
    // True when taken as a button only; false to read it in the running text.
    { builder.standalone_link(link, characters) } -> std::same_as<bool>;
    // Whether the builder reads links otherwise after a "!" (only then does
    // the walk keep track of that "!").
    { Builder::READS_LINKS } -> std::convertible_to<bool>;
};

// The look inside a run of `run` style: styles accumulate, and an inner one
// wins where two set the same property.
constexpr Look run_look(Look look, RunStyle run) noexcept {
    switch (run) {
    case RunStyle::Bold:
        return look.with_bold();
    case RunStyle::Italic:
        return look.with_italic();
    case RunStyle::Underline:
        return look.with_decoration(Look::Decoration::Underline);
    case RunStyle::Strikethrough:
        return look.with_decoration(Look::Decoration::LineThrough);
    case RunStyle::Spoiler:
        return look.with_color(Look::Color::Spoiler);
    }
    return look;
}

// The look of a link's text: blue and underlined when links are decorated,
// whatever colour or decoration was in force; otherwise the look around it.
constexpr Look link_look(Look look, bool decorate_links) noexcept {
    if (!decorate_links) return look;
    return look.with_color(Look::Color::Link).with_decoration(Look::Decoration::Underline);
}

// When the text after a link makes it standalone, the bytes to pass over: the
// white space other than line feed and the line feed after it, or none when the
// text ends. Nothing when the link is not standalone.
std::optional<std::size_t> standalone_link_tail(std::string_view after_link) noexcept;

template <MarkdownBuilder Builder, class Search = DefaultSearch>
class DocumentWalk {
public:
    DocumentWalk(Builder& builder, const ConvertOptions& options) noexcept : builder_(builder), options_(options) {}

    // A whole document: code blocks and standalone links are its own.
    void read_document(std::string_view text) { read<true>(text, Look{}); }

    // A nested text (a styled run's inner text, a link's text) in `look`.
    void read_text(std::string_view text, const Look& look) { read<false>(text, look); }

private:
    // One level of nesting: its look, and whether an unescaped "!" was the
    // last character read.
    template <bool TopLevel>
    struct Level {
        DocumentWalk& walk;
        const Look& look;
        bool after_bang = false;

        void run(std::string_view characters) {
            walk.builder_.text(characters, look);
            if constexpr (Builder::READS_LINKS) after_bang = characters.back() == '!';
        }
        void escaped(char character) {
            walk.builder_.text(std::string_view(&character, 1), look);
            after_bang = false;
        }
        // Styled runs with no inner text show nothing.
        void skipped_empty_runs() noexcept { after_bang = false; }
        void fragment(const Fragment& fragment, std::string_view /*source*/, BasicScanner<Search>& scanner) {
            bool taken = false;
            if constexpr (TopLevel) taken = walk.read_top_level(fragment, scanner);
            if (!taken) walk.read_fragment(fragment, look, after_bang);
            if constexpr (Builder::READS_LINKS) {
                const auto* character = std::get_if<Char>(&fragment);
                after_bang = character && character->utf8 == "!";
            }
        }
    };

    template <bool TopLevel>
    void read(std::string_view text, const Look& look) {
        Level<TopLevel> level{*this, look};
        walk_text<Search>(text, level);
    }

    // One fragment of a nested text, or a top-level one that is neither a
    // code block nor a standalone link.
    void read_fragment(const Fragment& fragment, const Look& look, bool after_bang) {
        std::visit(
            [&]<class Kind>(const Kind& f) {
                if constexpr (std::is_same_v<Kind, Char>) {
                    builder_.text(f.utf8, look);
                } else if constexpr (std::is_same_v<Kind, Escaped>) {
                    builder_.text(std::string_view(&f.character, 1), look);
                } else if constexpr (std::is_same_v<Kind, InlineCode>) {
                    builder_.inline_code(f.code);
                } else if constexpr (std::is_same_v<Kind, Link>) {
                    read_link(f, look, after_bang);
                } else if constexpr (std::is_same_v<Kind, Styled>) {
                    // An empty run shows nothing: not even its look is worked out
                    // (texts of only delimiters are made of such runs).
                    if (!f.inner.empty()) read_text(f.inner, run_look(look, f.style));
                } else {
                    static_assert(std::is_same_v<Kind, CodeBlock>);
                    builder_.hidden_code(code_block_text(f.body));
                }
            },
            fragment);
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

    void read_link(const Link& link, const Look& look, bool after_bang) {
        builder_.link(link, look, after_bang, [&](const Look& text_look) { read_text(link.text, text_look); });
    }

    Builder& builder_;
    const ConvertOptions& options_;
};

}  // namespace quenra
