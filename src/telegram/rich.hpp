// Reading Telegram's rich messages (Bot API RichMessage: blocks of rich
// text) into a document: headings, lists, tables, quotes, details and media
// placeholders as boxes and text components, links and buttons as today's.
//
// The message comes as a tree of nodes of any source that models RichNode:
// JSON (rich_json.cpp), or the caller's Python objects (the binding). Input
// is untrusted: types this version does not know show their text, if any;
// malformed input raises InvalidRichMessage naming where it is; nesting is
// bounded, so that no input can exhaust the stack.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/build.hpp"
#include "flex/document.hpp"
#include "line/repair.hpp"
#include <quenra/telegram.hpp>
#include "telegram/links.hpp"

namespace quenra::telegram {

// What a node of a rich message is.
enum class NodeKind : std::uint8_t { Missing, Null, Boolean, Number, String, Array, Object };

// A node of a rich message's tree. Reading a member or an item gives a node
// of its own, Missing when there is none; a node's text stays valid while
// the node does.
template <class N>
concept RichNode = requires(const N& node, std::string_view name, std::size_t index) {
    { node.kind() } -> std::same_as<NodeKind>;
    { node.member(name) } -> std::same_as<N>;  // of an Object
    { node.size() } -> std::same_as<std::size_t>;  // of an Array
    { node.item(index) } -> std::same_as<N>;  // of an Array
    { node.text() } -> std::same_as<std::string_view>;  // of a String
    { node.boolean() } -> std::same_as<bool>;  // of a Boolean
    { node.number() } -> std::same_as<double>;  // of a Number
};

namespace rich_detail {

// Telegram's own limits on what it sends, beyond which a message is refused,
// and a bound of this reader's own on nesting rich text (far beyond what any
// message needs), so that no input exhausts the stack.
inline constexpr std::size_t MAX_BLOCK_DEPTH = 16;
inline constexpr std::size_t MAX_TEXT_DEPTH = 32;
inline constexpr std::int64_t MAX_COLUMNS = 20;

// Where a reader is in the message, for what it says of malformed input.
class Path {
public:
    struct Step {
        std::string_view name;  // a member, or empty for an item
        std::size_t index = 0;
    };

    void push(std::string_view name) { steps_.push_back({name, 0}); }
    void push(std::size_t index) { steps_.push_back({{}, index}); }
    void pop() noexcept { steps_.pop_back(); }

    // As Python writes it: blocks[3].items[0].blocks.
    std::string text() const {
        std::string out;
        for (const Step& step : steps_) {
            if (step.name.empty()) {
                out += "[" + std::to_string(step.index) + "]";
            } else {
                if (!out.empty()) out += ".";
                out += step.name;
            }
        }
        return out.empty() ? std::string("rich_message") : out;
    }

    [[noreturn]] void refuse(std::string_view what) const {
        throw InvalidRichMessage(text() + " " + std::string(what));
    }

private:
    std::vector<Step> steps_;
};

constexpr std::string_view kind_name(NodeKind kind) noexcept {
    switch (kind) {
    case NodeKind::Missing:
        return "missing";
    case NodeKind::Null:
        return "null";
    case NodeKind::Boolean:
        return "a boolean";
    case NodeKind::Number:
        return "a number";
    case NodeKind::String:
        return "a string";
    case NodeKind::Array:
        return "an array";
    case NodeKind::Object:
        return "an object";
    }
    return "";
}

// The shortest text that reads back as `value`, as coordinates are written.
inline std::string number_text(double value) {
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, written.ptr);
}

inline constexpr Frame LIST_FRAME{Frame::Kind::Box, true, {}, BoxStyle{.spacing = BoxStyle::Spacing::Small}, 0, 0};
inline constexpr Frame ITEM_FRAME{Frame::Kind::Box, true, {},
                                  BoxStyle{.horizontal = true, .spacing = BoxStyle::Spacing::Small}, 0, 0};
inline constexpr Frame ITEM_CONTENTS_FRAME{Frame::Kind::Box, false, {},
                                           BoxStyle{.flex = 1, .spacing = BoxStyle::Spacing::Small}, 0, 0};
inline constexpr Frame DETAILS_FRAME{Frame::Kind::Box, true, {}, BoxStyle{.indented = true}, 0, 0};
inline constexpr TextStyle CAPTION{.size = TextStyle::Size::Small, .grey = true};

}  // namespace rich_detail

