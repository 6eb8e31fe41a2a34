#include "python/arguments.hpp"

#include "python/compat.hpp"

#include <cassert>

#include <vector>

namespace quenra::python {

namespace {

std::string_view utf8_view(const char* data, Py_ssize_t size) {
    return std::string_view(data, static_cast<std::size_t>(size));
}

PyErr too_many_positional(const FunctionDescription& description, std::size_t given) {
    const std::size_t positional = description.positional_parameter_names.size();
    const std::size_t required = description.required_positional_parameters;
    std::string message = description.display_name() + " takes ";
    if (required == positional) {
        message += std::to_string(positional);
    } else {
        message += "from " + std::to_string(required) + " to " + std::to_string(positional);
    }
    message += " positional arguments but " + std::to_string(given) + (given == 1 ? " was" : " were") + " given";
    return PyErr::type_error(std::move(message));
}

PyErr missing(const FunctionDescription& description, std::string_view kind,
              std::span<const std::string_view> names) {
    std::string message = description.display_name() + " missing " + std::to_string(names.size()) + " required " +
                          std::string(kind) + (names.size() == 1 ? " argument: " : " arguments: ");
    push_parameter_list(message, names);
    return PyErr::type_error(std::move(message));
}

PyErr multiple_values(const FunctionDescription& description, std::string_view name) {
    return PyErr::type_error(description.display_name() + " got multiple values for argument '" + std::string(name) +
                             "'");
}

PyErr unexpected_keyword(const FunctionDescription& description, PyObject* name) {
    return PyErr::type_error(description.display_name() + " got an unexpected keyword argument '" + display(name) +
                             "'");
}

template <class Names>
std::optional<std::size_t> index_of(const Names& names, std::string_view wanted, auto name_of) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (name_of(names[i]) == wanted) return i;
    }
    return std::nullopt;
}

}  // namespace

std::string FunctionDescription::display_name() const {
    std::string name;
    if (class_name) name.append(*class_name).append(".");
    return name.append(function_name).append("()");
}

void push_parameter_list(std::string& message, std::span<const std::string_view> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            if (names.size() == 2) {
                message += " and ";
            } else {
                message += i + 1 == names.size() ? ", and " : ", ";
            }
        }
        message.append("'").append(names[i]).append("'");
    }
}

std::optional<PyErr> extract_arguments_fastcall(const FunctionDescription& description, PyObject* const* args,
                                                Py_ssize_t positional_count, PyObject* keyword_names,
                                                std::span<PyObject*> slots) {
    assert(slots.size() == description.slot_count());
    const auto& positional_names = description.positional_parameter_names;
    const auto& keyword_only = description.keyword_only_parameters;
    const std::size_t positional = positional_names.size();
    const auto given = static_cast<std::size_t>(positional_count);

    for (std::size_t i = 0; i < given && i < positional; ++i) slots[i] = args[i];
    if (given > positional) return too_many_positional(description, given);

    std::vector<std::string_view> positional_only_by_keyword;  // made only when one is met
    const Py_ssize_t keyword_count = keyword_names ? PyTuple_GET_SIZE(keyword_names) : 0;
    for (Py_ssize_t k = 0; k < keyword_count; ++k) {
        PyObject* name_object = PyTuple_GET_ITEM(keyword_names, k);
        PyObject* value = args[positional_count + k];
        Py_ssize_t size = 0;
        const char* data = PyUnicode_AsUTF8AndSize(name_object, &size);
        if (!data) {
            PyErr_Clear();
            return unexpected_keyword(description, name_object);
        }
        const std::string_view name = utf8_view(data, size);

        if (const auto k_only = index_of(keyword_only, name, [](const auto& p) { return p.name; })) {
            PyObject*& slot = slots[positional + *k_only];
            if (slot) return multiple_values(description, name);
            slot = value;
            continue;
        }
        if (const auto t = index_of(positional_names, name, [](std::string_view n) { return n; })) {
            if (*t < description.positional_only_parameters) {
                positional_only_by_keyword.push_back(positional_names[*t]);
                continue;
            }
            if (slots[*t]) return multiple_values(description, name);
            slots[*t] = value;
            continue;
        }
        return unexpected_keyword(description, name_object);
    }

    if (!positional_only_by_keyword.empty()) {
        std::string message =
            description.display_name() + " got some positional-only arguments passed as keyword arguments: ";
        push_parameter_list(message, positional_only_by_keyword);
        return PyErr::type_error(std::move(message));
    }

    const std::size_t required = description.required_positional_parameters;
    if (given < required) {
        std::vector<std::string_view> absent;
        for (std::size_t i = 0; i < required; ++i) {
            if (!slots[i]) absent.push_back(positional_names[i]);
        }
        if (!absent.empty()) return missing(description, "positional", absent);
    }

    std::vector<std::string_view> absent_keywords;
    for (std::size_t i = 0; i < keyword_only.size(); ++i) {
        if (keyword_only[i].required && !slots[positional + i]) absent_keywords.push_back(keyword_only[i].name);
    }
    if (!absent_keywords.empty()) return missing(description, "keyword", absent_keywords);
    return std::nullopt;
}

