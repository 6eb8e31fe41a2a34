"""Rich messages (the Bot API's RichMessage) on LINE.

Random rich messages of every block and text type, as dicts and as aiogram's
models, are converted under LINE's limits and under small ones; a model of
Telegram's rich-message page says what each must show: every character in
reading order with its look, every button in order, each part's altText what
its body shows, every part accepted by `check` and by LINE's SDK.
"""

import json
import math
import random

import pytest

from quenra import LineLimits, check, telegram

messaging = pytest.importorskip("linebot.v3.messaging")

SMALL = LineLimits(alt_text=40, bubble_bytes=2100)
DEFAULT = LineLimits()
CODE = {"color": "#CC0000", "size": "sm"}
LINK = {"color": "#1689FC", "decoration": "underline"}
ITALIC = {"style": "italic"}
STYLES = {
    "bold": ("weight", "bold"), "italic": ("style", "italic"), "underline": ("decoration", "underline"),
    "strikethrough": ("decoration", "line-through"), "spoiler": ("color", "#CCCCCC"),
    "marked": ("color", "#D97706"), "subscript": ("size", "xs"), "superscript": ("size", "xs"),
}
PLACEHOLDERS = {"photo": "🖼 Photo", "video": "🎬 Video", "animation": "🎞 GIF", "audio": "🎵 Audio",
                "voice_note": "🎤 Voice message"}


def link_uri(node):
    kind = node["type"]
    if kind == "url":
        return node["url"]
    if kind == "mention":
        return "https://t.me/" + node["username"].removeprefix("@")
    if kind == "phone_number":
        digits = "".join(c for c in node["phone_number"] if c.isdigit())
        return "tel:" + ("+" if node["phone_number"].startswith("+") else "") + digits
    if kind == "email_address":
        return "mailto:" + node["email_address"]
    return None


def accepted(uri):
    return uri.split(":")[0].lower() in DEFAULT.uri_schemes


def label_of(text, target):
    shown = text if text.strip() else target
    return shown if len(shown) <= 40 else shown[:39] + "…"


def plain(node):
    if node is None:
        return ""
    if isinstance(node, str):
        return node
    if isinstance(node, list):
        return "".join(plain(n) for n in node)
    kind = node["type"]
    if kind == "mathematical_expression":
        return node["expression"]
    if kind == "custom_emoji":
        return node["alternative_text"]
    if kind == "button":
        return plain(node["button"]["text"])
    return plain(node.get("text"))


