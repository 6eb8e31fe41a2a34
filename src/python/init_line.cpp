// The extension module `quenra._line`. Its init function is the module's only
// exported symbol.
#include <Python.h>

#include "python/compat.hpp"
#include "python/line_module.hpp"

namespace {

int exec_line(PyObject* module) { return quenra::python::exec_line_module(module); }

PyModuleDef_Slot line_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_line)},
    QUENRA_NO_GIL_SLOT
    {0, nullptr},
};

}  // namespace

PyModuleDef quenra_line = {
    PyModuleDef_HEAD_INIT,
    "_line",
    "Delivering conversions to LINE: split and check.",
    0,
    nullptr,
    line_slots,
    nullptr,
    nullptr,
    nullptr,
};

PyMODINIT_FUNC PyInit__line() { return PyModuleDef_Init(&quenra_line); }
