// The Telegram layer's entry points for C++ callers.
#include <quenra/telegram.hpp>

#include "telegram/deliver.hpp"

namespace quenra::telegram {

std::string convert(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                    const LineLimits& limits) {
    line::require_valid(limits);
    std::string json;
    json.reserve(expected_json_size(text.size()));
    StringSink sink(json);
    DocumentMemory memory;
    write_document(read_document(text, views_of(entities), options, limits, memory.for_text(text.size())), sink);
    sink.flush();
    return json;
}

std::vector<std::string> split(std::string_view text, std::span<const Entity> entities, const ConvertOptions& options,
                               const LineLimits& limits) {
    line::require_valid(limits);
    std::string json;
    json.reserve(expected_json_size(text.size()));
    StringSink sink(json);
    if (auto messages = split_into(text, views_of(entities), options, limits, sink)) return std::move(*messages);
    sink.flush();
    std::vector<std::string> alone;
    alone.push_back(std::move(json));
    return alone;
}

}  // namespace quenra::telegram
