// The JSON text of any record, for tests that compare records as text.
#pragma once

#include <string>

#include "flex/serialize.hpp"

namespace quenra::testing {

// The JSON text of `record`, written in memory.
template <class Record>
std::string to_json(const Record& record) {
    std::string out;
    StringSink sink(out);
    (void)write_json(record, sink);  // the in-memory sink never fails
    sink.flush();
    return out;
}

}  // namespace quenra::testing
