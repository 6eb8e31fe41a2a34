#include "python/telegram_module.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <structmember.h>

#include <quenra/telegram.hpp>
#include "python/boundary.hpp"
#include "python/deliver.hpp"
#include "python/limits.hpp"
#include "python/module.hpp"
#include "python/snapshot.hpp"
#include "python/str_sink.hpp"
#include "line/split.hpp"
#include "telegram/document.hpp"
#include "telegram/reading.hpp"
#include "telegram/rich.hpp"

namespace quenra::python {

namespace {

using telegram::Entity;

constexpr std::string_view PARSE_POSITIONAL[] = {"text", "parse_mode"};
constexpr FunctionDescription PARSE_PARAMETERS{"parse", std::nullopt, PARSE_POSITIONAL, 0, 1, {}};

constexpr std::string_view CONVERT_POSITIONAL[] = {"text", "entities"};
constexpr KeywordOnlyParameter CONVERT_KEYWORDS[] = {
    {"standalone_links_as_buttons", false},
    {"decorate_links", false},
    {"limits", false},
};
constexpr FunctionDescription CONVERT_PARAMETERS{"convert", std::nullopt, CONVERT_POSITIONAL, 0, 1, CONVERT_KEYWORDS};
constexpr FunctionDescription SPLIT_PARAMETERS{"split", std::nullopt, CONVERT_POSITIONAL, 0, 1, CONVERT_KEYWORDS};

constexpr std::string_view RICH_POSITIONAL[] = {"rich_message"};
constexpr KeywordOnlyParameter RICH_KEYWORDS[] = {
    {"decorate_links", false},
    {"limits", false},
};
constexpr FunctionDescription CONVERT_RICH_PARAMETERS{"convert_rich", std::nullopt, RICH_POSITIONAL, 0, 1, RICH_KEYWORDS};
constexpr FunctionDescription SPLIT_RICH_PARAMETERS{"split_rich", std::nullopt, RICH_POSITIONAL, 0, 1, RICH_KEYWORDS};

// The fields of an entity, as attribute names and keys.
enum Field : std::size_t { Type, Offset, Length, Url, Language, CustomEmojiId, UserId, UnixTime, DateTimeFormat, User, Id, FIELDS };
constexpr const char* FIELD_NAMES[FIELDS] = {"type",    "offset",  "length",    "url",              "language", "custom_emoji_id",
                                             "user_id", "unix_time", "date_time_format", "user", "id"};
std::array<ProcessObject, FIELDS> field_names;

PyObject* field_name(Field field) { return interned(field_names[field], FIELD_NAMES[field]); }

// The Bot API's names of the entity types, as `str`s made once.
constexpr std::size_t ENTITY_TYPES = static_cast<std::size_t>(telegram::EntityType::ExpandableBlockquote) + 1;
std::array<ProcessObject, ENTITY_TYPES> type_names;

PyObject* type_name_of(telegram::EntityType type) {
    // The names are string literals, so their data ends in a NUL.
    return interned(type_names[static_cast<std::size_t>(type)], telegram::entity_type_name(type).data());
}

// The classes of quenra.telegram that the module makes and raises.
ProcessObject entity_class_cache;
ProcessObject parse_error_cache;

// `module.name`, imported.
Owned imported(const char* module, const char* name) {
    const Owned found = expect_object(PyImport_ImportModule(module));
    return expect_object(PyObject_GetAttrString(found.get(), name));
}

// `module.name`, imported once into `cache`.
PyObject* module_attribute(ProcessObject& cache, const char* module, const char* name) {
    return cache.get([module, name] { return imported(module, name).release(); });
}

PyObject* telegram_class(ProcessObject& cache, const char* name) {
    return module_attribute(cache, "quenra.telegram", name);
}

// datetime.datetime, in which python-telegram-bot gives a date's time.
ProcessObject datetime_class_cache;

PyObject* datetime_class() { return module_attribute(datetime_class_cache, "datetime", "datetime"); }

// The members of telegram.Entity, a dataclass with slots, that hold each
// field in an instance: read and written there directly, as its own
// descriptors do. Their descriptors are kept, with the class.
std::array<PyMemberDef*, DateTimeFormat + 1> entity_members;

PyTypeObject* entity_class() {
    return reinterpret_cast<PyTypeObject*>(entity_class_cache.get([] {
        Owned type = imported("quenra.telegram", "Entity");
        for (std::size_t field = 0; field < entity_members.size(); ++field) {
            Owned descriptor = Owned::steal(PyObject_GetAttrString(type.get(), FIELD_NAMES[field]));
            if (!descriptor || !Py_IS_TYPE(descriptor.get(), &PyMemberDescr_Type)) fail("telegram.Entity has no slots");
            entity_members[field] = reinterpret_cast<PyMemberDescrObject*>(descriptor.release())->d_member;
        }
        return type.release();
    }));
}

// Where an instance of exactly telegram.Entity keeps `field`.
PyObject*& entity_slot(PyObject* entity, Field field) noexcept {
    return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(entity) + entity_members[field]->offset);
}

// `field` of an entity given as a telegram.Entity, a dict (by key) or any
// object (by attribute); nothing when it has none. A strong reference, read
// as the interpreter reads it where other threads may set it.
Result<Owned> field_of(PyObject* entity, Field field) {
    if (Py_IS_TYPE(entity, entity_class()) && field < static_cast<Field>(entity_members.size())) {
        Owned value = Owned::steal(PyMember_GetOne(reinterpret_cast<const char*>(entity), entity_members[field]));
        if (!value) {
            if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return PyErr::fetch();
            PyErr_Clear();  // a slot never set
        }
        return value;
    }
    Owned value;
    if (member_of(entity, field_name(field), value) < 0) return PyErr::fetch();
    return value;
}

// Reads entities[index] field by field.
class EntityFields {
public:
    EntityFields(PyObject* entity, std::size_t index) : entity_(entity), index_(index) {}

