// `_quenra_testing`: a test-only extension module, never installed. It forces
// internal failures through the same boundary that `quenra._core` uses, so
// that the tests see PanicException raised for real.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "python/compat.hpp"

#include <span>
#include <string>

#include "convert/build.hpp"
#include "failing_sink.hpp"
#include "flex/write.hpp"
#include "python/arguments.hpp"
#include "python/boundary.hpp"
#include "python/module.hpp"
#include "python/str_sink.hpp"
#include "parser/syntax.hpp"
#include "telegram/entities.hpp"

namespace {

using namespace quenra::python;

// fail(message): an internal failure with `message`.
PyObject* fail(PyObject* /*module*/, PyObject* message) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        auto text = extract_str(message);
        if (!text) return raise(std::move(text).take_error());
        quenra::fail(std::string(*text));
    });
}

// fail_while_raising(outer, inner): an internal failure `outer` whose
// exception cannot be made, for an internal failure `inner`; ends the process.
PyObject* fail_while_raising(PyObject* /*module*/, PyObject* const* args, Py_ssize_t count) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        if (count != 2) return raise(PyErr::type_error("expected (outer, inner)"));
        auto outer = extract_str(args[0]);
        auto inner = extract_str(args[1]);
        if (!outer || !inner) return raise(PyErr::type_error("expected two str"));
        const std::string inner_message(*inner);
        raise_reported(quenra::InternalFailure(std::string(*outer), {__FILE__, __LINE__}),
                       [&](const quenra::InternalFailure&) { quenra::fail(inner_message); });
        return nullptr;
    });
}

// bind_into_too_few_slots(): binds a call of `f` into fewer slots than `f`
// has parameters, which debug builds refuse by assertion.
PyObject* bind_into_too_few_slots(PyObject* /*module*/, PyObject* /*unused*/) noexcept;

// convert_with_failing_sink(text, writes): converts `text` and writes the
// message into a sink that fails after `writes` appends.
PyObject* convert_with_failing_sink(PyObject* /*module*/, PyObject* const* args, Py_ssize_t count) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        if (count != 2) return raise(PyErr::type_error("expected (text, writes)"));
        auto text = extract_str(args[0]);
        if (!text) return raise(std::move(text).take_error());
        const std::size_t writes = PyLong_AsSize_t(args[1]);
        if (PyErr_Occurred()) return nullptr;
        quenra::testing::FailingSink sink(writes);
        quenra::write_document(quenra::read_markdown(*text, {true, true}), sink);
        return new_str(sink.written()).release();
    });
}

// utf8_json(text, standalone_links_as_buttons, decorate_links): the library's
// own UTF-8 result as bytes, to compare with what `quenra` writes into a str.
PyObject* utf8_json(PyObject* /*module*/, PyObject* const* args, Py_ssize_t count) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        if (count != 3) return raise(PyErr::type_error("expected (text, standalone, decorate)"));
        auto text = extract_str(args[0]);
        if (!text) return raise(std::move(text).take_error());
        const quenra::ConvertOptions options{PyObject_IsTrue(args[1]) == 1, PyObject_IsTrue(args[2]) == 1};
        const std::string json = quenra::quenra_json_with_options(*text, options);
        return expect_object(PyBytes_FromStringAndSize(json.data(), static_cast<Py_ssize_t>(json.size()))).release();
    });
}

// through_str_sink(text, piece): writes the UTF-8 form of `text`, escaped as
// in a JSON string, in pieces of `piece` characters, into a StrMeasure and
// then into a StrSink of the `str` made to its measure, and returns the str.
PyObject* through_str_sink(PyObject* /*module*/, PyObject* const* args, Py_ssize_t count) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        if (count != 2) return raise(PyErr::type_error("expected (text, piece)"));
        auto text = extract_str(args[0]);
        if (!text) return raise(std::move(text).take_error());
        const std::size_t piece = PyLong_AsSize_t(args[1]);
        if (PyErr_Occurred()) return nullptr;
        const auto write = [&](auto& sink) {
            std::string_view rest = *text;
            while (!rest.empty()) {
                std::size_t end = 0;
                for (std::size_t characters = 0; end < rest.size() && characters < piece; ++characters) {
                    end += quenra::first_char_length(rest.substr(end));
                }
                sink.escaped(rest.substr(0, end));
                rest.remove_prefix(end);
            }
        };
        StrMeasure measure;
        write(measure);
        return write_measured(measure, write).release();
    });
}

// normalize_entities(entities): Telegram's normal form of a list of
// (type, offset, length, url) tuples, as such tuples.
PyObject* normalize_entities(PyObject* /*module*/, PyObject* list) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::vector<quenra::telegram::Entity> entities;
        for (Py_ssize_t i = 0; i < PyList_Size(list); ++i) {
            PyObject* type_name;
            long long offset, length;
            PyObject* url;
            if (!PyArg_ParseTuple(PyList_GetItem(list, i), "ULLO", &type_name, &offset, &length, &url)) return nullptr;
            quenra::telegram::Entity entity{*quenra::telegram::entity_type_named(*extract_str(type_name)), offset, length,
                                            {}, {}, {}, {}, {}, {}};
            if (url != Py_None) entity.url = std::string(*extract_str(url));
            entities.push_back(entity);
        }
        quenra::telegram::normalize(entities);
        Owned out = expect_object(PyList_New(0));
        for (const auto& entity : entities) {
            const std::string_view name = quenra::telegram::entity_type_name(entity.type);
            Owned tuple = expect_object(Py_BuildValue("(s#LLz)", name.data(), static_cast<Py_ssize_t>(name.size()),
                                                      static_cast<long long>(entity.offset),
                                                      static_cast<long long>(entity.length),
                                                      entity.url ? entity.url->c_str() : nullptr));
            if (PyList_Append(out.get(), tuple.get()) < 0) return nullptr;
        }
        return out.release();
    });
}