class Shown:
    """What a rich message shows, as Telegram's rich-message page says: its
    characters with their looks, its buttons, the header rows of its tables."""

    def __init__(self, message):
        self.chars, self.buttons, self.headers = [], [], []
        self.blocks(message["blocks"])

    def show(self, text, look):
        self.chars += [(c, tuple(sorted(look.items()))) for c in text]

    def button(self, button, label):
        if button.get("url") is not None:
            if accepted(button["url"]):
                self.buttons.append(("uri", label_of(label, button["url"]), button["url"]))
        elif button.get("copy_text") is not None:
            copied = button["copy_text"]["text"]
            if copied and (label.strip() or copied.strip()) and len(copied.encode("utf-16-le")) <= 2000:
                self.buttons.append(("clipboard", label_of(label, copied), copied))

    def text(self, node, look, code=False, in_link=False):
        if node is None:
            return
        if isinstance(node, str):
            return self.show(node, look)
        if isinstance(node, list):
            for item in node:
                self.text(item, look, code, in_link)
            return
        kind = node["type"]
        if kind == "code":
            return self.text(node.get("text"), CODE, True, in_link)
        if kind == "mathematical_expression":
            return self.show(node["expression"], CODE)
        if kind == "custom_emoji":
            return self.show(node["alternative_text"], look)
        if kind == "button":
            label = plain(node["button"]["text"])
            self.show(label, look)
            return self.button(node["button"], label)
        uri = link_uri(node)
        if uri is not None and not in_link:
            if not accepted(uri):
                return self.text(node.get("text"), look, code, True)
            at, start = len(self.buttons), len(self.chars)
            self.text(node.get("text"), look if code else {**look, **LINK}, code, True)
            label = "".join(c for c, _ in self.chars[start:])
            self.buttons.insert(at, ("uri", label_of(label, uri), uri))
            return
        if kind in STYLES and not code:
            look = {**look, STYLES[kind][0]: STYLES[kind][1]}
        if kind != "anchor":
            self.text(node.get("text"), look, code, in_link)

    def blocks(self, blocks):
        for block in blocks or ():
            self.block(block)

    def credit(self, node):
        if node.get("credit") is not None:
            self.show("— ", {})
            self.text(node["credit"], {})

    def caption(self, block):
        if block.get("caption") is not None:
            self.text(block["caption"].get("text"), {})
            self.credit(block["caption"])

    def block(self, block):
        kind = block["type"]
        if kind in ("pre", "mathematical_expression"):
            self.show(block["expression"], CODE) if "expression" in block else self.text(block.get("text"), CODE, True)
        elif kind in ("pullquote", "thinking"):
            self.text(block.get("text"), ITALIC)
            self.credit(block)
        elif kind == "list":
            for item in block["items"]:
                checked = "☑" if item.get("is_checked") else "☐"
                self.show(checked if item.get("has_checkbox") else item.get("label") or "•", {})
                self.blocks(item.get("blocks"))
        elif kind in ("blockquote", "collage", "slideshow"):
            self.blocks(block["blocks"])
            self.credit(block) if kind == "blockquote" else self.caption(block)
        elif kind == "expandable_blockquote":
            self.text(block["text"], {})
            self.credit(block)
        elif kind == "details":
            self.text(block["summary"], {})
            self.blocks(block["blocks"])
        elif kind == "table":
            self.table(block)
        elif kind == "map":
            self.show("📍 Map", {})
            lat, lon = (repr(block["location"][k]) for k in ("latitude", "longitude"))
            uri = f"https://www.openstreetmap.org/?mlat={lat}&mlon={lon}#map={block['zoom']}/{lat}/{lon}"
            self.buttons.append(("uri", "Open map", uri))
            self.caption(block)
        elif kind in PLACEHOLDERS or kind == "document":
            self.show(PLACEHOLDERS.get(kind) or "📄 " + block["document"].get("file_name", "File"), {})
            self.caption(block)
        elif kind == "buttons":
            for button in block["buttons"]:
                self.button(button, plain(button["text"]))
        else:
            self.text(block.get("text"), {})

    def table(self, block):
        start, leading = len(self.chars), True
        for row in block["cells"]:
            texts = [cell for cell in row if cell.get("text") is not None]
            leading = leading and bool(texts) and all(cell.get("is_header") for cell in texts)
            if not leading and start is not None:
                self.headers.append(self.chars[start:])
                start = None
            for cell in row:
                self.text(cell.get("text"), {})
        self.text(block.get("caption"), {})


# --- Reading what LINE gets ---------------------------------------------------

def components(node):
    """Every component of a box, depth first, in order."""
    for component in node.get("contents", ()):
        yield component
        if component["type"] == "box":
            yield from components(component)


def spans(part):
    body = part["contents"].get("body", {"contents": []})
    return [s for c in components(body) if c["type"] == "text" for s in c["contents"]]


def shown_chars(part):
    return [(c, tuple(sorted((k, v) for k, v in s.items() if k not in ("type", "text")))) for s in spans(part)
            for c in s["text"]]


def buttons(part):
    footer = part["contents"].get("footer", {"contents": []})
    return [(b["action"]["type"], b["action"]["label"], b["action"].get("uri", b["action"].get("clipboardText")))
            for b in footer["contents"]]


def visible(chars):
    return [(c, look) for c, look in chars if not c.isspace()]


def deliver(message, limits):
    """The parts of `message`, checked as LINE would check them."""
    parts = telegram.split_rich(message, limits=limits)
    for part in parts:
        assert check(part, limits) == [], part
        assert messaging.FlexMessage.from_json(part).to_dict() == json.loads(part)
    return [json.loads(part) for part in parts]


def assert_delivers(message, limits):
    """`message` (a dict) delivered whole and in order."""
    expected = Shown(message)
    parts = deliver(message, limits)
    whole = telegram.convert_rich(message, limits=limits)
    if check(whole, limits) == []:
        assert parts == [json.loads(whole)]
    if not expected.chars and not expected.buttons:
        assert parts == []
    wanted, at = visible(expected.chars), 0
    headers = [visible(rows) for rows in expected.headers]
    for part in parts:
        got = visible(shown_chars(part))
        # A part that goes on in a table starts with its header rows again.
        skip = next((len(h) for h in [[], *headers] if got[: len(h)] == h and
                     wanted[at: at + len(got) - len(h)] == got[len(h):]), 0)
        assert got[skip:] == wanted[at: at + len(got) - skip], part
        at += len(got) - skip
        alt = part["altText"]
        if shown_chars(part):
            assert "".join(alt.split()).replace("|", "") == "".join(c for c, _ in got).replace("|", "")
        else:
            labels = "\n".join(label for _, label, _ in buttons(part))
            assert alt == labels or (alt.endswith("…") and labels.startswith(alt[:-1]))
    assert at == len(wanted)
    assert [b for part in parts for b in buttons(part)] == expected.buttons


