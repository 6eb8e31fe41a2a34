from collections.abc import Iterable
from typing import Any

from quenra._line import _Limits
from quenra.telegram import Entity

__all__: list[str]

def parse(text: str, parse_mode: str = "MarkdownV2") -> tuple[str, list[Entity]]:
    """Read a bot's text as Telegram does in parse_mode "MarkdownV2", "HTML" or "Markdown" (any letter case):
    the text and its entities, in Telegram's order."""

def convert(
    text: str,
    entities: Iterable[Any] | None = None,
    *,
    standalone_links_as_buttons: bool = True,
    decorate_links: bool = True,
    limits: _Limits | None = None,
) -> str:
    """Convert a Telegram message's text and entities to one LINE Flex Message JSON string."""

def split(
    text: str,
    entities: Iterable[Any] | None = None,
    *,
    standalone_links_as_buttons: bool = True,
    decorate_links: bool = True,
    limits: _Limits | None = None,
) -> list[str]:
    """Convert a Telegram message's text and entities to LINE Flex Message JSON strings that LINE accepts."""

def convert_rich(rich_message: Any, *, decorate_links: bool = True, limits: _Limits | None = None) -> str:
    """Convert a Telegram rich message to one LINE Flex Message JSON string."""

def split_rich(rich_message: Any, *, decorate_links: bool = True, limits: _Limits | None = None) -> list[str]:
    """Convert a Telegram rich message to LINE Flex Message JSON strings that LINE accepts."""
