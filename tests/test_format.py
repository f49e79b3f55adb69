# SPDX-License-Identifier: MIT
"""The C++ sources keep the project's clang-format style."""
import os
import subprocess

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def test_sources_are_formatted():
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=TOP, capture_output=True,
                           text=True, check=True).stdout.split()
    assert files
    proc = subprocess.run(["clang-format", "--dry-run", "--Werror", *files], cwd=TOP,
                          capture_output=True, text=True)
    assert proc.returncode == 0, proc.stderr[-3000:]
