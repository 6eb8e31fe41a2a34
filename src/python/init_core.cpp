// The extension module `quenra._core`. Its init function is the module's only
// exported symbol.
#include <Python.h>

#include "python/compat.hpp"
#include "python/module.hpp"

namespace {

int exec_core(PyObject* module) { return quenra::python::exec_quenra_module(module); }

PyModuleDef_Slot core_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_core)},
    QUENRA_NO_GIL_SLOT
    {0, nullptr},
};

}  // namespace

PyModuleDef quenra_core = {
    PyModuleDef_HEAD_INIT,
    "_core",
    "",
    0,
    nullptr,
    core_slots,
    nullptr,
    nullptr,
    nullptr,
};

PyMODINIT_FUNC PyInit__core() { return PyModuleDef_Init(&quenra_core); }
