#include <quenra.hpp>

#include "convert/convert.hpp"
#include "flex/write_message.hpp"
#include "lib/write_json.hpp"

namespace quenra {

std::string quenra_json_with_options(std::string_view text, const ConvertOptions& options) {
    if (text.empty()) return std::string(EMPTY_TEXT_JSON);
    return message_json(convert(text, options), text.size());
}

}  // namespace quenra
