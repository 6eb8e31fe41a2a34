// The properties that every result of `split` has, checked in one place for
// the property tests and the fuzzer. Each check returns what failed, or an
// empty string.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "flex_json.hpp"
#include "flex_model.hpp"
#include <quenra.hpp>
#include "line/split.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"
#include "line/uri.hpp"

namespace quenra::testing {

namespace split_detail {

// Text with every white space character and every "!" left out.
inline std::string without_space_and_bangs(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const CodePoint point = first_code_point(text);
        if (!is_white_space(point.value) && point.value != '!') out.append(text.substr(0, point.length));
        text.remove_prefix(point.length);
    }
    return out;
}

// The characters that spans show, each with its span's look, white space
// and "!" left out.
struct ShownText {
    std::string text;
    std::vector<Span> looks;  // one per byte of `text`, without their text

    void add(std::string_view characters, const Span& span) {
        const Span look{{}, span.weight, span.style, span.decoration, span.color, span.size};
        const std::string kept = without_space_and_bangs(characters);
        text += kept;
        looks.insert(looks.end(), kept.size(), look);
    }
    void add(const Document& document, const Item& item) { add(document.characters(item), span_of({}, item.look)); }
    void add(const FlexMessage& message) {
        if (!message.contents.body) return;
        for_each_text(*message.contents.body, [&](const Text& component) {
            for (const Span& span : component.contents) add(span.text, span);
        });
    }
    friend bool operator==(const ShownText&, const ShownText&) = default;
};

inline std::vector<UriAction> buttons_of(const Document& document) {
    std::vector<UriAction> out;
    for (const Item& item : document.items) {
        if (item.kind != Item::Kind::Button) continue;
        const ButtonText& button = document.buttons[item.index];
        out.push_back(UriAction{std::string(document.view(button.label)), std::string(document.view(button.uri))});
    }
    return out;
}

inline std::vector<UriAction> buttons_of(const FlexMessage& message) {
    std::vector<UriAction> out;
    if (!message.contents.footer) return out;
    for (const Component& component : message.contents.footer->contents) out.push_back(std::get<Button>(component).action);
    return out;
}

inline std::string joined_labels(const FlexMessage& message) {
    std::string out;
    for (const UriAction& action : buttons_of(message)) out.append(out.empty() ? "" : "\n").append(action.label);
    return out;
}

// True when `part` shows nothing but buttons and its altText is their
// labels, one a line (shortened to the limit with "…").
inline bool alt_text_is_labels(const FlexMessage& part) {
    if (part.contents.body) return false;
    const std::string labels = joined_labels(part);
    if (part.altText == labels) return true;
    constexpr std::string_view ELLIPSIS = "\u2026";
    const std::string_view alt = part.altText;
    return alt.ends_with(ELLIPSIS) && labels.starts_with(alt.substr(0, alt.size() - ELLIPSIS.size()));
}

// True when the parts' altTexts, joined, are `whole` but for white space and
// "!"; a part without a body may instead carry its buttons' labels.
inline bool alt_texts_join(const std::vector<FlexMessage>& parts, const std::string& whole) {
    std::set<std::size_t> reached{0};
    for (const FlexMessage& part : parts) {
        const std::string alt = without_space_and_bangs(part.altText);
        std::set<std::size_t> next;
        for (const std::size_t at : reached) {
            if (whole.compare(at, alt.size(), alt) == 0) next.insert(at + alt.size());
            if (alt_text_is_labels(part)) next.insert(at);
        }
        reached = std::move(next);
    }
    return reached.contains(whole.size());
}

// The same where some of `whole` may be missing: text that shows nowhere (a
// code block inside a styled run or link text) leaves no part when it fills
// parts alone.
inline bool alt_texts_join_with_gaps(const std::vector<FlexMessage>& parts, const std::string& whole) {
    std::size_t at = 0;
    for (const FlexMessage& part : parts) {
        const std::string alt = without_space_and_bangs(part.altText);
        if (const std::size_t found = whole.find(alt, at); found != std::string::npos) {
            at = found + alt.size();
        } else if (!alt_text_is_labels(part)) {
            return false;
        }
    }
    return true;
}

}  // namespace split_detail

