"""Slow stress runs, left out of the test command: `scripts/stress` runs them
(pytest -m stress)."""

import gc
import sys

import pytest

from peak_memory import peak_of_one_call
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


UNIT = "*Hi* _there_ [docs](https://example.com/a) `code` 日本語 😀 ||spoiler||\n"


def peak_per_byte(size):
    peak, input_bytes, *_ = peak_of_one_call(UNIT, size)
    return peak / input_bytes


def test_texts_up_to_100_megabytes_with_memory_linear_in_their_size():
    per_byte = {size: peak_per_byte(size) for size in (1 << 20, 10 << 20, 100 << 20)}
    assert max(per_byte.values()) < 64, per_byte
    assert per_byte[100 << 20] < 1.5 * per_byte[10 << 20], per_byte
