// A Flex message as the readings make it and as the writer, the cutter and
// LINE's rules take it: flat, in reading order, with its boxes opened and
// closed in place.
//
// Every character that the message holds is in `text`, in reading order:
// the characters its spans show, those it only lists in its altText (a code
// block inside a styled run, the line end after a standalone link, the line
// breaks between blocks), and the labels of standalone links. Together they
// are the message's altText. Each item owns the next stretch of `text`, so
// that any run of items owns one stretch of it. A span may be made of several
// items: consecutive shown items of one look that merge are written as one
// span. The body's components are frames (text components and boxes),
// opened and closed by items around what they hold; a frame is written only
// where it holds something, so that a reading may open frames freely.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

namespace quenra {

// What shown text looks like: what its styles set. Compared as a whole,
// since spans are merged where the looks of their items are equal.
class Look {
public:
    enum class Decoration : std::uint8_t { None, Underline, LineThrough };
    enum class Color : std::uint8_t { None, Spoiler, Link, Code, Marked };
    enum class Size : std::uint8_t { Regular, Small, ExtraSmall };

    constexpr Look() noexcept = default;
    constexpr Look(bool bold, bool italic, Decoration decoration, Color color, Size size) noexcept
        : bits_(static_cast<std::uint16_t>(static_cast<unsigned>(bold) | static_cast<unsigned>(italic) << 1 |
                                           static_cast<unsigned>(decoration) << 2 |
                                           static_cast<unsigned>(color) << 4 | static_cast<unsigned>(size) << 7)) {}

    constexpr bool bold() const noexcept { return (bits_ & 1) != 0; }
    constexpr bool italic() const noexcept { return (bits_ >> 1 & 1) != 0; }
    constexpr Decoration decoration() const noexcept { return static_cast<Decoration>(bits_ >> 2 & 3); }
    constexpr Color color() const noexcept { return static_cast<Color>(bits_ >> 4 & 7); }
    constexpr Size size() const noexcept { return static_cast<Size>(bits_ >> 7 & 3); }

    constexpr Look with_bold() const noexcept { return {true, italic(), decoration(), color(), size()}; }
    constexpr Look with_italic() const noexcept { return {bold(), true, decoration(), color(), size()}; }
    constexpr Look with_decoration(Decoration to) const noexcept { return {bold(), italic(), to, color(), size()}; }
    constexpr Look with_color(Color to) const noexcept { return {bold(), italic(), decoration(), to, size()}; }
    constexpr Look with_size(Size to) const noexcept { return {bold(), italic(), decoration(), color(), to}; }

    // The look as a number below LOOKS, and back.
    static constexpr std::size_t LOOKS = 1 << 9;
    constexpr std::uint16_t code() const noexcept { return bits_; }
    static constexpr Look from_code(std::uint16_t code) noexcept {
        Look look;
        look.bits_ = code;
        return look;
    }

    friend constexpr bool operator==(Look, Look) noexcept = default;

private:
    std::uint16_t bits_ = 0;
};

// Code, inline or in a block: red and small, whatever the styles around it.
inline constexpr Look CODE_LOOK{false, false, Look::Decoration::None, Look::Color::Code, Look::Size::Small};

// How a text component looks as a whole (its spans may set more).
struct TextStyle {
    enum class Size : std::uint8_t { Default, ExtraSmall, Small, Medium, Large, ExtraLarge };
    enum class Align : std::uint8_t { Default, Start, Center, End };
    enum class Gravity : std::uint8_t { Default, Top, Center, Bottom };

    std::int32_t flex = -1;  // none when negative
    Size size = Size::Default;
    bool bold = false;
    bool grey = false;  // the colour of captions and credits
    Align align = Align::Default;
    Gravity gravity = Gravity::Default;

    friend constexpr bool operator==(const TextStyle&, const TextStyle&) = default;
};

// How a box in the body is laid out and looks.
struct BoxStyle {
    enum class Spacing : std::uint8_t { None, Small, Medium };
    enum class Background : std::uint8_t { None, Quote, Stripe };

    bool horizontal = false;
    std::int32_t flex = -1;  // none when negative
    Spacing spacing = Spacing::None;
    bool padded = false;    // padding all round
    bool indented = false;  // padding at the start
    Background background = Background::None;
    bool rounded = false;
    // A bar before its contents: a separator in the colour of links.
    bool bar = false;
    // Written even when it holds nothing, as a place keeper (an empty cell).
    bool shown_empty = false;

    friend constexpr bool operator==(const BoxStyle&, const BoxStyle&) = default;
};

// The deepest that frames nest in a message: readings nest no deeper.
inline constexpr std::size_t MAX_FRAME_DEPTH = 64;

// A component of the body that holds others: a text component (of spans) or
// a box (of components).
struct Frame {
    enum class Kind : std::uint8_t { Text, Box };

