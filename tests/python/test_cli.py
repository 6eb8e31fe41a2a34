"""The command line: python -m quenra [FILE]."""

import json
import os
import subprocess
import sys
from pathlib import Path

import pytest

from quenra import check, quenra, split

EXAMPLE = Path(__file__).resolve().parents[2] / "examples" / "announcement.md"


def run(*args, stdin=b""):
    return subprocess.run([sys.executable, "-m", "quenra", *args], input=stdin, capture_output=True, check=False)


def test_converts_a_file_exactly():
    done = run(str(EXAMPLE))
    assert done.returncode == 0 and done.stderr == b""
    assert done.stdout.decode() == quenra(EXAMPLE.read_text(encoding="utf-8")) + "\n"


def test_reads_standard_input():
    for args in ((), ("-",)):
        done = run(*args, stdin="*Hi* 日本".encode())
        assert done.returncode == 0
        assert done.stdout.decode() == quenra("*Hi* 日本") + "\n"


@pytest.mark.parametrize(
    ("flags", "options"),
    [
        (["--inline-links"], {"standalone_links_as_buttons": False}),
        (["--plain-links"], {"decorate_links": False}),
        (["--inline-links", "--plain-links"], {"standalone_links_as_buttons": False, "decorate_links": False}),
    ],
)
def test_flags_set_the_switches(flags, options):
    text = "Read\n[Docs](u)\nand [more](v) here"
    assert run(*flags, stdin=text.encode()).stdout.decode() == quenra(text, **options) + "\n"


def test_pretty_output_is_the_same_message_indented():
    done = run("--pretty", str(EXAMPLE))
    assert done.returncode == 0
    text = done.stdout.decode()
    assert text.startswith('{\n  "type": "flex",')
    assert json.loads(text) == json.loads(quenra(EXAMPLE.read_text(encoding="utf-8")))
    assert "🎉" in text


def test_an_unreadable_file_is_a_one_line_error(tmp_path):
    for path, reason in [(tmp_path / "missing.md", "No such file or directory"), (tmp_path, "Is a directory")]:
        done = run(str(path))
        assert done.returncode == 1 and done.stdout == b""
        assert done.stderr.decode() == f"quenra: error: cannot read {str(path)!r}: {reason}\n"


@pytest.mark.parametrize(
    ("data", "error"),
    [
        ("café".encode("latin-1"), "is not UTF-8 text (byte 0xe9 at offset 3)"),
        (b"\xff", "is not UTF-8 text (byte 0xff at offset 0)"),
        ("*Hi*".encode("utf-16"), "looks like UTF-16 (it starts with a UTF-16 byte order mark); UTF-8 is needed"),
        ("*Hi*".encode("utf-16-be").join([b"\xfe\xff", b""]), "looks like UTF-16"),
    ],
)
def test_input_that_is_not_utf8_is_a_one_line_error(tmp_path, data, error):
    path = tmp_path / "message.txt"
    path.write_bytes(data)
    for args, source, stdin in (([str(path)], repr(str(path)), b""), ([], "standard input", data)):
        done = run(*args, stdin=stdin)
        assert done.returncode == 1 and done.stdout == b""
        assert done.stderr.decode().startswith(f"quenra: error: {source} {error}")
        assert done.stderr.decode().count("\n") == 1


def test_one_leading_byte_order_mark_is_dropped():
    text = "*Hi* \ufeff"
    assert run(stdin="\ufeff".encode() + text.encode()).stdout.decode() == quenra(text) + "\n"


def test_help_names_the_flags():
    done = run("--help")
    assert done.returncode == 0
    assert all(flag in done.stdout.decode() for flag in ("--inline-links", "--plain-links", "--pretty", "--parse-mode"))
    assert os.path.basename(sys.executable)  # the interpreter under test ran it