    // A str field, its `str` kept in `held` while the view is used; nothing
    // when it is missing or None.
    Result<std::optional<std::string_view>> text(Field field, std::vector<Owned>& held) {
        auto value = field_of(entity_, field);
        if (!value) return std::move(value).take_error();
        if (!*value || (*value).get() == Py_None) return std::optional<std::string_view>{};
        if (!PyUnicode_Check((*value).get())) return wrong_type(field, "a str", (*value).get());
        auto utf8 = extract_str((*value).get());
        if (!utf8) return std::move(utf8).take_error();
        held.push_back(std::move(*value));
        return std::optional<std::string_view>(*utf8);
    }

    // An int field; nothing when it is missing or None, unless `required`.
    Result<std::optional<std::int64_t>> integer(Field field, bool required, PyObject* from = nullptr) {
        auto value = field_of(from ? from : entity_, field);
        if (!value) return std::move(value).take_error();
        return integer_value(field, (*value).get(), required);
    }

    // A date's time: an int (Unix time), or a datetime.datetime, aware or
    // naive, as python-telegram-bot gives it. Checked only: a date shows its
    // text.
    std::optional<PyErr> time(Field field) {
        auto value = field_of(entity_, field);
        if (!value) return std::move(value).take_error();
        PyObject* time = (*value).get();
        if (!time || time == Py_None) return std::nullopt;
        const int is_datetime = PyObject_IsInstance(time, datetime_class());
        if (is_datetime < 0) return PyErr::fetch();
        if (is_datetime == 1) return std::nullopt;
        if (!PyLong_Check(time) || PyBool_Check(time)) return wrong_type(field, "an int or a datetime", time);
        auto number = integer_value(field, time, false);
        if (!number) return std::move(number).take_error();
        return std::nullopt;
    }

    // The user's id of a mention: user_id, else user.id.
    Result<std::optional<std::int64_t>> user_id() {
        auto direct = integer(UserId, false);
        if (!direct || *direct) return direct;
        auto user = field_of(entity_, User);
        if (!user) return std::move(user).take_error();
        if (!*user || (*user).get() == Py_None) return std::optional<std::int64_t>{};
        return integer(Id, false, (*user).get());
    }

