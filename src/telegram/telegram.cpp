// The Telegram layer's entry points for C++ callers.
#include <quenra/telegram.hpp>

#include "line/split.hpp"
#include "telegram/document.hpp"

namespace quenra::telegram {

std::string convert(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                    const LineLimits& limits) {
    return line::convert_reading(EntitiesReading{text, views_of(entities), options}, limits);
}

std::vector<std::string> split(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                               const LineLimits& limits) {
    return line::split_reading(EntitiesReading{text, views_of(entities), options}, limits);
}

}  // namespace quenra::telegram
