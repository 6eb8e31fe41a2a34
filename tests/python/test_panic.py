"""Internal failures reach Python as PanicException, through the binding's own
boundary (driven by the test-only module `_quenra_testing`)."""

import os
import subprocess
import sys
import textwrap

import pytest

import quenra
from quenra import quenra as convert


def panic(call):
    with pytest.raises(BaseException) as info:
        call()
    return info.value


def test_panic_exception_class(testing_module):
    error = panic(lambda: testing_module.fail("boom"))
    cls = type(error)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("pyo3_runtime", "PanicException", "PanicException")
    assert cls.__bases__ == (BaseException,)
    assert not issubclass(cls, Exception)
    assert error.args == ("boom",)
    assert cls.__doc__.startswith("\n") and cls.__doc__.endswith("\n")
    first, second = cls.__doc__.strip("\n").split("\n\n")
    assert first == (
        "The exception raised when the native code of the quenra extension, called from Python, "
        "fails with an internal failure."
    )
    assert second.startswith("Like SystemExit, this exception is derived from BaseException so that\n")
    assert type(panic(lambda: testing_module.fail("again"))) is cls, "the class is made once"
    assert cls is quenra.PanicException is quenra._line.PanicException, "every module raises the package's class"
    assert "PanicException" in quenra.__all__


def test_except_exception_does_not_catch_it(testing_module):
    caught_by = None
    try:
        try:
            testing_module.fail("through")
        except Exception:
            caught_by = "Exception"
    except BaseException:
        caught_by = "BaseException"
    assert caught_by == "BaseException"


def test_the_failure_is_reported_on_standard_error(testing_module, capfd):
    panic(lambda: testing_module.fail("visible"))
    err = capfd.readouterr().err
    assert "quenra: internal failure at " in err and err.rstrip().endswith(": visible")


@pytest.mark.parametrize("writes", [0, 1, 5, 30])
def test_serialization_failure_raises_panic(testing_module, writes):
    error = panic(lambda: testing_module.convert_with_failing_sink("*Hi*\n[Docs](u)", writes))
    assert type(error).__name__ == "PanicException"
    assert error.args == (f"FlexMessage serialization failed: disk full after {writes} writes",)


def test_a_sink_that_does_not_fail_gives_the_json(testing_module):
    assert testing_module.convert_with_failing_sink("*Hi*", 10**6) == convert("*Hi*")


def test_a_null_object_reports_the_pending_error_and_panics(testing_module, monkeypatch):
    unraisable = []
    monkeypatch.setattr("sys.unraisablehook", unraisable.append)
    error = panic(testing_module.null_object_with_pending_error)
    assert error.args == ("PyObject pointer is null",)
    assert len(unraisable) == 1 and type(unraisable[0].exc_value) is ValueError


def test_calls_after_a_panic_behave_as_before(testing_module):
    before = convert("*a* [b](u)")
    panic(lambda: testing_module.fail("x"))
    assert convert("*a* [b](u)") == before


def test_a_failure_while_raising_a_failure_is_reported_before_the_end(testing_module):
    script = "import _quenra_testing as t; t.fail_while_raising('outer trouble', 'inner trouble')"
    done = subprocess.run(
        [sys.executable, "-c", script],
        env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)},
        capture_output=True,
        text=True,
        check=False,
    )
    assert done.returncode != 0
    lines = done.stderr.splitlines()
    assert [line.rsplit(": ", 1)[-1] for line in lines[:2]] == ["outer trouble", "inner trouble"]
    assert all(line.startswith("quenra: internal failure at ") for line in lines[:2])
    assert "uncaught panic at ffi boundary" in lines[2]


@pytest.mark.skipif(
    os.environ.get("QUENRA_SANITIZED") == "1", reason="AddressSanitizer reserves more address space than a limit allows"
)
def test_running_out_of_memory_raises_memory_error_and_leaves_the_module_usable():
    script = textwrap.dedent(
        """
        import resource
        from quenra import quenra, split

        text = "*a* [b](https://example.com) " * (2 << 20)  # 64 MB, which needs over 1 GB to convert
        expected = quenra("*ok*")
        used = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (used + (256 << 20), resource.RLIM_INFINITY))
        for convert in (quenra, split):
            try:
                convert(text)
                raise SystemExit(f"{convert.__name__}: no MemoryError")
            except MemoryError:
                pass
        assert quenra("*ok*") == expected and split("*ok*") == [expected]
        print("ok")
        """
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=False)
    assert (done.returncode, done.stdout, done.stderr) == (0, "ok\n", "")
