// The JSON text of a message as the writer writes it from its parts, and
// the JSON writer's escaping.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "concat.hpp"
#include "convert/build.hpp"
#include "failing_sink.hpp"
#include "flex_json.hpp"
#include "flex_model.hpp"
#include "json_text.hpp"
#include "text_generator.hpp"

namespace quenra {
namespace {

using testing::message_json;

std::string json_string(std::string_view text) {
    std::string out;
    StringSink sink(out);
    JsonWriter<StringSink> writer(sink);
    EXPECT_TRUE(writer.string(text));
    sink.flush();
    return out;
}

// Tells a message of the given spans in one text component, and buttons.
template <class Out>
void tell_sample(Out& out, std::vector<std::pair<std::string_view, Look>> spans,
                 std::vector<std::pair<std::string_view, std::string_view>> buttons, std::string_view alt_text) {
    out.begin_message(alt_text, false);
    if (!spans.empty()) {
        out.begin_box(Box::Body);
        out.begin_frame(Frame{});
        for (const auto& [text, look] : spans) {
            out.begin_span();
            out.span_text(text);
            out.end_span(look);
        }
        out.end_frame(Frame{});
        out.end_box(Box::Body);
    }
    if (!buttons.empty()) {
        out.begin_box(Box::Footer);
        for (const auto& [label, uri] : buttons) out.button(label, uri);
        out.end_box(Box::Footer);
    }
    out.end_message();
}

TEST(MessageJson, ExactLines) {
    EXPECT_EQ(message_json([](auto& out) { tell_sample(out, {{"Hi", Look().with_bold()}}, {}, "Hi"); }),
              R"({"type":"flex","altText":"Hi","contents":{"type":"bubble","body":{"type":"box","layout":"vertical",)"
              R"("contents":[{"type":"text","wrap":true,"contents":[{"type":"span","text":"Hi","weight":"bold"}]}],)"
              R"("spacing":"md"}}})");
    EXPECT_EQ(message_json([](auto& out) { tell_sample(out, {}, {{"Go", "u"}}, ""); }),
              R"({"type":"flex","altText":"","contents":{"type":"bubble","footer":{"type":"box","layout":"vertical",)"
              R"("contents":[{"type":"button","action":{"type":"uri","label":"Go","uri":"u"},"style":"link",)"
              R"("height":"sm"}],"spacing":"sm","backgroundColor":"#F0F0F0"}}})");
    EXPECT_EQ(message_json([](auto& out) { tell_sample(out, {}, {}, ""); }),
              R"({"type":"flex","altText":"","contents":{"type":"bubble"}})");
}

TEST(MessageJson, EveryLookIsWrittenAsItsMembersInTheirOrder) {
    int looks = 0;
    for (const bool bold : {false, true}) {
        for (const bool italic : {false, true}) {
            for (int decoration = 0; decoration < 3; ++decoration) {
                for (int color = 0; color < 5; ++color) {
                    for (int size = 0; size < 3; ++size) {
                        const Look look{bold, italic, static_cast<Look::Decoration>(decoration),
                                        static_cast<Look::Color>(color), static_cast<Look::Size>(size)};
                        const std::string json = message_json([&](auto& out) { tell_sample(out, {{"t", look}}, {}, "t"); });
                        const auto message = testing::read_flex_message(json);
                        ASSERT_TRUE(message) << json;
                        EXPECT_EQ(std::get<Text>(message->contents.body->contents[0]).contents[0],
                                  testing::span_of("t", look))
                            << json;
                        ++looks;
                    }
                }
            }
        }
    }
    EXPECT_EQ(looks, 180);
}

// Random parts with awkward strings, told to two takers alike.
class PartsGenerator {
public:
    explicit PartsGenerator(std::uint32_t seed) : seed_(seed) {}

    template <class Out>
    void tell(Out& out) {
        text_ = testing::TextGenerator(seed_);
        out.begin_message(string(), false);
        for (const Box box : {Box::Body, Box::Footer}) {
            if (!coin()) continue;
            out.begin_box(box);
            for (std::size_t i = text_.pick(4); i > 0; --i) component(out, box == Box::Body);
            out.end_box(box);
        }
        out.end_message();
    }

private:
    bool coin() { return text_.pick(2) == 0; }

    std::string string() {
        static constexpr std::string_view EXTRA[] = {" ", "\t", "\n", "\"", "\\", "/", "\x01", "\x7f", "{}", ":,"};
        std::string s = text_.markup(6);
        if (coin()) s += EXTRA[text_.pick(std::size(EXTRA))];
        return s;
    }

    template <class Out>
    void component(Out& out, bool may_quote) {
        switch (text_.pick(may_quote ? 4 : 3)) {
        case 0:
            text(out);
            break;
        case 1:
            out.button(string(), string());
            break;
        case 2:
            out.separator();
            break;
        default:
            out.begin_frame(QUOTE_FRAME);
            out.begin_frame(QUOTE_CONTENTS_FRAME);
            for (std::size_t i = text_.pick(3) + 1; i > 0; --i) text(out);
            out.end_frame(QUOTE_CONTENTS_FRAME);
            out.end_frame(QUOTE_FRAME);
        }
    }

    template <class Out>
    void text(Out& out) {
        out.begin_frame(Frame{});
        for (std::size_t i = text_.pick(4); i > 0; --i) {
            out.begin_span();
            for (std::size_t piece = text_.pick(3); piece > 0; --piece) out.span_text(string());
            out.end_span(Look(coin(), coin(), static_cast<Look::Decoration>(text_.pick(3)),
                              static_cast<Look::Color>(text_.pick(5)), static_cast<Look::Size>(text_.pick(3))));
        }
        out.end_frame(Frame{});
    }

    std::uint32_t seed_;
    testing::TextGenerator text_{0};
};

TEST(MessageJsonProperties, CompactAndReadsBackAsTheMessageTold) {
    for (std::uint32_t seed = 0; seed < 5000; ++seed) {
        PartsGenerator generate(seed);
        testing::RecordsOf records;
        generate.tell(records);
        const std::string json = message_json([&](auto& out) { generate.tell(out); });
        ASSERT_TRUE(testing::has_no_whitespace_outside_strings(json)) << json;
        const auto read_back = testing::read_flex_message(json);
        ASSERT_TRUE(read_back) << json;
        ASSERT_EQ(*read_back, records.message()) << json;
    }
}

TEST(MessageJson, WritingStopsAtTheFirstFailedWrite) {
    const auto tell = [](auto& out) {
        tell_sample(out, {{"b\n", Look().with_bold()}, {"\"q\"", Look{}}}, {{"L", "u"}}, "alt\ttext");
    };
    const std::string full = message_json(tell);
    testing::FailingSink unlimited(SIZE_MAX);
    write_message(unlimited, tell);
    ASSERT_EQ(unlimited.written(), full);

    for (std::size_t capacity = 0; capacity < unlimited.calls(); ++capacity) {
        testing::FailingSink sink(capacity);
        try {
            write_message(sink, tell);
            FAIL() << "no failure raised after " << capacity;
        } catch (const InternalFailure& failure) {
            EXPECT_EQ(failure.message(), "FlexMessage serialization failed: " + sink.describe_failure());
        }
        EXPECT_EQ(sink.calls(), capacity + 1) << "the sink was called after it failed";
        EXPECT_TRUE(full.starts_with(sink.written()));
    }
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

}  // namespace
}  // namespace quenra
