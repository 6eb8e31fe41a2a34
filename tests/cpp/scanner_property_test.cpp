// Properties of the scanner and of stripping over many generated texts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "convert/strip.hpp"
#include "concat.hpp"
#include "fragment_text.hpp"
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
    std::string rebuilt;
    std::string_view cursor = text;
    while (!cursor.empty()) {
        ASSERT_FALSE(is_continuation(cursor.front())) << "cut inside a character of " << quoted(text);
        const std::string_view before = cursor;
        const Fragment fragment = next_fragment(cursor);
        const std::size_t consumed = before.size() - cursor.size();
        ASSERT_GE(consumed, first_char_length(before)) << quoted(text);
        ASSERT_EQ(before.substr(0, consumed), source_of(fragment)) << quoted(text);
        rebuilt.append(before.substr(0, consumed));
        if (const auto* styled = std::get_if<Styled>(&fragment); styled && !styled->inner.empty()) {
            check_scan(styled->inner);
        }
        if (const auto* link = std::get_if<Link>(&fragment); link && !link->text.empty()) {
            check_scan(link->text);
        }
    }
    ASSERT_EQ(rebuilt, text);
}

TEST(ScannerProperties, FragmentsRebuildTheTextAndCutOnCharacterBoundaries) {
    testing::TextGenerator generate(2026);
    for (int i = 0; i < TEXTS; ++i) {
        check_scan(generate.markup());
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
