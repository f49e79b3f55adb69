# SPDX-License-Identifier: MIT
"""The libFuzzer targets for a few seconds each, through the documented
command: every committed input (the crashes found so far among them) runs
first, then new inputs; any crash, leak or broken property fails."""
import os
import re
import subprocess

BUILDS = ("fuzz",)
TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def test_fuzz_high_score_reader_script_reader_and_pack_check():
    for target, seconds in (("hiscore", 3), ("script", 3), ("pack", 6)):
        proc = subprocess.run([os.path.join(TOP, "tools", "fuzz.sh"), target, str(seconds)],
                              capture_output=True, text=True, timeout=seconds + 120)
        assert proc.returncode == 0, proc.stderr[-5000:]
        runs = int(re.search(r"Done (\d+) runs", proc.stderr).group(1))
        committed = os.path.join(TOP, "tests", "fuzz", "corpus", target)
        corpus = os.listdir(committed)
        read = sum(os.path.getsize(os.path.join(committed, f)) > 0 for f in corpus)  # libFuzzer skips empty ones
        assert re.search(rf"INFO: +{read} files found in {re.escape(committed)}\n", proc.stderr), \
            f"{target}: the committed inputs did not run"
        assert runs > len(corpus) + 100, f"{target}: only {runs} runs"