// Reads a rich message from its root node into a document with `links` as
// the link policy.
template <RichNode Node, LinkPolicy Links>
class RichReader {
public:
    RichReader(Document& document, Links& links, const ConvertOptions& options)
        : builder_(document, links, options) {}

    void read(const Node& message) {
        expect(message, NodeKind::Object);
        document().right_to_left = optional_boolean(message, "is_rtl");
        const Node blocks = message.member("blocks");
        with("blocks", [&] {
            expect(blocks, NodeKind::Array);
            read_blocks(blocks, 0);
        });
        builder_.finish();
    }

private:
    using Path = rich_detail::Path;

    Document& document() noexcept { return builder_.document(); }

    // ---- Reading nodes, with the path of what is read ------------------

    template <class Read>
    void with(std::string_view name, Read&& read) {
        path_.push(name);
        read();
        path_.pop();
    }
    template <class Read>
    void with_item(std::size_t index, Read&& read) {
        path_.push(index);
        read();
        path_.pop();
    }

    void expect(const Node& node, NodeKind kind) const {
        if (node.kind() != kind) {
            path_.refuse("must be " + std::string(rich_detail::kind_name(kind)) + ", not " +
                         std::string(rich_detail::kind_name(node.kind())));
        }
    }
    static bool present(const Node& node) noexcept {
        return node.kind() != NodeKind::Missing && node.kind() != NodeKind::Null;
    }

    // A member that may be missing, else of `kind`.
    std::optional<Node> optional_member(const Node& object, std::string_view name, NodeKind kind) {
        Node node = object.member(name);
        if (!present(node)) return std::nullopt;
        path_.push(name);
        expect(node, kind);
        path_.pop();
        return node;
    }
    bool optional_boolean(const Node& object, std::string_view name) {
        const auto node = optional_member(object, name, NodeKind::Boolean);
        return node && node->boolean();
    }
    std::optional<std::string_view> optional_string(const Node& object, std::string_view name,
                                                    std::optional<Node>& holder) {
        holder = optional_member(object, name, NodeKind::String);
        if (!holder) return std::nullopt;
        return holder->text();
    }
    // A whole number, clamped to [least, most]; `fallback` when missing.
    std::int64_t optional_integer(const Node& object, std::string_view name, std::int64_t fallback,
                                  std::int64_t least, std::int64_t most) {
        const auto node = optional_member(object, name, NodeKind::Number);
        if (!node) return fallback;
        const double value = node->number();
        if (!(value >= static_cast<double>(least))) return least;  // NaN too
        if (value > static_cast<double>(most)) return most;
        return static_cast<std::int64_t>(value);
    }

    // The type of a block or a text object.
    std::string_view type_of(const Node& node, std::optional<Node>& holder) {
        expect(node, NodeKind::Object);
        const auto type = optional_string(node, "type", holder);
        if (!type) path_.refuse("has no type");
        return *type;
    }

    // ---- Rich text ----------------------------------------------------

    // How text is read where it stands.
    struct Context {
        Look look;
        bool code = false;     // shows the look of code, whatever is inside
        bool in_link = false;  // links inside a link are part of it
    };

    // Reads the member `name` of `object` as rich text nested `depth` deep,
    // if it has one.
    void read_text_member(const Node& object, std::string_view name, const Context& context, std::size_t depth = 0) {
        const Node text = object.member(name);
        if (!present(text)) return;
        with(name, [&] { read_text(text, context, depth); });
    }

    void read_text(const Node& node, const Context& context, std::size_t depth) {
        if (depth > rich_detail::MAX_TEXT_DEPTH) path_.refuse("nests text deeper than 32 levels");
        switch (node.kind()) {
        case NodeKind::String:
            return show(node.text(), context);
        case NodeKind::Array:
            for (std::size_t i = 0; i < node.size(); ++i) {
                const Node item = node.item(i);
                with_item(i, [&] { read_text(item, context, depth + 1); });
            }
            return;
        case NodeKind::Object:
            return read_text_object(node, context, depth);
        default:
            path_.refuse("must be a string, an array or an object, not " +
                         std::string(rich_detail::kind_name(node.kind())));
        }
    }

