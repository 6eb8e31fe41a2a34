// Writing a finished message, with serialization failures raised as internal
// failures.
#pragma once

#include <string>

#include "flex/serialize.hpp"
#include <quenra/internal_failure.hpp>

namespace quenra {

// Writes `message` into `sink`. A sink that fails breaks an invariant of the
// library (the in-memory one never does), so the failure is raised, not
// returned.
template <class Sink>
void write_message(const FlexMessage& message, Sink& sink) {
    if (const auto failure = write_json(message, sink)) {
        fail("FlexMessage serialization failed: " + failure->description);
    }
}

// Room worth making for the JSON text of a message converted from a text of
// `text_size` bytes: chat messages come out about six times their length.
constexpr std::size_t expected_json_size(std::size_t text_size) noexcept { return 128 + 6 * text_size; }

// The JSON text of `message`, converted from a text of `text_size` bytes.
std::string message_json(const FlexMessage& message, std::size_t text_size);

}  // namespace quenra
