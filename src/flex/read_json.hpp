// Reading Flex message JSON text back, for messages of the shape that the
// writer writes: the same objects and members, in any order and with any
// white space between tokens. What it reads it tells, part by part in the
// order of the JSON text, to a MessageOut (flex/message.hpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "flex/message.hpp"

namespace quenra {

// A MessageOut behind virtual calls: the reader is compiled once, whatever
// takes what it reads. A span read back is told with the look of plain
// text, since the colours JSON may give it have no Look.
class MessageParts {
public:
    virtual void begin_message(std::string_view alt_text) = 0;
    virtual void begin_box(Box box) = 0;
    virtual void end_box(Box box) = 0;
    virtual void begin_text() = 0;
    virtual void end_text() = 0;
    virtual void begin_span() = 0;
    virtual void span_text(std::string_view characters) = 0;
    virtual void end_span(const Look& look) = 0;
    virtual void button(std::string_view label, std::string_view uri) = 0;
    virtual void separator() = 0;
    virtual void end_message() = 0;

protected:
    ~MessageParts() = default;
};

template <MessageOut Out>
class PartsTo final : public MessageParts {
public:
    explicit PartsTo(Out& out) noexcept : out_(out) {}

    void begin_message(std::string_view alt_text) override { out_.begin_message(alt_text); }
    void begin_box(Box box) override { out_.begin_box(box); }
    void end_box(Box box) override { out_.end_box(box); }
    void begin_text() override { out_.begin_text(); }
    void end_text() override { out_.end_text(); }
    void begin_span() override { out_.begin_span(); }
    void span_text(std::string_view characters) override { out_.span_text(characters); }
    void end_span(const Look& look) override { out_.end_span(look); }
    void button(std::string_view label, std::string_view uri) override { out_.button(label, uri); }
    void separator() override { out_.separator(); }
    void end_message() override { out_.end_message(); }

private:
    Out& out_;
};

// The size of the message's bubble as the writer writes it (compact), or why
// the text could not be read: invalid JSON (with the offset), or the JSON
// Pointer of a member that is missing, unexpected or of the wrong kind. What
// `out` was told before a failure is to be dropped.
struct ReadResult {
    std::optional<std::size_t> bubble_bytes;
    std::string error;
};

ReadResult read_message(std::string_view json, MessageParts& out);

template <MessageOut Out>
ReadResult read_message(std::string_view json, Out& out) {
    PartsTo<Out> parts(out);
    return read_message(json, static_cast<MessageParts&>(parts));
}

}  // namespace quenra