    void show(std::string_view characters, const Context& context) {
        if (!characters.empty()) builder_.text(characters, context.look);
    }

    // The look inside a text object of `type` in `context`; code sets
    // nothing more.
    static Context styled(Context context, std::string_view type) {
        if (context.code) return context;
        if (type == "bold") context.look = run_look(context.look, RunStyle::Bold);
        if (type == "italic") context.look = run_look(context.look, RunStyle::Italic);
        if (type == "underline") context.look = run_look(context.look, RunStyle::Underline);
        if (type == "strikethrough") context.look = run_look(context.look, RunStyle::Strikethrough);
        if (type == "spoiler") context.look = run_look(context.look, RunStyle::Spoiler);
        if (type == "marked") context.look = context.look.with_color(Look::Color::Marked);
        if (type == "subscript" || type == "superscript") context.look = context.look.with_size(Look::Size::ExtraSmall);
        return context;
    }

    static Context as_code(Context context) {
        context.code = true;
        context.look = CODE_LOOK;
        return context;
    }

    void read_text_object(const Node& node, const Context& context, std::size_t depth) {
        std::optional<Node> type_holder;
        const std::string_view type = type_of(node, type_holder);
        std::optional<Node> holder;
        if (type == "code") return read_text_member(node, "text", as_code(context), depth + 1);
        if (type == "mathematical_expression") {
            if (const auto expression = optional_string(node, "expression", holder)) show(*expression, as_code(context));
            return;
        }
        if (type == "custom_emoji") {
            if (const auto alternative = optional_string(node, "alternative_text", holder)) show(*alternative, context);
            return;
        }
        if (type == "anchor") return;
        if (type == "button") return read_inline_button(node, context, depth);
        if (const auto uri = link_uri(node, type)) return read_link(node, *uri, context, depth);
        // Styles, and every other type with a text: its text.
        read_text_member(node, "text", styled(context, type), depth + 1);
    }

    // What a link of `type` opens; nothing for other types.
    std::optional<std::string> link_uri(const Node& node, std::string_view type) {
        std::optional<Node> holder;
        const auto field = [&](std::string_view name) { return optional_string(node, name, holder).value_or(""); };
        if (type == "url") return std::string(field("url"));
        if (type == "mention") return mention_uri(field("username"));
        if (type == "phone_number") return phone_uri(field("phone_number"));
        if (type == "email_address") return email_uri(field("email_address"));
        return std::nullopt;
    }

    void read_link(const Node& node, const std::string& uri, const Context& context, std::size_t depth) {
        if (context.in_link) return read_text_member(node, "text", context, depth + 1);
        Context inside = context;
        inside.in_link = true;
        builder_.link(Link{{}, uri}, context.look, false, [&](const Look& look) {
            // Code keeps its look; a link in it keeps its button alone.
            if (!context.code) inside.look = look;
            read_text_member(node, "text", inside, depth + 1);
        });
    }

    // An inline button: its text as plain text, and its button.
    void read_inline_button(const Node& node, const Context& context, std::size_t depth) {
        const Node button = node.member("button");
        if (!present(button)) return;
        with("button", [&] {
            expect(button, NodeKind::Object);
            const std::string label = plain_text_of(button, "text", depth + 1);
            show(label, context);
            add_button(button, label);
        });
    }