# --- Generated rich messages ---------------------------------------------------

WORDS = ["a", "bc", "déf", "日本語", "☺", 'q"t', "b\\s", "x|y", "🎉", "<&>", "ünï"]
TEXT_TYPES = [*STYLES, "code", "date_time", "text_mention", "custom_emoji", "mathematical_expression", "url",
              "email_address", "phone_number", "bank_card_number", "bot_command", "mention", "hashtag", "cashtag",
              "anchor", "anchor_link", "reference", "reference_link", "button"]
BLOCK_TYPES = ["paragraph", "heading", "pre", "footer", "divider", "mathematical_expression", "anchor", "list",
               "blockquote", "expandable_blockquote", "pullquote", "collage", "slideshow", "table", "details", "map",
               "document", "photo", "video", "animation", "audio", "voice_note", "thinking", "buttons"]
FIELDS = {"bank_card_number": "4111", "bot_command": "/start", "hashtag": "#tag", "cashtag": "$USD",
          "anchor_link": None, "reference": None, "reference_link": None}


class Generator:
    def __init__(self, seed, future=False, size=1):
        self.rng, self.future, self.size = random.Random(seed), future, size

    def words(self, least=1):
        return " ".join(self.rng.choice(WORDS) for _ in range(self.rng.randint(least, 4 * self.size)))

    def text(self, depth=0):
        rng = self.rng
        roll = rng.random()
        if depth >= 3 or roll < 0.4:
            return self.words()
        if roll < 0.5:
            return [self.text(depth + 1) for _ in range(rng.randint(0, 3))]
        kind = "sparkle" if self.future and roll > 0.97 else rng.choice(TEXT_TYPES)
        inner = self.text(depth + 1)
        if kind == "custom_emoji":
            return {"type": kind, "custom_emoji_id": "5", "alternative_text": "😀"}
        if kind == "mathematical_expression":
            return {"type": kind, "expression": "x^2 + \\frac{1}{2}"}
        if kind == "anchor":
            return {"type": kind, "name": "top"}
        if kind == "button":
            return {"type": kind, "button": self.button(depth + 1)}
        node = {"type": kind, "text": inner}
        node.update({
            "date_time": {"unix_time": 1767225600, "date_time_format": "wdt"},
            "text_mention": {"user": {"id": 7, "is_bot": False, "first_name": "Ann"}},
            "url": {"url": rng.choice(["https://example.com/" + str(rng.randint(0, 9)), "ftp://example.com/f"])},
            "email_address": {"email_address": "ann@example.com"},
            "phone_number": {"phone_number": rng.choice(["+1 (555) 010-99", "555 1234", "1+2"])},
            "mention": {"username": rng.choice(["@ann", "bob_bot"])},
            "anchor_link": {"anchor_name": "top"}, "reference": {"name": "n1"},
            "reference_link": {"reference_name": "n1"},
        }.get(kind, {kind: FIELDS[kind]} if kind in FIELDS else {}))
        return node

    def button(self, depth=0):
        rng = self.rng
        button = {"text": self.text(depth + 1)}
        kind = rng.choice(["url", "url", "copy", "long_copy", "callback_data"])
        if kind == "url":
            button["url"] = "https://example.com/b" + str(rng.randint(0, 9))
        elif kind == "copy":
            button["copy_text"] = {"text": self.words() if rng.random() < 0.8 else rng.choice(["", " "])}
        elif kind == "long_copy":
            button["copy_text"] = {"text": "c" * rng.choice([1000, 1001])}
        else:
            button["callback_data"] = "cb"
        return button

    def caption(self):
        caption = {"text": self.text()}
        if self.rng.random() < 0.5:
            caption["credit"] = self.text()
        return caption

    def blocks(self, depth, most=3):
        return [self.block(depth + 1) for _ in range(self.rng.randint(0 if depth else 1, most * self.size))]

    def block(self, depth=0):
        rng = self.rng
        kinds = BLOCK_TYPES if depth < 3 else BLOCK_TYPES[:7]
        kind = "future_block" if self.future and rng.random() < 0.05 else rng.choice(kinds)
        block = {"type": kind}
        optional = {"credit": self.text()} if rng.random() < 0.5 else {}
        media = {"file_id": "f", "file_unique_id": "u", "duration": 3, "width": 1, "height": 1}
        if kind in ("paragraph", "footer", "thinking", "future_block"):
            block["text"] = self.text()
        elif kind == "heading":
            block.update(text=self.text(), size=rng.randint(1, 6))
        elif kind == "pre":
            block.update(text=self.text(), language="python")
        elif kind == "mathematical_expression":
            block["expression"] = "e^{i\\pi} = -1"
        elif kind == "anchor":
            block["name"] = "top"
        elif kind == "list":
            block["items"] = [{"label": rng.choice(["", "1.", "iv"]), "blocks": self.blocks(depth, 2),
                               "has_checkbox": rng.random() < 0.3, "is_checked": rng.random() < 0.5}
                              for _ in range(rng.randint(1, 3 * self.size))]
        elif kind in ("blockquote", "collage", "slideshow"):
            block["blocks"] = self.blocks(depth)
            block.update(optional if kind == "blockquote" else {"caption": self.caption()} if optional else {})
        elif kind in ("expandable_blockquote", "pullquote"):
            block.update(text=self.text(), **optional)
        elif kind == "details":
            block.update(summary=self.text(), blocks=self.blocks(depth), is_open=rng.random() < 0.5)
        elif kind == "table":
            block.update(self.table())
        elif kind == "map":
            block.update(location={"latitude": 35.6812, "longitude": 139.7671}, zoom=rng.randint(1, 19),
                         width=300, height=200)
        elif kind == "document":
            block["document"] = {"file_id": "f", "file_unique_id": "u", **({"file_name": "a.pdf"} if optional else {})}
        elif kind == "photo":
            block["photo"] = [{k: media[k] for k in ("file_id", "file_unique_id", "width", "height")}]
        elif kind in PLACEHOLDERS:
            block[kind] = media
        elif kind == "buttons":
            block["buttons"] = [self.button() for _ in range(rng.randint(1, 3))]
        if kind in PLACEHOLDERS or kind in ("document", "map"):
            block.update({"caption": self.caption()} if rng.random() < 0.5 else {})
        return block

    def table(self, rows=None, columns=None):
        rng = self.rng
        rows, columns = rows or rng.randint(1, 4 * self.size), columns or rng.randint(1, 4)
        headers = rng.randint(0, 2)

        def cell(row):
            cell = {"align": rng.choice(["left", "center", "right"]), "valign": rng.choice(["top", "middle", "bottom"])}
            if rng.random() < 0.85:
                cell["text"] = self.text(2)
            cell.update(is_header=row < headers or rng.random() < 0.1)
            cell.update({"colspan": 2} if rng.random() < 0.1 else {})
            cell.update({"rowspan": rng.randint(2, 3)} if rng.random() < 0.1 else {})
            return cell

        table = {"cells": [[cell(r) for _ in range(columns)] for r in range(rows)],
                 "is_bordered": rng.random() < 0.5, "is_striped": rng.random() < 0.5}
        table.update({"caption": self.text()} if rng.random() < 0.3 else {})
        return table

    def message(self):
        message = {"blocks": self.blocks(0, 6)}
        if self.rng.random() < 0.2:
            message["is_rtl"] = True
        return message


