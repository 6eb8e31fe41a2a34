"""Peak memory of one call of quenra, measured in a fresh interpreter.

Used by the stress tests and by the benchmark suite (bench/run.py)."""

import subprocess
import sys
from typing import NamedTuple

PROBE = """
import sys
from quenra import quenra
size = int(sys.argv[1]); unit = sys.argv[2]
text = (unit * (size // len(unit.encode()) + 1)).encode()[:size].decode(errors="ignore")
def status(field):
    with open("/proc/self/status") as f:
        return next(int(l.split()[1]) * 1024 for l in f if l.startswith(field))
before = status("VmRSS:")
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")  # resets the peak (VmHWM) to the present size
result = quenra(text)
print(status("VmHWM:") - before, len(text.encode()), len(result), sys.getsizeof(result))
"""


class Peak(NamedTuple):
    peak: int  # above what the process held before the call
    input_bytes: int
    output_chars: int
    output_bytes: int  # the result str's own memory


def peak_of_one_call(unit: str, size: int) -> Peak:
    """Converts `size` bytes made of `unit` repeated and measures the call."""
    done = subprocess.run([sys.executable, "-c", PROBE, str(size), unit], capture_output=True, text=True, check=True)
    return Peak(*(int(x) for x in done.stdout.split()))
