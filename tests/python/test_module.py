"""The module `quenra._core`, its function, and its exec step."""

import ctypes
import inspect
import types

import pytest

import quenra
import quenra._core as core

SIGNATURE = "(text, *, standalone_links_as_buttons=True, decorate_links=True)"

_get_def = ctypes.pythonapi.PyModule_GetDef
_get_def.restype = ctypes.c_void_p
_get_def.argtypes = [ctypes.py_object]
_exec_def = ctypes.pythonapi.PyModule_ExecDef
_exec_def.restype = ctypes.c_int
_exec_def.argtypes = [ctypes.py_object, ctypes.c_void_p]


def run_exec_step(module):
    """Runs `_core`'s exec step on `module` through the C API."""
    if _exec_def(module, _get_def(core)) != 0:
        raise AssertionError("unreachable: ctypes raises the pending exception")


def test_module_attributes():
    assert core.__all__ == ["quenra"]
    assert core.__doc__ == ""
    assert quenra.quenra is core.quenra
    assert "quenra" in quenra.__all__


def test_function_attributes():
    f = core.quenra
    assert (f.__name__, f.__qualname__, f.__module__) == ("quenra", "quenra", "quenra._core")
    assert f.__self__ is None
    assert f.__text_signature__ == SIGNATURE
    assert f.__doc__ == "Convert Telegram MarkdownV2 text to a LINE Flex Message JSON string."
    assert str(inspect.signature(f)) == SIGNATURE


def test_exec_step_run_again_on_the_imported_module_lists_the_name_twice():
    saved_all, saved_function = core.__all__, core.quenra
    try:
        run_exec_step(core)
        assert core.__all__ == ["quenra", "quenra"] and core.__all__ is saved_all
        assert core.quenra is not saved_function and core.quenra("*a*") == saved_function("*a*")
    finally:
        core.__all__[:] = ["quenra"]
        core.quenra = saved_function


def test_exec_step_twice_on_a_fresh_module():
    module = types.ModuleType("scratch")
    run_exec_step(module)
    run_exec_step(module)
    assert module.__all__ == ["quenra", "quenra"]
    assert module.quenra.__module__ == "scratch"
    assert module.quenra("*a*") == core.quenra("*a*")


def test_exec_step_extends_an_existing_list():
    class Names(list):
        pass

    module = types.ModuleType("scratch")
    module.__all__ = Names(["other"])
    run_exec_step(module)
    assert module.__all__ == ["other", "quenra"] and type(module.__all__) is Names


def test_exec_step_refuses_an_all_that_is_not_a_list():
    module = types.ModuleType("scratch")
    module.__all__ = ("other",)
    with pytest.raises(TypeError) as info:
        run_exec_step(module)
    assert info.value.args == ("'tuple' object is not an instance of 'list'",)


def test_exec_step_passes_on_errors_other_than_a_missing_attribute():
    class Strict(types.ModuleType):
        def __getattribute__(self, name):
            if name == "__all__":
                raise KeyError("no lookups today")
            return super().__getattribute__(name)

    with pytest.raises(KeyError):
        run_exec_step(Strict("scratch"))


@pytest.mark.parametrize("module_name", ["_core", "_line", "_telegram"])
def test_stubs_quote_the_docstrings(module_name):
    """The stubs give each function the docstring that help() shows."""
    import ast
    import importlib
    from pathlib import Path

    module = importlib.import_module(f"quenra.{module_name}")
    stub = ast.parse((Path(quenra.__file__).parent / f"{module_name}.pyi").read_text())
    functions = [node for node in stub.body if isinstance(node, ast.FunctionDef)]
    assert [f.name for f in functions] == module.__all__
    for function in functions:
        assert ast.get_docstring(function) == getattr(module, function.name).__doc__
