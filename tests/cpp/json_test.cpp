#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "flex/serialize.hpp"
#include "concat.hpp"
#include "failing_sink.hpp"
#include "flex_json.hpp"
#include "json_text.hpp"
#include "text_generator.hpp"

namespace quenra {
namespace {

using testing::to_json;

std::string json_string(std::string_view text) {
    std::string out;
    StringSink sink(out);
    JsonWriter<StringSink> writer(sink);
    EXPECT_TRUE(writer.string(text));
    sink.flush();
    return out;
}

Span span(std::string text) { return Span{std::move(text), {}, {}, {}, {}, {}}; }

FlexBox box(std::vector<Component> contents) { return FlexBox{std::move(contents), {}, {}}; }

TEST(JsonForm, ExactLines) {
    Span hi = span("Hi");
    hi.weight = FontWeight::Bold;
    FlexBox body = box({Text{true, {hi}}});
    body.spacing = "md";
    EXPECT_EQ(to_json(FlexMessage{"Hi", Bubble{body, {}}}),
              R"({"type":"flex","altText":"Hi","contents":{"type":"bubble","body":{"type":"box","layout":"vertical",)"
              R"("contents":[{"type":"text","wrap":true,"contents":[{"type":"span","text":"Hi","weight":"bold"}]}],)"
              R"("spacing":"md"}}})");

    FlexBox footer = box({Button{UriAction{"Go", "u"}}});
    footer.spacing = "sm";
    footer.backgroundColor = "#F0F0F0";
    EXPECT_EQ(to_json(footer),
              R"({"type":"box","layout":"vertical","contents":[{"type":"button","action":{"type":"uri",)"
              R"("label":"Go","uri":"u"},"style":"link","height":"sm"}],"spacing":"sm","backgroundColor":"#F0F0F0"})");

    EXPECT_EQ(to_json(Bubble{}), R"({"type":"bubble"})");
    EXPECT_EQ(to_json(FlexMessage{}), R"({"type":"flex","altText":"","contents":{"type":"bubble"}})");
}

TEST(JsonForm, BodyComesBeforeFooter) {
    const Bubble bubble{box({}), box({Separator{}})};
    EXPECT_EQ(to_json(bubble),
              R"({"type":"bubble","body":{"type":"box","layout":"vertical","contents":[]},)"
              R"("footer":{"type":"box","layout":"vertical","contents":[{"type":"separator"}]}})");
}

TEST(JsonWriterEscapes, EveryByteValue) {
    const std::pair<unsigned char, std::string_view> short_forms[] = {
        {0x08, "\\b"}, {0x09, "\\t"}, {0x0A, "\\n"}, {0x0C, "\\f"}, {0x0D, "\\r"}, {0x22, "\\\""}, {0x5C, "\\\\"}};
    for (unsigned value = 0; value < 256; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        std::string expected(1, static_cast<char>(byte));
        for (const auto& [escaped_byte, form] : short_forms) {
            if (escaped_byte == byte) expected = form;
        }
        if (byte < 0x20 && expected.size() == 1) {
            char long_form[8];
            std::snprintf(long_form, sizeof long_form, "\\u%04x", value);
            expected = long_form;
        }
        const char raw = static_cast<char>(byte);
        EXPECT_EQ(json_string(testing::concat({"a", std::string_view(&raw, 1), "z"})),
                  testing::concat({"\"a", expected, "z\""}))
            << "byte " << value;
    }
}

TEST(JsonWriterEscapes, AtEveryPlaceOfALongerText) {
    // Texts of eight bytes and more are searched a word at a time.
    for (unsigned value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const std::string escaped = json_string(std::string_view(&byte, 1));
        for (std::size_t at = 0; at < 20; ++at) {
            std::string text(20, 'x');
            text[at] = byte;
            text[19 - at] = value == 0x22 ? '\\' : '"';  // a second escape further on, or before
            std::string expected = "\"";
            for (std::size_t i = 0; i < text.size(); ++i) {
                expected += i == at ? escaped.substr(1, escaped.size() - 2)
                                    : json_string(text.substr(i, 1)).substr(1, json_string(text.substr(i, 1)).size() - 2);
            }
            expected += "\"";
            ASSERT_EQ(json_string(text), expected) << "byte " << value << " at " << at;
            ASSERT_EQ(json_escaped_size(text) + 2, expected.size()) << "byte " << value << " at " << at;
        }
    }
}

TEST(JsonWriterEscapes, TextsLongerThanTheSinksRoomGoInWholeCharacters) {
    // Escaped a byte at a time, for comparison.
    const auto escaped = [](std::string_view text) {
        std::string out = "\"";
        for (const char c : text) out += json_string(std::string_view(&c, 1)).substr(1, json_string(std::string_view(&c, 1)).size() - 2);
        return out + "\"";
    };
    std::string mixed;
    for (int i = 0; i < 900; ++i) mixed += i % 7 == 0 ? "\"日" : "é😀a";
    const std::string continuation_bytes(5000, '\x80');  // malformed: no character boundary at all
    for (const std::string& text : {mixed, continuation_bytes, std::string(10000, '\n')}) {
        EXPECT_EQ(json_string(text), escaped(text));
        EXPECT_EQ(json_escaped_size(text) + 2, escaped(text).size());
    }
}

TEST(JsonWriterEscapes, NamedCases) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", R"("")"},
        {"\t\n\"", R"("\t\n\"")"},
        {std::string_view("a\0b", 3), R"("a\u0000b")"},
        {"\x0b\x0c\x1b\x1f\x7f", "\"\\u000b\\f\\u001b\\u001f\x7f\""},
        {"a/b", R"("a/b")"},
        {"é日😀", "\"é日😀\""},
        {"\r\n", R"("\r\n")"},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(json_string(text), json);
}

TEST(JsonForm, SpanMembersFollowDeclaredOrderWhateverTheOrderTheyWereSet) {
    Span set_backwards = span("t");
    set_backwards.size = "sm";
    set_backwards.color = "#CC0000";
    set_backwards.decoration = TextDecoration::LineThrough;
    set_backwards.style = FontStyle::Italic;
    set_backwards.weight = FontWeight::Regular;
    EXPECT_EQ(to_json(set_backwards),
              R"({"type":"span","text":"t","weight":"regular","style":"italic","decoration":"line-through",)"
              R"("color":"#CC0000","size":"sm"})");

    EXPECT_EQ(to_json(span("")), R"({"type":"span","text":""})");
    Span none = span("x");
    none.decoration = TextDecoration::None;
    none.style = FontStyle::Normal;
    EXPECT_EQ(to_json(none), R"({"type":"span","text":"x","style":"normal","decoration":"none"})");
    Span underline = span("x");
    underline.decoration = TextDecoration::Underline;
    EXPECT_EQ(to_json(underline), R"({"type":"span","text":"x","decoration":"underline"})");
}

TEST(JsonForm, ComponentsAndLists) {
    EXPECT_EQ(to_json(Component{Separator{}}), R"({"type":"separator"})");
    EXPECT_EQ(to_json(Component{Text{false, {}}}), R"({"type":"text","wrap":false,"contents":[]})");
    EXPECT_EQ(to_json(Component{Text{true, {span("a"), span("b"), span("c")}}}),
              R"({"type":"text","wrap":true,"contents":[{"type":"span","text":"a"},)"
              R"({"type":"span","text":"b"},{"type":"span","text":"c"}]})");
    EXPECT_EQ(to_json(UriAction{"a\"b", "https://x/y?q=1\\"}),
              R"({"type":"uri","label":"a\"b","uri":"https://x/y?q=1\\"})");
}

FlexMessage sample_message() {
    Span bold = span("b\n");
    bold.weight = FontWeight::Bold;
    FlexBox body = box({Text{true, {bold, span("\"q\"")}}, Separator{}});
    body.spacing = "md";
    FlexBox footer = box({Button{UriAction{"L", "u"}}});
    footer.backgroundColor = "#F0F0F0";
    return FlexMessage{"alt\ttext", Bubble{body, footer}};
}

TEST(JsonWriterFailure, StopsAtTheFirstFailedWrite) {
    const FlexMessage message = sample_message();
    const std::string full = to_json(message);
    testing::FailingSink unlimited(SIZE_MAX);
    ASSERT_FALSE(write_json(message, unlimited));
    ASSERT_EQ(unlimited.written(), full);

    for (std::size_t capacity = 0; capacity < unlimited.calls(); ++capacity) {
        testing::FailingSink sink(capacity);
        const auto failure = write_json(message, sink);
        ASSERT_TRUE(failure) << capacity;
        EXPECT_EQ(failure->description, sink.describe_failure());
        EXPECT_EQ(sink.calls(), capacity + 1) << "the sink was called after it failed";
        EXPECT_TRUE(full.starts_with(sink.written()));
    }
}

// Random records with awkward strings: the text must be compact JSON that
// reads back as the same record.
class RecordGenerator {
public:
    explicit RecordGenerator(std::uint32_t seed) : text_(seed) {}

