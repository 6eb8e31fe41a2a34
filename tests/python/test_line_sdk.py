"""Checks by LINE's official SDK: it must accept every message made from the
project's chat corpus, and the relay example must send every part."""

import json
from pathlib import Path

import pytest

from quenra import quenra, telegram

messaging = pytest.importorskip("linebot.v3.messaging")

ROOT = Path(__file__).resolve().parents[2]
OPTIONS = [
    {"standalone_links_as_buttons": s, "decorate_links": d} for s in (True, False) for d in (True, False)
]


def corpus():
    text = (ROOT / "bench" / "corpus.txt").read_text(encoding="utf-8")
    messages = [m.strip("\n") for m in text.split("\n---\n")]
    return messages + [(ROOT / "examples" / "announcement.md").read_text(encoding="utf-8")]


@pytest.mark.parametrize("options", OPTIONS, ids=lambda o: f"{o['standalone_links_as_buttons']}-{o['decorate_links']}")
def test_line_sdk_accepts_every_corpus_message(options):
    for message in corpus():
        result = quenra(message, **options)
        parsed = messaging.FlexMessage.from_json(result)
        assert parsed.to_dict() == json.loads(result), message


def test_line_sdk_check_is_strict():
    result = quenra("*bold* [Docs](https://example.com) x")
    with pytest.raises(ValueError):
        messaging.FlexMessage.from_json(result.replace('"bold"', '"heavy"'))


def relay_example():
    import importlib.util

    spec = importlib.util.spec_from_file_location("line_relay", ROOT / "examples" / "line_relay.py")
    relay = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(relay)
    return relay


def test_relay_example_pushes_every_part_five_to_a_request():
    relay = relay_example()
    text, entities = telegram.parse("".join(f">[Story {i}](https://example.com/{i}) *new*\n" for i in range(1500)))
    requests = relay.push_requests("U0123", text, entities)
    assert [len(r.messages) for r in requests[:-1]] == [5] * (len(requests) - 1) and len(requests) > 1
    sent = [message.to_dict() for request in requests for message in request.messages]
    assert sent == [json.loads(part) for part in telegram.split(text, entities)]
    assert relay.push_requests("U0123", "") == []


ROWS = [[{"text": f"row {i}", "align": "left", "valign": "top"}] for i in range(400)]
RICH_UPDATE = {"message_id": 1, "date": 0, "chat": {"id": 1, "type": "private"}, "rich_message": {"blocks": [
    {"type": "heading", "text": "Results", "size": 1}, {"type": "table", "cells": ROWS},
    {"type": "buttons", "buttons": [{"text": "More", "url": "https://example.com"}]}]}}


def test_relay_example_relays_python_telegram_bots_rich_messages(monkeypatch):
    import asyncio
    from types import SimpleNamespace

    ptb = pytest.importorskip("telegram")
    relay = relay_example()
    expected = [json.loads(part) for part in telegram.split_rich(RICH_UPDATE["rich_message"])]
    assert len(expected) > 1

    pushed = []

    async def push_message(request):
        pushed.extend(message.to_dict() for message in request.messages)

    context = SimpleNamespace(bot_data={"line_api": SimpleNamespace(push_message=push_message)})
    monkeypatch.setenv("LINE_TO", "U0123")
    asyncio.run(relay.relay(ptb.Update(1, message=ptb.Message.de_json(RICH_UPDATE, None)), context))
    assert pushed == expected


def test_relay_example_finds_aiograms_rich_message():
    message = pytest.importorskip("aiogram.types").Message.model_validate(RICH_UPDATE)
    relay = relay_example()
    requests = relay.push_requests("U0123", "", rich_message=relay.rich_message_of(message))
    sent = [message.to_dict() for request in requests for message in request.messages]
    assert sent == [json.loads(part) for part in telegram.split_rich(RICH_UPDATE["rich_message"])]
