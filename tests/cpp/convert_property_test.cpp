// Properties of whole conversions over many generated texts, and the entry
// point's handling of a failed serialization.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/build.hpp"
#include "convert/strip.hpp"
#include "failing_sink.hpp"
#include "flex_json.hpp"
#include "fragment_text.hpp"
#include "flex/write.hpp"
#include "text_generator.hpp"

namespace quenra {
namespace {

using testing::quoted;

constexpr ConvertOptions ALL_OPTIONS[] = {{false, false}, {false, true}, {true, false}, {true, true}};

// Every link of `text` in text order, found by walking the fragments: those
// at the top level and those inside styled runs, but none inside code.
void links_met(std::string_view text, std::vector<UriAction>& out) {
    struct Links {
        std::vector<UriAction>& out;
        void fragment(const Fragment& fragment, std::string_view, Scanner&) {
            if (const auto* link = std::get_if<Link>(&fragment)) {
                out.push_back(UriAction{strip_markdown(link->text), std::string(link->url)});
                links_met(link->text, out);
            } else if (const auto* styled = std::get_if<Styled>(&fragment)) {
                links_met(styled->inner, out);
            }
        }
    } visitor{out};
    walk_text(text, visitor);
}

std::vector<UriAction> footer_actions(const FlexMessage& message) {
    std::vector<UriAction> actions;
    if (message.contents.footer) {
        for (const Component& component : message.contents.footer->contents) {
            actions.push_back(std::get<Button>(component).action);
        }
    }
    return actions;
}

TEST(ConvertProperties, DeterministicWithStrippedAltTextAndOneButtonPerLink) {
    testing::TextGenerator generate(99);
    for (int i = 0; i < 2000; ++i) {
        const std::string text = generate.markup();
        std::vector<UriAction> expected_links;
        links_met(text, expected_links);
        for (const ConvertOptions& options : ALL_OPTIONS) {
            const std::string json = quenra_json_with_options(text, options);
            ASSERT_EQ(quenra_json_with_options(text, options), json) << quoted(text);
            const auto message = testing::read_flex_message(json);
            ASSERT_TRUE(message) << quoted(text) << " gave " << json;
            ASSERT_EQ(message->altText, strip_markdown(text)) << quoted(text);
            ASSERT_EQ(footer_actions(*message), expected_links) << quoted(text);
        }
    }
}

TEST(ConvertProperties, BodyIsAbsentOnlyWhenThereIsNothingToShow) {
    testing::TextGenerator generate(5);
    for (int i = 0; i < 5000; ++i) {
        const std::string text = generate.markup();
        const auto message = testing::read_flex_message(quenra_json_with_options(text, {true, true}));
        ASSERT_TRUE(message);
        if (!message->contents.body) continue;
        testing::for_each_text(*message->contents.body,
                               [&](const Text& component) { EXPECT_FALSE(component.contents.empty()) << quoted(text); });
    }
}

TEST(EntryPoint, SerializationFailureIsAnInternalFailure) {
    const Document document = read_markdown("*Hi*\n[Docs](u)", {true, true});
    testing::FailingSink sink(3);
    try {
        write_document(document, sink);
        FAIL() << "no failure raised";
    } catch (const InternalFailure& failure) {
        EXPECT_EQ(failure.message(), "FlexMessage serialization failed: disk full after 3 writes");
        EXPECT_STREQ(failure.what(), failure.message().c_str());
        EXPECT_TRUE(std::string_view(failure.where().file).ends_with("write.hpp"));
    }
    EXPECT_EQ(sink.calls(), 4u);
}

}  // namespace
}  // namespace quenra
