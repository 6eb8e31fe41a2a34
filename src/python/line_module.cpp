#include "python/line_module.hpp"

#include <array>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <quenra.hpp>
#include "line/check.hpp"
#include "line/split.hpp"
#include "python/arguments.hpp"
#include "python/boundary.hpp"
#include "python/str_sink.hpp"
#include "python/module.hpp"

namespace quenra::python {

namespace {

constexpr std::string_view SPLIT_POSITIONAL[] = {"text"};
constexpr KeywordOnlyParameter SPLIT_KEYWORDS[] = {
    {"standalone_links_as_buttons", false},
    {"decorate_links", false},
    {"limits", false},
};
constexpr FunctionDescription SPLIT_PARAMETERS{
    .function_name = "split",
    .class_name = std::nullopt,
    .positional_parameter_names = SPLIT_POSITIONAL,
    .positional_only_parameters = 0,
    .required_positional_parameters = 1,
    .keyword_only_parameters = SPLIT_KEYWORDS,
};

constexpr std::string_view CHECK_POSITIONAL[] = {"message", "limits"};
// (name, class name, positional parameters, positional-only, required, keyword-only)
constexpr FunctionDescription CHECK_PARAMETERS{"check", std::nullopt, CHECK_POSITIONAL, 0, 1, {}};

constexpr std::string_view LIMITS_POSITIONAL[] = {"limits"};
constexpr FunctionDescription LIMITS_PROBLEM_PARAMETERS{"limits_problem", std::nullopt, LIMITS_POSITIONAL, 0, 1, {}};

// The qualified name of `object`'s type, as the binder's own messages give it.
std::string type_name(PyObject* object) {
    return qualified_name(Py_TYPE(object)).value_or("<failed to extract type name>");
}

// An attribute of a limits object; a missing one is a TypeError that says
// what `limits` must be (`expected`).
Result<Owned> limits_attribute(PyObject* limits, const char* name, std::string_view expected) {
    Owned value = Owned::steal(PyObject_GetAttrString(limits, name));
    if (value) return value;
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return PyErr::fetch();
    PyErr_Clear();
    return PyErr::type_error("limits must be " + std::string(expected) + ", not '" + type_name(limits) + "'");
}

// A size limit: an int (bool is refused, as it is not a size) that fits,
// else the ValueError that every out-of-range limit gets.
Result<std::size_t> size_limit(PyObject* value, const line::SizeLimit& limit) {
    const std::string name(limit.name);
    if (!PyLong_Check(value) || PyBool_Check(value)) {
        return PyErr::type_error(name + " must be an int, not '" + type_name(value) + "'");
    }
    int overflow = 0;
    const long long size = PyLong_AsLongLongAndOverflow(value, &overflow);
    if (size == -1 && PyErr_Occurred()) return PyErr::fetch();
    if (overflow > 0) {
        return PyErr::lazy(PyExc_ValueError, name + " must be at most " +
                                                 std::to_string(std::numeric_limits<long long>::max()) + ", not " +
                                                 display(value));
    }
    if (overflow < 0 || size < 0) return PyErr::lazy(PyExc_ValueError, line::size_limit_problem(limit, display(value)));
    return static_cast<std::size_t>(size);
}

Result<std::vector<std::string>> uri_schemes(PyObject* value) {
    constexpr std::string_view MESSAGE = "uri_schemes must be a sequence of str, not ";
    if (PyUnicode_Check(value)) return PyErr::type_error(std::string(MESSAGE) + "a single str");
    if (!PySequence_Check(value)) return PyErr::type_error(std::string(MESSAGE) + "'" + type_name(value) + "'");
    const Owned items = Owned::steal(PySequence_Fast(value, "uri_schemes must be a sequence of str"));
    if (!items) return PyErr::fetch();
    std::vector<std::string> schemes;
    const Py_ssize_t count = PySequence_Fast_GET_SIZE(items.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(items.get(), i);
        if (!PyUnicode_Check(item)) {
            return PyErr::type_error("uri_schemes[" + std::to_string(i) + "] must be a str, not '" + type_name(item) +
                                     "'");
        }
        auto scheme = extract_str(item);
        if (!scheme) return std::move(scheme).take_error();
        schemes.emplace_back(*scheme);
    }
    return schemes;
}

// Reads a LineLimits (or any object with its attributes) into `out`; a
// `limits` that is neither is refused as not being `expected`.
std::optional<PyErr> read_limits(PyObject* object, LineLimits& out, std::string_view expected) {
    for (const line::SizeLimit& limit : line::SIZE_LIMITS) {
        auto attribute = limits_attribute(object, std::string(limit.name).c_str(), expected);
        if (!attribute) return std::move(attribute).take_error();
        auto value = size_limit((*attribute).get(), limit);
        if (!value) return std::move(value).take_error();
        out.*limit.field = *value;
    }
    auto attribute = limits_attribute(object, "uri_schemes", expected);
    if (!attribute) return std::move(attribute).take_error();
    auto schemes = uri_schemes((*attribute).get());
    if (!schemes) return std::move(schemes).take_error();
    out.uri_schemes = std::move(*schemes);
    return std::nullopt;
}

// The limits that a `limits` argument names: LINE's own for None or nothing.
class LimitsArgument {
public:
    std::optional<PyErr> read(PyObject* slot) {
        if (!slot || slot == Py_None) return std::nullopt;
        if (auto error = read_limits(slot, custom_.emplace(), "a LineLimits or None")) return error;
        return std::nullopt;
    }
    const LineLimits& get() const noexcept { return custom_ ? *custom_ : LINE_LIMITS; }
    // Raises InvalidLimits for limits that cannot be worked with (LINE's own
    // always can).
    void require_valid() const {
        if (custom_) line::require_valid(*custom_);
    }

private:
    static inline const LineLimits LINE_LIMITS{};
    std::optional<LineLimits> custom_;  // made only when given: it costs allocations
};

// The messages as a list of `str`.
Owned message_list(const std::vector<std::string>& messages) {
    Owned list = expect_object(PyList_New(static_cast<Py_ssize_t>(messages.size())));
    for (std::size_t i = 0; i < messages.size(); ++i) {
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), new_str(messages[i]).release());
    }
    return list;
}

