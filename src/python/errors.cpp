#include "python/errors.hpp"

#include "python/compat.hpp"

namespace quenra::python {

namespace {

std::string target_display(PyObject* target) {
    if (PyTuple_Check(target)) {
        std::string joined;
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(target); ++i) {
            if (i > 0) joined += " | ";
            joined += target_display(PyTuple_GET_ITEM(target, i));
        }
        return joined;
    }
    if (target == reinterpret_cast<PyObject*>(Py_TYPE(Py_None))) return "None";
    if (PyType_Check(target)) {
        if (auto name = qualified_name(reinterpret_cast<PyTypeObject*>(target))) return *name;
    }
    return display(target);
}

}  // namespace

std::string CastError::message() const {
    const std::string target_name = target_display(target.get());
    if (object.get() == Py_None) return "'None' is not an instance of '" + target_name + "'";
    const std::string type_name = qualified_name(Py_TYPE(object.get())).value_or("<failed to extract type name>");
    return "'" + type_name + "' object is not an instance of '" + target_name + "'";
}

PyErr PyErr::fetch() {
    if (PyObject* exception = take_raised_exception()) return from_exception(Owned::steal(exception));
    return lazy(PyExc_SystemError, "attempted to fetch exception but none was set");
}

void PyErr::restore() && {
    if (auto* exception = std::get_if<Owned>(&state_)) {
        set_raised_exception(exception->release());
        return;
    }
    const auto [type, message] = std::holds_alternative<Lazy>(state_)
                                     ? std::pair{std::get<Lazy>(state_).type, std::get<Lazy>(state_).message}
                                     : std::pair{PyExc_TypeError, std::get<CastError>(state_).message()};
    const Owned text = Owned::steal(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
    if (!text) return;  // the interpreter's own error (MemoryError) is set instead
    PyErr_SetObject(type, text.get());
}

Owned PyErr::into_exception() && {
    std::move(*this).restore();
    return Owned::steal(take_raised_exception());
}

bool PyErr::is_exact_type_error() const {
    if (const auto* exception = std::get_if<Owned>(&state_)) {
        return Py_TYPE(exception->get()) == reinterpret_cast<PyTypeObject*>(PyExc_TypeError);
    }
    if (const auto* lazy_error = std::get_if<Lazy>(&state_)) return lazy_error->type == PyExc_TypeError;
    return true;  // a cast error is raised as a TypeError
}

std::string lenient_utf8(PyObject* text) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size)) {
        return std::string(utf8, static_cast<std::size_t>(size));
    }
    PyErr_Clear();
    // Lone surrogates: encode them as they stand, then let the decoder replace
    // every sequence that is not UTF-8 with U+FFFD.
    const Owned bytes = Owned::steal(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!bytes) {
        PyErr_Clear();
        return "\xEF\xBF\xBD";
    }
    const Owned repaired =
        Owned::steal(PyUnicode_DecodeUTF8(PyBytes_AsString(bytes.get()), PyBytes_Size(bytes.get()), "replace"));
    const char* utf8 = repaired ? PyUnicode_AsUTF8AndSize(repaired.get(), &size) : nullptr;
    if (!utf8) {
        PyErr_Clear();
        return "\xEF\xBF\xBD";
    }
    return std::string(utf8, static_cast<std::size_t>(size));
}

std::string display(PyObject* object) {
    if (const Owned text = Owned::steal(PyObject_Str(object))) return lenient_utf8(text.get());
    PyErr_WriteUnraisable(object);
    const Owned type_name = Owned::steal(type_name_object(Py_TYPE(object)));
    if (!type_name) {
        PyErr_Clear();
        return "<unprintable object>";
    }
    return "<unprintable " + lenient_utf8(type_name.get()) + " object>";
}

std::optional<std::string> qualified_name(PyTypeObject* type) {
    const Owned name = Owned::steal(type_qualified_name_object(type));
    if (!name || !PyUnicode_Check(name.get())) {
        PyErr_Clear();
        return std::nullopt;
    }
    return lenient_utf8(name.get());
}

std::string describe(PyErr error) {
    const Owned exception = std::move(error).into_exception();
    std::string text = qualified_name(Py_TYPE(exception.get())).value_or("<failed to extract type name>");
    const std::string message = display(exception.get());
    if (!message.empty()) text += ": " + message;
    return text;
}

}  // namespace quenra::python
