#include "lib/quenra.hpp"

#include "convert/convert.hpp"
#include "lib/write_message.hpp"

namespace quenra {

namespace {

constexpr std::size_t LARGE_TEXT = 64 << 10;

}  // namespace

std::string quenra_json_with_options(std::string_view text, const ConvertOptions& options) {
    const FlexMessage message = convert(text, options);
    std::string json;
    if (text.size() < LARGE_TEXT) {
        // Chat messages come out about six times their length; starting
        // there spares the first regrowths.
        json.reserve(128 + 6 * text.size());
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
