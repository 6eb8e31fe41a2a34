"""Many threads calling quenra at once get exactly the single-threaded results."""

import random
import subprocess
import sys
import threading
from pathlib import Path

from quenra import quenra

ROOT = Path(__file__).resolve().parents[2]
THREADS = 8


def texts():
    corpus = (ROOT / "bench" / "corpus.txt").read_text(encoding="utf-8").split("\n---\n")
    hostile = ["[" * 3000, "```x\n" * 500, "*[_" * 800, "_a__" * 700, "`" * 2000]
    return corpus + hostile + ["", "a\0b", "日本語 *太字* 😀"]


def run_threads(work):
    barrier = threading.Barrier(THREADS)
    failures = []

    def body(index):
        try:
            barrier.wait()
            work(index)
        except BaseException as error:  # reported below, in the main thread
            failures.append(error)

    threads = [threading.Thread(target=body, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not failures, failures


def test_shared_and_distinct_texts_from_many_threads():
    shared = texts()
    expected = [quenra(t) for t in shared]
    options = {"standalone_links_as_buttons": False, "decorate_links": False}
    expected_plain = [quenra(t, **options) for t in shared]

    def work(index):
        rng = random.Random(index)
        for _ in range(400):
            i = rng.randrange(len(shared))
            # The same str object in every thread, or a fresh copy of it.
            text = shared[i] if rng.random() < 0.5 else "".join(list(shared[i]))
            assert quenra(text) == expected[i]
            assert quenra(text, **options) == expected_plain[i]

    run_threads(work)


def test_errors_from_many_threads():
    def work(index):
        for _ in range(300):
            for call, kind in ((lambda: quenra(index), TypeError), (lambda: quenra("\ud800"), UnicodeEncodeError)):
                try:
                    call()
                except kind:
                    pass
                else:
                    raise AssertionError("no error")

    run_threads(work)


FIRST_PANICS = """
import sys, threading
sys.path.insert(0, sys.argv[1])
import _quenra_testing as testing
barrier = threading.Barrier(16)
seen = []
def body(i):
    barrier.wait()
    try:
        testing.fail(f"thread {i}")
    except BaseException as error:
        seen.append((type(error), error.args))
threads = [threading.Thread(target=body, args=(i,)) for i in range(16)]
[t.start() for t in threads]
[t.join() for t in threads]
classes = {cls for cls, _ in seen}
assert len(seen) == 16 and len(classes) == 1, seen
assert sorted(args for _, args in seen) == sorted((f"thread {i}",) for i in range(16))
cls = classes.pop()
import quenra  # made before the package was imported: the package exports that class
assert quenra.PanicException is cls
print(cls.__qualname__)
"""


def test_the_first_panics_of_a_process_share_one_class(testing_module):
    # In a fresh process the class does not exist yet, so the threads race
    # to make it; all must get the one class, the package's too.
    directory = str(Path(testing_module.__file__).parent)
    done = subprocess.run([sys.executable, "-c", FIRST_PANICS, directory], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "PanicException"