    // The type, read while its `str` is held; nothing for a name this
    // version does not know.
    Result<std::optional<telegram::EntityType>> type() {
        auto value = field_of(entity_, Type);
        if (!value) return std::move(value).take_error();
        if (!*value || (*value).get() == Py_None) return PyErr::type_error(name() + " has no type");
        // Entities that `parse` made hold the names it made.
        for (std::size_t i = 0; i < ENTITY_TYPES; ++i) {
            if ((*value).get() == type_names[i].peek()) return std::optional(static_cast<telegram::EntityType>(i));
        }
        if (!PyUnicode_Check((*value).get())) return wrong_type(Type, "a str", (*value).get());
        auto utf8 = extract_str((*value).get());
        if (!utf8) return std::move(utf8).take_error();
        return telegram::entity_type_named(*utf8);
    }

    std::string name() const { return "entities[" + std::to_string(index_) + "]"; }

private:
    // The int `number` of `field` (null when the field is missing).
    Result<std::optional<std::int64_t>> integer_value(Field field, PyObject* number, bool required) const {
        if (!number || number == Py_None) {
            if (!required) return std::optional<std::int64_t>{};
            return PyErr::type_error(name() + " has no " + FIELD_NAMES[field]);
        }
        if (!PyLong_Check(number) || PyBool_Check(number)) return wrong_type(field, "an int", number);
        int overflow = 0;
        const long long result = PyLong_AsLongLongAndOverflow(number, &overflow);
        if (result == -1 && PyErr_Occurred()) return PyErr::fetch();
        if (overflow != 0) return PyErr::lazy(PyExc_ValueError, name() + "." + FIELD_NAMES[field] + " is out of range");
        return std::optional<std::int64_t>(result);
    }

    PyErr wrong_type(Field field, std::string_view expected, PyObject* value) const {
        return PyErr::type_error(name() + "." + FIELD_NAMES[field] + " must be " + std::string(expected) + ", not '" +
                                 type_name(value) + "'");
    }

    PyObject* entity_;
    std::size_t index_;
};

// The entities of an `entities` argument as the reading takes them, with
// the `str`s that their views point into.
struct EntityViews {
    std::vector<telegram::EntityView> views;
    std::vector<Owned> held;
};

// Reads one entity into `out`; leaves out a type this version does not
// know. Every field the type has is checked, though the reading uses only
// the URL and whether there is a language.
std::optional<PyErr> read_entity(PyObject* item, std::size_t index, EntityViews& out) {
    EntityFields fields(item, index);
    auto type_of = fields.type();
    if (!type_of) return std::move(type_of).take_error();
    const std::optional<telegram::EntityType> type = *type_of;
    if (!type) return std::nullopt;
    auto offset = fields.integer(Offset, true);
    if (!offset) return std::move(offset).take_error();
    auto length = fields.integer(Length, true);
    if (!length) return std::move(length).take_error();
    telegram::EntityView entity{*type, **offset, **length, std::nullopt, false};
    // The error of a field's reading, if any.
    const auto error_of = [](auto read) -> std::optional<PyErr> {
        if (!read) return std::move(read).take_error();
        return std::nullopt;
    };
    std::optional<PyErr> error;
    switch (*type) {
    case telegram::EntityType::TextLink: {
        auto url = fields.text(Url, out.held);
        if (url) entity.url = *url;
        error = error_of(std::move(url));
        break;
    }
    case telegram::EntityType::Pre: {
        auto language = fields.text(Language, out.held);
        if (language) entity.has_language = (*language).has_value();
        error = error_of(std::move(language));
        break;
    }
    case telegram::EntityType::CustomEmoji:
        error = error_of(fields.text(CustomEmojiId, out.held));
        break;
    case telegram::EntityType::TextMention:
        error = error_of(fields.user_id());
        break;
    case telegram::EntityType::DateTime:
        error = fields.time(UnixTime);
        if (!error) error = error_of(fields.text(DateTimeFormat, out.held));
        break;
    default:
        break;
    }
    if (!error) out.views.push_back(entity);
    return error;
}

// The entities of an `entities` argument: None or left out for none, else an
// iterable of entities.
std::optional<PyErr> read_entities(PyObject* slot, EntityViews& out) {
    if (!slot || slot == Py_None) return std::nullopt;
    const Owned items = snapshot(slot, "entities must be an iterable of entities or None");
    if (!items) return PyErr::fetch();
    const Py_ssize_t count = PyTuple_GET_SIZE(items.get());
    out.views.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (auto error = read_entity(PyTuple_GET_ITEM(items.get(), i), static_cast<std::size_t>(i), out)) {
            return error;
        }
    }
    return std::nullopt;
}