    FlexMessage message() {
        FlexMessage m;
        m.altText = string();
        if (coin()) m.contents.body = flex_box();
        if (coin()) m.contents.footer = flex_box();
        return m;
    }

private:
    bool coin() { return text_.pick(2) == 0; }

    std::string string() {
        static constexpr std::string_view EXTRA[] = {" ", "\t", "\n", "\"", "\\", "/", "\x01", "\x7f", "{}", ":,"};
        std::string s = text_.markup(6);
        if (coin()) s += EXTRA[text_.pick(std::size(EXTRA))];
        return s;
    }

    template <class T>
    std::optional<T> maybe(T value) {
        return coin() ? std::optional<T>(value) : std::nullopt;
    }

    FlexBox flex_box() {
        FlexBox b;
        for (std::size_t i = text_.pick(4); i > 0; --i) b.contents.push_back(component());
        if (coin()) b.spacing = string();
        if (coin()) b.backgroundColor = string();
        return b;
    }

    Component component() {
        switch (text_.pick(3)) {
        case 0: {
            Text t{coin(), {}};
            for (std::size_t i = text_.pick(4); i > 0; --i) {
                Span s = span(string());
                s.weight = maybe(coin() ? FontWeight::Bold : FontWeight::Regular);
                s.style = maybe(coin() ? FontStyle::Italic : FontStyle::Normal);
                s.decoration = maybe(static_cast<TextDecoration>(text_.pick(3)));
                if (coin()) s.color = string();
                if (coin()) s.size = string();
                t.contents.push_back(std::move(s));
            }
            return t;
        }
        case 1:
            return Button{UriAction{string(), string()}};
        default:
            return Separator{};
        }
    }

    testing::TextGenerator text_;
};

TEST(JsonFormProperties, CompactAndReadsBackAsTheSameRecord) {
    RecordGenerator generate(42);
    for (int i = 0; i < 5000; ++i) {
        const FlexMessage message = generate.message();
        const std::string json = to_json(message);
        ASSERT_TRUE(testing::has_no_whitespace_outside_strings(json)) << json;
        const auto read_back = testing::read_flex_message(json);
        ASSERT_TRUE(read_back) << json;
        ASSERT_EQ(*read_back, message) << json;
    }
}

}  // namespace
}  // namespace quenra
