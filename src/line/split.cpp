// Cutting a conversion into messages that LINE accepts.
//
// When the exact conversion passes every limit it is the one message. Else
// the text is read again with the repairs made (repair.hpp), and the
// document cut: each message takes the longest stretch of it that fits,
// ended at its last paragraph break, else line feed, else white space, else
// grapheme cluster boundary. The white space at a cut is dropped.
#include "line/split.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "flex/write.hpp"
#include "line/repair.hpp"
#include "line/uri.hpp"
#include "text/unicode.hpp"
#include "text/utf8.hpp"

namespace quenra {

namespace line {

namespace {

// The size of the bubble of a message that holds, one in the other, a box
// (at `depth` 1), a text component (2) and a span of no characters in `look`
// (3).
std::size_t frame_size(Box box, int depth, const Look& look = {}) {
    return bubble_size([&](auto& writer) {
        writer.begin_message({});
        if (depth > 0) writer.begin_box(box);
        if (depth > 1) writer.begin_text();
        if (depth > 2) {
            writer.begin_span();
            writer.end_span(look);
        }
        if (depth > 1) writer.end_text();
        if (depth > 0) writer.end_box(box);
        writer.end_message();
    });
}

// The sizes of the JSON text that a message's bubble is made of, as the
// writer writes it.
struct BubbleSizes {
    std::size_t bubble = frame_size(Box::Body, 0);
    std::size_t body = frame_size(Box::Body, 1) - bubble;
    std::size_t footer = frame_size(Box::Footer, 1) - bubble;
    std::size_t text = frame_size(Box::Body, 2) - bubble - body;
    // A span's members without its characters, by its look's code.
    std::array<std::size_t, 128> span_frames = [this] {
        std::array<std::size_t, 128> frames{};
        for (std::size_t code = 0; code < frames.size(); ++code) {
            frames[code] = frame_size(Box::Body, 3, Look::from_code(static_cast<std::uint8_t>(code))) - bubble -
                           body - text;
        }
        return frames;
    }();

    std::size_t button(std::string_view label, std::string_view uri) const {
        return lone_button_size(label, uri) - bubble - footer;
    }
};

const BubbleSizes& bubble_sizes() {
    static const BubbleSizes sizes;
    return sizes;
}

// Measures one message as items are added to it, exactly as it will be
// written: the bubble's JSON bytes and the altText's UTF-16 code units.
class PartMeter {
public:
    PartMeter(const Document& document, const LineLimits& limits)
        : document_(document), limits_(limits), bytes_(bubble_sizes().bubble) {}

    bool fits() const noexcept { return bytes_ <= limits_.bubble_bytes && alt_units_ <= limits_.alt_text; }

    // A shown item starts in this message.
    void open_shown(const Item& item) {
        const BubbleSizes& sizes = bubble_sizes();
        if (components_ == 0) bytes_ += sizes.body;
        if (!last_shown_ || last_shown_->index != item.index) {
            bytes_ += sizes.text + (components_ > 0 ? 1 : 0);
            ++components_;
            spans_ = 0;
            last_shown_ = nullptr;
        }
        if (!last_shown_ || !joins(*last_shown_, item)) {
            bytes_ += sizes.span_frames[item.look.code()] + (spans_ > 0 ? 1 : 0);
            ++spans_;
        }
        last_shown_ = &item;
    }

    void add_characters(const Item& item, std::string_view bytes) {
        alt_units_ += utf16_length(bytes);
        if (item.kind == Item::Kind::Shown) bytes_ += json_escaped_size(bytes);
    }

    void add_button(const Item& item) {
        const ButtonText& button = document_.buttons[item.index];
        bytes_ += (buttons_ == 0 ? bubble_sizes().footer : 1) +
                  bubble_sizes().button(document_.view(button.label), document_.view(button.uri));
        alt_units_ += utf16_length(document_.characters(item));
        ++buttons_;
    }

private:
    const Document& document_;
    const LineLimits& limits_;
    std::size_t bytes_;
    std::size_t alt_units_ = 0;
    std::size_t components_ = 0;
    std::size_t spans_ = 0;
    std::size_t buttons_ = 0;
    const Item* last_shown_ = nullptr;
};

// The places where a message may end, as the walk over its items finds them.
class CutPlaces {
public:
    explicit CutPlaces(Place start) : start_(start) {}

