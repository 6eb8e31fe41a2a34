"""Slow stress runs, left out of the test command: `scripts/stress` runs them
(pytest -m stress)."""

import gc
import subprocess
import sys

import pytest

from test_leaks import FLAG, NOT_A_BOOL, TEXT, resident_kib, run_all

pytestmark = pytest.mark.stress


def test_a_million_calls_leave_memory_and_reference_counts_flat():
    run_all(5000)
    gc.collect()
    watched = [TEXT, FLAG, NOT_A_BOOL, None, True, False]
    counts = [sys.getrefcount(obj) for obj in watched]
    start = resident_kib()
    run_all(100_000)  # 11 calls a round: success and every kind of failure
    gc.collect()
    assert [sys.getrefcount(obj) for obj in watched] == counts
    assert resident_kib() - start < 2048, "resident memory grew by over 2 MiB"


PEAK_PROBE = """
import sys
from quenra import quenra
size = int(sys.argv[1])
unit = "*Hi* _there_ [docs](https://example.com/a) `code` 日本語 😀 ||spoiler||\\n"
text = (unit * (size // len(unit.encode()) + 1)).encode()[:size].decode(errors="ignore")
def status(field):
    with open("/proc/self/status") as f:
        return next(int(l.split()[1]) * 1024 for l in f if l.startswith(field))
before = status("VmRSS:")
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")
result = quenra(text)
assert result.startswith('{"type":"flex","altText":"*Hi*' [:26])
print(status("VmHWM:") - before)
"""


def peak_per_byte(size):
    done = subprocess.run([sys.executable, "-c", PEAK_PROBE, str(size)], capture_output=True, text=True, check=True)
    return int(done.stdout) / size


def test_texts_up_to_100_megabytes_with_memory_linear_in_their_size():
    per_byte = {size: peak_per_byte(size) for size in (1 << 20, 10 << 20, 100 << 20)}
    assert max(per_byte.values()) < 64, per_byte
    assert per_byte[100 << 20] < 1.5 * per_byte[10 << 20], per_byte
