"""Command line: convert MarkdownV2 text (or, read as Telegram reads it, HTML or legacy Markdown) from a file
or standard input.

    python -m quenra [--telegram] [--parse-mode MODE] [--inline-links] [--plain-links] [--pretty | --split | --check] [FILE]
"""

from __future__ import annotations

import argparse
import json
import sys

from quenra import __version__, check, quenra, split, telegram


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="quenra",
        description="Convert Telegram MarkdownV2 text to a LINE Flex Message JSON string.",
    )
    parser.add_argument(
        "file",
        nargs="?",
        default="-",
        help="UTF-8 text file to read; '-' or nothing reads standard input. The text is taken "
        "exactly as it stands, a final line break included (a leading byte order mark is dropped).",
    )
    parser.add_argument(
        "--telegram",
        action="store_true",
        help="read the text as MarkdownV2 the way Telegram reads it (quenra.telegram), quotes and all",
    )
    parser.add_argument(
        "--parse-mode",
        type=str.lower,
        choices=["markdownv2", "html", "markdown"],
        help="read the text the way Telegram reads a bot's text in this parse mode (any letter case; "
        "html, or markdown for the legacy mode); implies --telegram",
    )
    parser.add_argument(
        "--inline-links",
        action="store_true",
        help="keep links that end their line in the running text too (standalone_links_as_buttons=False)",
    )
    parser.add_argument(
        "--plain-links",
        action="store_true",
        help="do not colour and underline links in the running text (decorate_links=False)",
    )
    output = parser.add_mutually_exclusive_group()
    output.add_argument("--pretty", action="store_true", help="indent the JSON for people to read")
    output.add_argument(
        "--split",
        action="store_true",
        help="print messages that LINE accepts, one JSON message a line (JSON Lines)",
    )
    output.add_argument(
        "--check",
        action="store_true",
        help="print what LINE would refuse in the message, one problem a line; exit 1 when there is any",
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {__version__}")
    return parser


def _read(path: str) -> bytes:
    if path == "-":
        return sys.stdin.buffer.read()
    with open(path, "rb") as file:
        return file.read()


def _write(text: str) -> None:
    """Writes `text` as UTF-8, whatever the locale's encoding, as input is read."""
    sys.stdout.flush()
    sys.stdout.buffer.write(text.encode("utf-8"))
    sys.stdout.buffer.flush()


def _fail(message: str) -> int:
    print(f"quenra: error: {message}", file=sys.stderr)
    return 1


def main(argv: list[str] | None = None) -> int:
    args = _parser().parse_args(argv)
    source = "standard input" if args.file == "-" else repr(args.file)
    try:
        data = _read(args.file)
    except OSError as error:
        return _fail(f"cannot read {source}: {error.strerror or error}")
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        return _fail(f"{source} looks like UTF-16 (it starts with a UTF-16 byte order mark); UTF-8 is needed")
    try:
        # One leading byte order mark, as editors write, is not part of the text.
        text = data.decode("utf-8-sig")
    except UnicodeDecodeError as error:
        return _fail(f"{source} is not UTF-8 text (byte 0x{data[error.start]:02x} at offset {error.start})")

    standalone, decorate = not args.inline_links, not args.plain_links
    if args.telegram or args.parse_mode:
        try:
            shown, entities = telegram.parse(text, args.parse_mode or "MarkdownV2")
        except telegram.ParseError as error:
            return _fail(f"Telegram refuses {source}: {error}")
        messages = (
            telegram.split(shown, entities, standalone_links_as_buttons=standalone, decorate_links=decorate)
            if args.split
            else None
        )
        result = telegram.convert(shown, entities, standalone_links_as_buttons=standalone, decorate_links=decorate)
    else:
        messages = split(text, standalone_links_as_buttons=standalone, decorate_links=decorate) if args.split else None
        result = quenra(text, standalone_links_as_buttons=standalone, decorate_links=decorate)
    if messages is not None:
        _write("".join(message + "\n" for message in messages))
        return 0
    if args.check:
        problems = check(result)
        _write("".join(f"{problem}\n" for problem in problems))
        return 1 if problems else 0
    if args.pretty:
        result = json.dumps(json.loads(result), indent=2, ensure_ascii=False)
    _write(result + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
