"""Threads call every entry point while other threads change the containers
that the calls read: the entity lists, the entity dicts and objects, the URI
schemes of a limits-like object and the list that holds the texts. Every
change either keeps what a call reads equal (a fresh copy of a value, so that
the old one is freed) or moves it between states whose results were computed
beforehand on one thread; so every result must be one of those, or a clean
TypeError or ValueError of a state in between.

Run as a program (a crash then fails only this process):
``python free_threading_stress.py SECONDS CALLERS MUTATORS`` prints one JSON
line: calls made, threads, seconds, differences (with the first few).
"""

import json
import random
import sys
import threading
import time
from types import SimpleNamespace

from quenra import LineLimits, check, quenra, split, telegram

Entity = telegram.Entity
TEXTS = ["*Hi* _there_ [Docs](https://example.com/a)\n```\ncode\n```", "Plain text with a [link](tel:123) 日本語 😀",
         "||spoiler|| `code` ~strike~ " * 40 + "[end](https://example.com/end)"]
MESSAGE_TEXT = "Hi Ann, see the docs 😀 and more"


def fresh(text):
    """An equal str that is another object, freed when nothing holds it."""
    return "".join(list(text))


def entity_forms():
    """The entities of MESSAGE_TEXT, as a telegram.Entity, a dict and an object."""
    return [
        Entity("bold", 0, 2),
        {"type": "text_link", "offset": 16, "length": 4, "url": fresh("https://d.e/docs"), "spare": 0},
        Entity("text_link", 8, 3, url=fresh("https://d.e/ann")),
        SimpleNamespace(type="pre", offset=21, length=2, language=fresh("py")),
    ]


EXTRA = Entity("italic", 3, 3)


def rich_blocks():
    """The blocks of a rich message: a paragraph with a link, a list, a table."""
    return [
        {"type": "paragraph", "text": ["See ", {"type": "url", "text": fresh("docs"), "url": fresh("https://d.e/")}]},
        {"type": "list", "items": [{"label": "1.", "blocks": [{"type": "paragraph", "text": fresh("first")}]}]},
        {"type": "table", "cells": [[{"text": "a", "is_header": True}, {"text": fresh("b")}], [{"text": "c"}]]},
    ]


RICH_EXTRA = {"type": "heading", "text": "Later", "size": 2}
SCHEMES = ["http", "https", "tel"]
LIMIT_FIELDS = {"alt_text": 1500, "uri": 1000, "label": 40, "bubble_bytes": 30000}


def expected_results():
    """Every entry point's result in every state the mutators can leave, keyed
    by (entry, input index); computed on this thread alone."""
    limits = SimpleNamespace(**LIMIT_FIELDS, uri_schemes=tuple(SCHEMES))
    base = entity_forms()
    states = [base, base + [EXTRA]]
    expected = {}
    for i, text in enumerate(TEXTS):
        expected["quenra", i] = {quenra(text)}
        expected["split", i] = {json.dumps(split(text, limits=limits))}
        expected["check", i] = {repr(check(quenra(text), limits))}
        expected["parse", i] = {repr(telegram.parse(text))}
    expected["convert", 0] = {telegram.convert(MESSAGE_TEXT, s, limits=limits) for s in states}
    expected["telegram.split", 0] = {json.dumps(telegram.split(MESSAGE_TEXT, s, limits=limits)) for s in states}
    expected["LineLimits", 0] = {repr(LineLimits(uri_schemes=SCHEMES).uri_schemes)}
    rich_states = [rich_blocks(), rich_blocks() + [RICH_EXTRA]]
    expected["convert_rich", 0] = {telegram.convert_rich({"blocks": b}, limits=limits) for b in rich_states}
    expected["split_rich", 0] = {json.dumps(telegram.split_rich({"blocks": b}, limits=limits)) for b in rich_states}
    return expected


class Shared:
    """The containers the callers read and the mutators change."""

    def __init__(self):
        self.texts = [fresh(t) for t in TEXTS]
        self.entities = entity_forms()
        self.limits = SimpleNamespace(**LIMIT_FIELDS, uri_schemes=list(SCHEMES))
        self.rich = {"blocks": rich_blocks()}


