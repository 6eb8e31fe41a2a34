// Cutting a conversion into messages that LINE accepts.
//
// When the exact conversion passes every limit it is the one message. Else
// the text is read again with the repairs made (repair.hpp), and the
// document cut: each message takes the longest stretch of it that fits,
// ended at its last paragraph break, else line feed, else white space, else
// grapheme cluster boundary. The white space at a cut is dropped.
#include "line/split.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
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
// (at `depth` 1), a text component (2), in a quote when `quoted`, and a span
// of no characters in `look` (3).
std::size_t frame_size(Box box, int depth, const Look& look = {}, bool quoted = false) {
    return bubble_size([&](auto& writer) {
        writer.begin_message({});
        if (depth > 0) writer.begin_box(box);
        if (quoted) writer.begin_quote();
        if (depth > 1) writer.begin_text();
        if (depth > 2) {
            writer.begin_span();
            writer.end_span(look);
        }
        if (depth > 1) writer.end_text();
        if (quoted) writer.end_quote();
        if (depth > 0) writer.end_box(box);
        writer.end_message();
    });
}

bool is_space(char ascii) noexcept { return is_white_space(static_cast<unsigned char>(ascii)); }

// The sizes of the JSON text that a message's bubble is made of, as the
// writer writes it.
struct BubbleSizes {
    std::size_t bubble = frame_size(Box::Body, 0);
    std::size_t body = frame_size(Box::Body, 1) - bubble;
    std::size_t footer = frame_size(Box::Footer, 1) - bubble;
    std::size_t text = frame_size(Box::Body, 2) - bubble - body;
    std::size_t quote = frame_size(Box::Body, 2, {}, true) - bubble - body - text;
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
        if (body_components_ == 0) bytes_ += sizes.body;
        const bool quote_changes = !last_shown_ || last_shown_->quote != item.quote;
        if (quote_changes) {
            components_ = body_components_;
            if (item.quote != 0) {
                bytes_ += sizes.quote + (body_components_ > 0 ? 1 : 0);
                ++body_components_;
                components_ = 0;
            }
        }
        if (quote_changes || last_shown_->index != item.index) {
            bytes_ += sizes.text + (components_ > 0 ? 1 : 0);
            ++components_;
            if (item.quote == 0) body_components_ = components_;
            spans_ = 0;
            last_shown_ = nullptr;
        }
        if (!last_shown_ || !joins(*last_shown_, item)) {
            bytes_ += sizes.span_frames[item.look.code()] + (spans_ > 0 ? 1 : 0);
            ++spans_;
        }
        last_shown_ = &item;
    }

    // What characters of an item add to a message.
    struct Cost {
        std::size_t units;
        std::size_t bytes;
    };
    static Cost cost_of(const Item& item, std::string_view characters) noexcept {
        return {utf16_length(characters), item.kind == Item::Kind::Shown ? json_escaped_size(characters) : 0};
    }
    bool fits_with(Cost cost) const noexcept {
        return bytes_ + cost.bytes <= limits_.bubble_bytes && alt_units_ + cost.units <= limits_.alt_text;
    }
    void add(Cost cost) noexcept {
        bytes_ += cost.bytes;
        alt_units_ += cost.units;
    }
    // The least of what the message can still take: UTF-16 units, bytes.
    std::size_t room() const noexcept {
        return std::min(limits_.alt_text - std::min(alt_units_, limits_.alt_text),
                        limits_.bubble_bytes - std::min(bytes_, limits_.bubble_bytes));
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
    std::size_t body_components_ = 0;
    std::size_t components_ = 0;  // in the body, or in the quote open
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

    // The ASCII characters of `text` from `from` to `to`, in item `item`,
    // the character before them being `previous`, also ASCII: as `before`
    // for each, but for the places that later ones make no matter.
    void pass_ascii(std::size_t item, std::string_view text, std::size_t from, std::size_t to, char32_t previous) {
        for (std::size_t i = from; i < to;) {
            std::size_t j = i;
            while (j < to && !is_space(text[j])) ++j;
            if (j > i) {
                // Each is a cluster of its own; the last one is the place
                // that counts, and they end white space.
                if (const Place place{item, j - 1}; place != start_) last_boundary_ = place;
                end_white_space();
            }
            if (j == to) break;
            const char32_t before_space = j == from ? previous : static_cast<unsigned char>(text[j - 1]);
            before(Place{item, j}, static_cast<unsigned char>(text[j]), !(before_space == '\r' && text[j] == '\n'));
            i = j + 1;
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

    // The end of the message that starts at `start`: measured item by item
    // up to the first character or button that it cannot take too, then cut
    // at the best place before that.
    Place message_end(Place start) const {
        const std::optional<Place> overflow = first_overflow(start);
        return overflow ? cut_before(start, *overflow) : Place{items().size(), 0};
    }

    // A stretch of `text` from `offset` of about `length` bytes (at least
    // one character), ending on a character's end.
    static std::string_view stretch(std::string_view text, std::size_t offset, std::size_t length) noexcept {
        std::size_t end = std::min(text.size(), offset + std::max<std::size_t>(length, 1));
        while (end < text.size() && end > offset + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        return text.substr(offset, end - offset);
    }

    // The first character or button from `start` on that a message cannot
    // take too, or nothing when it takes all. Characters are measured in
    // stretches of about what the message can still take (a byte is at most
    // a UTF-16 unit, and at least a byte of JSON); one that does not fit is
    // halved until a few characters are left, measured one by one.
    std::optional<Place> first_overflow(Place start) const {
        PartMeter meter(document_, limits_);
        for (Place at = start; at.item < items().size(); at = Place{at.item + 1, 0}) {
            const Item& item = items()[at.item];
            if (item.kind == Item::Kind::Button) {
                meter.add_button(item);
                if (!meter.fits()) return at;
                continue;
            }
            if (item.kind == Item::Kind::Shown) meter.open_shown(item);
            const std::string_view text = characters(at.item);
            for (std::size_t offset = at.offset; offset < text.size();) {
                std::string_view piece = stretch(text, offset, std::max<std::size_t>(meter.room(), 16));
                PartMeter::Cost cost = PartMeter::cost_of(item, piece);
                while (!meter.fits_with(cost) && piece.size() > 16) {
                    piece = stretch(text, offset, piece.size() / 2);
                    cost = PartMeter::cost_of(item, piece);
                }
                if (meter.fits_with(cost)) {
                    meter.add(cost);
                    offset += piece.size();
                    continue;
                }
                for (const std::size_t end = offset + piece.size(); offset < end;) {
                    const std::string_view character = text.substr(offset, first_code_point(text.substr(offset)).length);
                    const PartMeter::Cost cost_of_character = PartMeter::cost_of(item, character);
                    if (!meter.fits_with(cost_of_character)) return Place{at.item, offset};
                    meter.add(cost_of_character);
                    offset += character.size();
                }
            }
        }
        return std::nullopt;
    }

    // Where to end a message from `start` that cannot take the character or
    // button at `overflow` too: the places before it are walked in order.
    Place cut_before(Place start, Place overflow) const {
        if (const auto place = cut_in_ascii(start, overflow)) return *place;
        CutPlaces places(start);
        GraphemeBreaks breaks;
        for (Place at = start;; at = Place{at.item + 1, 0}) {
            const Item& item = items()[at.item];
            if (item.kind == Item::Kind::Button) {
                // A standalone button may start a message (and the text after
                // it starts a grapheme cluster); one in the running text stays
                // with the character before it.
                places.before_button(at, item.standalone);
                if (item.standalone) breaks.reset();
                if (at == overflow) return cut(places, start, at, Place{at.item + 1, 0});
                continue;
            }
            const std::string_view text = characters(at.item);
            const std::size_t last = overflow.item == at.item ? overflow.offset : text.size();  // the last to look at
            for (std::size_t offset = at.offset; offset < text.size();) {
                if (breaks.after_ascii() && static_cast<unsigned char>(text[offset]) < 0x80) {
                    // ASCII in stretches: between two ASCII characters only
                    // CR LF holds together.
                    std::size_t end = offset;
                    while (end < text.size() && end <= last && static_cast<unsigned char>(text[end]) < 0x80) ++end;
                    places.pass_ascii(at.item, text, offset, end, breaks.previous());
                    breaks.pass_ascii(text[end - 1]);
                    offset = end;
                    if (end > last) return cut(places, start, overflow, normalized(Place{at.item, end}));
                    continue;
                }
                const Place here{at.item, offset};
                const CodePoint point = first_code_point(text.substr(offset));
                places.before(here, point.value, breaks.boundary_before(point.value));
                offset += point.length;
                if (here == overflow) return cut(places, start, here, normalized(Place{at.item, offset}));
            }
        }
    }

    // The same for a message whose characters up to `overflow` are ASCII
    // within one item, the common case of long texts: between two ASCII
    // characters every place but the one between CR and LF starts a grapheme
    // cluster, so the runs of white space are found from `overflow`
    // backwards, and only as far as the best of them. Nothing when the
    // message is not such a one.
    std::optional<Place> cut_in_ascii(Place start, Place overflow) const {
        if (start.item != overflow.item || items()[start.item].kind == Item::Kind::Button) return std::nullopt;
        const std::string_view text = characters(start.item);
        const std::size_t from = start.offset;
        const std::size_t last = overflow.offset;  // the character that does not fit
        const std::string_view message = text.substr(from, last + 1 - from);
        if (!is_ascii(message)) return std::nullopt;
        const bool line_feeds = message.find('\n') != std::string_view::npos;
        std::optional<std::size_t> space, line;
        for (std::size_t end = last + 1; end > from;) {
            // The run of white space that ends last before `end`: [begin, stop].
            const auto found = last_ascii_space(text.substr(from, end - from));
            if (!found) break;
            const std::size_t stop = from + *found;
            std::size_t begin = stop;
            while (begin > from && is_space(text[begin - 1])) --begin;
            end = begin;
            // It starts a cut at its first character that starts a cluster,
            // other than the message's first.
            std::size_t run = begin == from ? from + 1 : begin;
            if (run <= stop && run > from && text[run] == '\n' && text[run - 1] == '\r') ++run;
            if (run > stop) continue;
            const auto feeds = static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(run),
                                                                   text.begin() + static_cast<std::ptrdiff_t>(stop) + 1, '\n'));
            if (feeds >= 2) return Place{start.item, run};
            if (feeds == 1 && !line) line = run;
            if (!space) space = run;
            if (!line_feeds && space) break;  // nothing better can come before
        }
        if (line) return Place{start.item, *line};
        if (space) return Place{start.item, *space};
        if (last != from) return overflow;
        return normalized(Place{start.item, last + 1});
    }

    // Where the last white space of the ASCII `text` is, if it has any.
    // Eight bytes are tested at a time for bytes below 0x21, and those that
    // are white space looked for among them.
    static std::optional<std::size_t> last_ascii_space(std::string_view text) noexcept {
        std::size_t end = text.size();
        if constexpr (std::endian::native == std::endian::little) {
            for (; end >= 8; end -= 8) {
                std::uint64_t word;
                std::memcpy(&word, text.data() + end - 8, 8);
                // The high bit of each byte below 0x21 (exact for ASCII bytes).
                std::uint64_t low = ~((word & 0x7F7F7F7F7F7F7F7Fu) + 0x5F5F5F5F5F5F5F5Fu) & 0x8080808080808080u;
                while (low != 0) {
                    const int top = 63 - std::countl_zero(low);  // the last such byte's high bit
                    const std::size_t at = end - 8 + static_cast<std::size_t>(top / 8);
                    if (is_space(text[at])) return at;
                    low &= ~(std::uint64_t{1} << top);
                }
            }
        }
        while (end > 0) {
            if (is_space(text[--end])) return end;
        }
        return std::nullopt;
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

std::vector<std::string> cut_into_messages(const Document& document, const LineLimits& limits) {
    return Cutter(document, limits).messages();
}

std::vector<std::string> messages_that_fit(std::string_view text, const ConvertOptions& options,
                                           const LineLimits& limits, Document& exact, const ProblemFinder& problems) {
    if (exact.items.empty()) return {};  // shows nothing, and has no link to read otherwise
    using enum ProblemCode;
    if (problems.finds_only(0, {AltTextTooLong, BubbleTooLarge, SpanEmpty}) && needs_no_repair(exact, limits)) {
        std::erase_if(exact.items, [](const Item& item) { return item.kind == Item::Kind::Shown && item.size() == 0; });
        return cut_into_messages(exact, limits);
    }
    return cut_into_messages(read_repaired(text, options, limits), limits);
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
