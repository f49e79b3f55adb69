#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs every test of the project and ends with one summary line.

Python tests are the functions named test_* in tests/test_*.py; each passes
unless it raises. The C++ unit tests are one GoogleTest program per build,
counted test by test. Usage: run_tests.py BUILD_DIR [ASAN_BUILD_DIR] [-k WORD]
"""
import argparse
import os
import re
import runpy
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))


def run_unit(build, label, results):
    exe = os.path.join(build, "tests", "zarn_unit_tests")
    if not os.path.exists(exe):
        return results.append((f"{label}: zarn_unit_tests", False, "not built"))
    proc = subprocess.run([exe], capture_output=True, text=True, cwd=build, timeout=600,
                          env={"ASAN_OPTIONS": "detect_leaks=1", **os.environ})
    names = re.findall(r"^\[\s+(OK|FAILED)\s+\] (\S+) \(", proc.stdout, re.M)
    results += [(f"{label}: {name}", verdict == "OK", "") for verdict, name in names]
    if proc.returncode != 0 and all(v == "OK" for v, _ in names):
        results.append((f"{label}: zarn_unit_tests exit", False,
                        proc.stdout[-2000:] + proc.stderr[-2000:]))


def main():
    ap = argparse.ArgumentParser(description="Runs every test, or those whose names hold WORD.")
    ap.add_argument("builds", nargs="+", metavar="BUILD_DIR [ASAN_BUILD_DIR]")
    ap.add_argument("-k", dest="word")
    a = ap.parse_args()
    args, word = a.builds, a.word
    os.environ["ZARN_BUILD"] = os.path.abspath(args[0])
    os.environ["ZARN_TRACE_BUILD"] = os.path.abspath(args[-1])
    results = []
    if word is None or word == "unit":
        for build, label in [(args[0], "unit")] + [(b, "unit-asan") for b in args[1:]]:
            run_unit(os.path.abspath(build), label, results)
    # The tests use tools/ (its drivers and the benchmark's measures); the
    # page's test runs a few other tests' replays under node.
    sys.path[:0] = [HERE, os.path.join(HERE, "..", "tools")]
    for fname in sorted(f for f in os.listdir(HERE) if f.startswith("test_") and f.endswith(".py")):
        try:
            tests = runpy.run_path(os.path.join(HERE, fname))
        except Exception:
            results.append((fname, False, traceback.format_exc()))
            continue
        for name in sorted(n for n in tests if n.startswith("test_")):
            full = f"{fname[:-3]}.{name}"
            if word and word not in full:
                continue
            start = time.time()
            try:
                tests[name]()
                results.append((full, True, ""))
            except Exception:
                results.append((full, False, traceback.format_exc()))
            print(f"{'ok  ' if results[-1][1] else 'FAIL'} {full} ({time.time() - start:.1f}s)", flush=True)
    failed = [r for r in results if not r[1]]
    for name, _, why in failed:
        print(f"\n--- FAILED {name}\n{why}")
    print(f"\n{len(results) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
