#include "telegram/document.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "convert/walk.hpp"
#include "telegram/links.hpp"
#include "text/utf8.hpp"

namespace quenra::telegram {

namespace {

// An entity of the normal form with its place in the text in bytes.
struct Placed {
    const EntityView* entity;  // the given one it stands for, with its URL
    EntityType type;
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::string describe(const EntityView& entity) {
    return std::string(entity_type_name(entity.type)) + " entity at offset " + std::to_string(entity.offset) +
           " with length " + std::to_string(entity.length);
}

// The entities in their normal form, checked against `text` and placed in
// it.
std::pmr::vector<Placed> place(std::string_view text, std::span<const EntityView> given,
                               std::pmr::memory_resource* memory) {
    for (const EntityView& entity : given) {
        if (entity.offset < 0 || entity.length < 0) {
            throw InvalidEntity("the " + describe(entity) + " has a negative " +
                                (entity.offset < 0 ? "offset" : "length"));
        }
    }
    const std::pmr::vector<Spot> spots = normal_form(given, memory);
    // Every edge, in order, found in one walk over the text.
    struct Edge {
        std::int64_t unit;
        std::size_t spot;
        bool end;
    };
    std::pmr::vector<Edge> edges(memory);
    edges.reserve(2 * spots.size());
    for (std::size_t i = 0; i < spots.size(); ++i) {
        edges.push_back({spots[i].offset, i, false});
        edges.push_back({spots[i].offset + spots[i].length, i, true});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.unit < b.unit; });
    std::pmr::vector<Placed> placed(spots.size(), memory);
    std::int64_t unit = 0;
    std::size_t byte = 0;
    for (const Edge& edge : edges) {
        while (unit < edge.unit && byte < text.size()) {
            // An ASCII byte is one code unit.
            const auto units_left = static_cast<std::size_t>(edge.unit - unit);
            const std::size_t ascii = ascii_prefix_length(text.substr(byte, units_left));
            unit += static_cast<std::int64_t>(ascii);
            byte += ascii;
            if (unit == edge.unit || byte == text.size()) break;
            const CodePoint point = first_code_point(text.substr(byte));
            unit += point.value > 0xFFFF ? 2 : 1;
            byte += point.length;
        }
        const EntityView& entity = given[spots[edge.spot].source];
        if (unit < edge.unit) {
            throw InvalidEntity("the " + describe(entity) + " reaches beyond the text, which is " +
                                std::to_string(unit) + " UTF-16 code units long");
        }
        if (unit > edge.unit) throw InvalidEntity("the " + describe(entity) + " cuts a character in two");
        Placed& place = placed[edge.spot];
        place.entity = &entity;
        place.type = spots[edge.spot].type;
        (edge.end ? place.end : place.begin) = byte;
    }
    return placed;
}

bool is_link(EntityType type) noexcept {
    switch (type) {
    case EntityType::TextLink:
    case EntityType::Url:
    case EntityType::Mention:
    case EntityType::PhoneNumber:
    case EntityType::Email:
        return true;
    default:
        return false;
    }
}

// What a link entity over `shown` opens.
std::string link_uri(const EntityView& entity, EntityType type, std::string_view shown) {
    switch (type) {
    case EntityType::TextLink:
        return std::string(*entity.url);
    case EntityType::Url:
        return shown.find("://") == std::string_view::npos ? "http://" + std::string(shown) : std::string(shown);
    case EntityType::Mention:
        return mention_uri(shown);
    case EntityType::PhoneNumber:
        return phone_uri(shown);
    default:
        return email_uri(shown);
    }
}

template <LinkPolicy Links>
class EntityReader {
public:
    EntityReader(std::string_view text, const std::pmr::vector<Placed>& entities, const ConvertOptions& options,
                 Document& document, Links& links)
        : text_(text), entities_(entities), options_(options), builder_(document, links, options) {}

