"""Delivering conversions to LINE: messages that LINE accepts.

LINE refuses a whole message that breaks one of its limits. ``split`` converts
text into messages that each pass every limit, repairing and cutting where it
must; ``check`` says what in one message LINE would refuse.

>>> from quenra import split, check
>>> from quenra import quenra
>>> split("*Hi*") == [quenra("*Hi*")]
True
>>> [p.code for p in check(quenra("[Anna](tg://user?id=1)"))]
['uri_scheme']
"""

from __future__ import annotations

from collections.abc import Iterable
from dataclasses import dataclass

from quenra import _line
from quenra._line import split

__all__ = ["LineLimits", "Problem", "check", "split"]


@dataclass(frozen=True, slots=True)
class LineLimits:
    """LINE's limits on a Flex message, with the values LINE documents.

    ``alt_text`` and ``uri`` count UTF-16 code units (as the Messaging API
    does), ``label`` counts grapheme clusters, ``bubble_bytes`` counts the
    bytes of the bubble's compact UTF-8 JSON, ``uri_schemes`` are the
    schemes a button may open (compared without regard to case), and
    ``clipboard_text`` counts the UTF-16 code units of the text that a button
    copies.
    """

    alt_text: int = 1500
    uri: int = 1000
    label: int = 40
    bubble_bytes: int = 30000
    uri_schemes: tuple[str, ...] = ("http", "https", "line", "tel")
    clipboard_text: int = 1000

    def __post_init__(self) -> None:
        # Kept as a tuple, also when given as a list or an iterator; the
        # native check then says what is wrong with any field.
        if isinstance(self.uri_schemes, Iterable) and not isinstance(self.uri_schemes, str):
            object.__setattr__(self, "uri_schemes", tuple(self.uri_schemes))
        problem = _line.limits_problem(self)
        if problem is not None:
            raise ValueError(problem)


@dataclass(frozen=True, slots=True)
class Problem:
    """One thing in a message that LINE refuses.

    ``code`` is stable (such as ``"alt_text_too_long"``), ``path`` is the JSON
    Pointer of the offending value, ``message`` says it for people, with the
    measured value and the limit.
    """

    code: str
    path: str
    message: str

    def __str__(self) -> str:
        return f"{self.path}: {self.message} [{self.code}]"


def check(message: str, limits: LineLimits | None = None) -> list[Problem]:
    """List what in one Flex Message JSON string LINE refuses (empty when nothing).

    ``message`` is JSON of the shape this library writes. JSON that cannot be
    read so raises ``ValueError`` naming what could not be read.
    """
    return [Problem(*found) for found in _line.check(message, limits)]
