"""Delivering to LINE from Python: split, check, LineLimits and Problem."""

import dataclasses
import json
import subprocess
import sys

import pytest

import quenra
import quenra._line as line_module
from quenra import LineLimits, Problem, check, split
from quenra import quenra as convert


def test_package_exports_split_as_the_c_function():
    assert quenra.split is line_module.split
    assert line_module.__all__ == ["split", "check", "limits_problem"]
    assert quenra.__all__ == ["LineLimits", "PanicException", "Problem", "check", "quenra", "split"]
    assert split.__text_signature__ == "(text, *, standalone_links_as_buttons=True, decorate_links=True, limits=None)"


@pytest.mark.parametrize("text", ["*Hi*\n[Docs](https://example.com)", "x `y` z", "日本 😀"])
@pytest.mark.parametrize("options", [{}, {"standalone_links_as_buttons": False, "decorate_links": False}])
def test_a_message_that_passes_is_returned_as_it_is(text, options):
    assert check(convert(text, **options)) == []
    assert split(text, **options) == [convert(text, **options)]


def test_repairs_and_cuts():
    text = "Thanks [Anna](tg://user?id=987654321) ![🔥](tg://emoji?id=1)\n\n" + "word " * 600
    parts = [json.loads(part) for part in split(text)]
    assert len(parts) == 3
    assert parts[0]["altText"] == "Thanks Anna 🔥"
    assert all(check(json.dumps(part, ensure_ascii=False)) == [] for part in parts)
    assert "".join(part["altText"] for part in parts).replace(" ", "") == ("ThanksAnna🔥" + "word" * 600)
    assert split("") == [] and split("``") == []


def test_limits_change_where_split_cuts():
    limits = LineLimits(alt_text=10, uri_schemes=["HTTP", "tg"])
    assert limits.uri_schemes == ("HTTP", "tg")
    assert [json.loads(p)["altText"] for p in split("one two three four", limits=limits)] == ["one two", "three four"]
    assert split("[Anna](tg://user?id=1) x", limits=limits) == [convert("[Anna](tg://user?id=1) x")]


def test_check_reports_problems():
    problems = check(convert("[" + "x" * 41 + "](tg://user?id=1)"))
    assert problems == [
        Problem("label_too_long", "/contents/footer/contents/0/action/label",
                "the label is 41 grapheme clusters long; the limit is 40"),
        Problem("uri_scheme", "/contents/footer/contents/0/action/uri",
                'the URI\'s scheme "tg" is not allowed; allowed: http, https, line, tel'),
    ]
    assert str(problems[1]).startswith("/contents/footer/contents/0/action/uri: the URI's scheme")
    assert check(convert("x" * 20), LineLimits(alt_text=10))[0].code == "alt_text_too_long"


@pytest.mark.parametrize(
    ("message", "reason"),
    [("{", "invalid JSON at offset 1"), ('{"type":"flex"}', 'missing member "altText" at /')],
)
def test_check_names_what_it_cannot_read(message, reason):
    with pytest.raises(ValueError, match=reason):
        check(message)


@pytest.mark.parametrize(
    ("arguments", "error", "message"),
    [
        ({"alt_text": 1}, ValueError, "alt_text must be at least 2 (room for any one character), not 1"),
        ({"bubble_bytes": 1500}, ValueError, "bubble_bytes must be at least uri + 1024 (room for one button), not 1500"),
        ({"label": -1}, ValueError, "label must be at least 1, not -1"),
        ({"uri": 2**70}, ValueError, f"uri must be at most {2**63 - 1}, not {2**70}"),
        ({"uri_schemes": ["ht tp"]}, ValueError, '"ht tp" is not a URI scheme'),
        ({"uri_schemes": "https"}, TypeError, "uri_schemes must be a sequence of str, not a single str"),
        ({"uri_schemes": None}, TypeError, "uri_schemes must be a sequence of str, not 'NoneType'"),
        ({"uri_schemes": ["https", b"line"]}, TypeError, "uri_schemes[1] must be a str, not 'bytes'"),
        ({"label": True}, TypeError, "label must be an int, not 'bool'"),
    ],
)
def test_limits_are_checked_when_made(arguments, error, message):
    with pytest.raises(error) as raised:
        LineLimits(**arguments)
    assert type(raised.value) is error and str(raised.value) == message


def test_limits_are_frozen_and_default_to_lines_values():
    limits = LineLimits()
    assert dataclasses.astuple(limits) == (1500, 1000, 40, 30000, ("http", "https", "line", "tel"), 1000)
    with pytest.raises(dataclasses.FrozenInstanceError):
        limits.alt_text = 5


@pytest.mark.parametrize(
    ("call", "error", "message"),
    [
        (lambda: split(), TypeError, "split\\(\\) missing 1 required positional argument: 'text'"),
        (lambda: split("x", limits="tight"), TypeError, "limits must be a LineLimits or None, not 'str'$"),
        (lambda: split("x", limits={"alt_text": 10}), TypeError, "limits must be a LineLimits or None, not 'dict'$"),
        (lambda: line_module.limits_problem(None), TypeError, "limits must be a LineLimits, not 'NoneType'$"),
        (lambda: split(b"x"), TypeError, "argument 'text'"),
        (lambda: check("{}", None, None), TypeError, "check\\(\\) takes"),
        (lambda: check(1), TypeError, "argument 'message'"),
    ],
)
def test_argument_errors(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_extension_needs_no_unicode_library_at_run_time():
    """utf8proc is linked in statically: the installed module loads anywhere."""
    import shutil
    import subprocess

    if not shutil.which("ldd"):
        pytest.skip("no ldd")
    needed = subprocess.run(["ldd", line_module.__file__], capture_output=True, text=True, check=True).stdout
    assert "utf8proc" not in needed


DEEP_JSON = """
import threading
from quenra import check

def refuse(text):
    try:
        check(text)
    except ValueError as error:
        print(error)

refuse("[" * 1_000_000)
threading.stack_size(512 << 10)
thread = threading.Thread(target=refuse, args=('{"a":' * 20_000,))
thread.start()
thread.join()
"""


def test_check_refuses_deep_json_without_exhausting_the_stack():
    done = subprocess.run([sys.executable, "-c", DEEP_JSON], capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == [
        f"JSON nested more than 133 levels deep at offset {offset}, deeper than any Flex message of this shape"
        for offset in (133, 5 * 133)
    ]
