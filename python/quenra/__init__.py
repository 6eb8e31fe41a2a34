"""Telegram MarkdownV2 text to LINE Flex Message JSON.

>>> from quenra import quenra
>>> quenra("*Hi*")[:40]
'{"type":"flex","altText":"Hi","contents"'
"""

from quenra._core import quenra

__all__ = ["quenra"]
__version__ = "0.1.0"
