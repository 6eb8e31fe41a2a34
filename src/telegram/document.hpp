// The document (flex/document.hpp) of a text and its entities, read for
// delivery to LINE: styles as MarkdownV2's runs look, code and pre as code,
// links with LINE's repairs, quotes as quotes.
#pragma once

#include <memory_resource>
#include <span>
#include <string_view>

#include "flex/document.hpp"
#include <quenra/telegram.hpp>
#include "telegram/entities.hpp"

namespace quenra::telegram {

// Whether links are read with LINE's repairs (line/repair.hpp), or kept as
// they are given, for a message that LINE may take as it is: when it does,
// the repairs would change nothing.
enum class Repairs : bool { Kept, Made };

// Raises InvalidEntity for the first entity that does not fit `text`;
// normalises the rest (entities.hpp) and reads the text with them.
Document read_document(std::string_view text, std::span<const EntityView> entities, const ConvertOptions& options,
                       const LineLimits& limits, std::pmr::memory_resource* memory, Repairs repairs = Repairs::Made);

}  // namespace quenra::telegram
