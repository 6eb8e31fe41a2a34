#include "parser/position_set.hpp"

#include <cstring>

namespace quenra {

PositionSet::PositionSet(std::size_t size) : words_((size + 63) / 64), next_occupied_(words_.size() + 1) {}

PositionSet PositionSet::of_byte(std::string_view text, char byte) {
    PositionSet set(text.size());
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* at = begin; at < end; ++at) {
        at = static_cast<const char*>(std::memchr(at, byte, static_cast<std::size_t>(end - at)));
        if (at == nullptr) break;
        set.insert(static_cast<std::size_t>(at - begin));
    }
    set.seal();
    return set;
}

void PositionSet::seal() {
    auto next = static_cast<std::uint32_t>(words_.size());
    next_occupied_[words_.size()] = next;
    for (std::size_t word = words_.size(); word-- > 0;) {
        if (words_[word] != 0) next = static_cast<std::uint32_t>(word);
        next_occupied_[word] = next;
    }
}

}  // namespace quenra
