#include "telegram/entities.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <limits>

namespace quenra::telegram {

namespace {

constexpr std::array<std::string_view, 21> TYPE_NAMES{
    "mention", "hashtag", "cashtag", "bot_command", "url", "email", "phone_number", "bank_card",
    "bold", "italic", "underline", "strikethrough", "spoiler", "code", "pre", "text_link",
    "text_mention", "custom_emoji", "date_time", "blockquote", "expandable_blockquote",
};

int rank(const Entity& entity) noexcept {
    switch (entity.type) {
    case EntityType::Blockquote:
    case EntityType::ExpandableBlockquote:
        return 0;
    case EntityType::Pre:
        return entity.language ? 10 : 11;
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
        return 90 + static_cast<int>(entity.type) - static_cast<int>(EntityType::Bold);
    case EntityType::CustomEmoji:
        return 99;
    default:
        return 50;  // the entities that Telegram detects in text
    }
}

std::int64_t end_of(const Entity& entity) noexcept { return entity.offset + entity.length; }

void sort(std::vector<Entity>& entities) { std::sort(entities.begin(), entities.end(), comes_before); }

// Keeps, of entities in Telegram's order, each that starts after every one
// kept so far ends.
void keep_first_of_overlapping(std::vector<Entity>& entities) {
    std::int64_t kept_end = 0;
    std::erase_if(entities, [&](const Entity& entity) {
        if (entity.offset < kept_end) return true;
        kept_end = end_of(entity);
        return false;
    });
}

// True when `entity` crosses the edge of one of `quotes`, which are in
// order and apart: it starts inside one and ends beyond it, or starts
// outside and ends inside one.
bool crosses_a_quote(const Entity& entity, const std::vector<Entity>& quotes) noexcept {
    const auto after = std::upper_bound(quotes.begin(), quotes.end(), entity.offset,
                                        [](std::int64_t offset, const Entity& quote) { return offset < quote.offset; });
    if (after != quotes.begin() && end_of(*std::prev(after)) > entity.offset) {
        return end_of(entity) > end_of(*std::prev(after));
    }
    return after != quotes.end() && after->offset < end_of(entity);
}

// The runs of every style, in Telegram's order, merged and cut as
// `normalize` says, around `others` (in Telegram's order).
std::vector<Entity> cut_styles(const std::vector<Entity>& styles, const std::vector<Entity>& others) {
    constexpr std::size_t STYLES = 5;
    // The run of each style open: [begin, end), none when end is 0.
    std::array<std::int64_t, STYLES> begin{}, end{};
    std::vector<Entity> out;
    auto next = styles.begin();
    const auto style_of = [](std::size_t index) {
        return static_cast<EntityType>(static_cast<std::size_t>(EntityType::Bold) + index);
    };
    // Ends every open run at `at`; those going on start again there.
    const auto cut_at = [&](std::int64_t at) {
        for (std::size_t i = 0; i < STYLES; ++i) {
            if (end[i] == 0 || begin[i] >= at) continue;
            const std::int64_t stop = std::min(end[i], at);
            out.push_back(Entity{style_of(i), begin[i], stop - begin[i], {}, {}, {}, {}, {}, {}});
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
    std::vector<Edge> edges;
    edges.reserve(2 * others.size());
    for (const Entity& other : others) {
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
    if (a.offset != b.offset) return a.offset < b.offset;
    if (a.length != b.length) return a.length > b.length;
    return rank(a) < rank(b);
}

void normalize(std::vector<Entity>& entities) {
    sort(entities);
    std::vector<Entity> styles, quotes, others;
    for (Entity& entity : entities) {
        (is_style(entity.type) ? styles : is_quote(entity.type) ? quotes : others).push_back(std::move(entity));
    }
    keep_first_of_overlapping(others);
    keep_first_of_overlapping(quotes);
    std::erase_if(others, [&](const Entity& entity) { return crosses_a_quote(entity, quotes); });
    others.insert(others.end(), quotes.begin(), quotes.end());
    sort(others);
    std::vector<Entity> runs = cut_styles(styles, others);
    entities = std::move(others);
    entities.insert(entities.end(), runs.begin(), runs.end());
    sort(entities);
}

}  // namespace quenra::telegram
