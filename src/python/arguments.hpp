// Argument binding for functions called with the fastcall-with-keywords
// convention, the conversions of bound arguments, and their TypeErrors.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "python/errors.hpp"

namespace quenra::python {

// A value, or the error that stood in its way.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(PyErr error) : state_(std::in_place_index<1>, std::move(error)) {}

    explicit operator bool() const noexcept { return state_.index() == 0; }
    T& operator*() { return std::get<0>(state_); }
    PyErr take_error() && { return std::move(std::get<1>(state_)); }

private:
    std::variant<T, PyErr> state_;
};

struct KeywordOnlyParameter {
    std::string_view name;
    bool required;
};

// The parameters of one function, as binding needs them. A static, read-only
// value per function.
struct FunctionDescription {
    std::string_view function_name;                            // used in messages
    std::optional<std::string_view> class_name;                // set for a method of a class
    std::span<const std::string_view> positional_parameter_names;  // P names, in order
    std::size_t positional_only_parameters;                    // the first this many: by position only
    std::size_t required_positional_parameters;                // the first R: no default
    std::span<const KeywordOnlyParameter> keyword_only_parameters;

    // "f()", or "C.f()" for a method.
    std::string display_name() const;
    // One slot per parameter: the positional ones, then the keyword-only ones.
    constexpr std::size_t slot_count() const noexcept {
        return positional_parameter_names.size() + keyword_only_parameters.size();
    }
};

// Binds one call's arguments to `slots` (all empty on entry; exactly as many
// as the description has parameters, which debug builds assert). The slots hold borrowed references; slots of
// optional parameters that were not given stay empty. On failure the
// TypeError to raise.
std::optional<PyErr> extract_arguments_fastcall(const FunctionDescription& description, PyObject* const* args,
                                                Py_ssize_t positional_count, PyObject* keyword_names,
                                                std::span<PyObject*> slots);

// The UTF-8 form of a `str` (or subclass) without a copy: the interpreter's
// own buffer, valid while the object lives.
Result<std::string_view> extract_str(PyObject* object);

// Exactly True or False, or a numpy boolean scalar.
Result<bool> extract_bool(PyObject* object);

// A switch: true when it was left out (`slot` empty), else exactly a bool or
// numpy boolean, with the parameter named in the TypeError.
Result<bool> switch_argument(PyObject* slot, std::string_view parameter);

// Names the parameter in a conversion's TypeError ("argument 'text': ...");
// any other error passes unchanged.
PyErr argument_extraction_error(std::string_view parameter_name, PyErr error);

// Appends 'a', 'a' and 'b', or 'a', 'b', and 'c' (and so on) to `message`.
void push_parameter_list(std::string& message, std::span<const std::string_view> names);

}  // namespace quenra::python
