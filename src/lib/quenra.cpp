#include <quenra.hpp>

#include "lib/write_json.hpp"

namespace quenra {

std::string quenra_json_with_options(std::string_view text, const ConvertOptions& options) {
    if (text.empty()) return std::string(EMPTY_TEXT_JSON);
    // For long texts the room is only reserved: pages that are never written
    // cost nothing, and a text whose message is longer grows geometrically.
    std::string json;
    json.reserve(expected_json_size(text.size()));
    StringSink sink(json);
    write_quenra_json(text, options, sink);
    sink.flush();
    return json;
}

}  // namespace quenra
