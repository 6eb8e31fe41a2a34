"""Building from source: a missing C++ dependency stops the configure step with
one message that names it and where to get it."""

import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


@pytest.mark.skipif(not shutil.which("cmake"), reason="could not import cmake: it is not on PATH")
def test_a_missing_dependency_is_named_at_configure_time(tmp_path):
    # The folders of the system's headers are hidden, as on a machine without
    # the packages.
    done = subprocess.run(
        ["cmake", "-S", str(ROOT), "-B", str(tmp_path), "-DCMAKE_IGNORE_PATH=/usr/include;/usr/local/include"],
        capture_output=True, text=True, check=False,
    )
    assert done.returncode != 0
    message = " ".join(done.stderr.split())
    for words in ("quenra needs the utf8proc library", "sudo apt-get install libutf8proc-dev",
                  "sudo dnf install utf8proc-devel", "brew install utf8proc"):
        assert words in message, done.stderr
