# SPDX-License-Identifier: MIT
"""The heaviest tick's benchmark, briefly: a tick's work must stay far inside
its 20 ms (tools/bench.sh measures it properly against its 0.1 % target; here
the bound is ten times looser, so other jobs on the machine cannot fail it)."""
import json
import os
import subprocess

from zarn_test import BUILD


def test_bench_heaviest_tick_within_a_hundredth_of_its_budget():
    out = subprocess.run([os.path.join(BUILD, "tests", "bench", "zarn_tick_bench"),
                          "--benchmark_format=json", "--benchmark_min_time=0.3"],
                         capture_output=True, text=True, check=True, timeout=120).stdout
    b = json.loads(out)["benchmarks"][0]
    # The benchmark reports it when the state did not stay at its heaviest.
    assert "error_message" not in b, b["error_message"]
    seconds = b["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[b["time_unit"]]
    assert b["iterations"] > 1000 and seconds < 0.01 * 0.020, seconds
