// The JSON text of a document's message, for tests that compare it as text.
#pragma once

#include <string>

#include "flex/write.hpp"

namespace quenra::testing {

// The JSON text of `tell`'s message, written in memory.
template <class Tell>
std::string message_json(Tell&& tell) {
    std::string out;
    StringSink sink(out);
    write_message(sink, std::forward<Tell>(tell));
    sink.flush();
    return out;
}

// The JSON text of the whole document's message.
inline std::string document_json(const Document& document) {
    return message_json([&](auto& writer) { tell_message(document, writer); });
}

}  // namespace quenra::testing
