#include "python/module.hpp"

#include <array>
#include <string>
#include <string_view>

#include <quenra.hpp>
#include "lib/write_json.hpp"
#include "python/arguments.hpp"
#include "python/boundary.hpp"
#include "python/str_sink.hpp"

namespace quenra::python {

namespace {

constexpr std::string_view POSITIONAL_PARAMETERS[] = {"text"};
constexpr KeywordOnlyParameter KEYWORD_ONLY_PARAMETERS[] = {
    {"standalone_links_as_buttons", false},
    {"decorate_links", false},
};
constexpr FunctionDescription QUENRA_PARAMETERS{
    .function_name = "quenra",
    .class_name = std::nullopt,
    .positional_parameter_names = POSITIONAL_PARAMETERS,
    .positional_only_parameters = 0,
    .required_positional_parameters = 1,
    .keyword_only_parameters = KEYWORD_ONLY_PARAMETERS,
};

PyMethodDef quenra_method{
    "quenra",
    fastcall_entry(&call_quenra),
    METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
    "quenra(text, *, standalone_links_as_buttons=True, decorate_links=True)\n--\n\n"
    "Convert Telegram MarkdownV2 text to a LINE Flex Message JSON string.",
};

ProcessObject all_name;
ProcessObject name_name;

bool is_module(PyObject* object) {
    return Py_IS_TYPE(object, &PyModule_Type) || PyType_IsSubtype(Py_TYPE(object), &PyModule_Type);
}

// The module's `__all__`, made an empty list when the module has none.
Result<Owned> module_all(PyObject* module) {
    PyObject* key = interned(all_name, "__all__");
    Owned all = Owned::steal(PyObject_GetAttr(module, key));
    if (!all) {
        PyErr error = PyErr::fetch();
        Owned exception = std::move(error).into_exception();
        if (!PyErr_GivenExceptionMatches(exception.get(), PyExc_AttributeError)) {
            return PyErr::from_exception(std::move(exception));
        }
        all = Owned::steal(PyList_New(0));
        if (!all || PyObject_SetAttr(module, key, all.get()) < 0) return PyErr::fetch();
    }
    if (!PyList_Check(all.get())) return PyErr::cast(all.get(), reinterpret_cast<PyObject*>(&PyList_Type));
    return all;
}

std::optional<PyErr> add_function_to(PyObject* module, PyMethodDef* method) {
    if (!is_module(module)) return PyErr::cast(module, reinterpret_cast<PyObject*>(&PyModule_Type));
    const Owned module_name = Owned::steal(PyModule_GetNameObject(module));
    if (!module_name) return PyErr::fetch();
    const Owned function = Owned::steal(PyCMethod_New(method, module, module_name.get(), nullptr));
    if (!function) return PyErr::fetch();

    const Owned name = Owned::steal(PyObject_GetAttr(function.get(), interned(name_name, "__name__")));
    if (!name) return PyErr::fetch();
    if (!PyUnicode_Check(name.get())) return PyErr::cast(name.get(), reinterpret_cast<PyObject*>(&PyUnicode_Type));

    auto all = module_all(module);
    if (!all) return std::move(all).take_error();
    if (PyList_Append((*all).get(), name.get()) < 0) {
        fail("could not append __name__ to __all__: " + describe(PyErr::fetch()));
    }
    if (PyObject_SetAttr(module, name.get(), function.get()) < 0) return PyErr::fetch();
    return std::nullopt;
}

}  // namespace

int add_function(PyObject* module, PyMethodDef* method) noexcept {
    return ffi_boundary(-1, [&] {
        if (auto error = add_function_to(module, method)) {
            std::move(*error).restore();
            return -1;
        }
        return 0;
    });
}

int add_functions(PyObject* module, std::span<PyMethodDef> methods) noexcept {
    for (PyMethodDef& method : methods) {
        if (add_function(module, &method) < 0) return -1;
    }
    return 0;
}

Result<ConversionArguments> conversion_arguments(std::span<PyObject* const> slots) {
    auto text = extract_str(slots[0]);
    if (!text) return argument_extraction_error("text", std::move(text).take_error());
    auto standalone = switch_argument(slots[1], "standalone_links_as_buttons");
    if (!standalone) return std::move(standalone).take_error();
    auto decorate = switch_argument(slots[2], "decorate_links");
    if (!decorate) return std::move(decorate).take_error();
    return ConversionArguments{*text, ConvertOptions{*standalone, *decorate}};
}

int exec_quenra_module(PyObject* module) noexcept { return add_function(module, &quenra_method); }

PyObject* call_quenra(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                      PyObject* keyword_names) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, QUENRA_PARAMETERS.slot_count()> slots{};
        if (auto error = extract_arguments_fastcall(QUENRA_PARAMETERS, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        auto conversion = conversion_arguments(slots);
        if (!conversion) return raise(std::move(conversion).take_error());
        if ((*conversion).text.empty()) return new_str(EMPTY_TEXT_JSON).release();
        const ConversionArguments& arguments = *conversion;
        DocumentMemory memory;
        const Document document =
            read_markdown(arguments.text, arguments.options, memory.for_text(arguments.text.size()));
        return json_str([&](auto& writer) { tell_message(document, writer); }).release();
    });
}

}  // namespace quenra::python
