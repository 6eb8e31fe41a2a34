// A reading delivered to LINE as Python `str`s: the one message repaired for
// LINE, or the messages that `split` makes (line/split.hpp), each written
// straight into its `str`.
#pragma once

#include <utility>

#include "line/split.hpp"
#include "python/pyref.hpp"
#include "python/str_sink.hpp"

namespace quenra::python {

// The `str` of `reading`'s message, repaired but never cut. `limits` must
// be valid.
template <line::Reading R>
Owned converted_str(const R& reading, const LineLimits& limits) {
    StrWrite write;
    line::convert_into(reading, limits, write);
    return std::move(write).take();
}

// The list of `str`s that split makes of `reading`. `limits` must be valid.
template <line::Reading R>
Owned split_strs(const R& reading, const LineLimits& limits) {
    StrWrite write;
    line::split_into(reading, limits, write);
    return std::move(write).messages();
}

}  // namespace quenra::python
