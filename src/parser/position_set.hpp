// A set of byte positions in one text that answers "the first member at or
// after p" in constant time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quenra {

class PositionSet {
public:
    // The positions of every `byte` in `text`.
    static PositionSet of_byte(std::string_view text, char byte);

    // An empty set over positions 0 to `size` - 1.
    explicit PositionSet(std::size_t size);

    void insert(std::size_t position) noexcept { words_[position >> 6] |= std::uint64_t{1} << (position & 63); }

    // Prepares the set for `first_from`; call it once, after the last insert.
    void seal();

    std::optional<std::size_t> first_from(std::size_t position) const noexcept {
        std::size_t word = position >> 6;
        if (word >= words_.size()) return std::nullopt;
        const std::uint64_t here = words_[word] & (~std::uint64_t{0} << (position & 63));
        if (here != 0) return (word << 6) + static_cast<std::size_t>(std::countr_zero(here));
        word = next_occupied_[word + 1];
        if (word >= words_.size()) return std::nullopt;
        return (word << 6) + static_cast<std::size_t>(std::countr_zero(words_[word]));
    }

private:
    std::vector<std::uint64_t> words_;  // one bit per position
    // For each word index w, the first word at or after w with a member (or
    // the number of words); one extra entry at the end.
    std::vector<std::uint32_t> next_occupied_;
};

}  // namespace quenra
