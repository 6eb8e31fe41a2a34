// Python errors as values.
//
// Inside the binding an operation that fails hands back a `PyErr`; its caller
// raises it by making it the current exception (`restore`). Nothing is raised
// on its own.
#pragma once

#include <Python.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "python/pyref.hpp"

namespace quenra::python {

// An object that is not an instance of the class (or tuple of classes) that a
// conversion expected. Raised as a TypeError with the cast message.
struct CastError {
    Owned object;
    Owned target;

    CastError(PyObject* object_, PyObject* target_)
        : object(Owned::borrow(object_)), target(Owned::borrow(target_)) {}

    // "'int' object is not an instance of 'str'", or for None
    // "'None' is not an instance of 'str'".
    std::string message() const;
};

// A Python exception that is not the current exception.
class PyErr {
public:
    // Takes the current exception. When none is set, the error is a
    // SystemError, so that a failure is never lost.
    static PyErr fetch();
    // An exception of `type` (a built-in exception class) with `message` as its
    // only argument, created when raised.
    static PyErr lazy(PyObject* type, std::string message) { return PyErr(Lazy{type, std::move(message)}); }
    static PyErr type_error(std::string message) { return lazy(PyExc_TypeError, std::move(message)); }
    static PyErr cast(PyObject* object, PyObject* target) { return PyErr(CastError(object, target)); }
    // An exception object already made.
    static PyErr from_exception(Owned exception) { return PyErr(std::move(exception)); }

    // Makes this error the current exception.
    void restore() &&;
    // The exception object, created now if it was not yet.
    Owned into_exception() &&;
    // True when the exception's type is exactly TypeError (not a subclass).
    bool is_exact_type_error() const;

private:
    struct Lazy {
        PyObject* type;  // a built-in exception class, never released
        std::string message;
    };
    using State = std::variant<Owned, Lazy, CastError>;

    template <class Alternative>
    explicit PyErr(Alternative alternative) : state_(std::in_place_type<Alternative>, std::move(alternative)) {}

    State state_;
};

// Makes `error` the current exception; returns the failure value of a call
// entry.
inline PyObject* raise(PyErr error) {
    std::move(error).restore();
    return nullptr;
}

// The UTF-8 text of a Python `str`, read leniently: lone surrogates, which
// have no UTF-8 form, come out as U+FFFD.
std::string lenient_utf8(PyObject* text);

// `str(object)` for a message. When it fails, the failure is reported as
// unraisable and "<unprintable T object>" stands in.
std::string display(PyObject* object);

// The qualified name of `type`, or nothing (with the error discarded).
std::optional<std::string> qualified_name(PyTypeObject* type);

// "TypeError: message", for texts that describe an interpreter error.
std::string describe(PyErr error);

}  // namespace quenra::python
