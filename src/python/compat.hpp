// The few interpreter calls that newer CPython versions added, for the
// versions before them (3.10 and up): one place, so that the binding reads
// as if every interpreter had them.
#pragma once

#include <Python.h>

namespace quenra::python {

// The current exception, taken (the error indicator is cleared); null when
// none is set.
inline PyObject* take_raised_exception() noexcept {
#if PY_VERSION_HEX >= 0x030C0000
    return PyErr_GetRaisedException();
#else
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (!type) return nullptr;
    PyErr_NormalizeException(&type, &value, &traceback);
    if (traceback && value) PyException_SetTraceback(value, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return value;
#endif
}

// Makes `exception` (a reference that this steals) the current exception.
inline void set_raised_exception(PyObject* exception) noexcept {
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(exception);
#else
    PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(exception))), exception,
                  PyException_GetTraceback(exception));
#endif
}

// The `__name__` and `__qualname__` of a type, as new references.
inline PyObject* type_name_object(PyTypeObject* type) noexcept {
#if PY_VERSION_HEX >= 0x030B0000
    return PyType_GetName(type);
#else
    return PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__");
#endif
}
inline PyObject* type_qualified_name_object(PyTypeObject* type) noexcept {
#if PY_VERSION_HEX >= 0x030B0000
    return PyType_GetQualName(type);
#else
    return PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__qualname__");
#endif
}

// The `__module__` of a type, as a new reference.
inline PyObject* type_module_name(PyTypeObject* type) noexcept {
#if PY_VERSION_HEX >= 0x030D0000
    return PyType_GetModuleName(type);
#else
    return PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__");
#endif
}

// True when the `str` `text` is exactly the ASCII `ascii`.
inline bool str_equals_ascii(PyObject* text, const char* ascii) noexcept {
#if PY_VERSION_HEX >= 0x030D0000
    return PyUnicode_EqualToUTF8(text, ascii) == 1;
#else
    return PyUnicode_CompareWithASCIIString(text, ascii) == 0;
#endif
}

// A `str`'s characters' storage. Before 3.12 the interpreter's macro for it
// casts in C's way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
inline void* str_data(PyObject* text) noexcept { return PyUnicode_DATA(text); }
#pragma GCC diagnostic pop

}  // namespace quenra::python

// The slot of a module that declares it needs no global interpreter lock,
// for the interpreters that know of that lock being optional (3.13 and up).
#ifdef Py_mod_gil
#define QUENRA_NO_GIL_SLOT {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#else
#define QUENRA_NO_GIL_SLOT
#endif
