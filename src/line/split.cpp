// Cutting a conversion into messages that LINE accepts.
//
// When the exact conversion passes every limit it is the one message. Else
// the document is read again as pieces with the repairs made (pieces.hpp),
// and cut: each message takes the longest stretch of pieces that fits, ended
// at its last paragraph break, else line feed, else white space, else
// grapheme cluster boundary. The white space at a cut is dropped.
#include <optional>
#include <string>
#include <vector>

#include "convert/convert.hpp"
#include "flex/serialize.hpp"
#include <quenra.hpp>
#include "flex/write_message.hpp"
#include "line/check.hpp"
#include "line/pieces.hpp"
#include "line/split.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"
#include "line/uri.hpp"

namespace quenra {

namespace line {

namespace {

// A place between two characters of the pieces: before byte `offset` of
// piece `piece`'s text. Offsets inside a piece are always less than its
// text's length; the end of the pieces is {count, 0}.
struct Position {
    std::size_t piece = 0;
    std::size_t offset = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

// The sizes of the JSON text that a message's bubble is made of.
struct BubbleSizes {
    std::size_t bubble = json_size(Bubble{});
    std::size_t body = json_size(Bubble{body_box_of({}), std::nullopt}) - bubble;
    std::size_t footer = json_size(Bubble{std::nullopt, footer_box_of({})}) - bubble;
    std::size_t text = json_size(Component{Text{true, {}}});

    // A span's members without its text's characters.
    static std::size_t span_frame(const Span& span) {
        return json_size(Span{{}, span.weight, span.style, span.decoration, span.color, span.size});
    }
};

const BubbleSizes& bubble_sizes() {
    static const BubbleSizes sizes;
    return sizes;
}

// Measures one message as pieces are added to it, exactly as it will be
// written: the bubble's JSON bytes and the altText's UTF-16 code units.
class PartMeter {
public:
    explicit PartMeter(const LineLimits& limits) : limits_(limits), bytes_(bubble_sizes().bubble) {}

    bool fits() const noexcept { return bytes_ <= limits_.bubble_bytes && alt_units_ <= limits_.alt_text; }

    // A shown piece starts in this message.
    void open_shown(const Piece& piece) {
        const BubbleSizes& sizes = bubble_sizes();
        if (components_ == 0) bytes_ += sizes.body;
        if (!last_shown_ || last_shown_->component != piece.component) {
            bytes_ += sizes.text + (components_ > 0 ? 1 : 0);
            ++components_;
            spans_ = 0;
            last_shown_ = nullptr;
        }
        if (!last_shown_ || !joins(*last_shown_, piece)) {
            bytes_ += BubbleSizes::span_frame(piece.span) + (spans_ > 0 ? 1 : 0);
            ++spans_;
        }
        last_shown_ = &piece;
    }

    void add_characters(const Piece& piece, std::string_view bytes) {
        alt_units_ += utf16_length(bytes);
        if (piece.kind == Piece::Kind::Shown) bytes_ += json_escaped_size(bytes);
    }

    void add_button(const Piece& piece) {
        bytes_ += (buttons_ == 0 ? bubble_sizes().footer : 1) + json_size(Component{Button{piece.action}});
        alt_units_ += utf16_length(piece.span.text);
        ++buttons_;
    }

private:
    const LineLimits& limits_;
    std::size_t bytes_;
    std::size_t alt_units_ = 0;
    std::size_t components_ = 0;
    std::size_t spans_ = 0;
    std::size_t buttons_ = 0;
    const Piece* last_shown_ = nullptr;
};

// The places where a message may end, as the walk over its pieces finds them.
class CutPlaces {
public:
    explicit CutPlaces(Position start) : start_(start) {}

    // `here` is the place before `code_point`; `boundary` when a grapheme
    // cluster starts there. White space runs are made of whole clusters: a
    // white-space character that a mark joins (a space before U+0301) is no
    // white space to drop.
    void before(Position here, char32_t code_point, bool boundary) {
        if (boundary && here != start_) last_boundary_ = here;
        if (!is_white_space(code_point)) {
            // Only the run's last character can carry the mark; when it was
            // the whole run, the run was never white space to cut at.
            if (!boundary && run_characters_ == 1) space_ = space_before_run_;
            end_white_space();
            return;
        }
        if (!run_start_) {
            if (!boundary || here == start_) return;
            run_start_ = here;
            space_before_run_ = space_;
            space_ = here;
        }
        ++run_characters_;
        if (code_point == '\n') {
            line_ = run_start_;
            if (++run_line_feeds_ >= 2) paragraph_ = run_start_;
        }
    }

    // A button starts at `here`: it ends white space, and a standalone one
    // may start a message.
    void before_button(Position here, bool standalone) {
        end_white_space();
        if (standalone && here != start_) last_boundary_ = here;
    }
    void end_white_space() {
        run_start_.reset();
        run_characters_ = 0;
        run_line_feeds_ = 0;
    }

    // Where to end a message that cannot take the character or button at
    // `here` too.
    std::optional<Position> best() const {
        if (paragraph_) return paragraph_;
        if (line_) return line_;
        if (space_) return space_;
        return last_boundary_;
    }

private:
    Position start_;
    std::optional<Position> last_boundary_, paragraph_, line_, space_, run_start_, space_before_run_;
    std::size_t run_characters_ = 0;
    std::size_t run_line_feeds_ = 0;
};

class Cutter {
public:
    Cutter(const std::vector<Piece>& pieces, const LineLimits& limits) : pieces_(pieces), limits_(limits) {}

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        Position start{};
        while (start.piece < pieces_.size()) {
            const Position end = message_end(start);
            const FlexMessage message = assemble(start, end);
            if (message.contents.body || message.contents.footer) out.push_back(message_json(message, 0));
            start = skip_white_space(end);
        }
        return out;
    }

private:
    const std::string& text_of(std::size_t piece) const { return pieces_[piece].span.text; }

