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
#include <cstdint>
#include <cstring>
#include <limits>
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

bool is_space(char ascii) noexcept { return is_white_space(static_cast<unsigned char>(ascii)); }

// The size of the JSON text that `tell(writer)` adds to a message's bubble
// of `parts`: begin_message and end_message around them.
template <class Tell>
std::size_t message_size(Tell&& tell) {
    return bubble_size([&](auto& writer) {
        writer.begin_message({}, false);
        tell(writer);
        writer.end_message();
    });
}

// The sizes of the JSON text that a message's bubble is made of, as the
// writer writes it.
struct BubbleSizes {
    std::size_t bubble = message_size([](auto&) {});
    // What reading right to left adds to it.
    std::size_t right_to_left = bubble_size([](auto& writer) {
                                    writer.begin_message({}, true);
                                    writer.end_message();
                                }) -
                                bubble;
    std::size_t body = message_size([](auto& writer) {
                           writer.begin_box(Box::Body);
                           writer.end_box(Box::Body);
                       }) -
                       bubble;
    std::size_t footer = message_size([](auto& writer) {
                             writer.begin_box(Box::Footer);
                             writer.end_box(Box::Footer);
                         }) -
                         bubble;
    std::size_t separator = in_body([](auto& writer) { writer.separator(); });
    // A span's members without its characters, by its look's code.
    std::array<std::size_t, Look::LOOKS> span_frames = [this] {
        std::array<std::size_t, Look::LOOKS> frames{};
        const std::size_t text = frame(Frame{});
        for (std::size_t code = 0; code < frames.size(); ++code) {
            frames[code] = in_body([&](auto& writer) {
                               writer.begin_frame(Frame{});
                               writer.begin_span();
                               writer.end_span(Look::from_code(static_cast<std::uint16_t>(code)));
                               writer.end_frame(Frame{});
                           }) -
                           text;
        }
        return frames;
    }();

    // What `tell(writer)` adds in the body.
    template <class Tell>
    std::size_t in_body(Tell&& tell) const {
        return message_size([&](auto& writer) {
                   writer.begin_box(Box::Body);
                   tell(writer);
                   writer.end_box(Box::Body);
               }) -
               bubble - body;
    }
    // A frame's members, without what it holds.
    std::size_t frame(const Frame& frame) const {
        return in_body([&](auto& writer) {
            writer.begin_frame(frame);
            writer.end_frame(frame);
        });
    }
    std::size_t button(const ButtonText& button, std::string_view label, std::string_view uri) const {
        return lone_button_size(label, uri, button.copies) - bubble - footer;
    }
};

const BubbleSizes& bubble_sizes() {
    static const BubbleSizes sizes;
    return sizes;
}

using OpenFrames = std::vector<std::uint32_t>;

// Measures one message as items are added to it, exactly as it will be
// written: the bubble's JSON bytes and the altText's UTF-16 code units. The
// frames open where it starts are written once they hold something, as the
// writer writes them.
class PartMeter {
public:
    PartMeter(const Document& document, const LineLimits& limits, const OpenFrames& open)
        : document_(document),
          limits_(limits),
          bytes_(bubble_sizes().bubble + (document.right_to_left ? bubble_sizes().right_to_left : 0)) {
        for (const std::uint32_t frame : open) stack_.push_back({frame, false, 0});
    }

    bool fits() const noexcept { return bytes_ <= limits_.bubble_bytes && alt_units_ <= limits_.alt_text; }

