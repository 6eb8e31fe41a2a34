// The module `_telegram`: Telegram's messages as text and entities (`parse`,
// `convert`, `split`).
#pragma once

#include <Python.h>

namespace quenra::python {

// The exec step: adds `parse`, `convert` and `split` to `module`. Returns 0,
// or -1 with an exception set.
int exec_telegram_module(PyObject* module) noexcept;

}  // namespace quenra::python
