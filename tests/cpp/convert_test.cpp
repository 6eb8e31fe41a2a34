// Whole conversions, checked as exact JSON text.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "concat.hpp"
#include "fragment_text.hpp"
#include <quenra.hpp>
#include "convert/build.hpp"
#include "json_text.hpp"
#include "lib/write_json.hpp"

namespace quenra {
namespace {

using testing::concat;
using testing::quoted;

// Builders of the expected JSON text. String arguments are JSON string
// contents, already escaped as they appear in the output.
std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out.append(out.empty() ? "" : ",").append(item);
    return out;
}
std::string span(std::string_view text, std::string_view attributes = "") {
    return concat({R"({"type":"span","text":")", text, "\"", attributes.empty() ? "" : ",", attributes, "}"});
}
std::string code(std::string_view text) { return span(text, R"("color":"#CC0000","size":"sm")"); }
std::string link_span(std::string_view text, std::string_view more = "") {
    return span(text, concat({more, R"("decoration":"underline","color":"#1689FC")"}));
}
std::string text(const std::vector<std::string>& spans) {
    return concat({R"({"type":"text","wrap":true,"contents":[)", join(spans), "]}"});
}
std::string body(const std::vector<std::string>& components) {
    return concat({R"("body":{"type":"box","layout":"vertical","contents":[)", join(components),
                   R"(],"spacing":"md"})"});
}
std::string button(std::string_view label, std::string_view uri) {
    return concat({R"({"type":"button","action":{"type":"uri","label":")", label, R"(","uri":")", uri,
                   R"("},"style":"link","height":"sm"})"});
}
std::string footer(const std::vector<std::string>& buttons) {
    return concat({R"("footer":{"type":"box","layout":"vertical","contents":[)", join(buttons),
                   R"(],"spacing":"sm","backgroundColor":"#F0F0F0"})"});
}
std::string message(std::string_view alt_text, std::string_view body_member, std::string_view footer_member = "") {
    return concat({R"({"type":"flex","altText":")", alt_text, R"(","contents":{"type":"bubble")",
                   body_member.empty() ? "" : ",", body_member, footer_member.empty() ? "" : ",", footer_member,
                   "}}"});
}

constexpr ConvertOptions DEFAULTS{true, true};

struct ConvertCase {
    std::string_view text;
    std::string json;
    ConvertOptions options = DEFAULTS;
};

void expect_converts(const std::vector<ConvertCase>& cases) {
    for (const ConvertCase& c : cases) {
        EXPECT_EQ(quenra_json_with_options(c.text, c.options), c.json)
            << "converting " << quoted(c.text) << " with options " << c.options.standalone_links_as_buttons
            << c.options.decorate_links;
    }
}

TEST(Convert, TypicalCall) {
    EXPECT_EQ(quenra_json_with_options("*Hi*\n[Docs](u)", DEFAULTS),
              R"({"type":"flex","altText":"Hi\nDocs","contents":{"type":"bubble","body":{"type":"box",)"
              R"("layout":"vertical","contents":[{"type":"text","wrap":true,"contents":[{"type":"span",)"
              R"("text":"Hi","weight":"bold"},{"type":"span","text":"\n"}]}],"spacing":"md"},"footer":)"
              R"({"type":"box","layout":"vertical","contents":[{"type":"button","action":{"type":"uri",)"
              R"("label":"Docs","uri":"u"},"style":"link","height":"sm"}],"spacing":"sm",)"
              R"("backgroundColor":"#F0F0F0"}}})");
}

TEST(Convert, EmptyTextUnderEveryOption) {
    // The entry answers an empty text without converting; the conversion
    // itself must give the same.
    for (bool standalone : {false, true}) {
        for (bool decorate : {false, true}) {
            EXPECT_EQ(testing::document_json(read_markdown("", {standalone, decorate})), EMPTY_TEXT_JSON);
            EXPECT_EQ(quenra_json_with_options("", {standalone, decorate}),
                      R"({"type":"flex","altText":"","contents":{"type":"bubble"}})");
        }
    }
}

TEST(Convert, ParagraphsAndCodeBlocks) {
    expect_converts({
        {"  ", message("  ", body({text({span("  ")})}))},
        {"a\n\nb", message(R"(a\n\nb)", body({text({span(R"(a\n\nb)")})}))},
        {"```\nx\n```", message("x", body({text({code("x")})}))},
        {"Hi\n```\nx\n```", message(R"(Hi\nx)", body({text({span(R"(Hi\n)")}), text({code("x")})}))},
        {"```js\n\n```", message("", body({text({code("")})}))},
        {"```\r\nx\r\n```", message(R"(x\r)", body({text({code(R"(x\r)")})}))},
        {"```\nx\n```\nBye", message(R"(x\nBye)", body({text({code("x")}), text({span(R"(\nBye)")})}))},
        {"Hi\n```\nx\n```\nBye",
         message(R"(Hi\nx\nBye)", body({text({span(R"(Hi\n)")}), text({code("x")}), text({span(R"(\nBye)")})}))},
        {"```\na\n```\n```\nb\n```",
         message(R"(a\nb)", body({text({code("a")}), text({span(R"(\n)")}), text({code("b")})}))},
        {"```py\na\n  b\n```", message(R"(a\n  b)", body({text({code(R"(a\n  b)")})}))},
        {"*a\n```\nx\n```\n*", message(R"(a\nx\n)", body({text({span(R"(a\n\n)", R"("weight":"bold")")})}))},
        {"> \"quote\"\tend", message(R"(> \"quote\"\tend)", body({text({span(R"(> \"quote\"\tend)")})}))},
    });
}

TEST(Convert, StandaloneLinksAndTheWhiteSpaceAfterThem) {
    expect_converts({
        {"[Docs](u)", message("Docs", "", footer({button("Docs", "u")}))},
        {"Read\n[Docs](u)\nmore",
         message(R"(Read\nDocs\nmore)", body({text({span(R"(Read\nmore)")})}), footer({button("Docs", "u")}))},
        {"See [Docs](u)\nmore",
         message(R"(See Docs\nmore)", body({text({span("See more")})}), footer({button("Docs", "u")}))},
        {"[Docs](u) now",
         message("Docs now", body({text({link_span("Docs"), span(" now")})}), footer({button("Docs", "u")}))},
        {"[Docs](u)  ", message("Docs  ", body({text({span("  ")})}), footer({button("Docs", "u")}))},
        {"[Docs](u) \r\nNext",
         message(R"(Docs \r\nNext)", body({text({span("Next")})}), footer({button("Docs", "u")}))},
        {"[Docs](u)\u3000\nNext",
         message("Docs\u3000\\nNext", body({text({span("Next")})}), footer({button("Docs", "u")}))},
        {"[Docs](u)\u00a0\u2003\u205f\nNext",
         message("Docs\u00a0\u2003\u205f\\nNext", body({text({span("Next")})}), footer({button("Docs", "u")}))},
        {"[Docs](u)\u200b\nNext",
         message("Docs\u200b\\nNext", body({text({link_span("Docs"), span("\u200b\\nNext")})}),
                 footer({button("Docs", "u")}))},
        {"[Docs](u)\x1f\nNext",
         message(R"(Docs\u001f\nNext)", body({text({link_span("Docs"), span(R"(\u001f\nNext)")})}),
                 footer({button("Docs", "u")}))},
        {"[a](u)[b](v)", message("ab", body({text({link_span("a")})}), footer({button("a", "u"), button("b", "v")}))},
        {"*[b](u)*",
         message("b", body({text({link_span("b", R"("weight":"bold",)")})}), footer({button("b", "u")}))},
        {"[*Bold* _docs_](https://x.y/?a=1&b=\"2\")\n",
         message(R"(Bold docs\n)", "", footer({button("Bold docs", R"(https://x.y/?a=1&b=\"2\")")}))},
        {"[](u)", message("", "", footer({button("", "u")}))},
    });
}

TEST(Convert, NestingAndLinkStyles) {
    expect_converts({
        {"*bold* text", message("bold text", body({text({span("bold", R"("weight":"bold")"), span(" text")})}))},
        {"_a *b*_",
         message("a b", body({text({span("a ", R"("style":"italic")"),
                                    span("b", R"("weight":"bold","style":"italic")")})}))},
        {"~__x__~", message("x", body({text({span("x", R"("decoration":"underline")")})}))},
        {"__~x~__", message("x", body({text({span("x", R"("decoration":"line-through")")})}))},
        {"||hidden||", message("hidden", body({text({span("hidden", R"("color":"#CCCCCC")")})}))},
        {"~[b](u)~ x", message("b x", body({text({link_span("b"), span(" x")})}), footer({button("b", "u")}))},
        {"||[b](u)|| x", message("b x", body({text({link_span("b"), span(" x")})}), footer({button("b", "u")}))},
        {"x `y` z", message("x y z", body({text({span("x "), code("y"), span(" z")})}))},
        {"*`y`*", message("y", body({text({code("y")})}))},
        {"``", message("", body({text({code("")})}))},
        {"**", message("", "")},
        {"[](u) x", message(" x", body({text({span(" x")})}), footer({button("", "u")}))},
        {"a\\*b", message("a*b", body({text({span("a*b")})}))},
        {"*a\nb*", message(R"(a\nb)", body({text({span(R"(a\nb)", R"("weight":"bold")")})}))},
        {"[x *y*](u) z",
         message("x y z", body({text({link_span("x "), link_span("y", R"("weight":"bold",)"), span(" z")})}),
                 footer({button("x y", "u")}))},
        {"*[a](`u`)*", message("a", body({text({link_span("a", R"("weight":"bold",)")})}),
                                footer({button("a", "`u`")}))},
    });
}

TEST(Convert, EqualStylesMergeOnlyWithTheLastSpan) {
    expect_converts({
        {"*a**b*", message("ab", body({text({span("ab", R"("weight":"bold")")})}))},
        {"a\\_b c", message("a_b c", body({text({span("a_b c")})}))},
        {"*a*b*c*",
         message("abc", body({text({span("a", R"("weight":"bold")"), span("b"), span("c", R"("weight":"bold")")})}))},
        {"a`b`c", message("abc", body({text({span("a"), code("b"), span("c")})}))},
        {"`a``b`", message("ab", body({text({code("a"), code("b")})}))},
    });
}

TEST(Convert, TheTwoOptions) {
    const ConvertOptions inline_links{false, true};
    const ConvertOptions plain_links{true, false};
    const ConvertOptions neither{false, false};
    expect_converts({
        {"[Docs](u)", message("Docs", body({text({link_span("Docs")})}), footer({button("Docs", "u")})),
         inline_links},
        {"Read\n[Docs](u)\nmore",
         message(R"(Read\nDocs\nmore)", body({text({span(R"(Read\n)"), link_span("Docs"), span(R"(\nmore)")})}),
                 footer({button("Docs", "u")})),
         inline_links},
        {"[Docs](u)", message("Docs", "", footer({button("Docs", "u")})), plain_links},
        {"a [b](u) c", message("a b c", body({text({span("a b c")})}), footer({button("b", "u")})), plain_links},
        {"~[b](u)~", message("b", body({text({span("b", R"("decoration":"line-through")")})}),
                             footer({button("b", "u")})),
         plain_links},
        {"x ~[b](u)~", message("x b", body({text({span("x "), span("b", R"("decoration":"line-through")")})}),
                               footer({button("b", "u")})),
         plain_links},
        {"[Docs](u)", message("Docs", body({text({span("Docs")})}), footer({button("Docs", "u")})), neither},
    });
}

TEST(Convert, NonAsciiComesBackUnescaped) {
    EXPECT_EQ(quenra_json_with_options("*日本* 😀", DEFAULTS),
              message("日本 😀", body({text({span("日本", R"("weight":"bold")"), span(" 😀")})})));
}

TEST(Convert, TextWithNulIsConvertedWhole) {
    EXPECT_EQ(quenra_json_with_options(std::string_view("a\0b", 3), DEFAULTS),
              message(R"(a\u0000b)", body({text({span(R"(a\u0000b)")})})));
}

}  // namespace
}  // namespace quenra
