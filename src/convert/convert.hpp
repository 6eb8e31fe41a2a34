// Document conversion: one MarkdownV2 text to one Flex message.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "convert/spans.hpp"
#include "flex/model.hpp"
#include <quenra.hpp>

namespace quenra {

inline constexpr std::string_view BODY_SPACING = "md";
inline constexpr std::string_view FOOTER_SPACING = "sm";
inline constexpr std::string_view FOOTER_BACKGROUND = "#F0F0F0";

// The body box (text components) and the footer box (buttons) of a bubble.
inline FlexBox body_box_of(std::vector<Component> components) {
    return FlexBox{std::move(components), std::string(BODY_SPACING), std::nullopt};
}
inline FlexBox footer_box_of(std::vector<Component> buttons) {
    return FlexBox{std::move(buttons), std::string(FOOTER_SPACING), std::string(FOOTER_BACKGROUND)};
}

// All inline content between two code blocks, or a text's start or end; never
// empty.
struct Paragraph {
    std::vector<Span> spans;
};

// The code text of one fenced block, possibly empty.
struct Code {
    std::string text;
};

// One item of the body, in text order.
using Block = std::variant<Paragraph, Code>;

// Reads `text` once: paragraphs of styled spans cut at code blocks, links that
// end their line turned into footer buttons (when asked), every link kept for
// the footer, and the stripped text as the alternative text.
FlexMessage convert(std::string_view text, const ConvertOptions& options);

}  // namespace quenra
