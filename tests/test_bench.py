# SPDX-License-Identifier: MIT
"""The heaviest tick's benchmark, briefly: a tick's work must stay far inside
its 20 ms (tools/bench.sh measures it properly against its 0.1 % target; here
the bound is ten times looser, so other jobs on the machine cannot fail it)."""
from bench import tick_bench
from zarn_test import BUILD


def test_bench_heaviest_tick_within_a_hundredth_of_its_budget():
    seconds = tick_bench(BUILD, min_time=0.3)
    assert seconds < 0.01 * 0.020, seconds