// A telegram.Entity made as its frozen dataclass makes itself: every field
// set in its slot, None where the entity has no value.
Owned new_entity(const Entity& entity) {
    PyTypeObject* type = entity_class();
    Owned object = expect_object(type->tp_alloc(type, 0));
    for (std::size_t field = 0; field < entity_members.size(); ++field) {
        entity_slot(object.get(), static_cast<Field>(field)) = Py_NewRef(Py_None);
    }
    const auto set = [&](Field field, Owned value) {
        PyObject*& slot = entity_slot(object.get(), field);
        Py_DECREF(slot);
        slot = value.release();
    };
    const auto set_text = [&](Field field, const std::optional<std::string>& value) {
        if (value) set(field, new_str(*value));
    };
    const auto set_integer = [&](Field field, const std::optional<std::int64_t>& value) {
        if (value) set(field, expect_object(PyLong_FromLongLong(*value)));
    };
    set(Type, Owned::borrow(type_name_of(entity.type)));
    set_integer(Offset, entity.offset);
    set_integer(Length, entity.length);
    set_text(Url, entity.url);
    set_text(Language, entity.language);
    set_text(CustomEmojiId, entity.custom_emoji_id);
    set_integer(UserId, entity.user_id);
    set_integer(UnixTime, entity.unix_time);
    set_text(DateTimeFormat, entity.date_time_format);
    return object;
}

// The arguments of `convert` and `split`.
struct TelegramArguments {
    ConversionArguments conversion;
    EntityViews entities;
    LimitsArgument limits;
};

std::optional<PyErr> read_arguments(std::span<PyObject* const> slots, TelegramArguments& out) {
    const std::array<PyObject*, 3> conversion_slots{slots[0], slots[2], slots[3]};
    auto conversion = conversion_arguments(conversion_slots);
    if (!conversion) return std::move(conversion).take_error();
    out.conversion = *conversion;
    if (auto error = read_entities(slots[1], out.entities)) return error;
    return out.limits.read(slots[4]);
}

// The reading of the arguments' text and entities.
telegram::EntitiesReading reading_of(const TelegramArguments& arguments) {
    return telegram::EntitiesReading{arguments.conversion.text, arguments.entities.views, arguments.conversion.options};
}

// The parse mode that a `parse_mode` argument names, in any letter case;
// MarkdownV2 when it was left out.
Result<telegram::ParseMode> parse_mode_argument(PyObject* slot) {
    if (!slot) return telegram::ParseMode::MarkdownV2;
    if (!PyUnicode_Check(slot)) return PyErr::type_error("parse_mode must be a str, not '" + type_name(slot) + "'");
    // A str that has no UTF-8 form names no mode either.
    if (auto name = extract_str(slot)) {
        if (const auto mode = telegram::parse_mode_named(*name)) return *mode;
    }
    const Owned shown = expect_object(PyObject_Repr(slot));
    return PyErr::lazy(PyExc_ValueError,
                       "parse_mode must be \"MarkdownV2\", \"HTML\" or \"Markdown\", not " + lenient_utf8(shown.get()));
}

