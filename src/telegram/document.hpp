// The document (flex/document.hpp) of a text and its entities, read for
// delivery to LINE: styles as MarkdownV2's runs look, code and pre as code,
// links with LINE's repairs, quotes as quotes.
#pragma once

#include <memory_resource>
#include <span>
#include <string_view>

#include "flex/document.hpp"
#include <quenra/telegram.hpp>

namespace quenra::telegram {

// Raises InvalidEntity for the first entity that does not fit `text`;
// normalises the rest (entities.hpp) and reads the text with them.
Document read_document(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                       const LineLimits& limits, std::pmr::memory_resource* memory);

}  // namespace quenra::telegram
