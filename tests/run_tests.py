#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs every test of the project, or those whose names hold WORD, and ends
with one summary line; HACKING.md ("Adding a test", "The suite") says what a
test is to it, and ONE_AT_A_TIME and BESIDE_OTHERS.

    run_tests.py BUILD_DIR [ASAN_BUILD_DIR] [-k WORD] [-j N]"""
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


FILE_BUILDS = {}  # each file's BUILDS (collect fills it)
# The builds the runner makes beside the tests, each holding back the tests
# that need it until it is made. tools/test.sh makes build/ and build-asan/,
# which every test needs, before.
BESIDE = ("web", "tsan", "release", "fuzz")


def collect(word):
    """(name, file, function, under node) of the chosen tests, and the builds
    they need, read from the files' text: nothing is imported here. Those
    that need a build of their own come first: they are the long ones, and
    the page's, each a browser playing in real time, the longest."""
    tests, needs, heavy, alone, beside = [], set(), set(), set(), set()
    for fname in sorted(f for f in os.listdir(HERE) if f.startswith("test_") and f.endswith(".py")):
        text = open(os.path.join(HERE, fname)).read()
        def names(tuple_name):  # the words of `NAME = ("a", "b")`
            m = re.search(rf"^{tuple_name} = \(([^)]*)\)", text, re.M)
            return set(re.findall(r'"(\w+)"', m[1])) if m else set()
        builds = FILE_BUILDS[fname] = names("BUILDS")
        if builds:
            heavy.add(fname)
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
    tests.sort(key=lambda t: (not (t[3] or t[1] in heavy), t[3] or "web" not in FILE_BUILDS[t[1]]))
    grouped = lambda t: t[1] in alone and not t[3] and t[2] not in beside
    groups = {f: [t for t in tests if t[1] == f and grouped(t)] for f in alone}
    # A group is as long as its tests together: it comes first of all.
    tests = [("group", f, g) for f, g in groups.items() if g] + [t for t in tests if not grouped(t)]
    return tests, needs


def job_name(job):
    return job[2] if job[0] == "unit" else job[1] if job[0] == "group" else job[0]


def job_needs(job):
    """The builds made beside the tests that a job waits for."""
    if job[0] == "unit":
        return set()
    return set(BESIDE) & (FILE_BUILDS[job[1]] | ({"web"} if job[0] != "group" and job[3] else set()))


def make(build):
    """Makes one build beside the tests: None once made, else why not."""
    try:
        if build == "web":
            # The page and its driver, made once here for the workers' caches.
            import webpage
            import zarn_test
            webpage.built(), webpage.node_modules(), zarn_test.node_trace()
            return None
        out = subprocess.run([os.path.join(TOOLS, "setup.sh"), "--only", f"--{build}"],
                             capture_output=True, text=True, timeout=1800)
        return None if out.returncode == 0 else out.stdout[-2000:] + out.stderr[-2000:]
    except Exception:
        return traceback.format_exc()


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
    a = ap.parse_args()
    tests, needs = collect(a.word)
    if not a.builds:
        ap.error("a build folder is needed")
    builds = [os.path.abspath(b) for b in a.builds]
    os.environ["ZARN_BUILD"], os.environ["ZARN_TRACE_BUILD"] = builds[0], builds[-1]
    jobs = list(tests)
    if a.word is None or a.word == "unit":
        jobs += [("unit", build, label) for build, label in zip(builds, ["unit", "unit-asan"])]
    # The slowest first, so that none starts last and runs on alone; those
    # not timed yet before all, in the order collect gave them. A checkout
    # with no times of its own takes those of a fresh clone's run kept in
    # tests/times.json (a copy of its build/test-times.json): its tests
    # that make their own builds are slower than later runs'.
    times_file = os.path.join(builds[0], "test-times.json")
    times = {}
    for known in (os.path.join(HERE, "times.json"), times_file):
        if os.path.exists(known):
            times.update(json.load(open(known)))
    jobs.sort(key=lambda j: -times.get(job_name(j), float("inf")))
    n = max(1, min(a.jobs, len(jobs)))
    sys.path[:0] = [HERE, TOOLS]
    queue, done = multiprocessing.Queue(), multiprocessing.Queue()
    workers = [multiprocessing.Process(target=worker, args=(r, queue, done)) for r in display_ranges(n)]
    for w in workers:
        w.start()
    # The builds one after another, begun once the workers are forked (which
    # copies no thread); each tells the loop below when it is made. Side by
    # side they starved the tests and each other (a fresh clone's page took
    # 170 s to build, 39 s alone), and at a low priority the tests starved
    # them; the page comes first, as the tests that wait for it are the
    # longest.
    building = [b for b in BESIDE if b in needs]
    threading.Thread(target=lambda: [done.put(("made", b, make(b))) for b in building], daemon=True).start()
    results, running, waiting, idle, made = [], n, {job_name(j) for j in jobs}, n, set()
    while running:
        # A free worker takes the slowest job whose builds are made; once
        # none is left to give, each is told to end.
        while idle and jobs:
            ready = [j for j in jobs if job_needs(j) <= made]
            if not ready:
                break
            jobs.remove(ready[0])
            queue.put(ready[0])
            idle -= 1
        if not jobs and building is not None:
            for _ in range(n):
                queue.put(None)
            building = None
        try:
            item = done.get(timeout=10)
        except Empty:
            if any(w.is_alive() for w in workers):
                continue
            break  # a worker died with its job
        if item is None:
            running -= 1
            continue
        if item[0] == "made":
            _, build, why = item
            made.add(build)
            if why:  # its tests fail with the reason, and are not run
                for job in [j for j in jobs if build in job_needs(j)]:
                    jobs.remove(job)
                    waiting.discard(job_name(job))
                    names = [t[0] for t in job[2]] if job[0] == "group" else [job[0]]
                    results += [(name, False, f"the {build} build failed:\n{why}") for name in names]
                    print(f"FAIL {job_name(job)} (the {build} build failed)", flush=True)
            continue
        job, out, secs = item
        idle += 1
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