    // The rich text of `object`'s member `name` as plain text, `depth` deep
    // in the text around it: a button's text holds buttons too.
    std::string plain_text_of(const Node& object, std::string_view name, std::size_t depth = 0) {
        const Node text = object.member(name);
        std::string out;
        if (present(text)) with(name, [&] { append_plain_text(text, out, depth); });
        return out;
    }
    void append_plain_text(const Node& node, std::string& out, std::size_t depth) {
        if (depth > rich_detail::MAX_TEXT_DEPTH) path_.refuse("nests text deeper than 32 levels");
        switch (node.kind()) {
        case NodeKind::String:
            out.append(node.text());
            return;
        case NodeKind::Array:
            for (std::size_t i = 0; i < node.size(); ++i) {
                const Node item = node.item(i);
                with_item(i, [&] { append_plain_text(item, out, depth + 1); });
            }
            return;
        case NodeKind::Object: {
            std::optional<Node> holder;
            const std::string_view type = type_of(node, holder);
            std::optional<Node> field;
            if (type == "mathematical_expression") {
                out.append(optional_string(node, "expression", field).value_or(""));
            } else if (type == "custom_emoji") {
                out.append(optional_string(node, "alternative_text", field).value_or(""));
            } else if (type == "button") {
                const Node button = node.member("button");
                if (present(button)) with("button", [&] {
                        expect(button, NodeKind::Object);
                        out.append(plain_text_of(button, "text", depth + 1));
                    });
            } else if (const Node text = node.member("text"); present(text)) {
                with("text", [&] { append_plain_text(text, out, depth + 1); });
            }
            return;
        }
        default:
            path_.refuse("must be a string, an array or an object, not " +
                         std::string(rich_detail::kind_name(node.kind())));
        }
    }

    // A RichMessageButton: a footer button for a URL, one that copies for
    // copy_text; the other kinds do nothing on LINE.
    void add_button(const Node& button, std::string_view label) {
        std::optional<Node> holder;
        if (const auto url = optional_string(button, "url", holder)) {
            builder_.button(label, *url);
            return;
        }
        const auto copy = optional_member(button, "copy_text", NodeKind::Object);
        if (!copy) return;
        with("copy_text", [&] {
            std::optional<Node> text_holder;
            if (const auto text = optional_string(*copy, "text", text_holder)) builder_.button(label, *text, true);
        });
    }

    // ---- Blocks -------------------------------------------------------

