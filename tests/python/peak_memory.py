"""Peak memory of one call of quenra, measured in a fresh interpreter.

Used by the stress tests and by the benchmark suite (bench/run.py)."""

import subprocess
import sys

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
print(status("VmHWM:") - before, len(text.encode()), len(result))
"""


def peak_of_one_call(unit: str, size: int) -> tuple[int, int, int]:
    """Converts `size` bytes made of `unit` repeated; returns the peak memory
    above what the process held before the call, the input's length in
    bytes, and the result's length in characters."""
    done = subprocess.run([sys.executable, "-c", PROBE, str(size), unit], capture_output=True, text=True, check=True)
    peak, input_bytes, output_chars = (int(x) for x in done.stdout.split())
    return peak, input_bytes, output_chars
