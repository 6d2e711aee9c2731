"""The tools' tests: the package under test, and a copy of the tools in a
tree of the test's own (they write its build/ and dist/)."""

import os
import shutil
import subprocess
import sys

import pytest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "scripts"))


@pytest.fixture
def tree(tmp_path):
    shutil.copytree(os.path.join(SOURCE, "scripts"), tmp_path / "scripts")
    return tmp_path


def launcher(kind="windowed"):
    """The built launcher (CTest gives its path), windowed or console."""
    path = os.environ.get("TAVRINC_EXE" if kind == "console" else "TAVRIN_EXE")
    if not path:
        path = os.path.join(SOURCE, "dist", "tavrinc.exe" if kind == "console" else "tavrin.exe")
    assert os.path.isfile(path), "build the launcher first: " + path
    return path


def run_tool(tree, tool, *arguments):
    return subprocess.run([str(tree / "scripts" / (tool + ".sh")), *arguments], cwd=tree,
                          capture_output=True, text=True)


def table(msi, name):
    """A table's rows, each a list of its fields."""
    text = subprocess.run(["msiinfo", "export", str(msi), name], capture_output=True,
                          check=True).stdout.decode("cp1252")
    return [line.split("\t") for line in text.split("\r\n")[3:] if line]
