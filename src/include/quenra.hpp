// quenra: Telegram MarkdownV2 text to a LINE Flex Message as compact JSON.
//
// For C++ programs that link the core library:
//
//     #include <quenra.hpp>
//     std::string json = quenra::quenra_json_with_options("*Hi*", {true, true});
//     std::vector<std::string> messages = quenra::split("*Hi*", {true, true});
//
// `quenra_json_with_options` is the exact conversion. `split` and `check` help
// to deliver its results: LINE refuses a whole message that breaks one of its
// limits. Every operation keeps no state, reads nothing but its arguments and
// may run on any number of threads at once.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <quenra/internal_failure.hpp>

namespace quenra {

// The two switches of a conversion, one byte each, in this order.
struct ConvertOptions {
    // A link that ends its line leaves the running text and is shown only as a
    // footer button.
    bool standalone_links_as_buttons;
    // Links shown in the running text are coloured and underlined.
    bool decorate_links;
};
static_assert(sizeof(ConvertOptions) == 2);

// Converts `text` (UTF-8, any length) to the JSON text of one Flex message:
// compact, starting with {"type":"flex","altText": and with no line break at
// the end. Every text yields a message. Throws `InternalFailure` only when an
// invariant of the library is broken.
std::string quenra_json_with_options(std::string_view text, const ConvertOptions& options);

// LINE's limits on a Flex message, with the values LINE documents.
struct LineLimits {
    // `altText`, in UTF-16 code units (as the Messaging API counts).
    std::size_t alt_text = 1500;
    // A button's URI, in UTF-16 code units.
    std::size_t uri = 1000;
    // A button's label, in grapheme clusters (UAX #29).
    std::size_t label = 40;
    // The bubble's compact JSON text, in bytes of UTF-8.
    std::size_t bubble_bytes = 30000;
    // The URI schemes a button may open, compared without regard to case.
    std::vector<std::string> uri_schemes{"http", "https", "line", "tel"};
    // The text that a button copies, in UTF-16 code units.
    std::size_t clipboard_text = 1000;
};

// Why `limits` cannot be worked with (room in altText for any one character,
// every other limit at least 1, a bubble large enough for one button of the
// longest URI, valid scheme names), or nothing when it can.
std::optional<std::string> limits_problem(const LineLimits& limits);

// What in a message breaks one of LINE's limits or is refused outright.
struct Problem {
    // Stable and machine-readable, such as "alt_text_too_long".
    std::string code;
    // The JSON Pointer of the offending value, such as "/altText".
    std::string path;
    // One line for people, with the measured value and the limit.
    std::string message;

    friend bool operator==(const Problem&, const Problem&) = default;
};

// Raised by `check` for JSON text it cannot read as a Flex message of the
// shape this library writes; `what()` names what it could not read.
class UnreadableMessage : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Raised by `split` and `check` for limits that `limits_problem` refuses.
class InvalidLimits : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The conversion of `text` as Flex messages that LINE accepts, in reading
// order: exactly { quenra_json_with_options(text, options) } when that passes
// every limit; else repaired and cut into consecutive messages. Empty when
// the text shows nothing.
std::vector<std::string> split(std::string_view text, const ConvertOptions& options,
                               const LineLimits& limits = {});

// The problems of one Flex message's JSON text (empty when LINE accepts it).
// A message that passes is one that `split` leaves alone.
std::vector<Problem> check(std::string_view message_json, const LineLimits& limits = {});

}  // namespace quenra
