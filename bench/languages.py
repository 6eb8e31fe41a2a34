"""The cost per byte in LINE's own languages and at every size.

LINE's users write mostly Japanese, Thai, Traditional Chinese and Korean: the
texts here are made of the messages of bench/corpus_line.txt in each of those
languages (and of bench/corpus.txt, mostly Latin), whole messages repeated
up to each size, from one message to Telegram's longest (4,096 characters)
and on to 1 MiB. For each, the nanoseconds per byte of `quenra()`, `split`
and `telegram.split` (the same text as Telegram stores it), and the fresh
pages that a process converting one such message after another takes per
call. Run by bench/run.py; `python bench/languages.py` prints the table alone.
"""

from __future__ import annotations

import resource
import sys
import time
import unicodedata
from pathlib import Path

from quenra import quenra, split, telegram

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "python"))
from peak_memory import peak_of_one_call  # noqa: E402

SIZES = [("one message", None), ("1 KiB", 1 << 10), ("4096 characters", -4096), ("16 KiB", 16 << 10),
         ("64 KiB", 64 << 10), ("256 KiB", 256 << 10), ("1 MiB", 1 << 20)]
SCRIPTS = {"HIRAGANA": "Japanese", "KATAKANA": "Japanese", "THAI": "Thai", "HANGUL": "Korean", "CJK": "Chinese"}


def messages(name: str) -> list[str]:
    text = (HERE / name).read_text(encoding="utf-8")
    return [message.strip("\n") for message in text.split("\n---\n")]


def language_of(message: str) -> str:
    """The language a message is written in, by the first script that tells."""
    found = "Latin"
    for character in message:
        name = unicodedata.name(character, "")
        for script, language in SCRIPTS.items():
            if name.startswith(script):
                if language != "Chinese":
                    return language
                found = "Chinese"
    return found


def corpora() -> dict[str, list[str]]:
    """The messages of each language: LINE's four, and the mostly Latin corpus."""
    out: dict[str, list[str]] = {}
    for message in messages("corpus_line.txt"):
        out.setdefault(language_of(message), []).append(message)
    out["Latin (corpus.txt)"] = messages("corpus.txt")
    return out


def text_of(messages: list[str], size: int | None) -> str:
    """Whole messages, repeated, up to `size` bytes (or -size characters); one message for None."""
    if size is None:
        return max(messages[:8], key=len)
    parts, length = [], 0
    while True:
        for message in messages:
            added = (len(message) if size < 0 else len(message.encode())) + 2
            if length + added > abs(size) and parts:
                return "\n\n".join(parts)
            parts.append(message)
            length += added


def per_call(work, text_bytes: int) -> float:
    """Best nanoseconds per byte of one call of `work` over five rounds."""
    calls = max(1, min(20000, int(4e6 / max(text_bytes, 1))))
    best = float("inf")
    for _ in range(5):
        start = time.perf_counter()
        for _ in range(calls):
            work()
        best = min(best, (time.perf_counter() - start) / calls)
    return best / text_bytes * 1e9


def faults_per_call(work, calls: int) -> float:
    work()
    before = resource.getrusage(resource.RUSAGE_SELF).ru_minflt
    for _ in range(calls):
        work()
    return (resource.getrusage(resource.RUSAGE_SELF).ru_minflt - before) / calls


def languages_section(table) -> None:
    table.section("10. LINE's languages at every size (ns per byte of the text; fresh pages per call)")
    worst = {"quenra": 0.0, "split": 0.0, "telegram.split": 0.0}
    for language, found in corpora().items():
        base = None
        for label, size in SIZES:
            text = text_of(found, size)
            text_bytes = len(text.encode())
            stored = telegram.parse(text)
            costs = {
                "quenra": per_call(lambda: quenra(text), text_bytes),
                "split": per_call(lambda: split(text), text_bytes),
                "telegram.split": per_call(lambda: telegram.split(*stored), text_bytes),
            }
            if size == 1 << 10:
                base = costs["quenra"]
            faults = faults_per_call(lambda: quenra(text), max(3, min(2000, int(2e7 / text_bytes))))
            note = f"{faults:.1f} fresh pages per call"
            if base:
                ratios = {name: cost / base for name, cost in costs.items()}
                for name, ratio in ratios.items():
                    worst[name] = max(worst[name], ratio)
                note += ", against quenra at 1 KiB: " + ", ".join(f"{name} {ratio:.2f}x" for name, ratio in ratios.items())
            table.add(f"{language}, {label} ({text_bytes:,} B)",
                      " / ".join(f"{costs[name]:.1f}" for name in costs), note)
    table.add("worst over every language and size, against quenra at 1 KiB",
              ", ".join(f"{name} {ratio:.2f}x" for name, ratio in worst.items()),
              f"targets: quenra at most 1.3x ({'met' if worst['quenra'] <= 1.3 else 'missed'}), "
              f"split and telegram.split at most 2x ({'met' if max(worst['split'], worst['telegram.split']) <= 2 else 'missed'})")


def working_memory_section(table) -> None:
    """Peak memory of one call above the result str and the text's UTF-8 form, per input byte."""
    for language, found in (("LINE's languages", messages("corpus_line.txt")), ("Latin", messages("corpus.txt"))):
        unit = "\n\n".join(found) + "\n\n"
        for size in (1 << 20, 16 << 20):
            peak = peak_of_one_call(unit, size)
            working = (peak.peak - peak.output_bytes - peak.input_bytes) / peak.input_bytes
            table.add(f"working memory of one call, {language}, {size >> 20} MiB",
                      f"{working:.1f} B per input byte",
                      f"target: at most 2 ({'met' if working <= 2 else 'missed'}); the whole peak "
                      f"{peak.peak / peak.input_bytes:.1f} B per byte, the result str {peak.output_bytes / peak.input_bytes:.1f}")


if __name__ == "__main__":
    from run import Table

    table = Table()
    languages_section(table)
    working_memory_section(table)
    table.print()