    // The structure of the body: frames opened and closed, separators, and
    // shown items as they start in this message.
    void open(std::uint32_t frame) {
        stack_.push_back({frame, false, 0});
        last_shown_ = nullptr;
        if (document_.frames[frame].box.shown_empty && !document_.frames[frame].flattened) write_pending();
    }
    void close() {
        if (!stack_.empty()) stack_.pop_back();
        last_shown_ = nullptr;
    }
    void separator() {
        write_pending();
        bytes_ += bubble_sizes().separator + comma(children());
        ++children();
    }
    void open_shown(const Item& item) {
        write_pending();
        if (!last_shown_ || !joins(*last_shown_, item)) {
            std::size_t& spans = children();
            bytes_ += bubble_sizes().span_frames[item.look.code()] + comma(spans);
            ++spans;
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

    // A button, with the characters it adds to the altText (a standalone
    // link's label).
    void add_button(const Item& item) {
        const ButtonText& button = document_.buttons[item.index];
        bytes_ += (buttons_ == 0 ? bubble_sizes().footer : 1) +
                  bubble_sizes().button(button, document_.view(button.label), document_.view(button.uri));
        alt_units_ += utf16_length(document_.characters(item));
        ++buttons_;
    }

private:
    struct Entry {
        std::uint32_t frame;
        bool written;
        std::size_t children;  // components, or spans of a text component
    };

    static std::size_t comma(std::size_t before) noexcept { return before > 0 ? 1 : 0; }

    // The components (or spans) of what is open and written innermost.
    std::size_t& children() noexcept {
        for (auto entry = stack_.rbegin(); entry != stack_.rend(); ++entry) {
            if (!document_.frames[entry->frame].flattened) return entry->children;
        }
        return body_children_;
    }

    // Writes the body and the frames open that are not written yet.
    void write_pending() {
        if (!body_) {
            bytes_ += bubble_sizes().body;
            body_ = true;
        }
        std::size_t* parent = &body_children_;
        for (Entry& entry : stack_) {
            if (document_.frames[entry.frame].flattened) continue;
            if (!entry.written) {
                const Frame& frame = document_.frames[entry.frame];
                bytes_ += bubble_sizes().frame(frame) + comma(*parent);
                ++*parent;
                entry.written = true;
                entry.children = frame.kind == Frame::Kind::Box && frame.box.bar ? 1 : 0;
            }
            parent = &entry.children;
        }
    }

    const Document& document_;
    const LineLimits& limits_;
    std::size_t bytes_;
    std::size_t alt_units_ = 0;
    bool body_ = false;
    std::size_t body_children_ = 0;
    std::vector<Entry> stack_;
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
        seen_ = true;
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
        seen_ |= from < to;
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
        seen_ = true;
        if (standalone && here != start_) last_boundary_ = here;
    }
    // A separator starts at `here`: it ends white space.
    void before_separator() {
        end_white_space();
        seen_ = true;
    }
    // A block ends before `here`: once the message shows something, a place
    // to end it between blocks.
    void after_block(Place here) {
        if (seen_ && here != start_) block_ = here;
    }
    void end_white_space() {
        run_start_.reset();
        run_characters_ = 0;
        run_line_feeds_ = 0;
    }

    // Where to end a message that cannot take the character or button at
    // `here` too: after its last block, else at its last paragraph break,
    // line feed, white space or grapheme cluster boundary.
    std::optional<Place> best() const {
        if (block_) return block_;
        if (paragraph_) return paragraph_;
        if (line_) return line_;
        if (space_) return space_;
        return last_boundary_;
    }

    // True when the best place is between blocks.
    bool between_blocks() const noexcept { return block_.has_value(); }

private:
    Place start_;
    std::optional<Place> last_boundary_, block_, paragraph_, line_, space_, run_start_, space_before_run_;
    bool seen_ = false;  // a character or button: something shown
    std::size_t run_characters_ = 0;
    std::size_t run_line_feeds_ = 0;
};

// Where a message ends, and whether it ends between blocks.
struct Cut {
    Place place;
    bool between_blocks = false;
};

class Cutter {
public:
    Cutter(const Document& document, const LineLimits& limits, CutSearch search)
        : document_(document), limits_(limits), search_(search) {}

    std::vector<Part> parts() const {
        std::vector<Part> out;
        Place start{};
        OpenFrames open;
        std::optional<Stretch> header;
        while (start.item < items().size()) {
            const Cut cut = message_end(start, open, header);
            if (shows_anything(start, cut.place)) out.push_back(part(start, cut.place, open, header));
            Place next = skip_white_space(cut.place);
            if (cut.between_blocks) next = block_start(cut.place, next);
            advance(open, start, next);
            header = cut.between_blocks ? header_before(next, open) : std::nullopt;
            start = next;
        }
        return out;
    }

    // True when one message holds the whole document.
    bool fits_whole() const {
        return message_end(Place{}, {}, std::nullopt).place == Place{items().size(), 0};
    }

private:
    const std::pmr::vector<Item>& items() const noexcept { return document_.items; }
    std::string_view characters(std::size_t item) const noexcept { return document_.characters(items()[item]); }

    // Applies the frames that open and close from `from` up to `to`.
    void advance(OpenFrames& open, Place from, Place to) const {
        for (std::size_t i = from.item; i < to.item; ++i) {
            const Item& item = items()[i];
            if (item.kind == Item::Kind::Open) open.push_back(item.index);
            if (item.kind == Item::Kind::Close && !open.empty()) open.pop_back();
        }
    }