@pytest.mark.parametrize("limits", [DEFAULT, SMALL], ids=["line", "small"])
@pytest.mark.parametrize("seed", range(60))
def test_generated_messages_show_whole(seed, limits):
    assert_delivers(Generator(seed, size=1 + seed % 3).message(), limits)


@pytest.mark.parametrize("seed", range(60))
def test_aiogram_models_convert_as_their_dicts(seed):
    models = pytest.importorskip("aiogram.types")
    message = Generator(seed, size=1 + seed % 3).message()
    for limits in (DEFAULT, SMALL):
        as_model = telegram.split_rich(models.RichMessage.model_validate(message), limits=limits)
        assert as_model == telegram.split_rich(message, limits=limits)


@pytest.mark.parametrize("seed", range(20))
def test_types_of_later_versions_show_their_text(seed):
    assert_delivers(Generator(1000 + seed, future=True).message(), SMALL)


def test_long_messages_are_cut_between_blocks_and_inside_long_ones():
    generator = Generator(7, size=3)
    message = {"blocks": [generator.block() for _ in range(300)] + [{"type": "paragraph", "text": "x" * 5000}]}
    for limits in (DEFAULT, SMALL):
        assert_delivers(message, limits)
        assert_delivers({**message, "is_rtl": True}, limits)


