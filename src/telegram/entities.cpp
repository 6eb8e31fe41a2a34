#include "telegram/entities.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory_resource>
#include <span>
#include <string_view>

namespace quenra::telegram {

namespace {

constexpr std::array<std::string_view, 21> TYPE_NAMES{
    "mention", "hashtag", "cashtag", "bot_command", "url", "email", "phone_number", "bank_card",
    "bold", "italic", "underline", "strikethrough", "spoiler", "code", "pre", "text_link",
    "text_mention", "custom_emoji", "date_time", "blockquote", "expandable_blockquote",
};

int rank(EntityType type, bool has_language) noexcept {
    switch (type) {
    case EntityType::Blockquote:
    case EntityType::ExpandableBlockquote:
        return 0;
    case EntityType::Pre:
        return has_language ? 10 : 11;
    case EntityType::Code:
        return 20;
    case EntityType::DateTime:
        return 30;
    case EntityType::TextLink:
    case EntityType::TextMention:
        return 49;
    case EntityType::Bold:
    case EntityType::Italic:
    case EntityType::Underline:
    case EntityType::Strikethrough:
    case EntityType::Spoiler:
        return 90 + static_cast<int>(type) - static_cast<int>(EntityType::Bold);
    case EntityType::CustomEmoji:
        return 99;
    default:
        return 50;  // the entities that Telegram detects in text
    }
}

std::int64_t end_of(const Spot& spot) noexcept { return spot.offset + spot.length; }

bool spot_before(const Spot& a, const Spot& b) noexcept {
    if (a.offset != b.offset) return a.offset < b.offset;
    if (a.length != b.length) return a.length > b.length;
    return rank(a.type, a.has_language) < rank(b.type, b.has_language);
}

// Sorts into Telegram's order as Telegram does: spots already in order stay
// as they are, ties included, since a sort that is not stable (as Telegram's
// is not) may swap two alike over the same text (a link in a link), and of
// those the first is kept.
void sort(std::pmr::vector<Spot>& spots) {
    if (!std::is_sorted(spots.begin(), spots.end(), spot_before)) std::sort(spots.begin(), spots.end(), spot_before);
}

// Other entities than styles and quotes: links, mentions, code, ...
bool is_continuous(EntityType type) noexcept { return !is_style(type) && !is_quote(type); }

// True when `spots`, in Telegram's order, are in normal form already: they
// nest properly; nothing is inside a style, or inside code, pre or a date;
// code and pre are inside nothing but quotes; no continuous entity or quote
// is inside another continuous entity, no quote inside a quote; and no two
// runs of one style touch.
bool is_normal(const std::pmr::vector<Spot>& spots) {
    // No normal form nests deeper than a quote, a link and a style.
    constexpr std::size_t DEEPEST = 3;
    std::array<const Spot*, DEEPEST> open_spots{};
    std::size_t depth = 0;
    const std::span open(open_spots);
    std::array<std::int64_t, 5> style_end;
    style_end.fill(-1);
    for (const Spot& spot : spots) {
        while (depth > 0 && end_of(*open[depth - 1]) <= spot.offset) --depth;
        bool styled = false, continuous = false, quoted = false;
        for (const Spot* outer : open.first(depth)) {
            styled |= is_style(outer->type);
            continuous |= is_continuous(outer->type);
            quoted |= is_quote(outer->type);
        }
        if (depth > 0) {
            const Spot& parent = *open[depth - 1];
            if (end_of(spot) > end_of(parent) || styled || holds_nothing(parent.type)) return false;
            if ((spot.type == EntityType::Pre || spot.type == EntityType::Code) && continuous) return false;
            if (!is_style(spot.type) && continuous) return false;
            if (is_quote(spot.type) && quoted) return false;
        }
        if (is_style(spot.type)) {
            auto& last_end = style_end[static_cast<std::size_t>(spot.type) - static_cast<std::size_t>(EntityType::Bold)];
            if (last_end >= spot.offset) return false;
            last_end = end_of(spot);
        }
        if (depth == DEEPEST) return false;
        open[depth++] = &spot;
    }
    return true;
}

// Keeps, of spots in Telegram's order, each that starts after every one kept
// so far ends.
void keep_first_of_overlapping(std::pmr::vector<Spot>& spots) {
    std::int64_t kept_end = 0;
    std::erase_if(spots, [&](const Spot& spot) {
        if (spot.offset < kept_end) return true;
        kept_end = end_of(spot);
        return false;
    });
}

// True when `spot` crosses the edge of one of `quotes`, which are in order
// and apart: it starts inside one and ends beyond it, or starts outside and
// ends inside one.
bool crosses_a_quote(const Spot& spot, const std::pmr::vector<Spot>& quotes) noexcept {
    const auto after = std::upper_bound(quotes.begin(), quotes.end(), spot.offset,
                                        [](std::int64_t offset, const Spot& quote) { return offset < quote.offset; });
    if (after != quotes.begin() && end_of(*std::prev(after)) > spot.offset) {
        return end_of(spot) > end_of(*std::prev(after));
    }
    return after != quotes.end() && after->offset < end_of(spot);
}

// The runs of every style, merged and cut as `normal_form` says, around
// `others` (in Telegram's order).
std::pmr::vector<Spot> cut_styles(const std::pmr::vector<Spot>& styles, const std::pmr::vector<Spot>& others) {
    constexpr std::size_t STYLES = 5;
    // The run of each style open: [begin, end), none when end is 0, and the
    // style entity it stands for.
    std::array<std::int64_t, STYLES> begin{}, end{};
    std::array<std::size_t, STYLES> source{};
    std::pmr::vector<Spot> out(styles.get_allocator());
    auto next = styles.begin();
    const auto style_of = [](std::size_t index) {
        return static_cast<EntityType>(static_cast<std::size_t>(EntityType::Bold) + index);
    };
    // Ends every open run at `at`; those going on start again there.
    const auto cut_at = [&](std::int64_t at) {
        for (std::size_t i = 0; i < STYLES; ++i) {
            if (end[i] == 0 || begin[i] >= at) continue;
            const std::int64_t stop = std::min(end[i], at);
            out.push_back(Spot{style_of(i), false, begin[i], stop - begin[i], source[i]});
            begin[i] = stop;
            if (end[i] <= at) begin[i] = end[i] = 0;
        }
    };
    // Takes in the runs that start before `until`, then cuts there.
    const auto take_until = [&](std::int64_t until) {
        for (; next != styles.end() && next->offset < until; ++next) {
            const auto i = static_cast<std::size_t>(next->type) - static_cast<std::size_t>(EntityType::Bold);
            if (end[i] != 0 && next->offset <= end[i]) {
                end[i] = std::max(end[i], end_of(*next));
            } else {
                cut_at(next->offset);
                begin[i] = next->offset;
                end[i] = end_of(*next);
                source[i] = next->source;
            }
        }
        cut_at(until);
    };
    // Every edge of the others, in order: each cuts the runs, and what lies
    // inside code, pre or a date goes.
    struct Edge {
        std::int64_t at;
        int holding;  // +1 where such an entity starts, -1 where it ends
    };
    std::pmr::vector<Edge> edges(styles.get_allocator());
    edges.reserve(2 * others.size());
    for (const Spot& other : others) {
        const int holding = holds_nothing(other.type) ? 1 : 0;
        edges.push_back({other.offset, holding});
        edges.push_back({end_of(other), -holding});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });
    int inside_holding = 0;
    for (std::size_t i = 0; i < edges.size();) {
        const std::size_t before = out.size();
        take_until(edges[i].at);
        if (inside_holding > 0) out.resize(before);
        for (const std::int64_t at = edges[i].at; i < edges.size() && edges[i].at == at; ++i) {
            inside_holding += edges[i].holding;
        }
    }
    take_until(std::numeric_limits<std::int64_t>::max());
    return out;
}

}  // namespace