    // Where the message after a cut between blocks at `cut` starts, given
    // `next`, its first character: before the frames that open its block
    // (a table's next row), past separators between blocks (a message
    // starts with no divider).
    Place block_start(Place cut, Place next) const {
        while (next.offset == 0 && next.item < items().size() && items()[next.item].kind == Item::Kind::Separator) {
            next = skip_white_space(Place{next.item + 1, 0});
        }
        while (next.offset == 0 && next.item > cut.item && items()[next.item - 1].kind == Item::Kind::Open) --next.item;
        return next;
    }

    // The header rows to repeat atop a message that starts at `start`, where
    // `open` are open, after a cut between blocks: those of the table that
    // the message goes on in, at the start of a row past them, when they and
    // that row fit in one message together.
    std::optional<Stretch> header_before(Place start, const OpenFrames& open) const {
        if (open.empty() || start.offset != 0 || start.item >= items().size()) return std::nullopt;
        const Frame& table = document_.frames[open.back()];
        const Item& row = items()[start.item];
        if (table.header_end <= table.header_begin || start.item < table.header_end || row.kind != Item::Kind::Open) {
            return std::nullopt;
        }
        const Stretch header{Place{table.header_begin, 0}, Place{table.header_end, 0}, false};
        // The row ends where the frame it opens closes.
        std::size_t end = start.item + 1;
        for (std::size_t depth = 1; depth > 0 && end < items().size(); ++end) {
            if (items()[end].kind == Item::Kind::Open) ++depth;
            if (items()[end].kind == Item::Kind::Close) --depth;
        }
        PartMeter meter(document_, limits_, open);
        return measure(meter, header) || measure(meter, Stretch{start, Place{end, 0}}) ? std::nullopt
                                                                                          : std::optional(header);
    }

    // The end of the message that starts at `start`: measured item by item
    // up to the first character or button that it cannot take too, then cut
    // at the best place before that.
    Cut message_end(Place start, const OpenFrames& open, const std::optional<Stretch>& header) const {
        PartMeter meter(document_, limits_, open);
        if (header) measure(meter, *header, false);
        const std::optional<Place> overflow = measure(meter, Stretch{start, Place{items().size(), 0}});
        return overflow ? cut_before(start, *overflow) : Cut{Place{items().size(), 0}};
    }

