// The module `_core`: the function `quenra` and the exec step that adds it.
#pragma once

#include <Python.h>

#include <span>
#include <string_view>

#include <quenra.hpp>
#include "python/arguments.hpp"

namespace quenra::python {

// A conversion's text and switches, from the first three bound slots of a
// function whose parameters start (text, *, standalone_links_as_buttons,
// decorate_links): the text as a view into the `str`, a switch left out as
// true.
struct ConversionArguments {
    std::string_view text;
    ConvertOptions options;
};
Result<ConversionArguments> conversion_arguments(std::span<PyObject* const> slots);

// The exec step: adds the function `quenra` to `module` and its name to the
// module's `__all__`. Returns 0, or -1 with an exception set.
int exec_quenra_module(PyObject* module) noexcept;

// The call entry of `quenra` (fastcall with keywords; `self` is always null).
PyObject* call_quenra(PyObject* self, PyObject* const* args, Py_ssize_t positional_count,
                      PyObject* keyword_names) noexcept;

// Adds a function made from `method` to `module` and appends its name to
// `__all__`, creating that list when the module has none. The function
// object is created with the module as its self and the module's name as its
// `__module__`; every method of this package is METH_STATIC, so that self
// never reaches the call entry, which gets null.
int add_function(PyObject* module, PyMethodDef* method) noexcept;

// add_function for each of `methods`.
int add_functions(PyObject* module, std::span<PyMethodDef> methods) noexcept;

// A call entry of the fastcall-with-keywords kind as a method table takes it.
inline PyCFunction fastcall_entry(PyObject* (*entry)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*)) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

}  // namespace quenra::python
