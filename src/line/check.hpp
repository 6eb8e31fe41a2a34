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
    SpanEmpty, LabelEmpty, LabelTooLong, UriScheme, UriCharacters, UriTooLong, ClipboardTextEmpty,
    ClipboardTextTooLong,
};

// Finds what LINE refuses in a message as its parts are told (a MessageOut),
// in the order of its JSON text. Paths and messages are made only for the
// problems found, and only when they are kept: a finder that only judges
// (`keep` false) allocates nothing.
class ProblemFinder {
public:
    explicit ProblemFinder(const LineLimits& limits, bool keep = true) noexcept : limits_(limits), keep_(keep) {}

    void begin_message(std::string_view alt_text, bool right_to_left);
    void begin_box(Box box);
    void end_box(Box box);
    void begin_frame(const Frame& frame);
    void end_frame(const Frame& frame);
    void begin_span() noexcept { span_bytes_ = 0; }
    void span_text(std::string_view characters) noexcept { span_bytes_ += characters.size(); }
    void end_span(const Look& look);
    void button(std::string_view label, std::string_view uri);
    void clipboard(std::string_view label, std::string_view text);
    void separator() noexcept { ++next_[depth_]; }
    void end_message() noexcept {}

    // Once the whole message has been told and its bubble, `bubble_bytes`
    // long, measured: the problems (when kept), or whether there are any of
    // other codes than those `allowed`.
    std::vector<Problem> take(std::size_t bubble_bytes);
    bool finds_only(std::size_t bubble_bytes, std::initializer_list<ProblemCode> allowed = {}) const noexcept;

private:
    // The path of the box or frame at `depth`: 0 for the body or footer.
    std::string path_at(std::size_t depth) const;
    // The path of the component being told at the depth open.
    std::string component_path() const { return path_at(depth_) + "/contents/" + std::to_string(next_[depth_]); }
    // Records a problem; `path` and `message` make their texts, when called.
    template <class Path, class Message>
    void add(ProblemCode code, Path&& path, Message&& message);
    // The problems of a button's label.
    void check_label(std::string_view label);

    const LineLimits& limits_;
    bool keep_;
    std::uint32_t found_ = 0;  // a bit per ProblemCode
    std::vector<Problem> problems_;
    std::size_t message_problems_ = 0;  // the altText's, which come before the bubble's
    bool body_ = false;
    bool footer_ = false;
    Box box_ = Box::Body;
    // The frames open in the box: `depth_` of them. next_[d] is the index of
    // the next component at depth d (in the box at 0, in the frame open at
    // d - 1 beyond), which for a frame open there is its own.
    std::size_t depth_ = 0;
    std::array<std::uint32_t, MAX_FRAME_DEPTH + 1> next_{};
    std::size_t span_ = 0;  // in the text component: the next one's index
    std::size_t span_bytes_ = 0;
};

// A size limit of LineLimits: its name, and the least value it may take.
struct SizeLimit {
    std::string_view name;
    std::size_t LineLimits::*field;
    std::string_view least;  // in words
    // Limits that objects made before it was known may lack: theirs is
    // then LINE's own.
    bool optional;
};
extern const std::array<SizeLimit, 5> SIZE_LIMITS;

// Why `value`, written as a number, is out of range for `limit`: the one
// wording of every such fault.
std::string size_limit_problem(const SizeLimit& limit, std::string_view value);

// Raises InvalidLimits unless `limits` can be worked with.
void require_valid(const LineLimits& limits);

}  // namespace quenra::line
