// What in a Flex message LINE refuses: the rules that `check` reports and
// that `split` repairs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "flex/model.hpp"
#include <quenra.hpp>

namespace quenra::line {

// The problems of `message`, whose bubble's JSON text is `bubble_bytes` long,
// in the order of the JSON text.
std::vector<Problem> find_problems(const FlexMessage& message, std::size_t bubble_bytes, const LineLimits& limits);

// A size limit of LineLimits: its name, and the least value it may take.
struct SizeLimit {
    std::string_view name;
    std::size_t LineLimits::*field;
    std::string_view least;  // in words
};
extern const std::array<SizeLimit, 4> SIZE_LIMITS;

// Why `value`, written as a number, is out of range for `limit`: the one
// wording of every such fault.
std::string size_limit_problem(const SizeLimit& limit, std::string_view value);

// Raises InvalidLimits unless `limits` can be worked with.
void require_valid(const LineLimits& limits);

}  // namespace quenra::line
