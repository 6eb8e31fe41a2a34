// The document of a text read for delivery to LINE: links whose URI LINE
// refuses are read as ordinary text (a custom emoji or a date loses its "!"
// too), URIs and labels are repaired, and spans with no characters are left
// out. This is what `split` cuts into messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/build.hpp"
#include "flex/document.hpp"
#include <quenra.hpp>

namespace quenra::line {

// The link policy of a reading for LINE (see convert/build.hpp).
class RepairedLinks {
public:
    static constexpr bool KEEPS_EMPTY_SPANS = false;

    explicit RepairedLinks(const LineLimits& limits) noexcept : limits_(limits) {}

    // A link becomes a button when LINE takes its repaired URI, kept until
    // its text has been read (links inside it come and go first).
    LinkReading reading(const Link& link, bool after_bang);
    ButtonText button(Document& document, const Ref& label, const Link& link);
    // A standalone link whose label alone is longer than an altText may be
    // is read in the running text, where it can be cut.
    std::optional<ButtonText> standalone_button(Document& document, const Ref& label, const Link& link);
    // A button of the footer alone, repaired, or nothing when LINE would
    // refuse it whatever is done (a text to copy that is too long).
    std::optional<ButtonText> lone_button(Document& document, std::string_view label, std::string_view target,
                                          bool copies) const;

private:
    ButtonText repaired_button(Document& document, std::string_view label, std::string_view target,
                               bool copies = false) const;

    const LineLimits& limits_;
    std::vector<std::string> uris_;
};

// True when reading for LINE gives the exact conversion's document `exact`
// again, given that LINE takes each of its links, labels and spans as they
// are (its rules found nothing but length to refuse): no standalone link's
// label is longer than an altText may be, and each button fits a message.
bool needs_no_repair(const Document& exact, const LineLimits& limits);

}  // namespace quenra::line
