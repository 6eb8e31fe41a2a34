// libFuzzer harness over the library's entry point. For every input and all
// four combinations of the switches it checks that the call returns, that the
// result is compact JSON of a Flex message of the expected shape, that its
// alternative text is the stripped input, and that a second call gives the
// same bytes. For shorter inputs it also checks that the indexed searches
// scan exactly as the straightforward ones. It checks `split`'s properties
// under LINE's limits and under small limits taken from the input, and that
// `check` reads any bytes without failing. A failed check aborts, which the
// fuzzer reports with the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "convert/strip.hpp"
#include "flex_json.hpp"
#include "fragment_text.hpp"
#include <quenra.hpp>
#include "split_properties.hpp"

namespace {

// Inputs longer than this are not scanned with the straightforward searches,
// whose cost grows with the cube of the length on some texts.
constexpr std::size_t REFERENCE_LIMIT = 2048;

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

bool is_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t code = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0x80) {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3Fu);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// The shape that the conversion gives: a body of wrapping text components
// with spans and spacing "md", a footer of buttons with spacing "sm" on
// "#F0F0F0", and no box left empty.
void check_shape(const quenra::FlexMessage& message) {
    if (const auto& body = message.contents.body) {
        check(!body->contents.empty() && body->spacing == "md" && !body->backgroundColor, "body box");
        for (const quenra::Component& component : body->contents) {
            const auto* text = std::get_if<quenra::Text>(&component);
            check(text && text->wrap && !text->contents.empty(), "body component");
        }
    }
    if (const auto& footer = message.contents.footer) {
        check(!footer->contents.empty() && footer->spacing == "sm" && footer->backgroundColor == "#F0F0F0",
              "footer box");
        for (const quenra::Component& component : footer->contents) {
            check(std::holds_alternative<quenra::Button>(component), "footer component");
        }
    }
}

void check_split(std::string_view text) {
    for (const quenra::LineLimits& limits : {quenra::LineLimits{}, quenra::testing::limits_from_bytes(text)}) {
        for (const quenra::ConvertOptions options : {quenra::ConvertOptions{true, true}, {false, false}}) {
            const std::string failure = quenra::testing::split_property_failure(text, options, limits);
            if (!failure.empty()) std::fprintf(stderr, "%s\n", failure.c_str());
            check(failure.empty(), "split's properties");
        }
        const std::string failure = quenra::testing::repair_property_failure(text, limits);
        if (!failure.empty()) std::fprintf(stderr, "%s\n", failure.c_str());
        check(failure.empty(), "repairs keep the document");
    }
    try {
        (void)quenra::check(text);
    } catch (const quenra::UnreadableMessage&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string plain = quenra::strip_markdown(text);
    const bool utf8 = is_utf8(text);
    for (const bool standalone : {false, true}) {
        for (const bool decorate : {false, true}) {
            const quenra::ConvertOptions options{standalone, decorate};
            const std::string json = quenra::quenra_json_with_options(text, options);
            check(json == quenra::quenra_json_with_options(text, options), "same input, same output");
            const auto message = quenra::testing::read_flex_message(json);
            check(message.has_value(), "compact JSON of a Flex message");
            check(message->altText == plain, "altText is the stripped input");
            check_shape(*message);
            check(!utf8 || is_utf8(json), "UTF-8 in, UTF-8 out");
        }
    }
    if (utf8) {
        check_split(text);
    } else {
        (void)quenra::split(text, {true, true}, quenra::testing::limits_from_bytes(text));  // must not fail
    }
    if (size <= REFERENCE_LIMIT) {
        std::vector<std::string> indexed, reference;
        quenra::testing::scan_nested<quenra::IndexedSearch>(text, indexed);
        quenra::testing::scan_nested<quenra::ReferenceSearch>(text, reference);
        check(indexed == reference, "indexed searches scan as the straightforward ones");
    }
    return 0;
}