// Small limits, from the first bytes of `text`, so that short texts are cut
// and repaired too.
inline LineLimits limits_from_bytes(std::string_view text) {
    const auto byte = [&](std::size_t i) -> std::size_t {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    };
    LineLimits limits;
    limits.alt_text = 2 + byte(0) % 64;
    limits.label = 1 + byte(1) % 16;
    limits.uri = 1 + byte(2) % 64;
    limits.bubble_bytes = limits.uri + 1024 + byte(3) * 4;
    return limits;
}

// `split`'s properties for one text: every part reads back and passes
// `check`; a message that passes is returned alone and unchanged; the parts'
// altTexts join to the whole's, their shown characters and styles to those
// of the repaired document, and their buttons to its buttons; and the same
// text gives the same bytes.
inline std::string split_property_failure(std::string_view text, const ConvertOptions& options,
                                          const LineLimits& limits) {
    using namespace split_detail;
    const std::vector<std::string> parts = split(text, options, limits);
    if (parts != split(text, options, limits)) return "same input, same output";
    const std::string whole = quenra_json_with_options(text, options);
    if (check(whole, limits).empty()) return parts == std::vector{whole} ? "" : "a message that passes is kept alone";

    std::vector<FlexMessage> messages;
    ShownText shown;
    std::vector<UriAction> buttons;
    for (const std::string& part : parts) {
        auto message = read_flex_message(part);
        if (!message) return "a part is compact JSON of a Flex message: " + part;
        if (!check(part, limits).empty()) return "a part passes check: " + part + "\n" + check(part, limits)[0].message;
        shown.add(*message);
        for (UriAction& action : buttons_of(*message)) buttons.push_back(std::move(action));
        messages.push_back(std::move(*message));
    }
    const Document repaired = line::read_repaired(line::MarkdownReading{text, options}, limits, std::pmr::get_default_resource());
    if (line::cut_into_messages(repaired, limits) != line::cut_into_messages(repaired, limits, line::CutSearch::Walking)) {
        return "the search for where messages end finds what walking finds";
    }
    ShownText repaired_shown;
    bool unshown_text = false;
    for (const Item& item : repaired.items) {
        if (item.kind == Item::Kind::Shown) repaired_shown.add(repaired, item);
        if (item.kind == Item::Kind::Hidden && !is_blank(repaired.characters(item))) unshown_text = true;
    }
    const std::string whole_alt = without_space_and_bangs(read_flex_message(whole)->altText);
    if (!(unshown_text ? alt_texts_join_with_gaps : alt_texts_join)(messages, whole_alt)) {
        return "the parts' altTexts join to the whole's";
    }
    if (shown != repaired_shown) return "the parts show the repaired document's characters in its styles";
    if (buttons != buttons_of(repaired)) return "the parts' buttons are the repaired document's";
    return "";
}

// The repaired document against the exact conversion, where both show every
// link in the running text in the style around it: the same characters in
// the same styles, but for the "!" of custom emoji and dates; and the buttons of the
// links LINE accepts, with their URIs and labels repaired.
inline std::string repair_property_failure(std::string_view text, const LineLimits& limits) {
    using namespace split_detail;
    const ConvertOptions options{false, false};
    const FlexMessage exact = *read_flex_message(quenra_json_with_options(text, options));
    ShownText exact_shown, repaired_shown;
    exact_shown.add(exact);
    std::vector<UriAction> expected_buttons;
    for (const UriAction& action : buttons_of(exact)) {
        if (const auto uri = line::repair_uri(action.uri, limits)) {
            expected_buttons.push_back(UriAction{line::repair_label(action.label, *uri, limits), *uri});
        }
    }
    const Document repaired = line::read_repaired(line::MarkdownReading{text, options}, limits, std::pmr::get_default_resource());
    for (const Item& item : repaired.items) {
        if (item.kind == Item::Kind::Shown) repaired_shown.add(repaired, item);
    }
    const std::vector<UriAction> repaired_buttons = buttons_of(repaired);
    if (exact_shown != repaired_shown) return "repairs keep the characters and their styles";
    if (expected_buttons.size() != repaired_buttons.size()) return "a button for every link LINE accepts";
    for (std::size_t i = 0; i < expected_buttons.size(); ++i) {
        const UriAction& expected = expected_buttons[i];
        const UriAction& button = repaired_buttons[i];
        // A label of huge grapheme clusters may be cut further to fit a message.
        const bool label_ok = button.label == expected.label ||
                              (button.label.ends_with("\u2026") && button.label.size() < expected.label.size());
        if (button.uri != expected.uri || !label_ok) return "buttons are the links' with repairs";
    }
    return "";
}

}  // namespace quenra::testing
