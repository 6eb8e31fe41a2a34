// Entities as Telegram keeps them: what each type is, Telegram's order, and
// the normal form that Telegram gives every message's entities.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <quenra/telegram.hpp>

namespace quenra::telegram {

// A style: it sets how its text looks and may be cut into runs.
constexpr bool is_style(EntityType type) noexcept { return type >= EntityType::Bold && type <= EntityType::Spoiler; }

constexpr bool is_quote(EntityType type) noexcept {
    return type == EntityType::Blockquote || type == EntityType::ExpandableBlockquote;
}

// Code, pre and dates hold nothing else: styles over them are cut away.
constexpr bool holds_nothing(EntityType type) noexcept {
    return type == EntityType::Code || type == EntityType::Pre || type == EntityType::DateTime;
}

// What reading a message takes of an entity, owning none of it: callers
// that hold the strings elsewhere (a binding's `str`s) copy nothing.
struct EntityView {
    EntityType type;
    std::int64_t offset;  // in UTF-16 code units
    std::int64_t length;  // in UTF-16 code units
    std::optional<std::string_view> url;
    bool has_language = false;
};

std::pmr::vector<EntityView> views_of(std::span<const Entity> entities,
                                      std::pmr::memory_resource* memory = std::pmr::get_default_resource());

// True when `a` comes before `b` in Telegram's order: by offset, the longer
// first, then by the rank of their types (quotes, pre, code, dates, links,
// detected entities, styles, custom emoji).
bool comes_before(const Entity& a, const Entity& b) noexcept;

// An entity's type and place, and the entity it stands for (a run of a
// style that was cut or merged stands for one of them).
struct Spot {
    EntityType type;
    bool has_language;  // a pre with its language, which ranks first
    std::int64_t offset;
    std::int64_t length;
    std::size_t source;  // the index of the entity
};

// The normal form that Telegram gives `entities`, in Telegram's order:
// entities of no length and links without a URL go; of other entities than styles that overlap,
// the first stays; those that cross a quote's edge go; runs of one style
// that touch or overlap merge, and every run of a style is cut where another
// run starts and at both edges of every other entity, the parts over code,
// pre and dates going. The result nests properly, and is its own normal
// form.
std::pmr::vector<Spot> normal_form(std::span<const EntityView> entities,
                                   std::pmr::memory_resource* memory = std::pmr::get_default_resource());

// The same in place.
void normalize(std::vector<Entity>& entities);

}  // namespace quenra::telegram
