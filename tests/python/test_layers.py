"""The layers of the C++ source include only downwards: the public headers
(src/include) below everything, then parser and flex, convert above them,
and above convert two siblings that know nothing of each other, the library
entry (lib) and the delivery to LINE (line); the bindings are on top, and
reach past the entry only to write results straight into a `str` (the JSON
writer's sinks, and `split` with a sink of its own)."""

import re
from pathlib import Path

import pytest

SRC = Path(__file__).resolve().parents[2] / "src"
MAY_INCLUDE = {
    "include": set(),
    "text": {"text"},
    "parser": {"parser", "text"},
    "flex": {"flex", "text"},
    "convert": {"convert", "parser", "flex", "text"},
    "line": {"line", "convert", "parser", "flex", "text"},
    "lib": {"lib", "convert", "flex", "text"},
    "telegram": {"telegram", "line", "convert", "parser", "flex", "text"},
    "python": {"python", "lib", "line", "telegram", "flex", "text"},
}
PROJECT_INCLUDE = re.compile(r'#include "(\w+)/')


@pytest.mark.parametrize("layer", sorted(MAY_INCLUDE))
def test_layer_includes_only_below_itself(layer):
    files = sorted((SRC / layer).rglob("*.[ch]pp"))
    assert files
    for path in files:
        for folder in PROJECT_INCLUDE.findall(path.read_text(encoding="utf-8")):
            assert folder in MAY_INCLUDE[layer], f"{path.relative_to(SRC)} includes {folder}/"


def test_every_layer_is_named():
    assert {p.name for p in SRC.iterdir() if p.is_dir()} == set(MAY_INCLUDE)
