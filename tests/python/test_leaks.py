"""Reference counts and memory stay flat over many calls, on success and on
every error path."""

import gc
import os
import sys

import numpy as np
import pytest

from conftest import vectorcall
from quenra import LineLimits, check, quenra, split, telegram

TEXT = "*Hi* _there_ [Docs](https://example.com)\n```\ncode\n```\n||spoiler|| 日本語 😀"
FLAG = np.bool_(False)
NOT_A_BOOL = 12345678901234567890
LIMITS = LineLimits(alt_text=20)
FLAG_ENTITY = telegram.Entity("text_link", 0, 1, url="https://a.b/")
LONG = "Thanks [Anna](tg://user?id=1) " + TEXT * 20


def calls():
    """Every path through the binding: success and each kind of failure."""
    yield lambda: quenra(TEXT)
    yield lambda: quenra(TEXT, standalone_links_as_buttons=FLAG, decorate_links=False)
    yield lambda: quenra()
    yield lambda: quenra(TEXT, True)
    yield lambda: quenra(TEXT, nope=1)
    yield lambda: quenra(TEXT, text=TEXT)
    yield lambda: quenra(NOT_A_BOOL)
    yield lambda: quenra(None)
    yield lambda: quenra(TEXT, decorate_links=NOT_A_BOOL)
    yield lambda: quenra("\ud800")
    yield lambda: vectorcall(quenra, [TEXT], [(NOT_A_BOOL, 1)])
    yield lambda: split(LONG)
    yield lambda: split(LONG, limits=LIMITS, decorate_links=FLAG)
    yield lambda: split(TEXT, limits="tight")
    yield lambda: split(TEXT, limits=NOT_A_BOOL)
    yield lambda: check(quenra(LONG), LIMITS)
    yield lambda: check("{")
    yield lambda: telegram.split(*telegram.parse("*Hi* [a](https://a.b)\n>quote"))
    yield lambda: telegram.parse("a.b")
    yield lambda: telegram.convert("Hi", [{"type": "bold", "offset": 0, "length": 2}, FLAG_ENTITY], limits=LIMITS)
    yield lambda: telegram.split("Hi", [telegram.Entity("bold", 1, 5)])
    yield lambda: telegram.split("Hi", [{"type": "bold", "offset": "0", "length": 1}])


def run_all(rounds):
    for _ in range(rounds):
        for call in calls():
            try:
                call()
            except (TypeError, ValueError, UnicodeEncodeError):
                pass


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


def test_reference_counts_of_arguments_and_results():
    run_all(10)
    watched = [TEXT, FLAG, NOT_A_BOOL, LIMITS, LONG]
    # Before 3.12 the interpreter's own caches hold and drop references to
    # the singletons as they please; from 3.12 on their counts never move.
    if sys.version_info >= (3, 12):
        watched += [None, True, False]
    before = [sys.getrefcount(obj) for obj in watched]
    run_all(2000)
    gc.collect()
    assert [sys.getrefcount(obj) for obj in watched] == before
    # A result is held by its name alone, as a new object that one name holds
    # is: getrefcount counts its own argument too before 3.14, not from 3.14
    # on, where the interpreter's stack borrows references.
    held_once = "".join(["a", "b"])
    result = quenra(TEXT)
    assert sys.getrefcount(result) == sys.getrefcount(held_once)


@pytest.mark.skipif(
    os.environ.get("QUENRA_SANITIZED") == "1", reason="AddressSanitizer keeps freed memory in quarantine"
)
def test_memory_does_not_grow():
    run_all(3000)
    gc.collect()
    start = resident_kib()
    run_all(20000)
    gc.collect()
    assert resident_kib() - start < 1024, "resident memory grew by over 1 MiB"
