#include "line/check.hpp"

#include <array>
#include <string>

#include "line/read_json.hpp"
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

std::string too_long(std::string_view what, std::size_t measured, std::string_view unit, std::size_t limit) {
    return std::string(what) + " is " + std::to_string(measured) + " " + std::string(unit) + " long; the limit is " +
           std::to_string(limit);
}

// The grapheme clusters of `text`, which are never more than its bytes: a
// text within `limit` bytes is within the limit without counting them.
std::size_t clusters_up_to(std::string_view text, std::size_t limit) noexcept {
    return text.size() <= limit ? text.size() : grapheme_count(text);
}

// The UTF-16 code units of `text`, of which no byte counts more than two
// (malformed ones included): a text within half `limit` bytes is within the
// limit without counting them.
std::size_t units_up_to(std::string_view text, std::size_t limit) noexcept {
    return text.size() <= limit / 2 ? text.size() : utf16_length(text);
}

}  // namespace

constexpr std::array<std::string_view, 14> CODE_NAMES{
    "alt_text_empty", "alt_text_too_long", "bubble_empty",   "bubble_too_large", "box_empty",
    "text_without_spans", "span_empty",    "label_empty",    "label_too_long",   "uri_scheme",
    "uri_characters", "uri_too_long",      "clipboard_text_empty", "clipboard_text_too_long",
};

constexpr std::uint32_t bit(ProblemCode code) noexcept { return std::uint32_t{1} << static_cast<unsigned>(code); }

std::string name(ProblemCode code) { return std::string(CODE_NAMES[static_cast<std::size_t>(code)]); }

template <class Path, class Message>
void ProblemFinder::add(ProblemCode code, Path&& path, Message&& message) {
    found_ |= bit(code);
    if (keep_) problems_.push_back(Problem{name(code), path(), message()});
}

std::string ProblemFinder::path_at(std::size_t depth) const {
    std::string path = box_ == Box::Body ? "/contents/body" : "/contents/footer";
    for (std::size_t level = 0; level < depth; ++level) path += "/contents/" + std::to_string(next_[level]);
    return path;
}

void ProblemFinder::begin_message(std::string_view alt_text, bool /*right_to_left*/) {
    const auto path = [] { return std::string("/altText"); };
    if (alt_text.empty()) add(ProblemCode::AltTextEmpty, path, [] { return std::string("altText is empty"); });
    if (const std::size_t units = units_up_to(alt_text, limits_.alt_text); units > limits_.alt_text) {
        add(ProblemCode::AltTextTooLong, path,
            [&] { return too_long("altText", units, "UTF-16 code units", limits_.alt_text); });
    }
    message_problems_ = problems_.size();
}

void ProblemFinder::begin_box(Box box) {
    (box == Box::Body ? body_ : footer_) = true;
    box_ = box;
    depth_ = 0;
    next_[0] = 0;
}

void ProblemFinder::end_box(Box /*box*/) {
    if (next_[0] == 0) add(ProblemCode::BoxEmpty, [&] { return path_at(0); }, [] { return std::string("the box has no components"); });
}

void ProblemFinder::begin_frame(const Frame& frame) {
    if (depth_ == MAX_FRAME_DEPTH) fail("frames nest deeper than a message may");
    next_[++depth_] = frame.kind == Frame::Kind::Box && frame.box.bar ? 1 : 0;
    span_ = 0;
}

void ProblemFinder::end_frame(const Frame& frame) {
    if (frame.kind == Frame::Kind::Text && span_ == 0) {
        add(ProblemCode::TextWithoutSpans, [&] { return path_at(depth_); },
            [] { return std::string("the text component has no spans"); });
    }
    ++next_[--depth_];
}

void ProblemFinder::end_span(const Look& /*look*/) {
    if (span_bytes_ == 0) {
        add(ProblemCode::SpanEmpty, [&] { return path_at(depth_) + "/contents/" + std::to_string(span_) + "/text"; },
            [] { return std::string("the span's text is empty"); });
    }
    ++span_;
}

void ProblemFinder::check_label(std::string_view label) {
    const auto path = [this] { return component_path() + "/action/label"; };
    if (is_blank(label)) {
        add(ProblemCode::LabelEmpty, path, [] { return std::string("the label is empty or white space"); });
    }
    if (const std::size_t clusters = clusters_up_to(label, limits_.label); clusters > limits_.label) {
        add(ProblemCode::LabelTooLong, path,
            [&] { return too_long("the label", clusters, "grapheme clusters", limits_.label); });
    }
}

