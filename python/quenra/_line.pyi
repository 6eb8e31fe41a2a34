from collections.abc import Sequence
from typing import Protocol

__all__: list[str]

class PanicException(BaseException):
    """The exception raised when native code fails with an internal failure."""

class _Limits(Protocol):
    @property
    def alt_text(self) -> int: ...
    @property
    def uri(self) -> int: ...
    @property
    def label(self) -> int: ...
    @property
    def bubble_bytes(self) -> int: ...
    @property
    def uri_schemes(self) -> Sequence[str]: ...

def split(
    text: str,
    *,
    standalone_links_as_buttons: bool = True,
    decorate_links: bool = True,
    limits: _Limits | None = None,
) -> list[str]:
    """Convert Telegram MarkdownV2 text to LINE Flex Message JSON strings that LINE accepts."""

def check(message: str, limits: _Limits | None = None) -> list[tuple[str, str, str]]:
    """List what in one Flex Message JSON string LINE refuses, as (code, path, message) tuples."""

def limits_problem(limits: _Limits) -> str | None:
    """Say why the limits cannot be worked with, or return None."""