Owned problem_list(const std::vector<Problem>& problems) {
    Owned list = expect_object(PyList_New(static_cast<Py_ssize_t>(problems.size())));
    for (std::size_t i = 0; i < problems.size(); ++i) {
        const Problem& problem = problems[i];
        Owned tuple = expect_object(PyTuple_New(3));
        PyTuple_SET_ITEM(tuple.get(), 0, new_str(problem.code).release());
        PyTuple_SET_ITEM(tuple.get(), 1, new_str(problem.path).release());
        PyTuple_SET_ITEM(tuple.get(), 2, new_str(problem.message).release());
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), tuple.release());
    }
    return list;
}

// Runs `work`, raising ValueError for limits or messages that the library
// refuses.
template <class Work>
PyObject* refusals_as_value_errors(Work&& work) {
    try {
        return work();
    } catch (const std::invalid_argument& refused) {
        return raise(PyErr::lazy(PyExc_ValueError, refused.what()));
    }
}

PyObject* call_split(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                     PyObject* keyword_names) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, SPLIT_PARAMETERS.slot_count()> slots{};
        if (auto error = extract_arguments_fastcall(SPLIT_PARAMETERS, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        auto conversion = conversion_arguments(slots);
        if (!conversion) return raise(std::move(conversion).take_error());
        LimitsArgument limits;
        if (auto error = limits.read(slots[3])) return raise(std::move(*error));
        return refusals_as_value_errors([&] {
            // As `quenra` does, the message LINE accepts is written straight
            // into its str.
            limits.require_valid();
            const ConversionArguments& arguments = *conversion;
            std::optional<std::vector<std::string>> messages;
            Owned passing = conversion_str(slots[0], arguments.text, [&](auto& sink) {
                messages = line::split_into(arguments.text, arguments.options, limits.get(), sink);
            });
            if (messages) return message_list(*messages).release();
            Owned list = expect_object(PyList_New(1));
            PyList_SET_ITEM(list.get(), 0, passing.release());
            return list.release();
        });
    });
}

PyObject* call_check(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                     PyObject* keyword_names) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, CHECK_PARAMETERS.slot_count()> slots{};
        if (auto error = extract_arguments_fastcall(CHECK_PARAMETERS, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        auto message = extract_str(slots[0]);
        if (!message) return raise(argument_extraction_error("message", std::move(message).take_error()));
        LimitsArgument limits;
        if (auto error = limits.read(slots[1])) return raise(std::move(*error));
        return refusals_as_value_errors([&] { return problem_list(check(*message, limits.get())).release(); });
    });
}

PyObject* call_limits_problem(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                              PyObject* keyword_names) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, LIMITS_PROBLEM_PARAMETERS.slot_count()> slots{};
        if (auto error =
                extract_arguments_fastcall(LIMITS_PROBLEM_PARAMETERS, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        LineLimits limits;
        if (auto error = read_limits(slots[0], limits, "a LineLimits")) return raise(std::move(*error));
        if (const auto problem = limits_problem(limits)) return new_str(*problem).release();
        Py_RETURN_NONE;
    });
}

PyCFunction fastcall(PyObject* (*entry)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*)) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

PyMethodDef line_methods[] = {
    {"split", fastcall(&call_split), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "split(text, *, standalone_links_as_buttons=True, decorate_links=True, limits=None)\n--\n\n"
     "Convert Telegram MarkdownV2 text to LINE Flex Message JSON strings that LINE accepts."},
    {"check", fastcall(&call_check), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "check(message, limits=None)\n--\n\n"
     "List what in one Flex Message JSON string LINE refuses, as (code, path, message) tuples."},
    {"limits_problem", fastcall(&call_limits_problem), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "limits_problem(limits)\n--\n\n"
     "Say why the limits cannot be worked with, or return None."},
};

}  // namespace

int exec_line_module(PyObject* module) noexcept {
    for (PyMethodDef& method : line_methods) {
        if (add_function(module, &method) < 0) return -1;
    }
    // The package exports the one class that every module raises.
    return ffi_boundary(-1, [&] { return PyModule_AddObjectRef(module, "PanicException", panic_exception_type()); });
}

}  // namespace quenra::python