    void read_blocks(const Node& blocks, std::size_t depth) {
        if (depth >= rich_detail::MAX_BLOCK_DEPTH) path_.refuse("nests blocks deeper than Telegram allows");
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const Node block = blocks.item(i);
            with_item(i, [&] { read_block(block, depth); });
        }
    }

    // The blocks of `object`'s member `name`, if it has one.
    void read_blocks_member(const Node& object, std::string_view name, std::size_t depth) {
        const auto blocks = optional_member(object, name, NodeKind::Array);
        if (blocks) with(name, [&] { read_blocks(*blocks, depth + 1); });
    }

    // Blocks show on lines of their own in the altText; a list item's
    // first block follows its label.
    void start_block() {
        const std::string_view text = document().text;
        if (after_label_) {
            after_label_ = false;
        } else if (!text.empty() && text.back() != '\n') {
            builder_.hidden("\n");
        }
    }

    // A text component of `style` with the rich text of `object`'s member
    // `name` in `context`.
    void text_block(const Node& object, std::string_view name, const TextStyle& style, const Context& context = {}) {
        start_block();
        builder_.begin_text(style, true);
        read_text_member(object, name, context);
        builder_.end_text();
    }
    // A text component of characters given.
    void text_block(std::string_view characters, const TextStyle& style, const Context& context = {}) {
        start_block();
        builder_.begin_text(style, true);
        show(characters, context);
        builder_.end_text();
    }

    void read_block(const Node& block, std::size_t depth) {
        std::optional<Node> type_holder;
        const std::string_view type = type_of(block, type_holder);
        using Size = TextStyle::Size;
        static constexpr Context ITALIC{Look().with_italic()};
        if (type == "paragraph") return text_block(block, "text", {});
        if (type == "heading") {
            const std::int64_t size = optional_integer(block, "size", 1, 1, 6);
            const Size shown = size == 1 ? Size::ExtraLarge : size == 2 ? Size::Large : Size::Medium;
            return text_block(block, "text", TextStyle{.size = shown, .bold = true});
        }
        if (type == "pre") return text_block(block, "text", {}, as_code({}));
        if (type == "footer") return text_block(block, "text", TextStyle{.size = Size::ExtraSmall, .grey = true});
        if (type == "thinking") return text_block(block, "text", TextStyle{.grey = true}, ITALIC);
        if (type == "divider") {
            start_block();
            builder_.separator();
            return;
        }
        if (type == "mathematical_expression") {
            std::optional<Node> holder;
            const auto expression = optional_string(block, "expression", holder);
            return text_block(expression.value_or(""), TextStyle{.align = TextStyle::Align::Center}, as_code({}));
        }
        if (type == "anchor") return;
        if (type == "list") return read_list(block, depth);
        if (type == "blockquote" || type == "expandable_blockquote") return read_quote(block, type, depth);
        if (type == "pullquote") {
            text_block(block, "text", TextStyle{.align = TextStyle::Align::Center}, ITALIC);
            return read_credit(block, TextStyle::Align::Center);
        }
        if (type == "collage" || type == "slideshow") {
            read_blocks_member(block, "blocks", depth);
            return read_caption(block);
        }
        if (type == "table") return read_table(block);
        if (type == "details") return read_details(block, depth);
        if (type == "map") return read_map(block);
        if (const auto placeholder = media_placeholder(block, type)) {
            text_block(*placeholder, {});
            return read_caption(block);
        }
        if (type == "buttons") return read_buttons(block);
        // A block of a later version: its text, if it has one.
        if (present(block.member("text"))) text_block(block, "text", {});
    }

    std::optional<std::string> media_placeholder(const Node& block, std::string_view type) {
        if (type == "photo") return "🖼 Photo";
        if (type == "video") return "🎬 Video";
        if (type == "animation") return "🎞 GIF";
        if (type == "audio") return "🎵 Audio";
        if (type == "voice_note") return "🎤 Voice message";
        if (type != "document") return std::nullopt;
        std::string name = "File";
        if (const auto document_node = optional_member(block, "document", NodeKind::Object)) {
            with("document", [&] {
                std::optional<Node> holder;
                if (const auto file_name = optional_string(*document_node, "file_name", holder)) name = *file_name;
            });
        }
        return "📄 " + name;
    }

    // A RichBlockCaption: its text, and its credit.
    void read_caption(const Node& block) {
        const auto caption = optional_member(block, "caption", NodeKind::Object);
        if (!caption) return;
        with("caption", [&] {
            if (present(caption->member("text"))) text_block(*caption, "text", rich_detail::CAPTION);
            read_credit(*caption, TextStyle::Align::Default);
        });
    }

    // "— " and the credit, if `object` has one.
    void read_credit(const Node& object, TextStyle::Align align) {
        if (!present(object.member("credit"))) return;
        TextStyle style = rich_detail::CAPTION;
        style.align = align;
        start_block();
        builder_.begin_text(style, true);
        show("— ", {});
        read_text_member(object, "credit", {});
        builder_.end_text();
    }

    void read_quote(const Node& block, std::string_view type, std::size_t depth) {
        start_block();
        builder_.begin_quote();
        if (type == "blockquote") {
            read_blocks_member(block, "blocks", depth);
        } else {
            text_block(block, "text", {});  // shown whole: Flex cannot fold
        }
        read_credit(block, TextStyle::Align::Default);
        builder_.end_quote();
    }

    void read_details(const Node& block, std::size_t depth) {
        text_block(block, "summary", TextStyle{.bold = true});
        // Shown open, as Flex cannot fold.
        builder_.open_frame(rich_detail::DETAILS_FRAME);
        read_blocks_member(block, "blocks", depth);
        builder_.close_frame();
    }

    void read_list(const Node& block, std::size_t depth) {
        const auto items = optional_member(block, "items", NodeKind::Array);
        start_block();
        builder_.open_frame(rich_detail::LIST_FRAME);
        if (items) {
            with("items", [&] {
                for (std::size_t i = 0; i < items->size(); ++i) {
                    const Node item = items->item(i);
                    with_item(i, [&] { read_list_item(item, depth); });
                }
            });
        }
        builder_.close_frame();
    }

    void read_list_item(const Node& item, std::size_t depth) {
        expect(item, NodeKind::Object);
        std::string label = "•";
        std::optional<Node> holder;
        if (optional_boolean(item, "has_checkbox")) {
            label = optional_boolean(item, "is_checked") ? "☑" : "☐";
        } else if (const auto given = optional_string(item, "label", holder); given && !given->empty()) {
            label = *given;
        }
        start_block();
        builder_.open_frame(rich_detail::ITEM_FRAME);
        builder_.begin_text(TextStyle{.flex = 0});
        show(label, {});
        builder_.end_text();
        builder_.hidden(" ");
        builder_.open_frame(rich_detail::ITEM_CONTENTS_FRAME);
        after_label_ = true;
        read_blocks_member(item, "blocks", depth);
        after_label_ = false;
        builder_.close_frame();
        builder_.close_frame();
    }

    void read_map(const Node& block) {
        text_block("📍 Map", {});
        std::optional<std::string> latitude, longitude;
        if (const auto location = optional_member(block, "location", NodeKind::Object)) {
            with("location", [&] {
                // A coordinate that is no finite number (NaN or infinity,
                // from Python) makes no place to open.
                if (const auto node = optional_member(*location, "latitude", NodeKind::Number);
                    node && std::isfinite(node->number())) {
                    latitude = rich_detail::number_text(node->number());
                }
                if (const auto node = optional_member(*location, "longitude", NodeKind::Number);
                    node && std::isfinite(node->number())) {
                    longitude = rich_detail::number_text(node->number());
                }
            });
        }
        if (latitude && longitude) {
            const std::string zoom = std::to_string(optional_integer(block, "zoom", 15, 0, 20));
            builder_.button("Open map", "https://www.openstreetmap.org/?mlat=" + *latitude + "&mlon=" + *longitude +
                                            "#map=" + zoom + "/" + *latitude + "/" + *longitude);
        }
        read_caption(block);
    }

    void read_buttons(const Node& block) {
        const auto buttons = optional_member(block, "buttons", NodeKind::Array);
        if (!buttons) return;
        with("buttons", [&] {
            for (std::size_t i = 0; i < buttons->size(); ++i) {
                const Node button = buttons->item(i);
                with_item(i, [&] {
                    expect(button, NodeKind::Object);
                    add_button(button, plain_text_of(button, "text"));
                });
            }
        });
    }

    // ---- Tables -------------------------------------------------------

    // A cell that a rowspan carries into later rows: where it stands.
    struct Carried {
        std::int64_t column;
        std::int64_t width;
        std::int64_t rows_left;
    };

    void read_table(const Node& block) {
        const auto rows = optional_member(block, "cells", NodeKind::Array);
        const bool bordered = optional_boolean(block, "is_bordered");
        const bool striped = optional_boolean(block, "is_striped");
        start_block();
        const std::uint32_t table = builder_.open_frame(Frame{Frame::Kind::Box, true, {}, {}, 0, 0});
        std::vector<Carried> carried;
        bool leading_headers = true;
        if (rows) {
            with("cells", [&] {
                for (std::size_t r = 0; r < rows->size(); ++r) {
                    const Node row = rows->item(r);
                    with_item(r, [&] {
                        expect(row, NodeKind::Array);
                        if (r > 0) {
                            builder_.hidden("\n");
                            if (bordered) builder_.separator();
                        }
                        BoxStyle style{.horizontal = true};
                        if (striped && r % 2 == 1) style.background = BoxStyle::Background::Stripe;
                        const auto row_start = static_cast<std::uint32_t>(document().items.size());
                        builder_.open_frame(Frame{Frame::Kind::Box, true, {}, style, 0, 0});
                        const bool header = read_row(row, carried);
                        builder_.close_frame();
                        Frame& frame = document().frames[table];
                        // The header rows run up to the start of the first row
                        // after them (past the line break and separator before
                        // it), or to the end of the last.
                        if (leading_headers && header) {
                            if (r == 0) frame.header_begin = row_start;
                            frame.header_end = static_cast<std::uint32_t>(document().items.size());
                        } else {
                            if (leading_headers && r > 0) frame.header_end = row_start;
                            leading_headers = false;
                        }
                    });
                }
            });
        }
        builder_.close_frame();
        if (const Node caption = block.member("caption"); present(caption)) {
            text_block(block, "caption", rich_detail::CAPTION);
        }
    }

    // The cells of one row, with boxes where cells of rows above span it;
    // true when every cell with text is a header, and one is.
    bool read_row(const Node& row, std::vector<Carried>& carried) {
        std::int64_t column = 0;
        bool header = true;
        bool any_text = false;
        // Empty boxes for the carried cells that stand at `column`.
        const auto place_carried = [&] {
            for (bool found = true; found;) {
                found = false;
                for (Carried& cell : carried) {
                    if (cell.rows_left > 0 && cell.column == column) {
                        empty_cell(cell.width);
                        column += cell.width;
                        --cell.rows_left;
                        found = true;
                    }
                }
            }
        };
        std::vector<Carried> started;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const Node cell = row.item(c);
            with_item(c, [&] {
                expect(cell, NodeKind::Object);
                place_carried();
                const std::int64_t width = optional_integer(cell, "colspan", 1, 1, rich_detail::MAX_COLUMNS);
                const std::int64_t height = optional_integer(cell, "rowspan", 1, 1, 1 << 16);
                const bool is_header = optional_boolean(cell, "is_header");
                if (present(cell.member("text"))) {
                    if (any_text) builder_.hidden(" | ");
                    any_text = true;
                    header &= is_header;
                    read_cell(cell, width, is_header);
                } else {
                    empty_cell(width);
                }
                if (height > 1) started.push_back({column, width, height - 1});
                column += width;
            });
        }
        place_carried();
        // Cells carried beyond this row's last cell stand where they are.
        for (Carried& cell : carried) {
            if (cell.rows_left > 0 && cell.column >= column) {
                empty_cell(cell.width);
                --cell.rows_left;
            }
        }
        std::erase_if(carried, [](const Carried& cell) { return cell.rows_left <= 0; });
        carried.insert(carried.end(), started.begin(), started.end());
        std::sort(carried.begin(), carried.end(), [](const Carried& a, const Carried& b) { return a.column < b.column; });
        return header && any_text;
    }

    void empty_cell(std::int64_t width) {
        builder_.open_frame(Frame{Frame::Kind::Box, false, {},
                                  BoxStyle{.flex = static_cast<std::int32_t>(width), .shown_empty = true}, 0, 0});
        builder_.close_frame();
    }

    void read_cell(const Node& cell, std::int64_t width, bool is_header) {
        std::optional<Node> holder;
        const auto align = optional_string(cell, "align", holder).value_or("");
        std::optional<Node> vholder;
        const auto valign = optional_string(cell, "valign", vholder).value_or("");
        TextStyle style{.flex = static_cast<std::int32_t>(width), .size = TextStyle::Size::Small, .bold = is_header};
        style.align = align == "left"     ? TextStyle::Align::Start
                      : align == "center" ? TextStyle::Align::Center
                      : align == "right"  ? TextStyle::Align::End
                                          : TextStyle::Align::Default;
        style.gravity = valign == "top"      ? TextStyle::Gravity::Top
                        : valign == "middle" ? TextStyle::Gravity::Center
                        : valign == "bottom" ? TextStyle::Gravity::Bottom
                                             : TextStyle::Gravity::Default;
        builder_.begin_text(style);
        read_text_member(cell, "text", {});
        builder_.end_text();
    }

    DocumentBuilder<Links> builder_;
    Path path_;
    bool after_label_ = false;
};

// A rich message read for delivery to LINE (line/split.hpp), from its root
// node.
template <RichNode Node>
struct RichReading {
    const Node& message;
    bool decorate_links;
    std::size_t size_hint;  // of the message, in bytes, about

    template <LinkPolicy Links>
    Document read(Links& links, std::pmr::memory_resource* memory) const {
        Document document(memory);
        const ConvertOptions options{false, decorate_links};
        RichReader<Node, Links>(document, links, options).read(message);
        return document;
    }
    std::size_t input_size() const noexcept { return size_hint; }
    // A message that shows no character and has no button.
    bool shows_nothing(const Document& document) const noexcept {
        return std::none_of(document.items.begin(), document.items.end(), [&](const Item& item) {
            return item.kind == Item::Kind::Button || (item.kind == Item::Kind::Shown && document.size_of(item) > 0);
        });
    }
};

}  // namespace quenra::telegram
