"""Argument binding: which calls are accepted and the exact TypeErrors of the others."""

import json
import os
import subprocess
import sys

import numpy as np
import pytest

from conftest import vectorcall
from quenra import quenra


def raised(call):
    with pytest.raises(BaseException) as info:
        call()
    return info.value


@pytest.mark.parametrize(
    ("call", "message"),
    [
        (lambda: quenra(), "quenra() missing 1 required positional argument: 'text'"),
        (lambda: quenra(decorate_links=True), "quenra() missing 1 required positional argument: 'text'"),
        (lambda: quenra("a", True), "quenra() takes 1 positional arguments but 2 were given"),
        (lambda: quenra("a", True, False), "quenra() takes 1 positional arguments but 3 were given"),
        (lambda: quenra("a", True, links=1), "quenra() takes 1 positional arguments but 2 were given"),
        (lambda: quenra(links=1), "quenra() got an unexpected keyword argument 'links'"),
        (lambda: quenra(Text="a"), "quenra() got an unexpected keyword argument 'Text'"),
        (lambda: quenra("a", text="b"), "quenra() got multiple values for argument 'text'"),
        (
            lambda: vectorcall(quenra, ["a"], [("decorate_links", True), ("decorate_links", False)]),
            "quenra() got multiple values for argument 'decorate_links'",
        ),
        (
            lambda: vectorcall(quenra, ["a"], [(1, True)]),
            "quenra() got an unexpected keyword argument '1'",
        ),
        (
            lambda: vectorcall(quenra, [], [("links", 1), ("text", "a")]),
            "quenra() got an unexpected keyword argument 'links'",
        ),
    ],
)
def test_binder_messages(call, message):
    error = raised(call)
    assert type(error) is TypeError
    assert error.args == (message,)
    assert error.__cause__ is None and not error.__suppress_context__


def test_keywords_bind_like_positions():
    assert quenra(text="*a*") == quenra("*a*")
    assert vectorcall(quenra, [], [("text", "*a*")]) == quenra("*a*")
    assert quenra("[a](u)", standalone_links_as_buttons=True, decorate_links=True) == quenra("[a](u)")


class Label(str):
    pass


def test_a_str_subclass_is_read_by_its_value():
    assert quenra(Label("*bold* [x](u)")) == quenra("*bold* [x](u)")
    assert vectorcall(quenra, [], [(Label("text"), "*a*")]) == quenra("*a*")


def test_cast_messages_for_text():
    class C:
        pass

    cases = [
        (1, "argument 'text': 'int' object is not an instance of 'str'"),
        (None, "argument 'text': 'None' is not an instance of 'str'"),
        (b"a", "argument 'text': 'bytes' object is not an instance of 'str'"),
        (C(), "argument 'text': 'test_cast_messages_for_text.<locals>.C' object is not an instance of 'str'"),
    ]
    for value, message in cases:
        error = raised(lambda: quenra(value))
        assert type(error) is TypeError and error.args == (message,)
        assert error.__cause__ is None and error.__suppress_context__ is True


@pytest.mark.parametrize("name", ["standalone_links_as_buttons", "decorate_links"])
@pytest.mark.parametrize(
    ("value", "cast"),
    [
        (1, "'int' object is not an instance of 'bool'"),
        (0, "'int' object is not an instance of 'bool'"),
        (None, "'None' is not an instance of 'bool'"),
        ("yes", "'str' object is not an instance of 'bool'"),
        (np.int8(1), "'int8' object is not an instance of 'bool'"),
    ],
)
def test_switches_refuse_everything_but_booleans(name, value, cast):
    error = raised(lambda: quenra("a", **{name: value}))
    assert type(error) is TypeError
    assert error.args == (f"argument '{name}': {cast}",)
    assert error.__cause__ is None and error.__suppress_context__ is True


def test_only_the_first_bad_argument_is_reported():
    assert raised(lambda: quenra(1, decorate_links=1)).args[0].startswith("argument 'text':")
    error = raised(lambda: quenra("a", decorate_links=1, standalone_links_as_buttons=None))
    assert error.args[0].startswith("argument 'standalone_links_as_buttons':")


def test_numpy_booleans_are_accepted():
    text = "See [Docs](u)\nmore"
    for standalone in (True, False):
        for decorate in (True, False):
            expected = quenra(text, standalone_links_as_buttons=standalone, decorate_links=decorate)
            assert quenra(text, standalone_links_as_buttons=np.bool_(standalone), decorate_links=np.bool_(decorate)) == expected