    void read() {
        read_range(0, text_.size(), Look{}, true);
        builder_.finish();
    }

private:
    // The text from `from` to `to` in `look`, with the entities inside it
    // from the next one on; `top` when no entity holds it.
    void read_range(std::size_t from, std::size_t to, const Look& look, bool top) {
        std::size_t at = from;
        while (next_ < entities_.size() && entities_[next_].begin < to) {
            const Placed& entity = entities_[next_++];
            show(at, entity.begin, look);
            at = read_entity(entity, look, top);
        }
        show(at, to, look);
    }

    void show(std::size_t from, std::size_t to, const Look& look) {
        if (from < to) builder_.text(text_.substr(from, to - from), look);
    }

    // Reads one entity and those inside it; returns where the text goes on.
    std::size_t read_entity(const Placed& placed, const Look& look, bool top) {
        const EntityType type = placed.type;
        const std::string_view shown = text_.substr(placed.begin, placed.end - placed.begin);
        if (is_style(type)) {
            read_range(placed.begin, placed.end, run_look(look, style_of(type)), false);
        } else if (is_quote(type)) {
            builder_.begin_quote();
            read_range(placed.begin, placed.end, look, false);
            builder_.end_quote();
        } else if (type == EntityType::Code || type == EntityType::Pre) {
            skip_inside(placed);
            if (type == EntityType::Code) {
                builder_.inline_code(shown);
            } else {
                builder_.code_block(shown);
            }
        } else if (is_link(type)) {
            return read_link(placed, look, top);
        } else {
            read_range(placed.begin, placed.end, look, false);
        }
        return placed.end;
    }

    std::size_t read_link(const Placed& placed, const Look& look, bool top) {
        const std::string_view shown = text_.substr(placed.begin, placed.end - placed.begin);
        const std::string uri = link_uri(*placed.entity, placed.type, shown);
        const Link link{shown, uri};
        if (top && options_.standalone_links_as_buttons && placed.type != EntityType::Email && !styled_whole(placed)) {
            if (const auto tail = standalone_link_tail(text_.substr(placed.end))) {
                const std::string_view tail_text = text_.substr(placed.end, *tail);
                if (builder_.standalone_link(link, tail_text, [&] { builder_.append(shown); })) {
                    skip_inside(placed);
                    return placed.end + *tail;
                }
            }
        }
        builder_.link(link, look, false, [&](const Look& text_look) { read_range(placed.begin, placed.end, text_look, false); });
        return placed.end;
    }

    // True when a style covers the whole of the link `placed`: the link is
    // in styled text, not a line of its own.
    bool styled_whole(const Placed& placed) const noexcept {
        return next_ < entities_.size() && is_style(entities_[next_].type) &&
               entities_[next_].begin == placed.begin && entities_[next_].end == placed.end;
    }

    void skip_inside(const Placed& placed) noexcept {
        while (next_ < entities_.size() && entities_[next_].begin < placed.end) ++next_;
    }

    static RunStyle style_of(EntityType type) noexcept {
        switch (type) {
        case EntityType::Bold:
            return RunStyle::Bold;
        case EntityType::Italic:
            return RunStyle::Italic;
        case EntityType::Underline:
            return RunStyle::Underline;
        case EntityType::Strikethrough:
            return RunStyle::Strikethrough;
        default:
            return RunStyle::Spoiler;
        }
    }

    std::string_view text_;
    const std::pmr::vector<Placed>& entities_;
    const ConvertOptions& options_;
    DocumentBuilder<Links> builder_;
    std::size_t next_ = 0;
};

// The document of `text` with `entities` read with `links`.
template <LinkPolicy Links>
Document read_document(std::string_view text, std::span<const EntityView> entities, const ConvertOptions& options,
                       Links& links, std::pmr::memory_resource* memory) {
    const std::pmr::vector<Placed> placed = place(text, entities, memory);
    Document document(memory);
    document.input = text;
    document.reserve_for(text.size());
    EntityReader<Links>(text, placed, options, document, links).read();
    return document;
}

}  // namespace

Document EntitiesReading::read(GivenLinks& links, std::pmr::memory_resource* memory) const {
    return read_document(text, entities, options, links, memory);
}

Document EntitiesReading::read(line::RepairedLinks& links, std::pmr::memory_resource* memory) const {
    return read_document(text, entities, options, links, memory);
}

}  // namespace quenra::telegram