PyObject* call_parse(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                     PyObject* keyword_names) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, PARSE_PARAMETERS.slot_count()> slots{};
        if (auto error = extract_arguments_fastcall(PARSE_PARAMETERS, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        auto text = extract_str(slots[0]);
        if (!text) return raise(argument_extraction_error("text", std::move(text).take_error()));
        auto mode = parse_mode_argument(slots[1]);
        if (!mode) return raise(std::move(mode).take_error());
        telegram::FormattedText parsed;
        try {
            parsed = telegram::parse_well_formed(*text, *mode);  // a str's UTF-8 is well formed
        } catch (const telegram::ParseError& refused) {
            PyErr_SetString(telegram_class(parse_error_cache, "ParseError"), refused.what());
            return nullptr;
        }
        Owned list = expect_object(PyList_New(static_cast<Py_ssize_t>(parsed.entities.size())));
        for (std::size_t i = 0; i < parsed.entities.size(); ++i) {
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), new_entity(parsed.entities[i]).release());
        }
        Owned shown = new_str(parsed.text);
        return expect_object(PyTuple_Pack(2, shown.get(), list.get())).release();
    });
}

// Binds a call of `convert` or `split` as `description` says and returns
// `work(arguments)`, with the library's refusals raised as
// ValueError.
template <class Work>
PyObject* telegram_call(const FunctionDescription& description, PyObject* const* args, Py_ssize_t positional_count,
                        PyObject* keyword_names, Work&& work) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, CONVERT_PARAMETERS.slot_count()> slots{};
        if (auto error = extract_arguments_fastcall(description, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        TelegramArguments arguments;
        if (auto error = read_arguments(slots, arguments)) return raise(std::move(*error));
        return refusals_as_value_errors([&] { return work(arguments); });
    });
}

PyObject* call_convert(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                       PyObject* keyword_names) noexcept {
    return telegram_call(CONVERT_PARAMETERS, args, positional_count, keyword_names,
                         [](const TelegramArguments& arguments) {
                             arguments.limits.require_valid();
                             return converted_str(reading_of(arguments), arguments.limits.get()).release();
                         });
}

PyObject* call_split(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                     PyObject* keyword_names) noexcept {
    return telegram_call(SPLIT_PARAMETERS, args, positional_count, keyword_names,
                         [](const TelegramArguments& arguments) {
                             arguments.limits.require_valid();
                             return split_strs(reading_of(arguments), arguments.limits.get()).release();
                         });
}

// A node of a rich message given as Python objects: dicts read by key,
// other objects by attribute (aiogram's models, or any with the Bot API's
// fields), lists and tuples as arrays through a snapshot of their items, so
// that another thread changing them cannot break a reading. A Python error
// while reading is thrown as the PyErr to raise.
class PyNode {
public:
    explicit PyNode(Owned object) : object_(std::move(object)) {
        if (object_ && (PyList_Check(object_.get()) || PyTuple_Check(object_.get()))) {
            items_ = snapshot(object_.get(), "not a sequence");
            if (!items_) throw PyErr::fetch();
        }
    }

    telegram::NodeKind kind() const noexcept {
        using telegram::NodeKind;
        PyObject* object = object_.get();
        if (!object) return NodeKind::Missing;
        if (object == Py_None) return NodeKind::Null;
        if (PyBool_Check(object)) return NodeKind::Boolean;
        if (PyLong_Check(object) || PyFloat_Check(object)) return NodeKind::Number;
        if (PyUnicode_Check(object)) return NodeKind::String;
        if (items_) return NodeKind::Array;
        return NodeKind::Object;
    }
    PyNode member(std::string_view name) const {
        Owned value;
        if (member_of(object_.get(), new_str(name).get(), value) < 0) throw PyErr::fetch();
        return PyNode(std::move(value));
    }
    std::size_t size() const noexcept { return static_cast<std::size_t>(PyTuple_GET_SIZE(items_.get())); }
    PyNode item(std::size_t index) const {
        return PyNode(Owned::borrow(PyTuple_GET_ITEM(items_.get(), static_cast<Py_ssize_t>(index))));
    }
    std::string_view text() const {
        auto utf8 = extract_str(object_.get());
        if (!utf8) throw std::move(utf8).take_error();
        return *utf8;
    }
    bool boolean() const noexcept { return object_.get() == Py_True; }
    double number() const {
        const double value = PyFloat_AsDouble(object_.get());
        if (value == -1.0 && PyErr_Occurred()) throw PyErr::fetch();
        return value;
    }

private:
    Owned object_;
    Owned items_;  // an array's items, as a tuple
};
static_assert(telegram::RichNode<PyNode>);

