"""The stub kinex/_kinex.pyi, the bindings and their docstrings agree: the
same classes, members (properties as properties, methods as methods) and,
for every method, the same arguments with the same defaults. The bound
arguments are read from pybind11's own message for a call it cannot take;
the documented ones from the signature that opens each docstring."""

import ast
import os
import re
import types
from pathlib import Path

import pytest

import kinex  # noqa: F401 (the package, whose import must add nothing)
from kinex import _kinex

SOURCE = Path(os.environ.get("KINEX_SOURCE", Path(__file__).resolve().parents[2]))
STUB = ast.parse((SOURCE / "python" / "kinex" / "_kinex.pyi").read_text())
NO_DEFAULT = object()


def shown(node):
    """A default as Python would give it, or NO_DEFAULT."""
    return NO_DEFAULT if node is None else ast.literal_eval(node)


def arguments(function: ast.FunctionDef):
    """(name, default) of a def's arguments, self left out."""
    args = function.args.args
    defaults = [None] * (len(args) - len(function.args.defaults)) + function.args.defaults
    return [(a.arg, shown(d)) for a, d in zip(args, defaults) if a.arg != "self"]


def top_level_split(text):
    """`text` split at the commas outside brackets."""
    parts, depth, start = [], 0, 0
    for k, c in enumerate(text):
        depth += c in "[(" and 1 or (c in "])" and -1 or 0)
        if c == "," and depth == 0:
            parts.append(text[start:k].strip())
            start = k + 1
    tail = text[start:].strip()
    return parts + [tail] if tail else parts


def bound(call):
    """(name, default) of what pybind11 binds `call` to, self left out."""
    with pytest.raises(TypeError) as caught:
        call(__no_such_argument__=1)
    signature = re.search(r"1\. [\w.]*\((.*)\)( -> |\n|$)", str(caught.value)).group(1)
    found = []
    for part in top_level_split(signature):
        name, _, rest = part.partition(": ")
        default = rest.split(" = ", 1)[1] if " = " in rest else None
        if name != "self":
            found.append((name, NO_DEFAULT if default is None else ast.literal_eval(default)))
    return found


def documented(doc, name):
    """(name, default) of the signature that opens the docstring `doc`."""
    match = re.match(re.escape(name) + r"\((.*?)\)\s*(->|\n|$)", doc, re.S)
    assert match, f"{name}: the docstring does not open with its signature"
    return arguments(ast.parse(f"def f({match.group(1)}): pass").body[0])


def stub_classes():
    return {c.name: c for c in STUB.body if isinstance(c, ast.ClassDef)}


def stub_members(cls: ast.ClassDef):
    """{name: 'property' or the def} of a stub class."""
    members = {}
    for node in cls.body:
        if isinstance(node, ast.FunctionDef):
            is_property = any(getattr(d, "id", None) == "property" or
                              getattr(d, "attr", None) == "setter" for d in node.decorator_list)
            members[node.name] = "property" if is_property else node
    return members


def module_classes():
    return {name: value for name, value in vars(_kinex).items()
            if isinstance(value, type) and not name.startswith("_")}


def test_the_same_classes_and_functions():
    assert set(stub_classes()) == set(module_classes())
    functions = {f.name for f in STUB.body if isinstance(f, ast.FunctionDef)}
    assert functions == {name for name, value in vars(_kinex).items()
                         if callable(value) and not isinstance(value, type)
                         and not name.startswith("_")}


@pytest.mark.parametrize("name", sorted(module_classes()))
def test_members_and_arguments_agree(name):
    cls = module_classes()[name]
    stub = stub_members(stub_classes()[name])
    # Old names kept for old scripts stay out of the stub, so that a type
    # checker points at them.
    bound_members = {k: v for k, v in vars(cls).items()
                     if (not k.startswith("_") or k in ("__len__", "_repr_html_")
                         or (k == "__init__" and type(v).__name__ == "instancemethod"))
                     and not (v.__doc__ or "").startswith("Deprecated")}
    assert set(stub) == set(bound_members), name
    for member, value in bound_members.items():
        if isinstance(value, property):
            assert stub[member] == "property", f"{name}.{member} is a property"
            assert value.__doc__, f"{name}.{member} has no docstring"
            continue
        assert stub[member] != "property", f"{name}.{member} is a method"
        if member == "__init__":
            assert arguments(stub[member]) == bound(cls) == documented(value.__doc__, name)
            continue
        assert arguments(stub[member]) == bound(getattr(cls, member)), f"{name}.{member}"
        if not member.startswith("_"):
            assert documented(value.__doc__, member) == arguments(stub[member]), f"{name}.{member}"


@pytest.mark.parametrize("name", ["ensemble", "evaluate_many", "evaluate_arrays"])
def test_functions_agree(name):
    stub = next(f for f in STUB.body if isinstance(f, ast.FunctionDef) and f.name == name)
    function = getattr(_kinex, name)
    assert arguments(stub) == bound(function) == documented(function.__doc__, name)


def test_no_method_is_added_at_import():
    """Every member of the module's classes is the module's own: none is a
    Python function put there by the package."""
    for name, cls in module_classes().items():
        for member, value in vars(cls).items():
            assert not isinstance(value, types.FunctionType), f"{name}.{member}"
