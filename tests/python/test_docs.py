"""The examples in the README and in the package's docstrings run as written."""

import doctest
from pathlib import Path

import pytest

import quenra
import quenra.line
import quenra.telegram

README = Path(__file__).resolve().parents[2] / "README.md"


def run_examples(text, name):
    # A code fence ends an example's expected output.
    text = "\n".join("" if line.startswith("```") else line for line in text.splitlines())
    test = doctest.DocTestParser().get_doctest(text, {}, name, str(README), 0)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test)
    return runner.summarize(verbose=False)


def test_readme_examples():
    failed, attempted = run_examples(README.read_text(encoding="utf-8"), "README.md")
    assert attempted >= 4 and failed == 0


@pytest.mark.parametrize("module", [quenra, quenra.line, quenra.telegram])
def test_docstring_examples(module):
    failed, attempted = doctest.testmod(module)
    assert attempted > 0 and failed == 0
