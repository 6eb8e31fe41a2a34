#include "line/pieces.hpp"

#include <string>

#include "convert/convert.hpp"
#include "convert/strip.hpp"
#include "convert/walk.hpp"
#include "flex/serialize.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"
#include "line/uri.hpp"

namespace quenra::line {

namespace {

class PieceBuilder {
public:
    explicit PieceBuilder(const LineLimits& limits) : limits_(limits) {}

    std::vector<Piece> take() { return std::move(pieces_); }

    void text(std::string_view chars, const SpanStyle& style) {
        plain_.append(chars);
        if (!pieces_.empty()) {
            Piece& last = pieces_.back();
            if (last.kind == Piece::Kind::Shown && last.merges && last.component == component_ &&
                has_style(last.span, style)) {
                last.span.text.append(chars);
                return;
            }
        }
        add_shown(styled_span(chars, style), true);
    }

    void inline_code(std::string_view code) {
        plain_.append(code);
        if (!code.empty()) add_shown(code_span(std::string(code)), false);
    }

    void hidden_code(std::string_view code) { add_hidden(code); }

    void code_block(std::string_view code) {
        plain_.append(code);
        ++component_;
        if (!code.empty()) add_shown(code_span(std::string(code)), false);
        ++component_;
    }

    // A link becomes a button when LINE takes its repaired URI, kept until
    // its text has been read (links inside it come and go first).
    LinkReading link_reading(const Link& link, bool after_bang) {
        if (auto uri = repair_uri(link.url, limits_)) {
            button_uris_.push_back(std::move(*uri));
            return LinkReading::Button;
        }
        return after_bang && is_bang_link(link.url) ? LinkReading::TextWithoutBang : LinkReading::Text;
    }

    // The "!" was the last character read, so it ends the last piece.
    void take_back_bang() {
        plain_.pop_back();
        std::string& last = pieces_.back().span.text;
        last.pop_back();
        if (last.empty()) pieces_.pop_back();
    }

    std::size_t begin_link() const noexcept { return plain_.size(); }

    void end_link(std::size_t mark, const Link& /*link*/) {
        std::string uri = std::move(button_uris_.back());
        button_uris_.pop_back();
        add_button(std::string_view(plain_).substr(mark), std::move(uri), false);
    }

    bool standalone_link(const Link& link, std::string_view tail) {
        auto uri = repair_uri(link.url, limits_);
        if (!uri) return false;
        // A label longer than a whole altText goes into the body, where it
        // can be cut.
        std::string label = strip_markdown(link.text);
        if (utf16_length(label) > limits_.alt_text) return false;
        plain_.append(label);
        add_button(label, std::move(*uri), true);
        pieces_.back().span.text = std::move(label);
        add_hidden(tail);
        return true;
    }

private:
    // The bubble of a message that shows `action` alone.
    static std::size_t lone_button_size(const UriAction& action) {
        return json_size(Bubble{std::nullopt, footer_box_of({Button{action}})});
    }

    void add_shown(Span span, bool merges) {
        Piece piece{Piece::Kind::Shown, merges, false, component_, std::move(span), {}};
        pieces_.push_back(std::move(piece));
    }

    void add_hidden(std::string_view text) {
        plain_.append(text);
        if (text.empty()) return;
        Piece piece{Piece::Kind::Hidden, false, false, component_, {}, {}};
        piece.span.text = text;
        pieces_.push_back(std::move(piece));
    }

    void add_button(std::string_view label, std::string uri, bool standalone) {
        UriAction action{repair_label(label, uri, limits_), std::move(uri)};
        // A label of very long grapheme clusters is cut further: a message
        // must be able to hold the button alone.
        for (std::size_t size = lone_button_size(action); size > limits_.bubble_bytes && action.label.size() > 3;
             size = lone_button_size(action)) {
            const std::size_t excess = size - limits_.bubble_bytes;
            action.label = shorten_to_bytes(action.label, action.label.size() > excess + 3 ? action.label.size() - excess - 3 : 0);
        }
        Piece piece{Piece::Kind::Button, false, standalone, component_, Span{}, std::move(action)};
        pieces_.push_back(std::move(piece));
    }

    const LineLimits& limits_;
    std::vector<std::string> button_uris_;
    std::string plain_;
    std::vector<Piece> pieces_;
    std::size_t component_ = 0;
};

bool same_look(const Span& a, const Span& b) noexcept {
    return a.weight == b.weight && a.style == b.style && a.decoration == b.decoration && a.color == b.color &&
           a.size == b.size;
}

}  // namespace

std::vector<Piece> read_pieces(std::string_view text, const ConvertOptions& options, const LineLimits& limits) {
    PieceBuilder builder(limits);
    DocumentWalk(builder, options).read_document(text);
    return builder.take();
}

bool joins(const Piece& before, const Piece& after) noexcept {
    return before.merges && after.merges && before.component == after.component && same_look(before.span, after.span);
}

}  // namespace quenra::line
