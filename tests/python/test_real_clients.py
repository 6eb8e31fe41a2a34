"""Checks by python-telegram-bot: text that it writes as MarkdownV2 from plain
text and formatting entities must convert back to that plain text, except for
the classes of input named here, where this reader's rules differ from
Telegram's (the README lists them for users)."""

import datetime
import json
import random

import pytest

from quenra import quenra

telegram = pytest.importorskip("telegram")
E = telegram.MessageEntity
NOW = datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)


def markdown_v2(text, entities):
    """What python-telegram-bot writes for `text` with `entities`."""
    chat = telegram.Chat(1, telegram.constants.ChatType.PRIVATE)
    return telegram.Message(1, NOW, chat, text=text, entities=entities).text_markdown_v2


def alt_text(markdown):
    return json.loads(quenra(markdown))["altText"]


def difference_class(text, entities):
    """The class of input, named, where this reader cannot agree; else None."""
    for e in entities:
        covered = text[e.offset : e.offset + e.length]
        if e.type == E.PRE:
            return "pre block"
        if e.type == E.TEXT_LINK and (")" in e.url or "\\" in e.url):
            return "link url with ) or \\"
        if e.type == E.CODE and ("`" in covered or "\\" in covered):
            return "inline code with ` or \\"
    for e in entities:
        if e.type not in (E.ITALIC, E.UNDERLINE):
            continue
        start, end = e.offset, e.offset + e.length
        if "_" in {text[i] for i in (start - 1, start, end - 1, end) if 0 <= i < len(text)}:
            return "underscores that touch"
        for f in entities:
            if f is e or f.type not in (E.ITALIC, E.UNDERLINE):
                continue
            if {f.offset, f.offset + f.length} & {start, end}:
                return "underscores that touch"
            if e.type == E.ITALIC and f.type == E.UNDERLINE and start <= f.offset and f.offset + f.length <= end:
                return "underscores that touch"
    return None


ALPHABET = "ab c.!-_*[]()~>#+=|{}\\`\n日☺"  # characters of one UTF-16 unit, so offsets are indices
KINDS = [E.BOLD, E.ITALIC, E.UNDERLINE, E.STRIKETHROUGH, E.SPOILER, E.CODE, E.TEXT_LINK, E.PRE]
STYLES = [E.BOLD, E.ITALIC, E.UNDERLINE, E.STRIKETHROUGH, E.SPOILER]
URLS = ["https://example.com/a", "https://example.com/b_c*~", "https://example.com/x(y)", "https://example.com/p\\q"]


def random_message(rng):
    text = "".join(rng.choice(ALPHABET) for _ in range(rng.randint(1, 24)))
    entities, position = [], 0
    while position < len(text) and len(entities) < 4:
        start = rng.randint(position, len(text) - 1)
        length = rng.randint(1, len(text) - start)
        kind = rng.choice(KINDS)
        extra = {"url": rng.choice(URLS)} if kind == E.TEXT_LINK else {}
        if kind == E.PRE:
            extra["language"] = rng.choice([None, "py"])
        entities.append(E(kind, start, length, **extra))
        if kind not in (E.CODE, E.PRE) and length > 1 and rng.random() < 0.5:
            inner_start = rng.randint(start, start + length - 1)
            entities.append(E(rng.choice(STYLES), inner_start, rng.randint(1, start + length - inner_start)))
        position = start + length
    return text, entities


def test_telegram_markdown_converts_back_to_its_plain_text():
    rng = random.Random(2026)
    agreed = differed = 0
    for _ in range(20000):
        text, entities = random_message(rng)
        markdown = markdown_v2(text, entities)
        if difference_class(text, entities) is None:
            assert alt_text(markdown) == text, (text, entities, markdown)
            agreed += 1
        else:
            differed += 1
    assert agreed > 10000 and differed > 1000


@pytest.mark.parametrize(
    ("difference", "text", "entities", "markdown", "seen"),
    [
        (
            # The client closes the block right after the code; this reader
            # wants the closing fence at the start of a line, so the fences
            # become inline code spans and the language shows.
            "pre block",
            "run:\nls -l",
            [E(E.PRE, 5, 5, language="sh")],
            "run:\n```sh\nls -l```",
            "run:\nsh\nls -l",
        ),
        (
            # The client escapes ")" inside the url; this reader ends the url
            # at the first ")" and honours no escape there.
            "link url with ) or \\",
            "see wiki",
            [E(E.TEXT_LINK, 4, 4, url="https://en.wikipedia.org/wiki/Go_(game)")],
            "see [wiki](https://en.wikipedia.org/wiki/Go_(game\\))",
            "see wiki)",
        ),
        (
            # The client escapes "`" and "\" inside code; this reader ends code
            # at the next backtick and honours no escape inside it.
            "inline code with ` or \\",
            "path C:\\tmp",
            [E(E.CODE, 5, 6)],
            "path `C:\\\\tmp`",
            "path C:\\\\tmp",
        ),
        (
            # An italic run's closing underscore may not touch another one;
            # here it touches the escaped underscore that ends the text.
            "underscores that touch",
            "my_var_",
            [E(E.ITALIC, 0, 7)],
            "_my\\_var\\__",
            "_my_var__",
        ),
        (
            # Italic ends where underline starts: the three underscores in a
            # row pair otherwise than the client meant.
            "underscores that touch",
            "bigred",
            [E(E.ITALIC, 0, 3), E(E.UNDERLINE, 3, 3)],
            "_big___red__",
            "_big_red",
        ),
    ],
)
def test_named_differences_from_telegram(difference, text, entities, markdown, seen):
    assert difference_class(text, entities) == difference
    assert markdown_v2(text, entities) == markdown
    assert alt_text(markdown) == seen and seen != text


def test_split_delivers_what_telegram_writes_and_line_would_refuse():
    """A channel post with a mention of a user without a username and a custom
    emoji, as python-telegram-bot writes it: LINE's SDK takes the converted
    message (it checks structure, not limits), though LINE refuses it; every
    part that split makes passes check and the SDK."""
    messaging = pytest.importorskip("linebot.v3.messaging")
    from quenra import check, split

    anna = telegram.User(987654321, "Anna", False)
    text = "Thanks Anna 🔥\n\n" + "A long post. " * 200
    entities = [E(E.TEXT_MENTION, 7, 4, user=anna), E(E.CUSTOM_EMOJI, 12, 2, custom_emoji_id="5420315771991497307")]
    markdown = markdown_v2(text, entities)
    assert "[Anna](tg://user?id=987654321) ![🔥](tg://emoji?id=5420315771991497307)" in markdown

    whole = quenra(markdown)
    messaging.FlexMessage.from_json(whole)
    assert {p.code for p in check(whole)} == {"uri_scheme", "alt_text_too_long"}
    parts = split(markdown)
    assert len(parts) == 3
    for part in parts:
        assert check(part) == []
        messaging.FlexMessage.from_json(part)
    assert "".join("".join(json.loads(p)["altText"].split()) for p in parts) == "".join(text.split())
