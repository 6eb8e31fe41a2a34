// Arguments and results that the delivering modules share: LINE's limits
// as a Python object gives them, lists of messages, refusals as ValueError.
#pragma once

#include <Python.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <quenra.hpp>
#include "line/check.hpp"
#include "python/arguments.hpp"
#include "python/errors.hpp"

namespace quenra::python {

// The qualified name of `object`'s type, as the binder's own messages give it.
std::string type_name(PyObject* object);

// Reads a LineLimits (or any object with its attributes) into `out`; a
// `limits` that is neither is refused as not being `expected`.
std::optional<PyErr> read_limits(PyObject* object, LineLimits& out, std::string_view expected);

// The limits that a `limits` argument names: LINE's own for None or nothing.
class LimitsArgument {
public:
    std::optional<PyErr> read(PyObject* slot) {
        if (!slot || slot == Py_None) return std::nullopt;
        return read_limits(slot, custom_.emplace(), "a LineLimits or None");
    }
    const LineLimits& get() const noexcept { return custom_ ? *custom_ : LINE_LIMITS; }
    // Raises InvalidLimits for limits that cannot be worked with (LINE's own
    // always can).
    void require_valid() const {
        if (custom_) line::require_valid(*custom_);
    }

private:
    static inline const LineLimits LINE_LIMITS{};
    std::optional<LineLimits> custom_;  // made only when given: it costs allocations
};

// Runs `work`, raising ValueError for limits or messages that the library
// refuses.
template <class Work>
PyObject* refusals_as_value_errors(Work&& work) {
    try {
        return work();
    } catch (const std::invalid_argument& refused) {
        return raise(PyErr::lazy(PyExc_ValueError, refused.what()));
    }
}

}  // namespace quenra::python
