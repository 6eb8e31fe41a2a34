#include "lib/quenra.hpp"

#include "convert/convert.hpp"
#include "lib/write_message.hpp"

namespace quenra {

std::string quenra_json_with_options(std::string_view text, const ConvertOptions& options) {
    std::string json;
    json.reserve(128);
    StringSink sink(json);
    write_message(convert(text, options), sink);
    return json;
}

}  // namespace quenra
