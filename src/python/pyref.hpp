// Owned Python references.
//
// The rules of the binding:
// - A plain `PyObject*` is a *borrowed* reference: valid only while its owner
//   keeps it alive (the caller's argument vector, a container, the module).
//   It is never released here.
// - An `Owned` holds exactly one strong reference and releases it when it is
//   destroyed, on every path, error paths included.
//   - `Owned::steal(p)` takes a *new* reference, such as most C API calls
//     return; a null `p` gives an empty `Owned`.
//   - `Owned::borrow(p)` adds a reference to a borrowed `p` and owns that.
// - `release()` gives the reference away: to the interpreter as a return value,
//   or to a C API call that steals it (`PyException_SetCause`,
//   `PyErr_SetRaisedException`).
// - Call entries run with the calling thread attached to the interpreter;
//   nothing here detaches except the once-only creation in boundary.hpp.
#pragma once

#include <Python.h>

#include <utility>

namespace quenra::python {

class Owned {
public:
    Owned() noexcept = default;
    static Owned steal(PyObject* reference) noexcept { return Owned(reference); }
    static Owned borrow(PyObject* reference) noexcept {
        Py_XINCREF(reference);
        return Owned(reference);
    }

    Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        Owned(std::move(other)).swap(*this);
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    void swap(Owned& other) noexcept { std::swap(object_, other.object_); }

private:
    explicit Owned(PyObject* reference) noexcept : object_(reference) {}

    PyObject* object_ = nullptr;
};

}  // namespace quenra::python