def test_split_prints_json_lines():
    text = "Thanks [Anna](tg://user?id=1)\n\n" + "word " * 400
    done = run("--split", stdin=text.encode())
    assert done.returncode == 0
    assert done.stdout.decode().splitlines() == split(text)


@pytest.mark.parametrize(("text", "status", "lines"), [("*Hi*", 0, 0), ("[Anna](tg://user?id=1) x", 1, 1), ("", 1, 2)])
def test_check_prints_problems_and_fails_on_any(text, status, lines):
    done = run("--check", stdin=text.encode())
    assert done.returncode == status
    assert done.stdout.decode().splitlines() == [str(p) for p in check(quenra(text))]
    assert len(done.stdout.decode().splitlines()) == lines


@pytest.mark.parametrize("flags", [[], ["--pretty"], ["--split"], ["--check"]])
def test_writes_utf8_whatever_the_locale(flags):
    text = "*日本* 😀 [é](tg://user?id=1)"
    done = subprocess.run(
        [sys.executable, "-m", "quenra", *flags],
        input=text.encode(),
        capture_output=True,
        env={**os.environ, "PYTHONIOENCODING": "ascii", "LC_ALL": "C", "PYTHONUTF8": "0"},
        check=False,
    )
    assert done.returncode == (1 if flags == ["--check"] else 0), done.stderr
    expected = run(*flags, stdin=text.encode()).stdout
    assert done.stdout == expected and done.stderr == b""
    assert "日本".encode() in expected or flags == ["--check"]


@pytest.mark.parametrize("flags", [[], ["--split"], ["--check"], ["--pretty", "--plain-links"]])
def test_reads_telegrams_markdown_with_telegram(flags):
    from quenra import telegram

    markdown = ">A quote *with* [a link](https://example.com)\nand `code`"
    done = run("--telegram", *flags, stdin=markdown.encode())
    assert done.returncode == 0, done.stderr
    text, entities = telegram.parse(markdown)
    options = {"decorate_links": False} if "--plain-links" in flags else {}
    if "--split" in flags:
        expected = "".join(m + "\n" for m in telegram.split(text, entities))
    elif "--check" in flags:
        expected = ""
    else:
        expected = telegram.convert(text, entities, **options)
        expected = (json.dumps(json.loads(expected), indent=2, ensure_ascii=False) if flags else expected) + "\n"
    assert done.stdout.decode() == expected


def test_telegram_refusal_is_one_line_and_status_1():
    done = run("--telegram", stdin=b"Hello.")
    assert done.returncode == 1 and done.stdout == b""
    assert done.stderr.decode() == (
        "quenra: error: Telegram refuses standard input: "
        "Character '.' is reserved and must be escaped with the preceding '\\'\n"
    )


@pytest.mark.parametrize(("flags", "text", "parse_mode"), [
    (["--parse-mode", "html"], "<b>Hi</b> <a href='https://a.b'>x</a>", "HTML"),
    (["--parse-mode", "HTML", "--telegram"], "<i>Hi</i>", "HTML"),
    (["--parse-mode", "Markdown"], "*Hi* [x](https://a.b)", "Markdown"),
    (["--parse-mode", "markdownv2"], "*Hi*", "MarkdownV2"),
])
def test_parse_mode_chooses_telegrams_reading(flags, text, parse_mode):
    from quenra import telegram

    done = run(*flags, stdin=text.encode())
    assert done.returncode == 0, done.stderr
    assert done.stdout.decode() == telegram.convert(*telegram.parse(text, parse_mode)) + "\n"


def test_another_parse_mode_is_a_usage_error():
    done = run("--parse-mode", "xml", stdin=b"x")
    assert done.returncode == 2 and "invalid choice: 'xml'" in done.stderr.decode()
    refused = run("--parse-mode", "html", stdin=b"<p>x</p>")
    assert refused.stderr.decode() == 'quenra: error: Telegram refuses standard input: Unsupported start tag "p" at byte offset 0\n'
