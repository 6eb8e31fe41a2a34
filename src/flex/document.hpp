// A Flex message as the readings make it and as the writer, the cutter and
// LINE's rules take it: flat, in reading order.
//
// Every character that the message holds is in `text`, in reading order:
// the characters its spans show, those it only lists in its altText (a code
// block inside a styled run, the line end after a standalone link), and the
// labels of standalone links. Together they are the message's altText. Each
// item owns the next stretch of `text`, so that any run of items owns one
// stretch of it. A span may be made of several items: consecutive shown items
// of one look that merge are written as one span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

namespace quenra {

// What shown text looks like: what its styles set. One byte, compared as a
// whole, since spans are merged where the looks of their items are equal.
class Look {
public:
    enum class Decoration : std::uint8_t { None, Underline, LineThrough };
    enum class Color : std::uint8_t { None, Spoiler, Link, Code };

    constexpr Look() noexcept = default;
    constexpr Look(bool bold, bool italic, Decoration decoration, Color color, bool small) noexcept
        : bits_(static_cast<std::uint8_t>(static_cast<unsigned>(bold) | static_cast<unsigned>(italic) << 1 |
                                          static_cast<unsigned>(decoration) << 2 | static_cast<unsigned>(color) << 4 |
                                          static_cast<unsigned>(small) << 6)) {}

    constexpr bool bold() const noexcept { return (bits_ & 1) != 0; }
    constexpr bool italic() const noexcept { return (bits_ >> 1 & 1) != 0; }
    constexpr Decoration decoration() const noexcept { return static_cast<Decoration>(bits_ >> 2 & 3); }
    constexpr Color color() const noexcept { return static_cast<Color>(bits_ >> 4 & 3); }
    constexpr bool small() const noexcept { return (bits_ >> 6 & 1) != 0; }

    constexpr Look with_bold() const noexcept { return {true, italic(), decoration(), color(), small()}; }
    constexpr Look with_italic() const noexcept { return {bold(), true, decoration(), color(), small()}; }
    constexpr Look with_decoration(Decoration to) const noexcept { return {bold(), italic(), to, color(), small()}; }
    constexpr Look with_color(Color to) const noexcept { return {bold(), italic(), decoration(), to, small()}; }

    // The look as one byte (below 128), and back.
    constexpr std::uint8_t code() const noexcept { return bits_; }
    static constexpr Look from_code(std::uint8_t code) noexcept {
        Look look;
        look.bits_ = code;
        return look;
    }

    friend constexpr bool operator==(Look, Look) noexcept = default;

private:
    std::uint8_t bits_ = 0;
};

// Code, inline or in a block: red and small, whatever the styles around it.
inline constexpr Look CODE_LOOK{false, false, Look::Decoration::None, Look::Color::Code, true};

// Characters a document refers to: a stretch of its text, of its own
// strings (repaired labels and URIs), or of the input it was read from.
struct Ref {
    enum class In : std::uint8_t { Text, Strings, Input };
    In in = In::Text;
    std::size_t offset = 0;
    std::size_t length = 0;
};

struct Item {
    enum class Kind : std::uint8_t {
        Shown,   // characters of a span
        Hidden,  // characters of the altText only
        Button,  // a footer button; its characters, if any, are a standalone link's label
    };
    Kind kind;
    // Shown: joins the span of the shown item before it, when that one
    // merges too and looks the same. Code never merges.
    bool merges = false;
    // Button: a standalone link's, which may start a message of its own.
    bool standalone = false;
    Look look;  // Shown
    // Shown: the quote it is in, counted from 1 in the order of the text;
    // 0 outside quotes.
    std::uint32_t quote = 0;
    // Shown: the text component it belongs to; Button: its entry in `buttons`.
    std::size_t index = 0;
    std::size_t begin = 0;  // its characters: text[begin, end)
    std::size_t end = 0;

    std::size_t size() const noexcept { return end - begin; }
};

struct ButtonText {
    Ref label;
    Ref uri;
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
        : text(memory), strings(memory), items(memory), buttons(memory) {}

    std::string_view input;
    std::pmr::string text;
    std::pmr::string strings;
    std::pmr::vector<Item> items;
    std::pmr::vector<ButtonText> buttons;

    std::string_view view(const Ref& ref) const noexcept {
        const std::string_view whole = ref.in == Ref::In::Text ? std::string_view(text)
                                       : ref.in == Ref::In::Strings ? std::string_view(strings)
                                                                    : input;
        return whole.substr(ref.offset, ref.length);
    }
    std::string_view characters(const Item& item) const noexcept {
        return std::string_view(text).substr(item.begin, item.size());
    }
    // `text` as a stretch of the input, when it is one.
    Ref input_ref(std::string_view part) const noexcept {
        return Ref{Ref::In::Input, static_cast<std::size_t>(part.data() - input.data()), part.size()};
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