void ProblemFinder::button(std::string_view label, std::string_view uri) {
    check_label(label);
    const auto path = [this] { return component_path() + "/action/uri"; };
    const auto scheme = uri_scheme(uri);
    if (!scheme) {
        add(ProblemCode::UriScheme, path, [&] { return "the URI has no scheme; allowed: " + allowed_schemes(limits_); });
    } else if (!scheme_allowed(*scheme, limits_)) {
        add(ProblemCode::UriScheme, path, [&] {
            return "the URI's scheme \"" + std::string(*scheme) + "\" is not allowed; allowed: " +
                   allowed_schemes(limits_);
        });
    }
    if (const std::size_t at = first_byte_outside_uri_syntax(uri); at != std::string_view::npos) {
        add(ProblemCode::UriCharacters, path, [&] {
            return "the URI has a character that RFC 3986 does not allow: " +
                   code_point_name(first_code_point(uri.substr(at)).value) + " at byte " + std::to_string(at);
        });
    }
    if (const std::size_t units = units_up_to(uri, limits_.uri); units > limits_.uri) {
        add(ProblemCode::UriTooLong, path, [&] { return too_long("the URI", units, "UTF-16 code units", limits_.uri); });
    }
    ++next_[depth_];
}

void ProblemFinder::clipboard(std::string_view label, std::string_view text) {
    check_label(label);
    const auto path = [this] { return component_path() + "/action/clipboardText"; };
    if (text.empty()) add(ProblemCode::ClipboardTextEmpty, path, [] { return std::string("the text to copy is empty"); });
    if (const std::size_t units = units_up_to(text, limits_.clipboard_text); units > limits_.clipboard_text) {
        add(ProblemCode::ClipboardTextTooLong, path,
            [&] { return too_long("the text to copy", units, "UTF-16 code units", limits_.clipboard_text); });
    }
    ++next_[depth_];
}

bool ProblemFinder::finds_only(std::size_t bubble_bytes, std::initializer_list<ProblemCode> allowed) const noexcept {
    std::uint32_t found = found_;
    if (!body_ && !footer_) found |= bit(ProblemCode::BubbleEmpty);
    if (bubble_bytes > limits_.bubble_bytes) found |= bit(ProblemCode::BubbleTooLarge);
    for (const ProblemCode code : allowed) found &= ~bit(code);
    return found == 0;
}

std::vector<Problem> ProblemFinder::take(std::size_t bubble_bytes) {
    // The bubble's own problems come after the altText's.
    std::vector<Problem> bubble;
    if (!body_ && !footer_) {
        bubble.push_back(Problem{name(ProblemCode::BubbleEmpty), "/contents", "the bubble has neither body nor footer"});
    }
    if (bubble_bytes > limits_.bubble_bytes) {
        bubble.push_back(Problem{name(ProblemCode::BubbleTooLarge), "/contents",
                                 "the bubble's JSON is " + std::to_string(bubble_bytes) + " bytes; the limit is " +
                                     std::to_string(limits_.bubble_bytes)});
    }
    const auto at = problems_.begin() + static_cast<std::ptrdiff_t>(message_problems_);
    problems_.insert(at, std::make_move_iterator(bubble.begin()), std::make_move_iterator(bubble.end()));
    return std::move(problems_);
}

void require_valid(const LineLimits& limits) {
    if (const auto problem = limits_problem(limits)) throw InvalidLimits(*problem);
}

}  // namespace line

namespace line {

static_assert(BUTTON_ROOM == 1024, "the words for bubble_bytes' least value name it");
const std::array<SizeLimit, 5> SIZE_LIMITS{{
    {"alt_text", &LineLimits::alt_text, "at least 2 (room for any one character)", false},
    {"uri", &LineLimits::uri, "at least 1", false},
    {"label", &LineLimits::label, "at least 1", false},
    {"bubble_bytes", &LineLimits::bubble_bytes, "at least uri + 1024 (room for one button)", false},
    {"clipboard_text", &LineLimits::clipboard_text, "at least 1", true},
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
    line::ProblemFinder finder(limits);
    const line::ReadResult read = line::read_message(message_json, finder);
    if (!read.bubble_bytes) throw UnreadableMessage(read.error);
    return finder.take(*read.bubble_bytes);
}

}  // namespace quenra
