// The boundary between the interpreter and the library.
//
// Every entry point that the interpreter calls runs its work inside
// `ffi_boundary`: an internal failure that escapes the work becomes the
// Python exception PanicException, and the entry returns its failure value.
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include <quenra/internal_failure.hpp>
#include "python/pyref.hpp"

namespace quenra::python {

// Writes `failure` and where it happened to standard error.
void report(const InternalFailure& failure) noexcept;

// Ends the process: a failure happened while raising a failure.
[[noreturn]] void abort_at_boundary() noexcept;

// Reports `failure`, then sets its exception by `make_exception`. A failure
// while doing so is reported too, and ends the process.
template <class MakeException>
void raise_reported(const InternalFailure& failure, MakeException&& make_exception) noexcept {
    report(failure);
    try {
        make_exception(failure);
    } catch (const InternalFailure& inner) {
        report(inner);
        abort_at_boundary();
    } catch (...) {
        abort_at_boundary();
    }
}

// The class PanicException: one per process, made on first use and shared
// by every module of the package.
PyObject* panic_exception_type();

// Raises PanicException(message) for `failure`, reported as above.
void raise_panic(const InternalFailure& failure) noexcept;

// Raises MemoryError: memory ran out during a call (a text too large for
// what the process may allocate). Nothing is left half made, so the module
// stays usable.
void raise_memory_error() noexcept;

template <class Result, class Work>
Result ffi_boundary(Result failure_value, Work&& work) noexcept {
    try {
        return work();
    } catch (const InternalFailure& failure) {
        raise_panic(failure);
    } catch (const std::bad_alloc&) {
        raise_memory_error();
    } catch (const std::length_error&) {  // a string or vector beyond its largest size
        raise_memory_error();
    } catch (const std::exception& unexpected) {  // a broken invariant all the same
        raise_panic(InternalFailure(std::string("unexpected C++ exception: ") + unexpected.what(),
                                    SourcePlace{"(unknown)", 0}));
    }
    return failure_value;
}

// For an object made where the caller has no error return (a result string,
// an argument tuple, an interned name): the object itself; when it is null
// for want of memory, std::bad_alloc (MemoryError at the boundary); else an
// internal failure after the pending Python error is reported as unraisable.
Owned expect_object(PyObject* object);

// A new `str` of the UTF-8 `text`, made as by expect_object.
inline Owned new_str(std::string_view text) {
    return expect_object(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

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

    // The object if it was made already, else null.
    PyObject* peek() const noexcept { return object_.load(std::memory_order_acquire); }

private:
    std::once_flag once_;
    std::atomic<PyObject*> object_{nullptr};
};

// The interned attribute name `text` ("__all__", "__name__"), made once.
PyObject* interned(ProcessObject& cache, const char* text);

}  // namespace quenra::python