std::string_view entity_type_name(EntityType type) noexcept { return TYPE_NAMES[static_cast<std::size_t>(type)]; }

std::optional<EntityType> entity_type_named(std::string_view name) noexcept {
    for (std::size_t i = 0; i < TYPE_NAMES.size(); ++i) {
        if (TYPE_NAMES[i] == name) return static_cast<EntityType>(i);
    }
    return std::nullopt;
}

bool comes_before(const Entity& a, const Entity& b) noexcept {
    return spot_before(Spot{a.type, a.language.has_value(), a.offset, a.length, 0},
                       Spot{b.type, b.language.has_value(), b.offset, b.length, 0});
}

std::pmr::vector<EntityView> views_of(std::span<const Entity> entities, std::pmr::memory_resource* memory) {
    std::pmr::vector<EntityView> views(memory);
    views.reserve(entities.size());
    for (const Entity& entity : entities) {
        views.push_back(EntityView{entity.type, entity.offset, entity.length,
                                   entity.url ? std::optional<std::string_view>(*entity.url) : std::nullopt,
                                   entity.language.has_value()});
    }
    return views;
}

std::pmr::vector<Spot> normal_form(std::span<const EntityView> entities, std::pmr::memory_resource* memory) {
    std::pmr::vector<Spot> spots(memory);
    spots.reserve(entities.size());
    for (std::size_t i = 0; i < entities.size(); ++i) {
        const EntityView& entity = entities[i];
        // Empty entities, and links to nowhere, are no entities at all.
        if (entity.length <= 0 || (entity.type == EntityType::TextLink && !entity.url)) continue;
        spots.push_back(Spot{entity.type, entity.has_language, entity.offset, entity.length, i});
    }
    sort(spots);
    if (is_normal(spots)) return spots;
    std::pmr::vector<Spot> styles(memory), quotes(memory), others(memory);
    for (const Spot& spot : spots) (is_style(spot.type) ? styles : is_quote(spot.type) ? quotes : others).push_back(spot);
    keep_first_of_overlapping(others);
    keep_first_of_overlapping(quotes);
    std::erase_if(others, [&](const Spot& spot) { return crosses_a_quote(spot, quotes); });
    others.insert(others.end(), quotes.begin(), quotes.end());
    sort(others);
    const std::pmr::vector<Spot> runs = cut_styles(styles, others);
    others.insert(others.end(), runs.begin(), runs.end());
    sort(others);
    return others;
}

void normalize(std::vector<Entity>& entities) {
    alignas(std::max_align_t) std::array<std::byte, 4096> block;
    std::pmr::monotonic_buffer_resource arena(block.data(), block.size());
    const std::pmr::vector<Spot> spots = normal_form(views_of(entities, &arena), &arena);
    // Entities already in their normal form, as most are, are left as they are.
    bool unchanged = spots.size() == entities.size();
    for (std::size_t i = 0; unchanged && i < spots.size(); ++i) {
        unchanged = spots[i].source == i && spots[i].offset == entities[i].offset &&
                    spots[i].length == entities[i].length;
    }
    if (unchanged) return;
    std::vector<Entity> out;
    out.reserve(spots.size());
    for (const Spot& spot : spots) {
        out.push_back(entities[spot.source]);
        out.back().offset = spot.offset;
        out.back().length = spot.length;
    }
    entities = std::move(out);
}

}  // namespace quenra::telegram