// Binds a call of `convert_rich` or `split_rich` and returns what
// `deliver(reading, limits)` makes of the message (the limits checked
// valid), with the library's
// refusals raised as ValueError.
template <class Deliver>
PyObject* rich_call(const FunctionDescription& description, PyObject* const* args, Py_ssize_t positional_count,
                    PyObject* keyword_names, Deliver&& deliver) noexcept {
    return ffi_boundary<PyObject*>(nullptr, [&]() -> PyObject* {
        std::array<PyObject*, CONVERT_RICH_PARAMETERS.slot_count()> slots{};
        if (auto error = extract_arguments_fastcall(description, args, positional_count, keyword_names, slots)) {
            return raise(std::move(*error));
        }
        auto decorate = switch_argument(slots[1], "decorate_links");
        if (!decorate) return raise(std::move(decorate).take_error());
        LimitsArgument limits;
        if (auto error = limits.read(slots[2])) return raise(std::move(*error));
        try {
            return refusals_as_value_errors([&] {
                limits.require_valid();
                const PyNode root(Owned::borrow(slots[0]));
                // Python objects hold no size to go by: room for a chat message.
                constexpr std::size_t SIZE_HINT = 1024;
                const telegram::RichReading<PyNode> reading{root, *decorate, SIZE_HINT};
                return deliver(reading, limits.get()).release();
            });
        } catch (PyErr& error) {
            return raise(std::move(error));
        }
    });
}

PyObject* call_convert_rich(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                            PyObject* keyword_names) noexcept {
    return rich_call(CONVERT_RICH_PARAMETERS, args, positional_count, keyword_names,
                     [](const auto& reading, const LineLimits& limits) { return converted_str(reading, limits); });
}

PyObject* call_split_rich(PyObject* /*self*/, PyObject* const* args, Py_ssize_t positional_count,
                          PyObject* keyword_names) noexcept {
    return rich_call(SPLIT_RICH_PARAMETERS, args, positional_count, keyword_names,
                     [](const auto& reading, const LineLimits& limits) { return split_strs(reading, limits); });
}

PyMethodDef telegram_methods[] = {
    {"parse", fastcall_entry(&call_parse), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "parse(text, parse_mode='MarkdownV2')\n--\n\n"
     "Read a bot's text as Telegram does in parse_mode \"MarkdownV2\", \"HTML\" or \"Markdown\" (any letter case):\n"
     "the text and its entities, in Telegram's order."},
    {"convert", fastcall_entry(&call_convert), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "convert(text, entities=None, *, standalone_links_as_buttons=True, decorate_links=True, limits=None)\n--\n\n"
     "Convert a Telegram message's text and entities to one LINE Flex Message JSON string."},
    {"split", fastcall_entry(&call_split), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "split(text, entities=None, *, standalone_links_as_buttons=True, decorate_links=True, limits=None)\n--\n\n"
     "Convert a Telegram message's text and entities to LINE Flex Message JSON strings that LINE accepts."},
    {"convert_rich", fastcall_entry(&call_convert_rich), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "convert_rich(rich_message, *, decorate_links=True, limits=None)\n--\n\n"
     "Convert a Telegram rich message to one LINE Flex Message JSON string."},
    {"split_rich", fastcall_entry(&call_split_rich), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "split_rich(rich_message, *, decorate_links=True, limits=None)\n--\n\n"
     "Convert a Telegram rich message to LINE Flex Message JSON strings that LINE accepts."},
};

}  // namespace

int exec_telegram_module(PyObject* module) noexcept { return add_functions(module, telegram_methods); }

}  // namespace quenra::python
