// The module `_line`: delivering conversions to LINE (`split`, `check`).
#pragma once

#include <Python.h>

namespace quenra::python {

// The exec step: adds `split`, `check` and `limits_problem` to `module`, and
// the class PanicException.
// Returns 0, or -1 with an exception set.
int exec_line_module(PyObject* module) noexcept;

}  // namespace quenra::python