def call(shared, rng):
    """One call of a random entry point: (entry, input index, result)."""
    i = rng.randrange(len(TEXTS))
    entry = rng.choice(["quenra", "split", "check", "parse", "convert", "telegram.split", "LineLimits",
                        "convert_rich", "split_rich"])
    if entry == "quenra":
        return entry, i, quenra(shared.texts[i])
    if entry == "split":
        return entry, i, json.dumps(split(shared.texts[i], limits=shared.limits))
    if entry == "check":
        return entry, i, repr(check(quenra(shared.texts[i]), shared.limits))
    if entry == "parse":
        return entry, i, repr(telegram.parse(shared.texts[i]))
    if entry == "convert":
        return entry, 0, telegram.convert(MESSAGE_TEXT, shared.entities, limits=shared.limits)
    if entry == "telegram.split":
        return entry, 0, json.dumps(telegram.split(MESSAGE_TEXT, shared.entities, limits=shared.limits))
    if entry == "convert_rich":
        return entry, 0, telegram.convert_rich(shared.rich, limits=shared.limits)
    if entry == "split_rich":
        return entry, 0, json.dumps(telegram.split_rich(shared.rich, limits=shared.limits))
    return entry, 0, repr(LineLimits(uri_schemes=shared.limits.uri_schemes).uri_schemes)


def mutate(shared, rng):
    """One change that leaves what a call reads equal, or in a state whose
    result is known (or refused cleanly while it lasts). The mutators take
    turns, so that together they never make a state of neither kind."""
    entities, schemes = shared.entities, shared.limits.uri_schemes
    choice = rng.randrange(12)
    if choice == 0:
        k = rng.randrange(len(TEXTS))
        shared.texts[k] = fresh(TEXTS[k])
    elif choice == 1:
        if EXTRA in entities:
            entities.remove(EXTRA)
        else:
            entities.append(EXTRA)
    elif choice == 2:
        entities[:] = entity_forms() + ([EXTRA] if EXTRA in entities else [])
    elif choice == 3:
        form = entities[1]
        form["url"] = fresh(form["url"])
        form.pop("spare", None) if rng.random() < 0.5 else form.update({f"spare{n}": n for n in range(20)})
        for n in range(20):
            form.pop(f"spare{n}", None)
    elif choice == 4:
        object.__setattr__(entities[2], "url", fresh(entities[2].url))
    elif choice == 5:
        entities[3].language = fresh(entities[3].language)
    elif choice == 6:
        k = rng.randrange(len(SCHEMES))
        schemes[k] = fresh(SCHEMES[k])
    elif choice == 7:
        schemes.append(range(3))  # refused as a scheme while it is there
        del schemes[len(SCHEMES):]
    elif choice == 9:
        blocks = shared.rich["blocks"]
        if RICH_EXTRA in blocks:
            blocks.remove(RICH_EXTRA)
        else:
            blocks.append(RICH_EXTRA)
    elif choice == 10:
        link = shared.rich["blocks"][0]["text"][1]
        link["url"] = fresh(link["url"])
        link["text"] = fresh(link["text"])
    elif choice == 11:
        extra = [RICH_EXTRA] if RICH_EXTRA in shared.rich["blocks"] else []
        shared.rich["blocks"] = rich_blocks() + extra
    else:
        shared.limits.uri_schemes = list(SCHEMES)


def run(seconds, callers, mutators):
    expected = expected_results()
    shared = Shared()
    stop = threading.Event()
    barrier = threading.Barrier(callers + mutators)
    calls, differences, failures = [0] * callers, [], []
    turns = threading.Lock()

    def caller(index):
        rng = random.Random(index)
        barrier.wait()
        while not stop.is_set():
            try:
                entry, i, result = call(shared, rng)
            except (TypeError, ValueError):
                pass  # a state in between, refused cleanly
            except BaseException as error:
                failures.append(repr(error))
            else:
                if result not in expected[entry, i]:
                    differences.append((entry, i, result[:200]))
            calls[index] += 1

    def mutator(index):
        rng = random.Random(1000 + index)
        barrier.wait()
        while not stop.is_set():
            with turns:
                mutate(shared, rng)

    threads = [threading.Thread(target=caller, args=(i,)) for i in range(callers)]
    threads += [threading.Thread(target=mutator, args=(i,)) for i in range(mutators)]
    for thread in threads:
        thread.start()
    start = time.monotonic()
    time.sleep(seconds)
    stop.set()
    for thread in threads:
        thread.join()
    return {"calls": sum(calls), "threads": callers + mutators, "seconds": round(time.monotonic() - start, 1),
            "differences": len(differences), "failures": failures[:5], "first_differences": differences[:3],
            "gil_enabled": sys._is_gil_enabled() if hasattr(sys, "_is_gil_enabled") else True}


if __name__ == "__main__":
    print(json.dumps(run(float(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]))))