// null_object_with_pending_error(): a Python object that could not be made
// where no error can be returned, while a ValueError is pending.
PyObject* null_object_with_pending_error(PyObject* /*module*/, PyObject* /*unused*/) noexcept {
    return ffi_boundary<PyObject*>(nullptr, []() -> PyObject* {
        PyErr_SetString(PyExc_ValueError, "pending before the null object");
        return expect_object(nullptr).release();
    });
}

// Binds a call against `description` and returns the slots as a tuple, with
// None for a slot left empty.
PyObject* bind(const FunctionDescription& description, PyObject* const* args, Py_ssize_t count,
               PyObject* keyword_names) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        PyObject* slots[4] = {};
        const std::span<PyObject*> used(slots, description.slot_count());
        if (auto error = extract_arguments_fastcall(description, args, count, keyword_names, used)) {
            return raise(std::move(*error));
        }
        Owned tuple = expect_object(PyTuple_New(static_cast<Py_ssize_t>(used.size())));
        for (std::size_t i = 0; i < used.size(); ++i) {
            PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), Py_NewRef(used[i] ? used[i] : Py_None));
        }
        return tuple.release();
    });
}

constexpr std::string_view AB[] = {"a", "b"};
constexpr std::string_view ABC[] = {"a", "b", "c"};
constexpr KeywordOnlyParameter REQUIRED_C_OPTIONAL_D[] = {{"c", true}, {"d", false}};

// f(a, b, *, c, d=None)
constexpr FunctionDescription F{"f", std::nullopt, AB, 0, 2, REQUIRED_C_OPTIONAL_D};
// g(a, b=None)
constexpr FunctionDescription G{"g", std::nullopt, AB, 0, 1, {}};
// h(a, b, /, c)
constexpr FunctionDescription H{"h", std::nullopt, ABC, 2, 3, {}};
// K.m(a, b, c), a method of class K
constexpr FunctionDescription K_M{"m", "K", ABC, 0, 3, {}};

template <const FunctionDescription& Description>
PyObject* bind_with(PyObject* /*module*/, PyObject* const* args, Py_ssize_t count, PyObject* keyword_names) noexcept {
    return bind(Description, args, count, keyword_names);
}

PyCFunction fastcall_keywords(PyObject* (*entry)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*)) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

PyMethodDef testing_methods[] = {
    {"bind_f", fastcall_keywords(&bind_with<F>), METH_FASTCALL | METH_KEYWORDS, "bind_f(a, b, *, c, d=None)"},
    {"bind_g", fastcall_keywords(&bind_with<G>), METH_FASTCALL | METH_KEYWORDS, "bind_g(a, b=None)"},
    {"bind_h", fastcall_keywords(&bind_with<H>), METH_FASTCALL | METH_KEYWORDS, "bind_h(a, b, /, c)"},
    {"bind_k_m", fastcall_keywords(&bind_with<K_M>), METH_FASTCALL | METH_KEYWORDS, "bind_k_m(a, b, c)"},
    {"fail", fail, METH_O, "fail(message)\n--\n\nRaise an internal failure."},
    {"normalize_entities", normalize_entities, METH_O, "normalize_entities(entities)"},
    {"convert_with_failing_sink", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&convert_with_failing_sink)),
     METH_FASTCALL, "convert_with_failing_sink(text, writes)\n--\n\nWrite into a sink that fails."},
    {"utf8_json", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&utf8_json)), METH_FASTCALL,
     "utf8_json(text, standalone_links_as_buttons, decorate_links)"},
    {"through_str_sink", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&through_str_sink)),
     METH_FASTCALL, "through_str_sink(text, piece)"},
    {"fail_while_raising", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fail_while_raising)),
     METH_FASTCALL, "fail_while_raising(outer, inner)\n--\n\nFail while raising a failure."},
    {"bind_into_too_few_slots", bind_into_too_few_slots, METH_NOARGS,
     "bind_into_too_few_slots()\n--\n\nBind into fewer slots than there are parameters."},
    {"null_object_with_pending_error", null_object_with_pending_error, METH_NOARGS,
     "null_object_with_pending_error()\n--\n\nMake an object that comes out null."},
};

PyObject* bind_into_too_few_slots(PyObject* /*module*/, PyObject* /*unused*/) noexcept {
    return ffi_boundary<PyObject*>(nullptr, []() -> PyObject* {
        PyObject* slots[1] = {};
        PyObject* args[1] = {Py_None};
        if (auto error = extract_arguments_fastcall(F, args, 1, nullptr, slots)) return raise(std::move(*error));
        Py_RETURN_NONE;
    });
}

int exec_testing(PyObject* module) {
    for (PyMethodDef& method : testing_methods) {
        if (add_function(module, &method) < 0) return -1;
    }
    return 0;
}

PyModuleDef_Slot testing_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_testing)},
    QUENRA_NO_GIL_SLOT
    {0, nullptr},
};

PyModuleDef testing_module = {PyModuleDef_HEAD_INIT, "_quenra_testing", "", 0, nullptr, testing_slots,
                              nullptr,               nullptr,           nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__quenra_testing() { return PyModuleDef_Init(&testing_module); }
