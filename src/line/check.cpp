#include "line/check.hpp"

#include <string>

#include "flex/read_json.hpp"
#include "flex/serialize.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"
#include "line/uri.hpp"

namespace quenra {

namespace line {

namespace {

// Room that a bubble needs beyond the longest URI for one button and its box.
constexpr std::size_t BUTTON_ROOM = 1024;

std::string allowed_schemes(const LineLimits& limits) {
    std::string out;
    for (const std::string& scheme : limits.uri_schemes) out.append(out.empty() ? "" : ", ").append(scheme);
    return out;
}

std::string code_point_name(char32_t value) {
    constexpr std::string_view HEX = "0123456789ABCDEF";
    std::string digits;
    for (; value != 0 || digits.size() < 4; value >>= 4) digits.insert(digits.begin(), HEX[value & 0xF]);
    return "U+" + digits;
}

// Walks a message in the order of its JSON text. Paths and messages are made
// only for the problems found, so that a message without any costs no
// allocation.
class ProblemList {
public:
    explicit ProblemList(const LineLimits& limits) : limits_(limits) {}

    void message(const FlexMessage& message, std::size_t bubble_bytes) {
        if (message.altText.empty()) add("alt_text_empty", "/altText", "altText is empty");
        if (const std::size_t alt_units = measured(message.altText, limits_.alt_text, utf16_length);
            alt_units > limits_.alt_text) {
            add("alt_text_too_long", "/altText", too_long("altText", alt_units, "UTF-16 code units", limits_.alt_text));
        }
        const Bubble& bubble = message.contents;
        if (!bubble.body && !bubble.footer) add("bubble_empty", "/contents", "the bubble has neither body nor footer");
        if (bubble_bytes > limits_.bubble_bytes) {
            add("bubble_too_large", "/contents",
                "the bubble's JSON is " + std::to_string(bubble_bytes) + " bytes; the limit is " +
                    std::to_string(limits_.bubble_bytes));
        }
        if (bubble.body) box(*bubble.body, "/contents/body");
        if (bubble.footer) box(*bubble.footer, "/contents/footer");
    }

    std::vector<Problem> take() { return std::move(problems_); }

private:
    static std::string too_long(std::string_view what, std::size_t measured, std::string_view unit,
                                std::size_t limit) {
        return std::string(what) + " is " + std::to_string(measured) + " " + std::string(unit) +
               " long; the limit is " + std::to_string(limit);
    }
    // `measure(text)`, which never exceeds the text's length in bytes (UTF-16
    // code units and grapheme clusters both don't): a text within `limit`
    // bytes is within the limit without measuring.
    template <class Measure>
    static std::size_t measured(std::string_view text, std::size_t limit, Measure&& measure) {
        return text.size() <= limit ? text.size() : measure(text);
    }

    static std::string item(std::string_view box, std::size_t component) {
        return std::string(box) + "/contents/" + std::to_string(component);
    }

    void add(std::string_view code, std::string path, std::string text) {
        problems_.push_back(Problem{std::string(code), std::move(path), std::move(text)});
    }

    void box(const FlexBox& box, std::string_view path) {
        if (box.contents.empty()) add("box_empty", std::string(path), "the box has no components");
        for (std::size_t i = 0; i < box.contents.size(); ++i) {
            if (const auto* text = std::get_if<Text>(&box.contents[i])) {
                this->text(*text, path, i);
            } else if (const auto* button = std::get_if<Button>(&box.contents[i])) {
                action(button->action, path, i);
            }
        }
    }

    void text(const Text& text, std::string_view box, std::size_t component) {
        if (text.contents.empty()) add("text_without_spans", item(box, component), "the text component has no spans");
        for (std::size_t i = 0; i < text.contents.size(); ++i) {
            if (text.contents[i].text.empty()) {
                add("span_empty", item(box, component) + "/contents/" + std::to_string(i) + "/text",
                    "the span's text is empty");
            }
        }
    }