    Kind kind = Kind::Text;
    // A block of a structured message: a message may end before it or after
    // it, rather than inside it.
    bool block = false;
    TextStyle text;
    BoxStyle box;
    // A table's leading header rows, repeated atop each later message that a
    // table cut between rows goes on in: the items [header_begin,
    // header_end), none when equal.
    std::uint32_t header_begin = 0;
    std::uint32_t header_end = 0;
    // A box left unwritten, its components written into the box around it:
    // boxes nested too deep for a message of the limits to hold them.
    bool flattened = false;
};

// Characters a document refers to: a stretch of its text, of its own
// strings (repaired labels and URIs), or of the input it was read from.
struct Ref {
    enum class In : std::uint8_t { Text, Strings, Input };
    In in = In::Text;
    std::size_t offset = 0;
    std::size_t length = 0;
};

// Sixteen bytes: a long text has an item for every few words.
struct Item {
    enum class Kind : std::uint8_t {
        Shown,      // characters of a span
        Hidden,     // characters of the altText only
        Button,     // a footer button; its characters, if any, are a standalone link's label
        Open,       // opens a frame: frames[index]
        Close,      // closes the frame opened last
        Separator,  // a separator component
    };
    // Its characters are text[begin, the next item's begin), or up to the
    // text's end for the last (Document::end_of).
    std::size_t begin = 0;
    // Button: its entry in `buttons`; Open: its frame in `frames`.
    std::uint32_t index = 0;
    Look look;  // Shown
    Kind kind = Kind::Shown;
    // Shown: joins the span of the shown item before it, when that one
    // merges too and looks the same. Code never merges.
    bool merges : 1 = false;
    // Button: a standalone link's, which may start a message of its own.
    bool standalone : 1 = false;
};
static_assert(sizeof(Item) == 16);

struct ButtonText {
    Ref label;
    Ref uri;  // or, for a button that copies, the text it copies
    bool copies = false;
};

// Memory for the documents of short texts, which chat messages are: one
// block, on the stack of whoever reads one, so that reading and writing it
// allocates nothing. A longer text's document takes memory as usual.
class DocumentMemory {
public:
    DocumentMemory() noexcept = default;
    DocumentMemory(const DocumentMemory&) = delete;
    DocumentMemory& operator=(const DocumentMemory&) = delete;

    // The memory for the document of a text of `text_size` bytes.
    std::pmr::memory_resource* for_text(std::size_t text_size) noexcept {
        return text_size <= SHORT_TEXT ? &arena_ : std::pmr::get_default_resource();
    }

private:
    // A document takes about ten bytes per byte of chat text.
    static constexpr std::size_t SHORT_TEXT = 512;
    alignas(std::max_align_t) std::byte block_[8192];
    std::pmr::monotonic_buffer_resource arena_{block_, sizeof block_, std::pmr::get_default_resource()};
};

struct Document {
    explicit Document(std::pmr::memory_resource* memory = std::pmr::get_default_resource())
        : text(memory), strings(memory), items(memory), buttons(memory), frames(memory) {}

    std::string_view input;
    std::pmr::string text;
    std::pmr::string strings;
    std::pmr::vector<Item> items;
    std::pmr::vector<ButtonText> buttons;
    std::pmr::vector<Frame> frames;
    // Shown right to left.
    bool right_to_left = false;

    std::string_view view(const Ref& ref) const noexcept {
        const std::string_view whole = ref.in == Ref::In::Text ? std::string_view(text)
                                       : ref.in == Ref::In::Strings ? std::string_view(strings)
                                                                    : input;
        return whole.substr(ref.offset, ref.length);
    }
    // Room for the document of an input of `input_size` bytes: its text is
    // never longer, and it has an item for every few bytes, a button for
    // every few dozen, at most. Room that is not filled costs nothing but
    // addresses, while growing would hold the old and the new at once.
    void reserve_for(std::size_t input_size) {
        text.reserve(input_size);
        items.reserve(std::max<std::size_t>(16, input_size / 4));
        buttons.reserve(input_size / 32);
    }

    // Where the characters of `item`, one of `items`, end.
    std::size_t end_of(const Item& item) const noexcept {
        const Item* const next = &item + 1;
        return next == items.data() + items.size() ? text.size() : next->begin;
    }
    std::size_t size_of(const Item& item) const noexcept { return end_of(item) - item.begin; }
    std::string_view characters(const Item& item) const noexcept {
        return std::string_view(text).substr(item.begin, size_of(item));
    }
    // Leaves out the shown items that have no characters.
    void erase_empty_spans() {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].kind == Item::Kind::Shown && size_of(items[i]) == 0) continue;
            items[kept++] = items[i];
        }
        items.resize(kept);
    }
    // `part` as a stretch of the input, when it lies in it; else kept among
    // the document's own strings.
    Ref ref_to(std::string_view part) {
        const auto* const first = input.data();
        if (!part.empty() && std::less_equal<>()(first, part.data()) &&
            std::less_equal<>()(part.data() + part.size(), first + input.size())) {
            return Ref{Ref::In::Input, static_cast<std::size_t>(part.data() - first), part.size()};
        }
        return keep(part);
    }
    // Keeps `value` among the document's own strings.
    Ref keep(std::string_view value) {
        const Ref ref{Ref::In::Strings, strings.size(), value.size()};
        strings.append(value);
        return ref;
    }
};

// True when shown item `after`, directly after `before` in one component,
// continues its span.
constexpr bool joins(const Item& before, const Item& after) noexcept {
    return before.merges && after.merges && before.look == after.look;
}

}  // namespace quenra
