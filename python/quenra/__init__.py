"""Telegram MarkdownV2 text to LINE Flex Message JSON.

>>> from quenra import quenra
>>> quenra("*Hi*")[:40]
'{"type":"flex","altText":"Hi","contents"'

``split`` gives the same conversion as messages that LINE accepts, and
``check`` says what in a message LINE would refuse (see ``quenra.line``).
"""

from quenra._core import quenra
from quenra._line import PanicException
from quenra.line import LineLimits, Problem, check, split

__all__ = ["LineLimits", "PanicException", "Problem", "check", "quenra", "split"]
__version__ = "0.1.0"
