#include "flex/write_message.hpp"

namespace quenra {

std::string message_json(const FlexMessage& message, std::size_t text_size) {
    // For long texts the room is only reserved: pages that are never written
    // cost nothing, and a text whose message is longer grows geometrically.
    std::string json;
    json.reserve(expected_json_size(text_size));
    StringSink sink(json);
    write_message(message, sink);
    sink.flush();
    return json;
}

}  // namespace quenra
