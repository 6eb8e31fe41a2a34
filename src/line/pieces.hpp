// A conversion read as pieces in reading order, with LINE's repairs made:
// what `split` cuts into messages.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "flex/model.hpp"
#include <quenra.hpp>

namespace quenra::line {

// One piece of a document, in reading order. Every piece but a button has
// text, and its text is plain text of the message (part of `altText`).
struct Piece {
    enum class Kind : unsigned char {
        Shown,   // a span of a text component
        Hidden,  // plain text only: a code block inside a run, a standalone link's line end
        Button,  // a footer button
    };
    Kind kind;
    // Shown: false for a code span, which never joins a neighbour.
    bool merges = true;
    // Button: true for a standalone link, whose label is plain text of its
    // own; false for a link in the running text, which follows its text.
    bool standalone = false;
    // Shown: the text component it belongs to; a code block has its own.
    std::size_t component = 0;
    // Shown: the span. Hidden: `text` only. Button: `text` is the plain text
    // of a standalone link (its label before repair), else empty.
    Span span;
    // Button: the repaired action.
    UriAction action;
};

// The pieces of `text`. Links whose URI LINE refuses are read as ordinary
// text (a custom emoji or a date loses its "!" too); URIs and labels are repaired;
// empty spans are left out.
std::vector<Piece> read_pieces(std::string_view text, const ConvertOptions& options, const LineLimits& limits);

// True when two shown pieces, one after the other in a component, make one
// span.
bool joins(const Piece& before, const Piece& after) noexcept;

}  // namespace quenra::line