    // The end of the message that starts at `start`.
    Position message_end(Position start) const {
        PartMeter meter(limits_);
        CutPlaces places(start);
        GraphemeBreaks breaks;
        for (Position at = start; at.piece < pieces_.size(); at = Position{at.piece + 1, 0}) {
            const Piece& piece = pieces_[at.piece];
            if (piece.kind == Piece::Kind::Button) {
                // A standalone button may start a message (and the text after
                // it starts a grapheme cluster); one in the running text stays
                // with the character before it.
                places.before_button(at, piece.standalone);
                if (piece.standalone) breaks.reset();
                meter.add_button(piece);
                if (!meter.fits()) return cut(places, start, at, Position{at.piece + 1, 0});
                continue;
            }
            if (piece.kind == Piece::Kind::Shown) meter.open_shown(piece);
            const std::string& text = piece.span.text;
            for (std::size_t offset = at.offset; offset < text.size();) {
                const Position here{at.piece, offset};
                const CodePoint point = first_code_point(std::string_view(text).substr(offset));
                places.before(here, point.value, breaks.boundary_before(point.value));
                meter.add_characters(piece, std::string_view(text).substr(offset, point.length));
                offset += point.length;
                if (!meter.fits()) return cut(places, start, here, normalized(Position{at.piece, offset}));
            }
        }
        return Position{pieces_.size(), 0};
    }

    // Where a message ends that cannot take what starts at `here`; a message
    // takes at least that (ending at `after`) when nothing else fits.
    static Position cut(const CutPlaces& places, Position start, Position here, Position after) {
        if (const auto place = places.best()) return *place;
        return here != start ? here : after;
    }

    Position normalized(Position at) const {
        if (at.piece < pieces_.size() && pieces_[at.piece].kind != Piece::Kind::Button &&
            at.offset >= text_of(at.piece).size()) {
            return Position{at.piece + 1, 0};
        }
        return at;
    }

    // The code point at `at`, moving `at` past the end of its piece's text;
    // nothing at a button or at the end of the pieces.
    std::optional<CodePoint> code_point_at(Position& at) const {
        at = normalized(at);
        if (at.piece == pieces_.size() || pieces_[at.piece].kind == Piece::Kind::Button) return std::nullopt;
        return first_code_point(std::string_view(text_of(at.piece)).substr(at.offset));
    }

    // Passes over the white space that starts at `at`, but for a character
    // that a mark after it joins.
    Position skip_white_space(Position at) const {
        for (auto point = code_point_at(at); point && is_white_space(point->value);) {
            Position next{at.piece, at.offset + point->length};
            const auto following = code_point_at(next);
            if (following && !is_white_space(following->value) && joins_white_space(point->value, following->value)) {
                break;
            }
            at = next;
            point = following;
        }
        return at;
    }

    // The message of the pieces from `start` to `end`.
    FlexMessage assemble(Position start, Position end) const {
        FlexMessage message;
        std::vector<Component> body, footer;
        const Piece* last_shown = nullptr;
        for (std::size_t i = start.piece; i < end.piece || (i == end.piece && end.offset > 0); ++i) {
            const Piece& piece = pieces_[i];
            if (piece.kind == Piece::Kind::Button) {
                footer.push_back(Button{piece.action});
                message.altText.append(piece.span.text);
                continue;
            }
            const std::size_t from = i == start.piece ? start.offset : 0;
            const std::size_t to = i == end.piece ? end.offset : piece.span.text.size();
            const std::string_view text = std::string_view(piece.span.text).substr(from, to - from);
            if (text.empty()) continue;
            message.altText.append(text);
            if (piece.kind == Piece::Kind::Hidden) continue;
            if (!last_shown || last_shown->component != piece.component) {
                body.push_back(Text{true, {}});
                last_shown = nullptr;
            }
            std::vector<Span>& spans = std::get<Text>(body.back()).contents;
            if (last_shown && joins(*last_shown, piece)) {
                spans.back().text.append(text);
            } else {
                spans.push_back(Span{std::string(text), piece.span.weight, piece.span.style, piece.span.decoration,
                                     piece.span.color, piece.span.size});
            }
            last_shown = &piece;
        }
        if (message.altText.empty()) message.altText = labels_as_alt_text(footer);
        if (!body.empty()) message.contents.body = body_box_of(std::move(body));
        if (!footer.empty()) message.contents.footer = footer_box_of(std::move(footer));
        return message;
    }

    // The altText of a message that shows nothing but buttons whose text is
    // empty: their labels, one a line, shortened to the limit.
    std::string labels_as_alt_text(const std::vector<Component>& buttons) const {
        std::string labels;
        for (const Component& button : buttons) {
            if (!labels.empty()) labels.push_back('\n');
            labels.append(std::get<Button>(button).action.label);
        }
        return shorten_to_utf16(labels, limits_.alt_text);
    }

    const std::vector<Piece>& pieces_;
    const LineLimits& limits_;
};

}  // namespace

std::vector<std::string> repaired_messages(std::string_view text, const ConvertOptions& options,
                                           const LineLimits& limits) {
    return Cutter(read_pieces(text, options, limits), limits).messages();
}

}  // namespace line

std::vector<std::string> split(std::string_view text, const ConvertOptions& options, const LineLimits& limits) {
    line::require_valid(limits);
    std::string json;
    json.reserve(expected_json_size(text.size()));
    StringSink sink(json);
    if (auto messages = line::split_into(text, options, limits, sink)) return std::move(*messages);
    sink.flush();
    std::vector<std::string> alone;
    alone.push_back(std::move(json));
    return alone;
}

}  // namespace quenra