# --- How each object shows -----------------------------------------------------

def text(*spans, **style):
    return {"type": "text", "wrap": True, "contents": [span if isinstance(span, dict) else {"type": "span", "text": span}
                                                       for span in spans], **style}


def span(characters, **look):
    return {"type": "span", "text": characters, **look}


def box(layout, *contents, **style):
    return {"type": "box", "layout": layout, "contents": list(contents), **style}


GREY = {"size": "sm", "color": "#8C8C8C"}
QUOTE = {"spacing": "md", "paddingAll": "md", "backgroundColor": "#EEF5FD", "cornerRadius": "md"}
BAR = {"type": "separator", "color": "#1689FC"}
P = {"type": "paragraph", "text": "p"}
CELL = {"align": "left", "valign": "top"}
MEDIA = {"file_id": "f", "file_unique_id": "u", "duration": 1, "width": 1, "height": 1}


def item(label, *contents):
    return box("horizontal", text(label, flex=0), box("vertical", *contents, flex=1, spacing="sm"), spacing="sm")


SHAPES = [
    ({"type": "heading", "text": "H", "size": 1}, [text("H", size="xl", weight="bold")]),
    ({"type": "heading", "text": "H", "size": 2}, [text("H", size="lg", weight="bold")]),
    ({"type": "heading", "text": "H", "size": 5}, [text("H", size="md", weight="bold")]),
    ({"type": "pre", "text": "x = 1", "language": "py"}, [text(span("x = 1", **CODE))]),
    ({"type": "footer", "text": "f"}, [text("f", size="xs", color="#8C8C8C")]),
    ({"type": "mathematical_expression", "expression": "a^2"}, [text(span("a^2", **CODE), align="center")]),
    ({"type": "thinking", "text": "t"}, [text(span("t", **ITALIC), color="#8C8C8C")]),
    ({"type": "pullquote", "text": "q", "credit": "Ann"},
     [text(span("q", **ITALIC), align="center"), text("— Ann", **GREY, align="center")]),
    ({"type": "blockquote", "blocks": [P], "credit": "Ann"},
     [box("horizontal", BAR, box("vertical", text("p"), text("— Ann", **GREY), spacing="md"), **QUOTE)]),
    ({"type": "expandable_blockquote", "text": "e"}, [box("horizontal", BAR, box("vertical", text("e"), spacing="md"),
                                                          **QUOTE)]),
    ({"type": "list", "items": [{"label": "", "blocks": [P]}, {"label": "2.", "blocks": [P, P]},
                                {"label": "x", "has_checkbox": True, "is_checked": True, "blocks": []},
                                {"label": "x", "has_checkbox": True, "blocks": [P]}]},
     [box("vertical", item("•", text("p")), item("2.", text("p"), text("p")),
          box("horizontal", text("☑", flex=0), spacing="sm"),
          item("☐", text("p")), spacing="sm")]),
    ({"type": "details", "summary": "S", "blocks": [P], "is_open": False},
     [text("S", weight="bold"), box("vertical", text("p"), paddingStart="lg")]),
    ({"type": "photo", "photo": [MEDIA], "caption": {"text": "c", "credit": "Ann"}},
     [text("🖼 Photo"), text("c", **GREY), text("— Ann", **GREY)]),
    ({"type": "video", "video": MEDIA}, [text("🎬 Video")]),
    ({"type": "animation", "animation": MEDIA}, [text("🎞 GIF")]),
    ({"type": "audio", "audio": MEDIA}, [text("🎵 Audio")]),
    ({"type": "voice_note", "voice_note": MEDIA}, [text("🎤 Voice message")]),
    ({"type": "document", "document": {"file_id": "f", "file_unique_id": "u", "file_name": "a.pdf"}},
     [text("📄 a.pdf")]),
    ({"type": "document", "document": {"file_id": "f", "file_unique_id": "u"}}, [text("📄 File")]),
    ({"type": "collage", "blocks": [P], "caption": {"text": "c"}}, [text("p"), text("c", **GREY)]),
    ({"type": "table", "is_bordered": True, "is_striped": True, "caption": "cap", "cells": [
        [{**CELL, "text": "A", "is_header": True}, {**CELL, "align": "right", "valign": "bottom", "text": "B",
                                                    "colspan": 2}],
        [{**CELL, "text": "c", "rowspan": 2}, CELL, {"align": "center", "valign": "middle", "text": "d"}],
        [{**CELL, "text": "e"}, {**CELL, "text": "f"}]]},
     [box("vertical",
          box("horizontal", text("A", flex=1, size="sm", weight="bold", align="start", gravity="top"),
              text("B", flex=2, size="sm", align="end", gravity="bottom")),
          {"type": "separator"},
          box("horizontal", text("c", flex=1, size="sm", align="start", gravity="top"), box("vertical", flex=1),
              text("d", flex=1, size="sm", align="center", gravity="center"), backgroundColor="#F5F5F5"),
          {"type": "separator"},
          box("horizontal", box("vertical", flex=1), text("e", flex=1, size="sm", align="start", gravity="top"),
              text("f", flex=1, size="sm", align="start", gravity="top"))),
      text("cap", **GREY)]),
]


