// libFuzzer harness over the Telegram layer. The input is read in each parse
// mode (MarkdownV2, HTML, legacy Markdown) the way Telegram reads it: a text
// it reads has its entities within the text, nested properly, in Telegram's
// order and in their normal form; every message of `split` passes `check`,
// and a text whose message passes is that one message. The input's bytes are also taken as a text with entities made
// from its tail, in any order and overlapping: `convert` and `split` take
// them or refuse them as not fitting the text, and never fail otherwise.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <quenra.hpp>
#include <quenra/telegram.hpp>
#include "telegram/entities.hpp"
#include "text/utf8.hpp"

namespace {

using namespace quenra::telegram;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

void require_normal(const FormattedText& parsed) {
    const auto length = static_cast<std::int64_t>(quenra::utf16_length(parsed.text));
    std::vector<std::int64_t> open_ends;  // of the entities that hold the next one
    for (std::size_t i = 0; i < parsed.entities.size(); ++i) {
        const Entity& entity = parsed.entities[i];
        require(entity.offset >= 0 && entity.length > 0 && entity.offset + entity.length <= length, "within the text");
        // Trimming the text's end shortens entities without sorting them
        // again, as Telegram does: the order holds up to the lengths.
        if (i > 0) require(parsed.entities[i - 1].offset <= entity.offset, "in Telegram's order");
        while (!open_ends.empty() && open_ends.back() <= entity.offset) open_ends.pop_back();
        require(open_ends.empty() || entity.offset + entity.length <= open_ends.back(), "nested properly");
        open_ends.push_back(entity.offset + entity.length);
    }
    std::vector<Entity> again = parsed.entities;
    normalize(again);
    std::vector<Entity> sorted = parsed.entities;
    std::stable_sort(sorted.begin(), sorted.end(), comes_before);
    require(again == sorted, "normalising again changes nothing");
}

void require_deliverable(std::string_view text, const std::vector<Entity>& entities) {
    const quenra::ConvertOptions options{true, true};
    const std::vector<std::string> messages = split(text, entities, options);
    for (const std::string& message : messages) require(quenra::check(message).empty(), "every message passes check");
    const std::string whole = convert(text, entities, options);
    if (quenra::check(whole).empty() && !messages.empty()) require(messages == std::vector{whole}, "a message that passes is alone");
}

// Entities from `encoded`, four bytes an entity: type, offset, length, url.
std::vector<Entity> entities_from(std::string_view encoded) {
    std::vector<Entity> out;
    for (std::size_t i = 0; i + 4 <= encoded.size(); i += 4) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(encoded[i + k]); };
        Entity entity{static_cast<EntityType>(byte(0) % 21), static_cast<std::int64_t>(byte(1)) - 4,
                      static_cast<std::int64_t>(byte(2)) - 4, {}, {}, {}, {}, {}, {}};
        if (byte(3) % 2 == 0) entity.url = byte(3) % 4 == 0 ? "https://a.b/" : "tg://x";
        out.push_back(entity);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const ParseMode mode : {ParseMode::MarkdownV2, ParseMode::HTML, ParseMode::Markdown}) {
        try {
            const FormattedText parsed = parse(input, mode);
            require_normal(parsed);
            require_deliverable(parsed.text, parsed.entities);
        } catch (const ParseError&) {
        }
    }
    const std::size_t cut = input.find('\x01');
    if (cut != std::string_view::npos) {
        const std::string text(input.substr(0, cut));
        try {
            require_deliverable(text, entities_from(input.substr(cut + 1)));
        } catch (const InvalidEntity&) {
        }
    }
    return 0;
}
