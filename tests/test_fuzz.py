# SPDX-License-Identifier: MIT
"""The libFuzzer targets for a few seconds each, through the documented
command: every committed input (the crashes found so far among them) runs
first, then new inputs; any crash, leak or broken property fails."""
import os
import re
import subprocess

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def fuzz(target, seconds):
    proc = subprocess.run([os.path.join(TOP, "tools", "fuzz.sh"), target, str(seconds)],
                          capture_output=True, text=True, timeout=seconds + 120)
    assert proc.returncode == 0, proc.stderr[-5000:]
    runs = int(re.search(r"Done (\d+) runs", proc.stderr).group(1))
    corpus = os.listdir(os.path.join(TOP, "tests", "fuzz", "corpus", target))
    assert runs > len(corpus) + 100, f"only {runs} runs"


def test_fuzz_hiscore_reader():
    fuzz("hiscore", 3)


def test_fuzz_script_reader():
    fuzz("script", 3)


def test_fuzz_pack_check():
    fuzz("pack", 6)


def test_fuzz_unknown_target_is_refused():
    proc = subprocess.run([os.path.join(TOP, "tools", "fuzz.sh"), "nosuch", "1"],
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 2 and "no target 'nosuch'" in proc.stderr
