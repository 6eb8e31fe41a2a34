// A JSON output sink that fails on purpose.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "flex/json_writer.hpp"

namespace quenra::testing {

// A JsonSink that takes `capacity` calls and fails every one after that,
// recording what reached it and how often it was called.
class FailingSink {
public:
    explicit FailingSink(std::size_t capacity) : capacity_(capacity) {}

    template <JsonLiteral L>
    bool literal() {
        if (++calls_ > capacity_) return false;
        written_.append(L.text, L.size);
        return true;
    }
    bool escaped(std::string_view text) {
        if (++calls_ > capacity_) return false;
        StringSink sink(written_);
        sink.escaped(text);
        sink.flush();
        return true;
    }
    std::string describe_failure() const { return "disk full after " + std::to_string(capacity_) + " writes"; }

    std::size_t size() const { return written_.size(); }
    std::size_t calls() const { return calls_; }
    const std::string& written() const { return written_; }

private:
    std::size_t capacity_;
    std::size_t calls_ = 0;
    std::string written_;
};

}  // namespace quenra::testing
