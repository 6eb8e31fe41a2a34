// What in a Flex message LINE refuses: the rules that `check` reports and
// that `split` repairs.
#pragma once

#include <cstddef>
#include <vector>

#include "flex/model.hpp"
#include <quenra.hpp>

namespace quenra::line {

// The problems of `message`, whose bubble's JSON text is `bubble_bytes` long,
// in the order of the JSON text.
std::vector<Problem> find_problems(const FlexMessage& message, std::size_t bubble_bytes, const LineLimits& limits);

// Raises InvalidLimits unless `limits` can be worked with.
void require_valid(const LineLimits& limits);

}  // namespace quenra::line
