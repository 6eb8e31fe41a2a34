// The boundary between the interpreter and the library.
//
// Every entry point that the interpreter calls runs its work inside
// `ffi_boundary`: an internal failure that escapes the work becomes the
// Python exception PanicException, and the entry returns its failure value.
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>
#include <string_view>

#include "lib/internal_failure.hpp"
#include "python/pyref.hpp"

namespace quenra::python {

// Raises PanicException(message) for `failure`, after writing the failure and
// where it happened to standard error. A failure while doing so aborts the
// process with "uncaught panic at ffi boundary".
void raise_panic(const InternalFailure& failure) noexcept;

template <class Result, class Work>
Result ffi_boundary(Result failure_value, Work&& work) noexcept {
    try {
        return work();
    } catch (const InternalFailure& failure) {
        raise_panic(failure);
        return failure_value;
    }
}

// For an object made where the caller has no error return (a result string,
// an argument tuple, an interned name): the object itself, or, when it is
// null, an internal failure after the pending Python error is reported as
// unraisable.
Owned expect_object(PyObject* object);

// A Python object made once per process, on first use, and kept for good.
// Threads that find it missing detach from the interpreter while they wait,
// so that the thread making it can always attach.
class ProcessObject {
public:
    template <class Make>
    PyObject* get(Make&& make) {
        if (PyObject* object = object_.load(std::memory_order_acquire)) return object;
        PyThreadState* thread = PyEval_SaveThread();
        try {
            std::call_once(once_, [&] {
                PyEval_RestoreThread(thread);
                try {
                    object_.store(make(), std::memory_order_release);
                } catch (...) {
                    thread = PyEval_SaveThread();
                    throw;
                }
                thread = PyEval_SaveThread();
            });
        } catch (...) {
            PyEval_RestoreThread(thread);
            throw;
        }
        PyEval_RestoreThread(thread);
        return object_.load(std::memory_order_acquire);
    }

private:
    std::once_flag once_;
    std::atomic<PyObject*> object_{nullptr};
};

// The interned attribute name `text` ("__all__", "__name__"), made once.
PyObject* interned(ProcessObject& cache, const char* text);

}  // namespace quenra::python
