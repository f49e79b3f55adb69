#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs every test of the project, or those whose names hold WORD, and ends
with one summary line; HACKING.md ("Adding a test", "The suite") says what a
test is to it, and ONE_AT_A_TIME and BESIDE_OTHERS.

    run_tests.py BUILD_DIR [ASAN_BUILD_DIR] [-k WORD] [-j N]
    run_tests.py --needs [-k WORD]     the builds the chosen tests need"""
import argparse
import inspect
import json
import multiprocessing
import os
import re
import runpy
import subprocess
import sys
import tempfile
import threading
import time
import traceback
from queue import Empty

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "tools")
# The variant of a replay that runs the browser build's tool under node.
NODE = "[web]"


WEB_FILES = set()  # the files whose tests need the page (collect fills it)


def collect(word):
    """(name, file, function, under node) of the chosen tests, and the builds
    they need, read from the files' text: nothing is imported here. Those
    that need a build of their own come first: they are the long ones."""
    tests, needs, heavy, alone, beside = [], set(), set(), set(), set()
    for fname in sorted(f for f in os.listdir(HERE) if f.startswith("test_") and f.endswith(".py")):
        text = open(os.path.join(HERE, fname)).read()
        def names(tuple_name):  # the words of `NAME = ("a", "b")`
            m = re.search(rf"^{tuple_name} = \(([^)]*)\)", text, re.M)
            return set(re.findall(r'"(\w+)"', m[1])) if m else set()
        builds = names("BUILDS")
        if builds:
            heavy.add(fname)
        if "web" in builds:
            WEB_FILES.add(fname)
        # A file that runs one at a time runs its tests as one job, in file
        # order, but for those it names in BESIDE_OTHERS.
        if re.search(r"^ONE_AT_A_TIME = True", text, re.M):
            alone.add(fname)
            beside |= names("BESIDE_OTHERS")
        for name, params in re.findall(r"^def (test_\w+)\(([^)]*)\)", text, re.M):
            for node in [False, True] if "tool" in params else [False]:
                full = f"{fname[:-3]}.{name}{NODE if node else ''}"
                if word and word not in full:
                    continue
                tests.append((full, fname, name, node))
                needs |= builds | ({"web"} if node else set())
    tests.sort(key=lambda t: not (t[3] or t[1] in heavy))
    grouped = lambda t: t[1] in alone and not t[3] and t[2] not in beside
    groups = {f: [t for t in tests if t[1] == f and grouped(t)] for f in alone}
    # A group is as long as its tests together: it comes first of all.
    tests = [("group", f, g) for f, g in groups.items() if g] + [t for t in tests if not grouped(t)]
    return tests, needs


def job_name(job):
    return job[2] if job[0] == "unit" else job[1] if job[0] == "group" else job[0]


def run_unit(build, label):
    exe = os.path.join(build, "tests", "zarn_unit_tests")
    if not os.path.exists(exe):
        return [(f"{label}: zarn_unit_tests", False, "not built")]
    proc = subprocess.run([exe], capture_output=True, text=True, cwd=build, timeout=600,
                          env={"ASAN_OPTIONS": "detect_leaks=1", **os.environ})
    names = re.findall(r"^\[\s+(OK|FAILED)\s+\] (\S+) \(", proc.stdout, re.M)
    results = [(f"{label}: {name}", verdict == "OK", "") for verdict, name in names]
    if proc.returncode != 0 and all(v == "OK" for v, _ in names):
        results.append((f"{label}: zarn_unit_tests exit", False, proc.stdout[-2000:] + proc.stderr[-2000:]))
    return results


def run_one(job, loaded):
    """One job's results: (name, passed, why) each."""
    if job[0] == "unit":
        return run_unit(*job[1:])
    if job[0] == "group":
        return [r for one in job[2] for r in run_one(one, loaded)]
    full, fname, name, node = job
    if fname not in loaded:
        try:
            loaded[fname] = runpy.run_path(os.path.join(HERE, fname))
        except Exception:
            loaded[fname] = traceback.format_exc()
    if isinstance(loaded[fname], str):
        return [(full, False, loaded[fname])]
    try:
        test = loaded[fname][name]
        if "tool" in inspect.signature(test).parameters:
            import zarn_test
            test(tool=zarn_test.node_trace() if node else zarn_test.TRACE)
        else:
            test()
        return [(full, True, "")]
    except Exception:
        return [(full, False, traceback.format_exc())]