    void action(const UriAction& action, std::string_view box, std::size_t component) {
        const auto path = [&](std::string_view member) { return item(box, component) + "/action/" + std::string(member); };
        if (is_blank(action.label)) add("label_empty", path("label"), "the label is empty or white space");
        if (const std::size_t clusters = measured(action.label, limits_.label, grapheme_count);
            clusters > limits_.label) {
            add("label_too_long", path("label"), too_long("the label", clusters, "grapheme clusters", limits_.label));
        }
        const std::string_view uri = action.uri;
        const auto scheme = uri_scheme(uri);
        if (!scheme) {
            add("uri_scheme", path("uri"), "the URI has no scheme; allowed: " + allowed_schemes(limits_));
        } else if (!scheme_allowed(*scheme, limits_)) {
            add("uri_scheme", path("uri"),
                "the URI's scheme \"" + std::string(*scheme) + "\" is not allowed; allowed: " +
                    allowed_schemes(limits_));
        }
        if (const std::size_t at = first_byte_outside_uri_syntax(uri); at != std::string_view::npos) {
            add("uri_characters", path("uri"),
                "the URI has a character that RFC 3986 does not allow: " +
                    code_point_name(first_code_point(uri.substr(at)).value) + " at byte " + std::to_string(at));
        }
        if (const std::size_t units = measured(uri, limits_.uri, utf16_length); units > limits_.uri) {
            add("uri_too_long", path("uri"), too_long("the URI", units, "UTF-16 code units", limits_.uri));
        }
    }

    const LineLimits& limits_;
    std::vector<Problem> problems_;
};

}  // namespace

std::vector<Problem> find_problems(const FlexMessage& message, std::size_t bubble_bytes, const LineLimits& limits) {
    ProblemList problems(limits);
    problems.message(message, bubble_bytes);
    return problems.take();
}

void require_valid(const LineLimits& limits) {
    if (const auto problem = limits_problem(limits)) throw InvalidLimits(*problem);
}

}  // namespace line

namespace line {

static_assert(BUTTON_ROOM == 1024, "the words for bubble_bytes' least value name it");
const std::array<SizeLimit, 4> SIZE_LIMITS{{
    {"alt_text", &LineLimits::alt_text, "at least 2 (room for any one character)"},
    {"uri", &LineLimits::uri, "at least 1"},
    {"label", &LineLimits::label, "at least 1"},
    {"bubble_bytes", &LineLimits::bubble_bytes, "at least uri + 1024 (room for one button)"},
}};

namespace {

bool is_least_value(const SizeLimit& limit, const LineLimits& limits) {
    const std::size_t value = limits.*limit.field;
    if (limit.field == &LineLimits::alt_text) return value >= 2;
    if (limit.field == &LineLimits::bubble_bytes) return value >= limits.uri && value - limits.uri >= BUTTON_ROOM;
    return value >= 1;
}

}  // namespace

std::string size_limit_problem(const SizeLimit& limit, std::string_view value) {
    return std::string(limit.name) + " must be " + std::string(limit.least) + ", not " + std::string(value);
}

}  // namespace line

std::optional<std::string> limits_problem(const LineLimits& limits) {
    for (const line::SizeLimit& limit : line::SIZE_LIMITS) {
        if (!line::is_least_value(limit, limits)) return line::size_limit_problem(limit, std::to_string(limits.*limit.field));
    }
    for (const std::string& scheme : limits.uri_schemes) {
        if (!line::is_scheme_name(scheme)) return "\"" + scheme + "\" is not a URI scheme";
    }
    return std::nullopt;
}

std::vector<Problem> check(std::string_view message_json, const LineLimits& limits) {
    line::require_valid(limits);
    ReadResult read = read_flex_message(message_json);
    if (!read.message) throw UnreadableMessage(read.error);
    return line::find_problems(*read.message, json_size(read.message->contents), limits);
}

}  // namespace quenra
