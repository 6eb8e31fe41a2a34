// quenra: Telegram MarkdownV2 text to a LINE Flex Message as compact JSON.
//
// The library's one operation, for C++ programs that link the core library:
//
//     #include <quenra.hpp>
//     std::string json = quenra::quenra_json_with_options("*Hi*", {true, true});
//
// It keeps no state, reads nothing but its arguments and may run on any number
// of threads at once.
#pragma once

#include <string>
#include <string_view>

#include "internal_failure.hpp"

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

}  // namespace quenra