def worker(displays, jobs, results):
    """Runs jobs until the None at the end: its own displays and temporary
    folder, so that sessions side by side never take each other's."""
    os.environ["ZARN_DISPLAYS"] = displays
    os.environ["TMPDIR"] = tempfile.mkdtemp(prefix="zarn-worker-")
    os.chmod(os.environ["TMPDIR"], 0o1777)  # as /tmp: the tests' other users reach their files
    tempfile.tempdir = None
    loaded = {}
    for job in iter(jobs.get, None):
        start = time.time()
        results.put((job, run_one(job, loaded), time.time() - start))
    results.put(None)


def display_ranges(n):
    first, last = (int(v) for v in os.environ.get("ZARN_DISPLAYS", "70-89").split("-"))
    size = (last - first + 1) // n
    assert size >= 2, "too few display numbers for the workers: widen ZARN_DISPLAYS"
    return [f"{first + i * size}-{first + (i + 1) * size - 1}" for i in range(n)]


def main():
    ap = argparse.ArgumentParser(description="Runs every test, or those whose names hold WORD.")
    ap.add_argument("builds", nargs="*", metavar="BUILD_DIR [ASAN_BUILD_DIR]")
    ap.add_argument("-k", dest="word")
    ap.add_argument("-j", dest="jobs", type=int, default=int(os.environ.get("ZARN_TEST_JOBS", 3)))
    ap.add_argument("--needs", action="store_true")
    a = ap.parse_args()
    tests, needs = collect(a.word)
    if a.needs:
        print(" ".join(sorted(needs)))
        return 0
    if not a.builds:
        ap.error("a build folder is needed")
    builds = [os.path.abspath(b) for b in a.builds]
    os.environ["ZARN_BUILD"], os.environ["ZARN_TRACE_BUILD"] = builds[0], builds[-1]
    jobs = list(tests)
    if a.word is None or a.word == "unit":
        jobs += [("unit", build, label) for build, label in zip(builds, ["unit", "unit-asan"])]
    # The slowest first, so that none starts last and runs on alone; those
    # not timed yet before all, in the order collect gave them.
    times_file = os.path.join(builds[0], "test-times.json")
    times = json.load(open(times_file)) if os.path.exists(times_file) else {}
    jobs.sort(key=lambda j: -times.get(job_name(j), float("inf")))
    n = max(1, min(a.jobs, len(jobs)))
    sys.path[:0] = [HERE, TOOLS]
    queue, done, held = multiprocessing.Queue(), multiprocessing.Queue(), []

    def prepare_web():
        # The page and its driver made once, here, for the workers' caches;
        # should it fail, each test fails with the reason.
        import webpage
        import zarn_test
        try:
            webpage.built(), webpage.node_modules(), zarn_test.node_trace()
        except Exception:
            pass
    if "web" in needs and not os.path.exists(os.path.join(TOOLS, "..", "build-web", "zarn.html")):
        # A first build of the page takes minutes: the other tests run
        # meanwhile, and those that need it are queued once it is made.
        held = [j for j in jobs if j[0] != "unit" and (j[1] in WEB_FILES or j[0] != "group" and j[3])]
    elif "web" in needs:
        prepare_web()
    for job in [j for j in jobs if j not in held] + ([] if held else [None] * n):
        queue.put(job)
    workers = [multiprocessing.Process(target=worker, args=(r, queue, done)) for r in display_ranges(n)]
    for w in workers:
        w.start()
    if held:  # begun once the workers are forked, which copies no thread
        threading.Thread(target=lambda: [prepare_web()] + [queue.put(j) for j in held + [None] * n],
                         daemon=True).start()
    results, running, waiting = [], n, {job_name(j) for j in jobs}
    while running:
        try:
            item = done.get(timeout=10)
        except Empty:
            if any(w.is_alive() for w in workers):
                continue
            break  # a worker died with its job
        if item is None:
            running -= 1
            continue
        job, out, secs = item
        times[job_name(job)] = round(secs, 1)
        waiting.discard(job_name(job))
        results += out
        if job[0] == "group":  # each test by name, the time the whole file's
            for name, passed, _ in out:
                print(f"{'ok  ' if passed else 'FAIL'} {name}", flush=True)
        print(f"{'ok  ' if all(r[1] for r in out) else 'FAIL'} {job_name(job)} ({secs:.1f}s)", flush=True)
    results += [(lost, False, "its worker ended before it did") for lost in sorted(waiting)]
    for w in workers:
        w.join()
    with open(times_file, "w") as f:
        json.dump(times, f, indent=0, sort_keys=True)
    failed = [r for r in results if not r[1]]
    for name, _, why in failed:
        print(f"\n--- FAILED {name}\n{why}")
    print(f"\n{len(results) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
