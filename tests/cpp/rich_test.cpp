// Rich messages given as JSON text: nesting of any depth is refused, never
// recursed into; the JSON reading and the Python objects' reading agree
// (tests/python/test_rich.py covers what the messages show).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include <quenra.hpp>
#include <quenra/telegram.hpp>

namespace quenra::telegram {
namespace {

std::string repeated(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// `open` `depth` times around `inner`, each closed by `close`.
std::string nested(std::string_view open, std::string_view inner, std::string_view close, std::size_t depth) {
    return repeated(open, depth) + std::string(inner) + repeated(close, depth);
}

TEST(RichJson, NestingOfAnyDepthIsRefusedNamingWhy) {
    const std::string paragraph = R"({"type":"paragraph","text":"x"})";
    const struct {
        std::string json;
        std::string_view why;
    } cases[] = {
        {nested("[", "", "]", 10'000), "JSON nested more than"},
        {R"({"blocks":)" + nested("[", "", "]", 10'000) + "}", "JSON nested more than"},
        {R"({"blocks":[)" + nested(R"({"type":"blockquote","blocks":[)", paragraph, "]}", 100) + "]}",
         "nests blocks deeper"},
        {R"({"blocks":[{"type":"paragraph","text":)" + nested(R"({"type":"bold","text":)", "\"x\"", "}", 100) + "}]}",
         "nests text deeper"},
        {R"({"blocks":[{"type":"paragraph","text":)" + nested("[", "\"x\"", "]", 120) + "}]}", "nests text deeper"},
        {R"({"blocks":[)", "invalid JSON at offset"},
        {R"({"blocks":[{"type":"paragraph","text":"x"}]} x)", "invalid JSON at offset"},
    };
    for (const auto& [json, why] : cases) {
        for (const bool split : {false, true}) {
            try {
                if (split) {
                    split_rich(json);
                } else {
                    convert_rich(json);
                }
                ADD_FAILURE() << "accepted: " << json.substr(0, 80);
            } catch (const InvalidRichMessage& refused) {
                EXPECT_NE(std::string_view(refused.what()).find(why), std::string_view::npos) << refused.what();
            }
        }
    }
}

TEST(RichJson, TheDeepestMessageTelegramSendsPasses) {
    const std::string table = R"({"type":"table","cells":[[{"text":"deep","is_header":true}],[{"text":"row"}]]})";
    const std::string json =
        R"({"blocks":[)" + nested(R"({"type":"list","items":[{"label":"","blocks":[)", table, "]}]}", 15) + "]}";
    for (const LineLimits& limits : {LineLimits{}, LineLimits{.alt_text = 40, .bubble_bytes = 2100}}) {
        const auto parts = split_rich(json, true, limits);
        ASSERT_FALSE(parts.empty());
        for (const std::string& part : parts) EXPECT_TRUE(check(part, limits).empty()) << part;
    }
}

// Numbers are read as check reads them: RapidJSON's full-precision reading
// is undefined for a zero with a large exponent.
TEST(RichJson, NumbersOfAnyExponentConvert) {
    const std::string json =
        R"({"blocks":[{"type":"map","location":{"latitude":0e300,"longitude":1e-400},"zoom":1e300}]})";
    const auto parts = split_rich(json);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_NE(parts[0].find("https://www.openstreetmap.org/?mlat=0&mlon=0#map=20/0/0"), std::string::npos) << parts[0];
}

}  // namespace
}  // namespace quenra::telegram
