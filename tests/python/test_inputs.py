"""Unusual inputs at the binding: every class of code point, NUL, lone
surrogates, str subclasses, and keyword names that are not plain strings."""

import json

import pytest

from conftest import vectorcall
from quenra import quenra

# Code points at the edges of each UTF-8 length, and of the surrogate block.
EDGES = "\x00\x01\x1f\x7f\x80\xff\u0100\u07ff\u0800\ud7ff\ue000\ufffd\uffff\U00010000\U0010ffff"


def alt_text(text, **options):
    return json.loads(quenra(text, **options))["altText"]


@pytest.mark.parametrize("char", list(EDGES), ids=lambda c: f"U+{ord(c):04X}")
def test_every_class_of_code_point_round_trips(char):
    for text in (char, f"a{char}b", f"*{char}*", f"[{char}](u) x", f"`{char}`", f"\\{char}"):
        expected = text.replace("*", "").replace("`", "").replace("](u)", "").replace("[", "")
        if text.startswith("\\") and char not in "!#()*+-.=>[\\]_`{|}~":
            expected = text
        assert alt_text(text) == expected, repr(text)


@pytest.mark.parametrize("position", ["start", "middle", "end"])
@pytest.mark.parametrize("surrogate", ["\ud800", "\udbff", "\udc00", "\udfff"])
def test_lone_surrogates_raise_the_interpreters_error(position, surrogate):
    text = {"start": surrogate + "*a*", "middle": "*a" + surrogate + "*", "end": "[a](u)" + surrogate}[position]
    with pytest.raises(UnicodeEncodeError):
        quenra(text)


def test_nul_anywhere():
    assert alt_text("\0*\0*\0[\0](\0)`\0`") == "\0\0\0\0\0"
    assert "\\u0000" in quenra("\0")


class Shouting(str):
    def __str__(self):
        return "NOT THIS"

    def __eq__(self, other):
        return False

    __hash__ = str.__hash__


def test_a_str_subclass_is_read_by_its_characters():
    assert quenra(Shouting("*quiet*")) == quenra("*quiet*")


class KeywordName(str):
    pass


class Unprintable:
    def __str__(self):
        raise RuntimeError("no")


def test_keyword_names_that_are_not_plain_strings(monkeypatch):
    # A str subclass names a parameter like the str it holds.
    assert vectorcall(quenra, ["[a](u)"], [(KeywordName("decorate_links"), False)]) == quenra(
        "[a](u)", decorate_links=False
    )
    # Anything else is an unexpected keyword, shown by its str().
    with pytest.raises(TypeError) as info:
        vectorcall(quenra, ["a"], [(3.5, True)])
    assert info.value.args == ("quenra() got an unexpected keyword argument '3.5'",)
    # A name that cannot be shown is reported as unraisable and named by its type.
    unraisable = []
    monkeypatch.setattr("sys.unraisablehook", unraisable.append)
    with pytest.raises(TypeError) as info:
        vectorcall(quenra, ["a"], [(Unprintable(), True)])
    assert info.value.args == ("quenra() got an unexpected keyword argument '<unprintable Unprintable object>'",)
    assert len(unraisable) == 1 and type(unraisable[0].exc_value) is RuntimeError
    # A name with a lone surrogate has no UTF-8 form: it is unexpected, and
    # shown with each byte of the surrogate's encoding replaced.
    with pytest.raises(TypeError) as info:
        vectorcall(quenra, ["a"], [("text\ud800", "b")])
    assert info.value.args == ("quenra() got an unexpected keyword argument 'text\ufffd\ufffd\ufffd'",)


@pytest.mark.parametrize("size", [0, 1, 1000, 100_000, 4_000_000])
def test_texts_of_many_sizes(size):
    unit = "*Hi* [x](https://e.com) 日本 `c`\n"
    text = (unit * (size // len(unit) + 1))[:size]
    message = json.loads(quenra(text))
    assert len(message["altText"]) <= len(text)