def merged(node):
    """`node` with the adjacent spans of one look that a writer may merge as one."""
    node = dict(node)
    if node["type"] == "text":
        out = []
        for s in node["contents"]:
            if out and {**out[-1], "text": ""} == {**s, "text": ""}:
                out[-1] = {**out[-1], "text": out[-1]["text"] + s["text"]}
            else:
                out.append(dict(s))
        node["contents"] = out
    elif "contents" in node:
        node["contents"] = [merged(c) for c in node["contents"]]
    return node


@pytest.mark.parametrize("block, body", SHAPES, ids=lambda v: v["type"] if isinstance(v, dict) else "")
def test_each_block_shows_as_the_page_says(block, body):
    message = {"blocks": [P, block]}
    [part] = deliver(message, DEFAULT)
    assert merged(part["contents"]["body"]) == merged(box("vertical", text("p"), *body, spacing="md"))
    assert "footer" not in part["contents"]


def test_dividers_buttons_maps_and_direction():
    message = {"is_rtl": True, "blocks": [
        P, {"type": "divider"}, {"type": "map", "location": {"latitude": 35.5, "longitude": -0.25}, "zoom": 12,
                                 "width": 1, "height": 1},
        {"type": "buttons", "buttons": [
            {"text": "Go", "url": "https://example.com/go"}, {"text": "cb", "callback_data": "x"},
            {"text": "Copy", "copy_text": {"text": "code 42"}}, {"text": "Too long", "copy_text": {"text": "c" * 1001}},
            {"text": "", "copy_text": {"text": ""}}, {"text": " ", "copy_text": {"text": " "}},
            {"text": "", "url": "https://example.com/blank"}]}]}
    [part] = deliver(message, DEFAULT)
    assert part["contents"]["direction"] == "rtl"
    assert part["contents"]["body"]["contents"][1:] == [{"type": "separator"}, text("📍 Map")]
    assert buttons(part) == [
        ("uri", "Open map", "https://www.openstreetmap.org/?mlat=35.5&mlon=-0.25#map=12/35.5/-0.25"),
        ("uri", "Go", "https://example.com/go"), ("clipboard", "Copy", "code 42"),
        ("uri", "https://example.com/blank", "https://example.com/blank")]
    assert part["altText"] == "p\n📍 Map"
    only_buttons = {"blocks": message["blocks"][3:]}
    assert [p["altText"] for p in deliver(only_buttons, DEFAULT)] == ["Go\nCopy\nhttps://example.com/blank"]
    for nowhere in (math.nan, math.inf):  # no place to open
        [part] = deliver({"blocks": [{"type": "map", "location": {"latitude": nowhere, "longitude": 1.0}}]}, DEFAULT)
        assert "footer" not in part["contents"]