    // A stretch of `text` from `offset` of about `length` bytes (at least
    // one character), ending on a character's end.
    static std::string_view stretch(std::string_view text, std::size_t offset, std::size_t length) noexcept {
        std::size_t end = std::min(text.size(), offset + std::max<std::size_t>(length, 1));
        while (end < text.size() && end > offset + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        return text.substr(offset, end - offset);
    }

    // Adds to `meter` what `part` holds, up to the first character or button
    // that the message cannot take too, and returns its place; nothing when
    // it takes all. Characters are measured in stretches of about what the
    // message can still take (a byte is at most a UTF-16 unit, and at least
    // a byte of JSON); one that does not fit is halved until a few
    // characters are left, measured one by one. Unless `counted`, the
    // stretch is taken whatever it costs.
    std::optional<Place> measure(PartMeter& meter, const Stretch& part, bool counted = true) const {
        for (Place at = part.begin; at.item < part.end.item || (at.item == part.end.item && at.offset < part.end.offset);
             at = Place{at.item + 1, 0}) {
            const Item& item = items()[at.item];
            switch (item.kind) {
            case Item::Kind::Open:
                meter.open(item.index);
                if (!meter.fits() && counted) return at;
                continue;
            case Item::Kind::Close:
                meter.close();
                continue;
            case Item::Kind::Separator:
                meter.separator();
                if (!meter.fits() && counted) return at;
                continue;
            case Item::Kind::Button:
                if (!part.buttons) continue;
                meter.add_button(item);
                if (!meter.fits() && counted) return at;
                continue;
            case Item::Kind::Shown:
                meter.open_shown(item);
                break;
            case Item::Kind::Hidden:
                break;
            }
            const std::string_view text = characters(at.item);
            const std::size_t stop = at.item == part.end.item ? part.end.offset : text.size();
            for (std::size_t offset = at.offset; offset < stop;) {
                const std::string_view rest = text.substr(0, stop);
                if (!counted) {
                    meter.add(PartMeter::cost_of(item, rest.substr(offset)));
                    break;
                }
                std::string_view piece = stretch(rest, offset, std::max<std::size_t>(meter.room(), 16));
                PartMeter::Cost cost = PartMeter::cost_of(item, piece);
                while (!meter.fits_with(cost) && piece.size() > 16) {
                    piece = stretch(rest, offset, piece.size() / 2);
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
    Cut cut_before(Place start, Place overflow) const {
        if (search_ == CutSearch::Fast) {
            if (const auto place = cut_in_ascii(start, overflow)) return Cut{*place};
            if (const auto place = cut_without_white_space(start, overflow)) return Cut{*place};
        }
        if (search_ == CutSearch::Fast && !has_blocks_) {
            if (const auto place = cut_at_white_space(start, overflow)) return Cut{*place};
        }
        return walk_to_cut(start, overflow);
    }

    // cut_before by walking the places before `overflow` in order: the
    // reference for the searches that find the same place faster.
    Cut walk_to_cut(Place start, Place overflow) const {
        CutPlaces places(start);
        GraphemeBreaks breaks;
        for (Place at = start;; at = Place{at.item + 1, 0}) {
            const Item& item = items()[at.item];
            switch (item.kind) {
            case Item::Kind::Button:
                // A standalone button may start a message (and the text after
                // it starts a grapheme cluster); one in the running text stays
                // with the character before it.
                places.before_button(at, item.standalone);
                if (item.standalone) breaks.reset();
                if (at == overflow) return cut(places, start, at, Place{at.item + 1, 0});
                continue;
            case Item::Kind::Separator:
                places.before_separator();
                if (at == overflow) return cut(places, start, at, Place{at.item + 1, 0});
                continue;
            case Item::Kind::Open:
                if (at == overflow) return cut(places, start, at, Place{at.item + 1, 0});
                continue;
            case Item::Kind::Close:
                if (document_.frames[closed_frame(at.item)].block) places.after_block(Place{at.item + 1, 0});
                continue;
            case Item::Kind::Shown:
            case Item::Kind::Hidden:
                break;
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

    // The frame that the Close item `close` closes.
    std::uint32_t closed_frame(std::size_t close) const noexcept {
        for (std::size_t depth = 0, i = close; i-- > 0;) {
            if (items()[i].kind == Item::Kind::Close) ++depth;
            if (items()[i].kind == Item::Kind::Open && depth-- == 0) return items()[i].index;
        }
        return 0;
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

    // The same for a message within one item that holds no white space up to
    // the character at `overflow` (long texts in Japanese, Chinese or Thai
    // often hold none): it ends at the last grapheme cluster boundary. The
    // walk goes back from `overflow` to the last character after which the
    // cluster state is that character's own (see settles_cluster_state),
    // and reads on from there as the forward walk would. Nothing when the
    // message is not such a one, or when no boundary follows that character.
    std::optional<Place> cut_without_white_space(Place start, Place overflow) const {
        const Item& item = items()[start.item];
        if (start.item != overflow.item || (item.kind != Item::Kind::Shown && item.kind != Item::Kind::Hidden)) {
            return std::nullopt;
        }
        const std::string_view text = characters(start.item);
        const std::size_t end = overflow.offset + first_code_point(text.substr(overflow.offset)).length;
        if (holds_white_space(text.substr(start.offset, end - start.offset))) return std::nullopt;
        Place resume = start;
        for (Back back = back_from(start, overflow); back.what == Back::What::Character;
             back = back_from(start, back.place)) {
            if (settles_cluster_state(back.value)) {
                resume = back.place;
                break;
            }
        }
        GraphemeBreaks breaks;
        std::optional<Place> last;
        for (std::size_t offset = resume.offset; offset < end;) {
            const CodePoint point = first_code_point(text.substr(offset));
            if (breaks.boundary_before(point.value) && offset != resume.offset) last = Place{start.item, offset};
            offset += point.length;
        }
        if (last) return last;
        if (resume != start) return std::nullopt;
        return overflow != start ? overflow : normalized(Place{start.item, end});
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

    // What a walk backwards through a message meets: a character (as the
    // forward walk reads the text, a malformed byte alone), a button or
    // separator between characters, or the message's start.
    struct Back {
        enum class What : std::uint8_t { Character, Between, Start };
        What what = What::Start;
        Place place;
        char32_t value = 0;
        bool standalone = false;  // a standalone button: a cluster starts after it

        bool white() const noexcept { return what == What::Character && is_white_space(value); }
    };

    // What comes before `at` in the message from `start`.
    Back back_from(Place start, Place at) const {
        while (at != start) {
            if (at.offset == 0) {
                const Item& item = items()[at.item - 1];
                if (item.kind == Item::Kind::Button || item.kind == Item::Kind::Separator) {
                    return Back{Back::What::Between, Place{at.item - 1, 0}, 0,
                                item.kind == Item::Kind::Button && item.standalone};
                }
                const bool has_characters = item.kind == Item::Kind::Shown || item.kind == Item::Kind::Hidden;
                at = Place{at.item - 1, has_characters ? document_.size_of(item) : 0};
                continue;
            }
            const std::string_view text = characters(at.item);
            std::size_t lead = at.offset - 1;
            if (static_cast<unsigned char>(text[lead]) < 0x80) {
                return Back{Back::What::Character, Place{at.item, lead}, static_cast<unsigned char>(text[lead])};
            }
            const std::size_t least = at.item == start.item ? start.offset : 0;
            while (lead > least && at.offset - lead < 4 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
                --lead;
            }
            // A sequence that does not end here leaves the byte before it
            // a character of its own.
            const CodePoint point = first_code_point(text.substr(lead));
            if (lead + point.length != at.offset) return Back{Back::What::Character, Place{at.item, at.offset - 1}, 0xFFFD};
            return Back{Back::What::Character, Place{at.item, lead}, point.value};
        }
        return Back{Back::What::Start, start};
    }

    // True when a grapheme cluster starts at the white-space character
    // `white` in the message from `start`: as the forward walk finds it,
    // whose state (for a white-space character) only the character before
    // it sets, or a standalone button or the message's start.
    bool starts_cluster(Place start, const Back& white) const {
        for (Back before = back_from(start, white.place);; before = back_from(start, before.place)) {
            if (before.what == Back::What::Character) return !joins_cluster(before.value, white.value);
            if (before.what == Back::What::Start || before.standalone) return true;
        }
    }

    // True when a line feed stands from `start` up to the character at
    // `overflow`, that one included.
    bool holds_line_feed(Place start, Place overflow) const {
        for (std::size_t i = start.item; i <= overflow.item; ++i) {
            const Item& item = items()[i];
            if (item.kind != Item::Kind::Shown && item.kind != Item::Kind::Hidden) continue;
            const std::string_view text = characters(i).substr(
                i == start.item ? start.offset : 0,
                i == overflow.item ? overflow.offset + 1 - (i == start.item ? start.offset : 0) : std::string_view::npos);
            if (text.find('\n') != std::string_view::npos) return true;
        }
        return false;
    }

    // cut_before for a message without blocks, found from `overflow`
    // backwards, as the forward walk finds it: the start of the last run of
    // white space with a paragraph break, else with a line feed, else of
    // the last run (runs of whole clusters: a white-space character that a
    // mark joins is none, and a run starts at a cluster's start). Nothing
    // when the message holds no white space.
    std::optional<Place> cut_at_white_space(Place start, Place overflow) const {
        const Item& last_item = items()[overflow.item];
        if (last_item.kind != Item::Kind::Shown && last_item.kind != Item::Kind::Hidden) return std::nullopt;
        const bool line_feeds = holds_line_feed(start, overflow);
        std::optional<Place> line, space;
        // The element after the one read: none past the character at
        // `overflow`, the last the walk reads.
        Back after{Back::What::Between, overflow};
        Place at{overflow.item, overflow.offset + first_code_point(characters(overflow.item).substr(overflow.offset)).length};
        std::vector<Back> run;  // backwards
        while (true) {
            const Back back = back_from(start, at);
            if (back.what == Back::What::Start) break;
            if (!back.white()) {
                after = back;
                at = back.place;
                continue;
            }
            run.assign(1, back);
            for (Back before = back_from(start, back.place); before.white(); before = back_from(start, before.place)) {
                run.push_back(before);
            }
            at = run.back().place;
            // The run starts at its first character that starts a cluster,
            // other than the message's first; within it only CR LF joins.
            std::size_t first = run.size();
            for (std::size_t k = run.size(); k-- > 0;) {
                const bool cluster_starts =
                    k + 1 < run.size() ? !joins_cluster(run[k + 1].value, run[k].value) : starts_cluster(start, run[k]);
                if (cluster_starts && run[k].place != start) {
                    first = k;
                    break;
                }
            }
            if (first == run.size()) continue;
            const Place run_start = run[first].place;
            std::size_t feeds = 0;
            for (std::size_t k = 0; k <= first; ++k) feeds += run[k].value == '\n' ? 1u : 0u;
            if (feeds >= 2) return run_start;
            if (feeds == 1 && !line) line = run_start;
            // A run of one character that the character after it joins is
            // no white space to cut at.
            const bool joined = first == 0 && after.what == Back::What::Character && joins_cluster(run[0].value, after.value);
            if (!joined && !space) {
                space = run_start;
                if (!line_feeds) return space;
            }
        }
        if (line) return line;
        return space;
    }

    // Where a message ends that cannot take what starts at `here`; a message
    // takes at least that (ending at `after`) when nothing else fits.
    static Cut cut(const CutPlaces& places, Place start, Place here, Place after) {
        if (const auto place = places.best()) return Cut{*place, places.between_blocks()};
        return Cut{here != start ? here : after};
    }

    // `at`, moved past the end of the characters of its item and past the
    // items of no characters that show nothing (the edges of frames).
    Place normalized(Place at) const {
        while (at.item < items().size()) {
            const Item& item = items()[at.item];
            const bool passes = item.kind == Item::Kind::Shown || item.kind == Item::Kind::Hidden
                                    ? at.offset >= document_.size_of(item)
                                    : item.kind == Item::Kind::Close ||
                                          (item.kind == Item::Kind::Open && !document_.frames[item.index].box.shown_empty);
            if (!passes) break;
            at = Place{at.item + 1, 0};
        }
        return at;
    }

    // The code point at `at`, moving `at` past the end of its item's
    // characters; nothing at a button, a separator or the end of the document.
    std::optional<CodePoint> code_point_at(Place& at) const {
        at = normalized(at);
        if (at.item == items().size()) return std::nullopt;
        const Item::Kind kind = items()[at.item].kind;
        if (kind != Item::Kind::Shown && kind != Item::Kind::Hidden) return std::nullopt;
        return first_code_point(characters(at.item).substr(at.offset));
    }

    // Passes over the white space that starts at `at`, but for a character
    // that a mark after it joins.
    Place skip_white_space(Place at) const {
        for (auto point = code_point_at(at); point && is_white_space(point->value);) {
            Place next{at.item, at.offset + point->length};
            const auto following = code_point_at(next);
            if (following && !is_white_space(following->value) && joins_cluster(point->value, following->value)) {
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
    std::string_view text_of(const Stretch& stretch) const noexcept {
        const std::size_t from = text_offset(stretch.begin);
        return std::string_view(document_.text).substr(from, text_offset(stretch.end) - from);
    }

    // True when the message from `start` to `end` shows characters or a button.
    bool shows_anything(Place start, Place end) const {
        bool shown = false;
        message_detail::for_each_item(document_, start, end, [&](const Item& item, std::string_view characters) {
            shown |= item.kind == Item::Kind::Button || (item.kind == Item::Kind::Shown && !characters.empty());
        });
        return shown;
    }

    // The part of the document from `start` to `end`, where `open` are
    // open, with the header rows `header` atop it.
    Part part(Place start, Place end, const OpenFrames& open, const std::optional<Stretch>& header) const {
        Part out;
        if (header) out.stretches.push_back(*header);
        out.stretches.push_back(Stretch{start, end});
        out.open = open;
        for (const Stretch& stretch : out.stretches) out.alt_text.append(text_of(stretch));
        if (out.alt_text.empty()) out.alt_text = labels_as_alt_text(document_, start, end, limits_);
        return out;
    }

    const Document& document_;
    const LineLimits& limits_;
    CutSearch search_;
    // Frames of blocks, between which a message ends first: found walking.
    bool has_blocks_ = std::any_of(document_.frames.begin(), document_.frames.end(),
                                   [](const Frame& frame) { return frame.block; });
};

}  // namespace

// The document with its outermost boxes flattened where the boxes written
// around some text take more of a message of `limits` than leaves room for
// a text component in them: on every path the innermost boxes are kept, as
// many as fit. Nothing when every box fits.
std::optional<Document> flattened_to_fit(const Document& document, const LineLimits& limits) {
    const BubbleSizes& sizes = bubble_sizes();
    // Room for a text component, a span and a few characters.
    constexpr std::size_t TEXT_ROOM = 512;
    const std::size_t taken = sizes.bubble + sizes.right_to_left + sizes.body + TEXT_ROOM;
    const std::size_t budget = limits.bubble_bytes > taken ? limits.bubble_bytes - taken : 0;
    // Most documents nest too few boxes for the bytes of each to matter, and
    // where one message holds the whole, no box is flattened.
    static const std::size_t widest_box = sizes.frame(Frame{
        Frame::Kind::Box, false, {},
        BoxStyle{true, std::numeric_limits<std::int32_t>::max(), BoxStyle::Spacing::Medium, true, true,
                 BoxStyle::Background::Quote, true, true, false},
        0, 0}) + 1;
    std::vector<bool> boxes;  // whether each frame open is a box
    std::size_t depth = 0, deepest = 0;
    for (const Item& item : document.items) {
        if (item.kind == Item::Kind::Open) {
            boxes.push_back(document.frames[item.index].kind == Frame::Kind::Box);
            if (boxes.back()) ++depth;
            deepest = std::max(deepest, depth);
        } else if (item.kind == Item::Kind::Close && !boxes.empty()) {
            if (boxes.back()) --depth;
            boxes.pop_back();
        }
    }
    if (deepest * widest_box <= budget || Cutter(document, limits, CutSearch::Fast).fits_whole()) return std::nullopt;
    // The bytes of each box that is written (that shows something) and of
    // the most that are written on a path down from it.
    std::vector<std::size_t> below_box(document.frames.size(), 0);
    struct Open {
        std::uint32_t frame;
        std::size_t below = 0;  // the most bytes of boxes on a path inside
        bool shows = false;
    };
    std::vector<Open> open{{0, 0, false}};  // the body, then the frames open
    for (const Item& item : document.items) {
        if (item.kind == Item::Kind::Open) {
            open.push_back({item.index, 0, document.frames[item.index].box.shown_empty});
        } else if (item.kind == Item::Kind::Shown || item.kind == Item::Kind::Separator) {
            open.back().shows |= item.kind == Item::Kind::Separator || document.size_of(item) > 0;
        } else if (item.kind == Item::Kind::Close && open.size() > 1) {
            const Open closed = open.back();
            open.pop_back();
            const Frame& frame = document.frames[closed.frame];
            std::size_t bytes = closed.below;
            if (closed.shows && frame.kind == Frame::Kind::Box) bytes += sizes.frame(frame) + 1;
            if (frame.kind == Frame::Kind::Box) below_box[closed.frame] = bytes;
            open.back().below = std::max(open.back().below, bytes);
            open.back().shows |= closed.shows;
        }
    }
    if (open.front().below <= budget) return std::nullopt;
    std::optional<Document> flat(document);
    std::vector<std::size_t> written{0};  // bytes of the boxes written around each place
    for (const Item& item : document.items) {
        if (item.kind == Item::Kind::Open) {
            std::size_t around = written.back();
            const Frame& frame = document.frames[item.index];
            if (frame.kind == Frame::Kind::Box && below_box[item.index] > 0) {
                if (around + below_box[item.index] > budget) {
                    flat->frames[item.index].flattened = true;
                } else {
                    around += sizes.frame(frame) + 1;
                }
            }
            written.push_back(around);
        } else if (item.kind == Item::Kind::Close && written.size() > 1) {
            written.pop_back();
        }
    }
    return flat;
}

std::string labels_as_alt_text(const Document& document, Place begin, Place end, const LineLimits& limits) {
    std::string labels;
    message_detail::for_each_item(document, begin, end, [&](const Item& item, std::string_view) {
        if (item.kind != Item::Kind::Button) return;
        if (!labels.empty()) labels.push_back('\n');
        labels.append(document.view(document.buttons[item.index].label));
    });
    return shorten_to_utf16(labels, limits.alt_text);
}

std::vector<Part> cut_into_parts(const Document& document, const LineLimits& limits, CutSearch search) {
    return Cutter(document, limits, search).parts();
}

std::vector<std::string> cut_into_messages(const Document& document, const LineLimits& limits, CutSearch search) {
    StringWrite write;
    write_cut(document, limits, write, search);
    return std::move(write.messages);
}

}  // namespace line

std::vector<std::string> split(std::string_view text, const ConvertOptions& options, const LineLimits& limits) {
    return line::split_reading(line::MarkdownReading{text, options}, limits);
}

}  // namespace quenra