def fake_numpy_bool(bool_method=None, name="bool_"):
    namespace = {"__module__": "numpy"}
    if bool_method is not None:
        namespace["__bool__"] = bool_method
    return type(name, (), namespace)()


def test_a_numpy_boolean_that_raises_a_type_error_is_wrapped_with_its_cause():
    def to_bool(self):
        raise TypeError("no truth here") from ValueError("because")

    error = raised(lambda: quenra("a", decorate_links=fake_numpy_bool(to_bool)))
    assert type(error) is TypeError
    assert error.args == ("argument 'decorate_links': no truth here",)
    assert type(error.__cause__) is ValueError and error.__suppress_context__ is True


@pytest.mark.parametrize("exception", [ValueError("odd"), type("Sub", (TypeError,), {})("sub")])
def test_other_errors_of_a_numpy_boolean_pass_unchanged(exception):
    def to_bool(self):
        raise exception

    assert raised(lambda: quenra("a", decorate_links=fake_numpy_bool(to_bool))) is exception


def test_a_numpy_boolean_without_bool_conversion():
    error = raised(lambda: quenra("a", decorate_links=fake_numpy_bool(name="bool")))
    assert error.args == (
        "argument 'decorate_links': object of type '<class 'numpy.bool'>' does not define a '__bool__' conversion",
    )


def test_a_lone_surrogate_raises_the_interpreters_encode_error():
    error = raised(lambda: quenra("ok \ud800"))
    assert type(error) is UnicodeEncodeError
    assert not str(error).startswith("argument")


def test_nul_characters_are_kept_whole():
    message = json.loads(quenra("a\0b *c\0*"))
    assert message["altText"] == "a\0b c\0"


def test_omitted_switches_are_true():
    text = "Read\n[Docs](u)\nmore"
    assert quenra(text) == quenra(text, standalone_links_as_buttons=True, decorate_links=True)
    inline = json.loads(quenra(text, standalone_links_as_buttons=False))
    assert [span["text"] for span in inline["contents"]["body"]["contents"][0]["contents"]] == ["Read\n", "Docs", "\nmore"]


@pytest.mark.parametrize(
    ("function", "args", "kwargs", "message"),
    [
        ("bind_f", (), {}, "f() missing 2 required positional arguments: 'a' and 'b'"),
        ("bind_f", (1, 2), {}, "f() missing 1 required keyword argument: 'c'"),
        ("bind_f", (1,), {"d": 4}, "f() missing 1 required positional argument: 'b'"),
        ("bind_f", (1, 2, 3), {}, "f() takes 2 positional arguments but 3 were given"),
        ("bind_g", (1, 2, 3), {}, "g() takes from 1 to 2 positional arguments but 3 were given"),
        ("bind_g", (), {"b": 2}, "g() missing 1 required positional argument: 'a'"),
        ("bind_h", (), {"a": 1, "b": 2, "c": 3}, "h() got some positional-only arguments passed as keyword arguments: 'a' and 'b'"),
        ("bind_h", (1,), {"b": 2}, "h() got some positional-only arguments passed as keyword arguments: 'b'"),
        ("bind_k_m", (), {}, "K.m() missing 3 required positional arguments: 'a', 'b', and 'c'"),
        ("bind_k_m", (1,), {"a": 1}, "K.m() got multiple values for argument 'a'"),
        ("bind_k_m", (1, 2, 3, 4), {}, "K.m() takes 3 positional arguments but 4 were given"),
    ],
)
def test_binder_messages_for_other_descriptions(testing_module, function, args, kwargs, message):
    error = raised(lambda: getattr(testing_module, function)(*args, **kwargs))
    assert type(error) is TypeError and error.args == (message,)


def test_binding_fills_slots_in_parameter_order(testing_module):
    assert testing_module.bind_f(1, c=3, b=2) == (1, 2, 3, None)
    assert testing_module.bind_f(a=1, b=2, d=4, c=3) == (1, 2, 3, 4)
    assert testing_module.bind_g(1) == (1, None)
    assert testing_module.bind_h(1, 2, c=3) == (1, 2, 3)


def test_binding_into_too_few_slots_is_refused_by_assertion(testing_module):
    if os.environ.get("QUENRA_SANITIZED") != "1":
        pytest.skip("assertions are on in the sanitizer build only")
    done = subprocess.run(
        [sys.executable, "-c", "import _quenra_testing as t; t.bind_into_too_few_slots()"],
        env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)},
        capture_output=True,
        text=True,
        check=False,
    )
    assert done.returncode != 0 and "slot_count" in done.stderr
