// The extension module `quenra._telegram`. Its init function is the module's only
// exported symbol.
#include <Python.h>

#include "python/compat.hpp"
#include "python/telegram_module.hpp"

namespace {

int exec_telegram(PyObject* module) { return quenra::python::exec_telegram_module(module); }

PyModuleDef_Slot telegram_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_telegram)},
    QUENRA_NO_GIL_SLOT
    {0, nullptr},
};

}  // namespace

PyModuleDef quenra_telegram = {
    PyModuleDef_HEAD_INIT,
    "_telegram",
    "Telegram messages as text and entities: parse, convert and split.",
    0,
    nullptr,
    telegram_slots,
    nullptr,
    nullptr,
    nullptr,
};

PyMODINIT_FUNC PyInit__telegram() { return PyModuleDef_Init(&quenra_telegram); }
