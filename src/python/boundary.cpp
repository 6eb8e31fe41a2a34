#include "python/boundary.hpp"

#include "python/snapshot.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quenra::python {

namespace {

constexpr const char* PANIC_NAME = "pyo3_runtime.PanicException";
constexpr const char* PANIC_DOC =
    "\n"
    "The exception raised when the native code of the quenra extension, called from Python, fails with an "
    "internal failure.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

// Where the class is kept for every module of the package: each extension
// module links the binding on its own, so a static of this file is one per
// module, while the interpreter's dictionary for extensions is shared.
constexpr const char* PANIC_KEY = "quenra.PanicException";

ProcessObject panic_exception;

}  // namespace

PyObject* panic_exception_type() {
    return panic_exception.get([] {
        PyObject* shared = PyInterpreterState_GetDict(PyInterpreterState_Get());
        if (!shared) fail("Failed to initialize new exception type.");
        const Owned key = expect_object(PyUnicode_FromString(PANIC_KEY));
        Owned stored;
        if (dict_item(shared, key.get(), stored) < 0) fail("Failed to initialize new exception type.");
        if (stored) return stored.release();
        const Owned made = Owned::steal(PyErr_NewExceptionWithDoc(PANIC_NAME, PANIC_DOC, PyExc_BaseException, nullptr));
        if (!made) fail("Failed to initialize new exception type.");
        // Another module may have made one meanwhile: the first one stored
        // stays, and is never taken out.
        PyObject* type = PyDict_SetDefault(shared, key.get(), made.get());
        if (!type) fail("Failed to initialize new exception type.");
        return Py_NewRef(type);
    });
}

namespace {

// Sets PanicException(message) as the current exception.
void make_panic(const InternalFailure& failure) {
    PyObject* type = panic_exception_type();
    const std::string& message = failure.message();
    Owned text = expect_object(PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
    const Owned args = expect_object(PyTuple_New(1));
    PyTuple_SET_ITEM(args.get(), 0, text.release());
    PyErr_SetObject(type, args.get());
}

}  // namespace

void report(const InternalFailure& failure) noexcept {
    std::fprintf(stderr, "quenra: internal failure at %s:%u: %s\n", failure.where().file, failure.where().line,
                 failure.message().c_str());
    std::fflush(stderr);
}

void abort_at_boundary() noexcept {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::abort();
}

void raise_panic(const InternalFailure& failure) noexcept { raise_reported(failure, make_panic); }

void raise_memory_error() noexcept { PyErr_NoMemory(); }

Owned expect_object(PyObject* object) {
    if (object) return Owned::steal(object);
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) {
        PyErr_Clear();
        throw std::bad_alloc();  // raised again as MemoryError at the boundary
    }
    if (PyErr_Occurred()) PyErr_WriteUnraisable(nullptr);
    fail("PyObject pointer is null");
}

PyObject* interned(ProcessObject& cache, const char* text) {
    return cache.get([text] {
        PyObject* name = expect_object(PyUnicode_FromString(text)).release();
        PyUnicode_InternInPlace(&name);
        return name;
    });
}

}  // namespace quenra::python
