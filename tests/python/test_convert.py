"""Conversions through Python: the result is the library's JSON, as a str."""

import json
import sys

import pytest

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


# The result is written straight into a str: it must equal the library's UTF-8
# text decoded, kind included (str equality compares kinds first), whatever
# the widest character of the text and of the result.
WIDTH_CASES = [
    "",
    "plain ASCII *bold*",
    "Latin-1 é *ü*",
    "UCS-2 ſ 日本 [ĉi](https://e.com/ĉ)",
    "UCS-4 😀 *𝔘* ||ſ||",
    "```日 tag only\ncode is ASCII\n```",  # the fence's tag holds the widest character
    "```😀\nſ\n```",
    "```é\nx\n```",
    "😀" * 3000 + "é" * 3000,  # longer than the first room made for it
    "a" * 5000 + "😀",
]


def test_result_str_is_the_decoded_json(testing_module):
    import random

    pieces = ["*", "_", "__", "~", "||", "`", "```", "\n", "[", "]", "(", ")", "\\", "!", "a", " ",
              "é", "ſ", "日", "😀", "\x00", '"', "tg://emoji?id=1", "http://x"]
    generated = random.Random(12)
    texts = WIDTH_CASES + [
        "".join(generated.choice(pieces) for _ in range(generated.randint(0, 16))) for _ in range(3000)
    ]
    for text in texts:
        for standalone in (True, False):
            for decorate in (True, False):
                expected = testing_module.utf8_json(text, standalone, decorate).decode()
                got = quenra(text, standalone_links_as_buttons=standalone, decorate_links=decorate)
                assert got == expected, text


@pytest.mark.parametrize("piece", [1, 7, 10_000])
def test_str_sink_writes_what_it_measured(testing_module, piece):
    # Texts of each width, measured and then written in pieces: the str is of
    # the narrowest kind and holds the inside of the text's JSON string.
    texts = ["", "abc" * 40, "é" + "a" * 50, "a" * 50 + "ſ" + "é", "日é" * 30 + "😀", "😀" + "a\n\"" * 70,
             "\x00\x1f" * 9 + "日" * 17, "é" * 15 + "a"]
    for text in texts:
        expected = json.dumps(text, ensure_ascii=False)[1:-1]
        got = testing_module.through_str_sink(text, piece)
        assert got == expected and sys.getsizeof(got) == sys.getsizeof(expected)  # of the same kind
