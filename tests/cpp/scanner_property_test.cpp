// Properties of the scanner and of stripping over many generated texts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "convert/strip.hpp"
#include "concat.hpp"
#include "fragment_text.hpp"
#include "parser/walk.hpp"
#include "parser/scanner.hpp"
#include "text_generator.hpp"

namespace quenra {
namespace {

using testing::concat;
using testing::quoted;

constexpr int TEXTS = 20000;

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The source text that a fragment stands for, rebuilt from its payload.
std::string source_of(const Fragment& fragment) {
    struct Source {
        std::string operator()(const Escaped& f) const {
            return concat({"\\", std::string_view(&f.character, 1)});
        }
        std::string operator()(const CodeBlock& f) const { return concat({"```", f.body, "```"}); }
        std::string operator()(const InlineCode& f) const { return concat({"`", f.code, "`"}); }
        std::string operator()(const Link& f) const { return concat({"[", f.text, "](", f.url, ")"}); }
        std::string operator()(const Styled& f) const { return concat({f.delimiter, f.inner, f.delimiter}); }
        std::string operator()(const Char& f) const { return std::string(f.utf8); }
    };
    return std::visit(Source{}, fragment);
}

// Scans `text` to the end and checks every step; recurses into the texts that
// consumers scan again.
void check_scan(std::string_view text) {
    struct Check {
        std::string_view text;
        std::string rebuilt;
        void fragment(const Fragment& fragment, std::string_view source, BasicScanner<ReferenceSearch>& scanner) {
            const std::string_view before(source.data(), source.size() + scanner.rest().size());
            ASSERT_FALSE(is_continuation(source.front())) << "cut inside a character of " << quoted(text);
            ASSERT_GE(source.size(), first_char_length(before)) << quoted(text);
            ASSERT_EQ(source, source_of(fragment)) << quoted(text);
            rebuilt.append(source);
            if (const auto* styled = std::get_if<Styled>(&fragment); styled && !styled->inner.empty()) {
                check_scan(styled->inner);
            }
            if (const auto* link = std::get_if<Link>(&fragment); link && !link->text.empty()) {
                check_scan(link->text);
            }
        }
    } check{text, {}};
    walk_text<ReferenceSearch>(text, check);
    ASSERT_EQ(check.rebuilt, text);
}

TEST(ScannerProperties, FragmentsRebuildTheTextAndCutOnCharacterBoundaries) {
    testing::TextGenerator generate(2026);
    for (int i = 0; i < TEXTS; ++i) {
        check_scan(generate.markup());
        if (HasFatalFailure()) return;
    }
}

// A plain run is what the fragments would give, one Char after another.
void check_plain_runs(std::string_view text) {
    std::string_view by_fragments = text;
    Scanner scanner(text);
    while (!scanner.done()) {
        const std::string_view run = scanner.take_plain_run();
        std::string chars;
        while (chars.size() < run.size()) {
            const Fragment fragment = next_fragment(by_fragments);
            ASSERT_TRUE(std::holds_alternative<Char>(fragment)) << quoted(text);
            chars.append(std::get<Char>(fragment).utf8);
        }
        ASSERT_EQ(chars, run) << quoted(text);
        if (scanner.done()) break;
        ASSERT_EQ(testing::describe(scanner.next()), testing::describe(next_fragment(by_fragments))) << quoted(text);
    }
    ASSERT_TRUE(by_fragments.empty()) << quoted(text);
}

TEST(ScannerProperties, PlainRunsAreTheCharsTheScannerWouldGive) {
    testing::TextGenerator generate(99);
    for (int i = 0; i < TEXTS; ++i) {
        check_plain_runs(generate.markup());
        if (HasFatalFailure()) return;
    }
    // Arbitrary bytes too, malformed UTF-8 included.
    for (int i = 0; i < TEXTS; ++i) {
        std::string bytes(generate.pick(24), '\0');
        for (char& byte : bytes) byte = static_cast<char>(generate.pick(256));
        check_plain_runs(bytes);
        if (HasFatalFailure()) return;
    }
}

TEST(ScannerProperties, StrippedTextIsNeverLonger) {
    testing::TextGenerator generate(7);
    for (int i = 0; i < TEXTS; ++i) {
        const std::string text = generate.markup();
        ASSERT_LE(strip_markdown(text).size(), text.size()) << quoted(text);
    }
}

}  // namespace
}  // namespace quenra
