"""The package's annotations and stubs agree with each other and with a
typical use, under mypy's strictest settings."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

PACKAGE_PARENT = Path(__file__).resolve().parents[2] / "python"

USE = """
from quenra import LineLimits, Problem, check, quenra, split

limits = LineLimits(alt_text=500, uri_schemes=("https",))
parts: list[str] = split("*Hi*", decorate_links=False, limits=limits)
problems: list[Problem] = check(quenra("*Hi*"), limits)
codes: list[str] = [problem.code for problem in problems]

from quenra import telegram

text, entities = telegram.parse("*Hi*")
first: telegram.Entity = entities[0]
messages: list[str] = telegram.split(text, entities, limits=limits)
one: str = telegram.convert(text, [{"type": "bold", "offset": 0, "length": 2}])
rich: list[str] = telegram.split_rich({"blocks": [{"type": "paragraph", "text": "Hi"}]}, limits=limits)
whole: str = telegram.convert_rich({"blocks": []}, decorate_links=False)
"""


def test_mypy_strict(tmp_path):
    pytest.importorskip("mypy")
    (tmp_path / "use.py").write_text(USE)
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "quenra", str(tmp_path / "use.py")],
        cwd=PACKAGE_PARENT,
        env={**os.environ, "MYPYPATH": str(PACKAGE_PARENT)},
        capture_output=True,
        text=True,
        check=False,
    )
    assert done.returncode == 0, done.stdout + done.stderr
