// Reading containers that the caller owns. On an interpreter without the
// global lock another thread may change a list or a dict while a call reads
// it, and free what it held: a call reads a sequence through a snapshot of
// its items and a dict's values as strong references, so that such a change
// can change what the call sees, never what it holds. Every binding function
// that reads a caller's sequence or mapping reads it through these.
#pragma once

#include <Python.h>

#include "python/pyref.hpp"

namespace quenra::python {

// The items of the iterable `object` as a tuple that holds each of them: a
// tuple as it is, an exact list copied whole while it is locked (the
// interpreter copies it under the list's own lock where there is no global
// one), anything else as its iterator gives it. Empty with a TypeError of
// `not_iterable` set when `object` is not iterable, or with the error that
// iterating raised.
inline Owned snapshot(PyObject* object, const char* not_iterable) noexcept {
    if (PyTuple_CheckExact(object)) return Owned::borrow(object);
    if (PyList_CheckExact(object)) return Owned::steal(PyList_AsTuple(object));
    const Owned iterator = Owned::steal(PyObject_GetIter(object));
    if (!iterator) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) PyErr_SetString(PyExc_TypeError, not_iterable);
        return Owned();
    }
    return Owned::steal(PySequence_Tuple(iterator.get()));
}

// Looks `key` up in the dict `dict`: 1 with its value in `value` (a strong
// reference), 0 with `value` empty when it is missing, -1 with an error set.
inline int dict_item(PyObject* dict, PyObject* key, Owned& value) noexcept {
    PyObject* found = nullptr;
#if PY_VERSION_HEX >= 0x030D0000
    const int status = PyDict_GetItemRef(dict, key, &found);
#else
    // With the global lock held, nothing runs between the lookup and the new
    // reference (the keys looked up are exact strs, whose comparison runs no
    // Python code).
    found = Py_XNewRef(PyDict_GetItemWithError(dict, key));
    const int status = found ? 1 : PyErr_Occurred() ? -1 : 0;
#endif
    value = Owned::steal(found);
    return status;
}

// A member of `object`, an entity's field or a rich message's: a dict's item
// by key (see dict_item), any other object's attribute (missing when getting
// it raises AttributeError). 1 with it in `value`, 0 when it is missing, -1
// with an error set.
inline int member_of(PyObject* object, PyObject* name, Owned& value) noexcept {
    if (PyDict_Check(object)) return dict_item(object, name, value);
    value = Owned::steal(PyObject_GetAttr(object, name));
    if (value) return 1;
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    return 0;
}

}  // namespace quenra::python