    // `here` is the place before `code_point`; `boundary` when a grapheme
    // cluster starts there. White space runs are made of whole clusters: a
    // white-space character that a mark joins (a space before U+0301) is no
    // white space to drop.
    void before(Place here, char32_t code_point, bool boundary) {
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
    void before_button(Place here, bool standalone) {
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
    std::optional<Place> best() const {
        if (paragraph_) return paragraph_;
        if (line_) return line_;
        if (space_) return space_;
        return last_boundary_;
    }

private:
    Place start_;
    std::optional<Place> last_boundary_, paragraph_, line_, space_, run_start_, space_before_run_;
    std::size_t run_characters_ = 0;
    std::size_t run_line_feeds_ = 0;
};

class Cutter {
public:
    Cutter(const Document& document, const LineLimits& limits) : document_(document), limits_(limits) {}

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        Place start{};
        while (start.item < items().size()) {
            const Place end = message_end(start);
            if (shows_anything(start, end)) out.push_back(message(start, end));
            start = skip_white_space(end);
        }
        return out;
    }

private:
    const std::pmr::vector<Item>& items() const noexcept { return document_.items; }
    std::string_view characters(std::size_t item) const noexcept { return document_.characters(items()[item]); }

    // The end of the message that starts at `start`.
    Place message_end(Place start) const {
        PartMeter meter(document_, limits_);
        CutPlaces places(start);
        GraphemeBreaks breaks;
        for (Place at = start; at.item < items().size(); at = Place{at.item + 1, 0}) {
            const Item& item = items()[at.item];
            if (item.kind == Item::Kind::Button) {
                // A standalone button may start a message (and the text after
                // it starts a grapheme cluster); one in the running text stays
                // with the character before it.
                places.before_button(at, item.standalone);
                if (item.standalone) breaks.reset();
                meter.add_button(item);
                if (!meter.fits()) return cut(places, start, at, Place{at.item + 1, 0});
                continue;
            }
            if (item.kind == Item::Kind::Shown) meter.open_shown(item);
            const std::string_view text = characters(at.item);
            for (std::size_t offset = at.offset; offset < text.size();) {
                const Place here{at.item, offset};
                const CodePoint point = first_code_point(text.substr(offset));
                places.before(here, point.value, breaks.boundary_before(point.value));
                meter.add_characters(item, text.substr(offset, point.length));
                offset += point.length;
                if (!meter.fits()) return cut(places, start, here, normalized(Place{at.item, offset}));
            }
        }
        return Place{items().size(), 0};
    }

    // Where a message ends that cannot take what starts at `here`; a message
    // takes at least that (ending at `after`) when nothing else fits.
    static Place cut(const CutPlaces& places, Place start, Place here, Place after) {
        if (const auto place = places.best()) return *place;
        return here != start ? here : after;
    }

    Place normalized(Place at) const {
        if (at.item < items().size() && items()[at.item].kind != Item::Kind::Button &&
            at.offset >= characters(at.item).size()) {
            return Place{at.item + 1, 0};
        }
        return at;
    }

    // The code point at `at`, moving `at` past the end of its item's
    // characters; nothing at a button or at the end of the document.
    std::optional<CodePoint> code_point_at(Place& at) const {
        at = normalized(at);
        if (at.item == items().size() || items()[at.item].kind == Item::Kind::Button) return std::nullopt;
        return first_code_point(characters(at.item).substr(at.offset));
    }

    // Passes over the white space that starts at `at`, but for a character
    // that a mark after it joins.
    Place skip_white_space(Place at) const {
        for (auto point = code_point_at(at); point && is_white_space(point->value);) {
            Place next{at.item, at.offset + point->length};
            const auto following = code_point_at(next);
            if (following && !is_white_space(following->value) && joins_white_space(point->value, following->value)) {
                break;
            }
            at = next;
            point = following;
        }
        return at;
    }

    // Where `at` lies in the document's text.
    std::size_t text_offset(Place at) const noexcept {
        return at.item < items().size() ? items()[at.item].begin + at.offset : document_.text.size();
    }

    bool shows_anything(Place start, Place end) const {
        for (std::size_t i = start.item; i < end.item || (i == end.item && end.offset > 0); ++i) {
            if (items()[i].kind != Item::Kind::Hidden) return true;
        }
        return false;
    }

    // The message of the document from `start` to `end`.
    std::string message(Place start, Place end) const {
        const std::size_t from = text_offset(start);
        std::string alt_text(std::string_view(document_.text).substr(from, text_offset(end) - from));
        if (alt_text.empty()) alt_text = labels_as_alt_text(start, end);
        std::string json;
        StringSink sink(json);
        write_message(sink, [&](auto& writer) { tell_message(document_, start, end, alt_text, writer); });
        sink.flush();
        return json;
    }

    // The altText of a message that shows nothing but buttons whose text is
    // empty: their labels, one a line, shortened to the limit.
    std::string labels_as_alt_text(Place start, Place end) const {
        std::string labels;
        for (std::size_t i = start.item; i < end.item || (i == end.item && end.offset > 0); ++i) {
            if (items()[i].kind != Item::Kind::Button) continue;
            if (!labels.empty()) labels.push_back('\n');
            labels.append(document_.view(document_.buttons[items()[i].index].label));
        }
        return shorten_to_utf16(labels, limits_.alt_text);
    }

    const Document& document_;
    const LineLimits& limits_;
};

}  // namespace

std::vector<std::string> repaired_messages(std::string_view text, const ConvertOptions& options,
                                           const LineLimits& limits) {
    const Document document = read_repaired(text, options, limits);
    return Cutter(document, limits).messages();
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
