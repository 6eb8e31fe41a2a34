// A JSON output sink that fails on purpose.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenra::testing {

// Accepts `capacity` appends and fails every one after that, recording what
// reached it and how often it was called.
class FailingSink {
public:
    explicit FailingSink(std::size_t capacity) : capacity_(capacity) {}

    bool append(std::string_view bytes) {
        ++calls_;
        if (calls_ > capacity_) return false;
        written_.append(bytes);
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
