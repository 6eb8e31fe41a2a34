// What in a Flex message LINE refuses: the rules that `check` reports and
// that `split` keeps.
#pragma once

#include <array>
#include <cstdint>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flex/message.hpp"
#include <quenra.hpp>

namespace quenra::line {

// What LINE refuses in a message, as `check` names it (Problem::code).
enum class ProblemCode : unsigned char {
    AltTextEmpty, AltTextTooLong, BubbleEmpty, BubbleTooLarge, BoxEmpty, TextWithoutSpans,
    SpanEmpty, LabelEmpty, LabelTooLong, UriScheme, UriCharacters, UriTooLong,
};

// Finds what LINE refuses in a message as its parts are told (a MessageOut),
// in the order of its JSON text. Paths and messages are made only for the
// problems found, and only when they are kept: a finder that only judges
// (`keep` false) allocates nothing.
class ProblemFinder {
public:
    explicit ProblemFinder(const LineLimits& limits, bool keep = true) noexcept : limits_(limits), keep_(keep) {}

    void begin_message(std::string_view alt_text);
    void begin_box(Box box);
    void end_box(Box box);
    void begin_text() noexcept { span_ = 0; }
    void end_text();
    void begin_span() noexcept { span_bytes_ = 0; }
    void span_text(std::string_view characters) noexcept { span_bytes_ += characters.size(); }
    void end_span(const Look& look);
    void button(std::string_view label, std::string_view uri);
    void separator() noexcept { ++component_; }
    // A quote's components come after its bar, in a box of their own.
    void begin_quote() noexcept {
        quote_ = component_;
        component_ = 0;
    }
    void end_quote();
    void end_message() noexcept {}

    // Once the whole message has been told and its bubble, `bubble_bytes`
    // long, measured: the problems (when kept), or whether there are any of
    // other codes than those `allowed`.
    std::vector<Problem> take(std::size_t bubble_bytes);
    bool finds_only(std::size_t bubble_bytes, std::initializer_list<ProblemCode> allowed = {}) const noexcept;

private:
    std::string box_path() const;
    std::string component_path() const;
    // Records a problem; `path` and `message` make their texts, when called.
    template <class Path, class Message>
    void add(ProblemCode code, Path&& path, Message&& message);

    const LineLimits& limits_;
    bool keep_;
    std::uint32_t found_ = 0;  // a bit per ProblemCode
    std::vector<Problem> problems_;
    std::size_t message_problems_ = 0;  // the altText's, which come before the bubble's
    bool body_ = false;
    bool footer_ = false;
    Box box_ = Box::Body;
    std::size_t component_ = 0;  // in the box or quote: the next one's index
    std::optional<std::size_t> quote_;  // the index in the body of the quote open
    std::size_t span_ = 0;       // in the text component: the next one's index
    std::size_t span_bytes_ = 0;
};

// A size limit of LineLimits: its name, and the least value it may take.
struct SizeLimit {
    std::string_view name;
    std::size_t LineLimits::*field;
    std::string_view least;  // in words
};
extern const std::array<SizeLimit, 4> SIZE_LIMITS;

// Why `value`, written as a number, is out of range for `limit`: the one
// wording of every such fault.
std::string size_limit_problem(const SizeLimit& limit, std::string_view value);

// Raises InvalidLimits unless `limits` can be worked with.
void require_valid(const LineLimits& limits);

}  // namespace quenra::line
