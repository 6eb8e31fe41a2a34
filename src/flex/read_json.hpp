// Reading Flex message JSON text back into the records, for messages of the
// shape that the serializer writes: the same records and members, in any
// order and with any white space between tokens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "flex/model.hpp"

namespace quenra {

// The message, or why it could not be read: invalid JSON (with the offset),
// or the JSON Pointer of a member that is missing, unexpected or of the wrong
// kind.
struct ReadResult {
    std::optional<FlexMessage> message;
    std::string error;
};

ReadResult read_flex_message(std::string_view json);

}  // namespace quenra
