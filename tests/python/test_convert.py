"""Conversions through Python: the result is the library's JSON, as a str."""

import json

from quenra import quenra

TYPICAL = (
    '{"type":"flex","altText":"Hi\\nDocs","contents":{"type":"bubble","body":{"type":"box","layout":"vertical",'
    '"contents":[{"type":"text","wrap":true,"contents":[{"type":"span","text":"Hi","weight":"bold"},'
    '{"type":"span","text":"\\n"}]}],"spacing":"md"},"footer":{"type":"box","layout":"vertical","contents":'
    '[{"type":"button","action":{"type":"uri","label":"Docs","uri":"u"},"style":"link","height":"sm"}],'
    '"spacing":"sm","backgroundColor":"#F0F0F0"}}}'
)


def test_typical_call():
    assert quenra("*Hi*\n[Docs](u)") == TYPICAL


def test_empty_text():
    assert quenra("") == '{"type":"flex","altText":"","contents":{"type":"bubble"}}'


def test_non_ascii_round_trips():
    text = "Ĉu *ĉi tio* 日本語 😀 עברית"
    message = json.loads(quenra(text))
    assert message["altText"] == "Ĉu ĉi tio 日本語 😀 עברית"
    assert "\\u" not in quenra(text)
