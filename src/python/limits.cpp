#include "python/limits.hpp"

#include <limits>

#include "python/boundary.hpp"
#include "python/snapshot.hpp"

namespace quenra::python {

namespace {

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
    const Owned items = snapshot(value, "uri_schemes must be a sequence of str");
    if (!items) return PyErr::fetch();
    std::vector<std::string> schemes;
    const Py_ssize_t count = PyTuple_GET_SIZE(items.get());
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(items.get(), i);
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

}  // namespace

// The qualified name of `object`'s type, as the binder's own messages give it.
std::string type_name(PyObject* object) {
    return qualified_name(Py_TYPE(object)).value_or("<failed to extract type name>");
}

// Reads a LineLimits (or any object with its attributes) into `out`; a
// `limits` that is neither is refused as not being `expected`.
std::optional<PyErr> read_limits(PyObject* object, LineLimits& out, std::string_view expected) {
    for (const line::SizeLimit& limit : line::SIZE_LIMITS) {
        if (limit.optional && !PyObject_HasAttrString(object, std::string(limit.name).c_str())) continue;
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

}  // namespace quenra::python