Result<std::string_view> extract_str(PyObject* object) {
    if (!PyUnicode_Check(object)) return PyErr::cast(object, reinterpret_cast<PyObject*>(&PyUnicode_Type));
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(object, &size);
    if (!data) return PyErr::fetch();  // lone surrogates: the interpreter's UnicodeEncodeError
    return utf8_view(data, size);
}

namespace {

// numpy's boolean scalar type is "numpy.bool" (numpy 2) or "numpy.bool_".
// Errors while asking are discarded: the object is then no numpy boolean.
bool is_numpy_bool(PyTypeObject* type) {
    const Owned module = Owned::steal(type_module_name(type));
    if (!module || !PyUnicode_Check(module.get()) || !str_equals_ascii(module.get(), "numpy")) {
        PyErr_Clear();
        return false;
    }
    const Owned name = Owned::steal(type_name_object(type));
    if (!name) {
        PyErr_Clear();
        return false;
    }
    return str_equals_ascii(name.get(), "bool_") || str_equals_ascii(name.get(), "bool");
}

}  // namespace

Result<bool> extract_bool(PyObject* object) {
    PyTypeObject* type = Py_TYPE(object);
    if (type == &PyBool_Type) return object == Py_True;
    if (!is_numpy_bool(type)) return PyErr::cast(object, reinterpret_cast<PyObject*>(&PyBool_Type));
    const inquiry to_bool = type->tp_as_number ? type->tp_as_number->nb_bool : nullptr;
    if (!to_bool) {
        return PyErr::type_error("object of type '" + display(reinterpret_cast<PyObject*>(type)) +
                                 "' does not define a '__bool__' conversion");
    }
    switch (to_bool(object)) {
    case 0:
        return false;
    case 1:
        return true;
    default:
        return PyErr::fetch();
    }
}

Result<bool> switch_argument(PyObject* slot, std::string_view parameter) {
    if (!slot) return true;
    auto value = extract_bool(slot);
    if (!value) return argument_extraction_error(parameter, std::move(value).take_error());
    return value;
}

PyErr argument_extraction_error(std::string_view parameter_name, PyErr error) {
    if (!error.is_exact_type_error()) return error;
    const Owned caught = std::move(error).into_exception();
    const std::string message = "argument '" + std::string(parameter_name) + "': " + display(caught.get());
    const Owned text = Owned::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    Owned wrapped = text ? Owned::steal(PyObject_CallOneArg(PyExc_TypeError, text.get())) : Owned();
    if (!wrapped) return PyErr::fetch();
    // Setting the cause, even none, also sets __suppress_context__.
    PyException_SetCause(wrapped.get(), PyException_GetCause(caught.get()));
    return PyErr::from_exception(std::move(wrapped));
}

}  // namespace quenra::python
