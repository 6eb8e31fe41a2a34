// The document (flex/document.hpp) of a text and its entities.
#pragma once

#include <memory_resource>
#include <span>
#include <string_view>

#include "convert/build.hpp"
#include "flex/document.hpp"
#include "line/repair.hpp"
#include <quenra/telegram.hpp>
#include "telegram/entities.hpp"
#include "text/unicode.hpp"

namespace quenra::telegram {

// A text and its entities, read for delivery to LINE (line/split.hpp):
// styles as MarkdownV2's runs look, code and pre as code, links with the
// caller's policy, quotes as quotes. Reading raises InvalidEntity for the
// first entity that does not fit the text; the others are put into their
// normal form (entities.hpp) first.
struct EntitiesReading {
    std::string_view text;
    std::span<const EntityView> entities;
    ConvertOptions options;

    Document read(GivenLinks& links, std::pmr::memory_resource* memory) const;
    Document read(line::RepairedLinks& links, std::pmr::memory_resource* memory) const;
    std::size_t input_size() const noexcept { return text.size(); }
    // A text that is empty or white space is no message to send.
    bool shows_nothing(const Document& /*document*/) const noexcept { return is_blank(text); }
};

}  // namespace quenra::telegram
