// Reading Flex message JSON text back, for messages of the shape that the
// writer writes: the same objects and members, in any order and with any
// white space between tokens. What it reads it tells LINE's rules, part by
// part in the order of the JSON text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "line/check.hpp"

namespace quenra::line {

// The size of the message's bubble as the writer writes it (compact), or why
// the text could not be read: invalid JSON (with the offset), or the JSON
// Pointer of a member that is missing, unexpected or of the wrong kind. What
// `out` was told before a failure is to be dropped. A span is told with the
// look of plain text, as the colours JSON may give it have no Look.
struct ReadResult {
    std::optional<std::size_t> bubble_bytes;
    std::string error;
};

ReadResult read_message(std::string_view json, ProblemFinder& out);

}  // namespace quenra::line
