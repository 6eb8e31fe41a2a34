"""Messages as Telegram stores them: a text and its entities.

A relay receives each Telegram message as its text and entities; ``split``
turns them into Flex messages that LINE accepts, faithfully:

>>> from quenra import telegram
>>> text, entities = telegram.parse("*Hi* there\\\\!")
>>> text, entities
('Hi there!', [Entity(type='bold', offset=0, length=2, url=None, language=None, custom_emoji_id=None, user_id=None, unix_time=None, date_time_format=None)])
>>> telegram.split(text, entities) == [telegram.convert(text, entities)]
True

``parse`` reads a bot's text in any of the Bot API's parse modes,
``"MarkdownV2"`` (the default), ``"HTML"`` or ``"Markdown"``:

>>> telegram.parse("<b>Hi</b> there!", parse_mode="HTML") == (text, entities)
True

``entities`` may be ``Entity`` values, Bot API JSON objects, or any objects
with those attributes (python-telegram-bot's and aiogram's
``MessageEntity``), so that ``telegram.split(message.text,
message.entities)`` just works. Offsets and lengths count UTF-16 code units.

Rich messages (``message.rich_message``: headings, lists, tables, quotes,
media and buttons) convert with ``split_rich`` and ``convert_rich``, given as
Bot API JSON objects (dicts) or objects with those attributes (aiogram's
``RichMessage``).
"""

from __future__ import annotations

import datetime
from dataclasses import dataclass

from quenra._telegram import convert, convert_rich, parse, split, split_rich

__all__ = ["Entity", "ParseError", "convert", "convert_rich", "parse", "split", "split_rich"]


class ParseError(ValueError):
    """A bot's text that Telegram refuses in its parse mode; the message is Telegram's own."""


@dataclass(frozen=True, slots=True)
class Entity:
    """One entity of a Telegram message, with the Bot API's fields.

    ``type`` is the Bot API's name (``"bold"``, ``"text_link"``,
    ``"blockquote"``, ...); ``offset`` and ``length`` count UTF-16 code units.
    A date's ``unix_time`` may be an ``int`` or a ``datetime`` (as
    python-telegram-bot gives it).
    """

    type: str
    offset: int
    length: int
    url: str | None = None
    language: str | None = None
    custom_emoji_id: str | None = None
    user_id: int | None = None
    unix_time: int | datetime.datetime | None = None
    date_time_format: str | None = None
