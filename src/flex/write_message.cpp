#include "flex/write_message.hpp"

namespace quenra {

namespace {

constexpr std::size_t LARGE_TEXT = 64 << 10;

}  // namespace

std::string message_json(const FlexMessage& message, std::size_t text_size) {
    std::string json;
    if (text_size < LARGE_TEXT) {
        // Chat messages come out about six times their length; starting
        // there spares the first regrowths.
        json.reserve(128 + 6 * text_size);
    } else {
        // Regrowing a text of megabytes costs more than measuring it first.
        SizeSink measure;
        write_message(message, measure);
        json.reserve(measure.size());
    }
    {
        StringSink sink(json);
        write_message(message, sink);
    }
    return json;
}

}  // namespace quenra