@pytest.mark.parametrize("rich, spans_wanted, buttons_wanted", [
    ([{"type": "bold", "text": ["a", {"type": "italic", "text": "b"}]}, {"type": "marked", "text": "c"}],
     [span("a", weight="bold"), span("b", weight="bold", style="italic"), span("c", color="#D97706")], []),
    ({"type": "spoiler", "text": {"type": "marked", "text": {"type": "subscript", "text": "x"}}},
     [span("x", color="#D97706", size="xs")], []),
    ({"type": "code", "text": [{"type": "bold", "text": "a"}, {"type": "url", "text": "b", "url": "https://e.com"}]},
     [span("ab", **CODE)], [("uri", "b", "https://e.com")]),
    ({"type": "url", "url": "https://e.com/1", "text": [{"type": "strikethrough", "text": "a"},
                                                        {"type": "mention", "text": "b", "username": "x"},
                                                        {"type": "button", "button": {"text": "c",
                                                                                      "url": "https://e.com/2"}}]},
     [span("a", color="#1689FC", decoration="line-through"), span("bc", **LINK)],
     [("uri", "abc", "https://e.com/1"), ("uri", "c", "https://e.com/2")]),
    ([{"type": "phone_number", "text": "call", "phone_number": "+1 (555) 0-1"},
      {"type": "email_address", "text": "mail", "email_address": "a@b.c"},
      {"type": "custom_emoji", "custom_emoji_id": "1", "alternative_text": "😀"}, {"type": "anchor", "name": "n"},
      {"type": "mathematical_expression", "expression": "x"}, {"type": "sparkle", "text": "s"}, {"type": "sparkle"}],
     [span("call", **LINK), span("mail😀"), span("x", **CODE), span("s")], [("uri", "call", "tel:+155501")]),
])
def test_rich_text_shows_with_its_looks_and_buttons(rich, spans_wanted, buttons_wanted):
    [part] = deliver({"blocks": [{"type": "paragraph", "text": rich}]}, DEFAULT)
    assert merged(part["contents"]["body"]["contents"][0])["contents"] == spans_wanted
    assert buttons(part) == buttons_wanted
    plain_part = json.loads(telegram.convert_rich({"blocks": [{"type": "paragraph", "text": rich}]},
                                                  decorate_links=False))
    assert all("#1689FC" not in json.dumps(s) for s in spans(plain_part))


# --- Untrusted input -------------------------------------------------------------

def nested(depth, make, inner):
    for _ in range(depth):
        inner = make(inner)
    return inner


@pytest.mark.parametrize("message, path", [
    ([], "rich_message must be an object"),
    ("blocks", "rich_message must be an object"),
    ({}, "blocks must be an array, not missing"),
    ({"blocks": {}}, "blocks must be an array"),
    ({"blocks": [], "is_rtl": "yes"}, "is_rtl must be a boolean"),
    ({"blocks": [1]}, "blocks[0] must be an object"),
    ({"blocks": [P, {}]}, "blocks[1] has no type"),
    ({"blocks": [{"type": 5}]}, "blocks[0].type must be a string"),
    ({"blocks": [{"type": "paragraph", "text": 5}]}, "blocks[0].text must be a string, an array or an object"),
    ({"blocks": [{"type": "paragraph", "text": ["a", {"text": "b"}]}]}, "blocks[0].text[1] has no type"),
    ({"blocks": [{"type": "heading", "text": "h", "size": "big"}]}, "blocks[0].size must be a number"),
    ({"blocks": [P, P, P, {"type": "list", "items": [{"label": "", "blocks": 3}]}]},
     "blocks[3].items[0].blocks must be an array"),
    ({"blocks": [{"type": "blockquote", "blocks": [{"type": "list", "items": [7]}]}]},
     "blocks[0].blocks[0].items[0] must be an object"),
    ({"blocks": [{"type": "table", "cells": [[CELL], {}]}]}, "blocks[0].cells[1] must be an array"),
    ({"blocks": [{"type": "table", "cells": [[{**CELL, "colspan": "2"}]]}]}, "blocks[0].cells[0][0].colspan"),
    ({"blocks": [{"type": "buttons", "buttons": [{"text": "a", "copy_text": "x"}]}]},
     "blocks[0].buttons[0].copy_text must be an object"),
    ({"blocks": [{"type": "map", "location": {"latitude": "1", "longitude": 2}, "zoom": 1}]},
     "blocks[0].location.latitude must be a number"),
    ({"blocks": [{"type": "photo", "caption": {"text": "c", "credit": 1.5}}]}, "blocks[0].caption.credit must be"),
    ({"blocks": [nested(17, lambda b: {"type": "blockquote", "blocks": [b]}, P)]}, "nests blocks deeper"),
    ({"blocks": [nested(10_000, lambda b: {"type": "details", "summary": "s", "blocks": [b]}, P)]},
     "nests blocks deeper"),
    ({"blocks": [{"type": "paragraph", "text": nested(10_000, lambda t: {"type": "bold", "text": t}, "x")}]},
     "nests text deeper"),
    ({"blocks": [{"type": "paragraph", "text": nested(10_000, lambda t: [t], "x")}]}, "nests text deeper"),
    ({"blocks": [{"type": "buttons", "buttons": [{"text": nested(10_000, lambda t: [t], "x"), "url": "https://e"}]}]},
     "nests text deeper"),
    ({"blocks": [{"type": "paragraph", "text": nested(10_000, lambda t: {"type": "button", "button": {"text": t}}, "x")}]},
     "nests text deeper"),
])
@pytest.mark.parametrize("call", [telegram.split_rich, telegram.convert_rich], ids=["split", "convert"])
def test_malformed_input_is_a_value_error_naming_where(message, path, call):
    with pytest.raises(ValueError) as raised:
        call(message)
    # Nesting is named where it goes too deep, the rest where it is.
    assert path in str(raised.value) if path.startswith("nests") else str(raised.value).startswith(path)


