"""Calls from many threads while other threads change what they read
(free_threading_stress.py): every result is one computed on a single thread,
or a clean error, and nothing crashes. It matters most on the free-threaded
build, where the modules run without the global lock; it runs everywhere."""

import json
import os
import subprocess
import sys
import sysconfig
from pathlib import Path

STRESS = Path(__file__).with_name("free_threading_stress.py")
FREE_THREADED = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))


def run_stress(seconds, callers=8, mutators=4):
    done = subprocess.run([sys.executable, str(STRESS), str(seconds), str(callers), str(mutators)],
                          capture_output=True, text=True, timeout=seconds + 120)
    assert done.returncode == 0, f"the stress run ended with status {done.returncode}:\n{done.stderr[-3000:]}"
    return json.loads(done.stdout)


def test_calls_while_other_threads_change_their_inputs():
    seconds = float(os.environ.get("QUENRA_FREE_THREADING_SECONDS", "4"))
    summary = run_stress(seconds)
    print("free-threading stress:", json.dumps(summary))
    assert summary["failures"] == [] and summary["differences"] == 0, summary
    assert summary["calls"] > 1000
    # The modules declare that they need no global lock: importing them
    # leaves it off.
    assert summary["gil_enabled"] is not FREE_THREADED

