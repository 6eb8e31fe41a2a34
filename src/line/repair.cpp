#include "line/repair.hpp"

#include "flex/write.hpp"
#include "line/uri.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace quenra::line {

LinkReading RepairedLinks::reading(const Link& link, bool after_bang) {
    if (auto uri = repair_uri(link.url, limits_)) {
        uris_.push_back(std::move(*uri));
        return LinkReading::Button;
    }
    return after_bang && is_bang_link(link.url) ? LinkReading::TextWithoutBang : LinkReading::Text;
}

ButtonText RepairedLinks::button(Document& document, const Ref& label, const Link& /*link*/) {
    const std::string uri = std::move(uris_.back());
    uris_.pop_back();
    return repaired_button(document, document.view(label), uri);
}

std::optional<ButtonText> RepairedLinks::standalone_button(Document& document, const Ref& label, const Link& link) {
    const auto uri = repair_uri(link.url, limits_);
    if (!uri || utf16_length(document.view(label)) > limits_.alt_text) return std::nullopt;
    return repaired_button(document, document.view(label), *uri);
}

std::optional<ButtonText> RepairedLinks::lone_button(Document& document, std::string_view label,
                                                     std::string_view target, bool copies) const {
    if (copies) {
        // A text cut short would copy something else; an empty one copies
        // nothing, and a blank one under a blank label leaves no label.
        if (target.empty() || (is_blank(label) && is_blank(target)) || utf16_length(target) > limits_.clipboard_text) {
            return std::nullopt;
        }
        return repaired_button(document, label, target, true);
    }
    const auto uri = repair_uri(target, limits_);
    if (!uri) return std::nullopt;
    return repaired_button(document, label, *uri);
}

ButtonText RepairedLinks::repaired_button(Document& document, std::string_view label, std::string_view target,
                                          bool copies) const {
    std::string shown = repair_label(label, target, limits_);
    // A label of very long grapheme clusters is cut further: a message must
    // be able to hold the button alone.
    for (std::size_t size = lone_button_size(shown, target, copies); size > limits_.bubble_bytes && shown.size() > 3;
         size = lone_button_size(shown, target, copies)) {
        const std::size_t excess = size - limits_.bubble_bytes;
        shown = shorten_to_bytes(shown, shown.size() > excess + 3 ? shown.size() - excess - 3 : 0);
    }
    const Ref kept_label = document.keep(shown);
    return ButtonText{kept_label, document.keep(target), copies};
}

bool needs_no_repair(const Document& exact, const LineLimits& limits) {
    for (const Item& item : exact.items) {
        if (item.kind != Item::Kind::Button) continue;
        const ButtonText& button = exact.buttons[item.index];
        if (item.standalone && utf16_length(exact.characters(item)) > limits.alt_text) return false;
        if (lone_button_size(exact.view(button.label), exact.view(button.uri), button.copies) > limits.bubble_bytes) {
            return false;
        }
    }
    return true;
}

}  // namespace quenra::line