def test_beyond_telegrams_limits_converts():
    deepest = nested(15, lambda b: {"type": "list", "items": [{"label": "", "blocks": [P, b]}]},
                     {"type": "table", "cells": [[{**CELL, "text": "deep"}]]})
    wide = {"type": "table", "cells": [[{**CELL, "text": str(i), "colspan": span, "rowspan": span}
                                        for i, span in enumerate([10**9, -3, float("nan"), float("inf"), 2.5] * 30)]]}
    many = {"blocks": [{"type": "paragraph", "text": f"{i}"} for i in range(5000)]}
    # Boxes that hold nothing are never written: the whole passes, so it is the one part.
    empty = nested(8, lambda b: {"type": "blockquote", "blocks": [b]},
                   {"type": "buttons", "buttons": [{"text": "c", "copy_text": {"text": "c" * 1001}}]})
    hollow = {"type": "blockquote", "blocks": [{"type": "list", "items": [{"label": "iv", "blocks": [empty]}]}]}
    for message in ({"blocks": [deepest]}, {"blocks": [wide]}, many, {"blocks": [hollow, P]}):
        for limits in (DEFAULT, SMALL):
            assert_delivers(message, limits)


def test_python_errors_while_reading_propagate():
    class Broken:
        type = "paragraph"

        @property
        def text(self):
            raise KeyError("boom")

    with pytest.raises(KeyError, match="boom"):
        telegram.split_rich({"blocks": [Broken()]})


# --- Tables cut between rows -------------------------------------------------------

def test_a_table_cut_between_rows_repeats_its_header_rows():
    header = [{**CELL, "is_header": True, "text": {"type": "url", "text": "Name", "url": "https://e.com"}},
              {**CELL, "is_header": True, "text": "Score"}]
    rows = [[{**CELL, "text": f"row {i}"}, {**CELL, "text": str(i)}] for i in range(80)]
    message = {"blocks": [P, {"type": "table", "cells": [header, [{**CELL, "is_header": True, "text": "unit"}], *rows]}]}
    parts = deliver(message, SMALL)
    assert len(parts) > 2
    table_rows = []
    for part in parts:
        table = part["contents"]["body"]["contents"][-1]
        row_texts = [[s["text"] for c in row["contents"] for s in c["contents"]] for row in table["contents"]]
        assert all(row["layout"] == "horizontal" for row in table["contents"])
        assert row_texts[:2] == [["Name", "Score"], ["unit"]]
        assert part["altText"].startswith("Name | Score\nunit\n" if part is not parts[0] else "p\nName | Score")
        table_rows += row_texts[2:]
    assert table_rows == [[f"row {i}", str(i)] for i in range(80)]
    assert [b for part in parts for b in buttons(part)] == [("uri", "Name", "https://e.com")]


# --- The clients' forms ---------------------------------------------------------------

UPDATE = {"message_id": 1, "date": 0, "chat": {"id": 1, "type": "private"}, "rich_message": Generator(3).message()}


def test_python_telegram_bot_keeps_a_rich_message_as_a_dict():
    message = pytest.importorskip("telegram").Message.de_json(UPDATE, None)
    assert isinstance(message.api_kwargs["rich_message"], dict)
    assert telegram.split_rich(message.api_kwargs["rich_message"]) == telegram.split_rich(UPDATE["rich_message"])


def test_aiogram_reads_a_rich_message_into_its_models():
    message = pytest.importorskip("aiogram.types").Message.model_validate(UPDATE)
    assert telegram.split_rich(message.rich_message) == telegram.split_rich(UPDATE["rich_message"])
