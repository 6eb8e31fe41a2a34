#include "python/line_module.hpp"

#include <array>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <quenra.hpp>
#include "line/check.hpp"
#include "python/arguments.hpp"
#include "python/boundary.hpp"
#include "python/deliver.hpp"
#include "python/limits.hpp"
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
            return split_strs(line::MarkdownReading{arguments.text, arguments.options}, limits.get()).release();
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

PyMethodDef line_methods[] = {
    {"split", fastcall_entry(&call_split), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "split(text, *, standalone_links_as_buttons=True, decorate_links=True, limits=None)\n--\n\n"
     "Convert Telegram MarkdownV2 text to LINE Flex Message JSON strings that LINE accepts."},
    {"check", fastcall_entry(&call_check), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "check(message, limits=None)\n--\n\n"
     "List what in one Flex Message JSON string LINE refuses, as (code, path, message) tuples."},
    {"limits_problem", fastcall_entry(&call_limits_problem), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "limits_problem(limits)\n--\n\n"
     "Say why the limits cannot be worked with, or return None."},
};

}  // namespace

int exec_line_module(PyObject* module) noexcept {
    if (add_functions(module, line_methods) < 0) return -1;
    // The package exports the one class that every module raises.
    return ffi_boundary(-1, [&] { return PyModule_AddObjectRef(module, "PanicException", panic_exception_type()); });
}

}  // namespace quenra::python
