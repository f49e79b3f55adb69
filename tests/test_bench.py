"""The heaviest tick's benchmark, briefly: a tick's work must stay far inside
its 20 ms (tools/bench.sh measures it properly against its 0.1 % target; here
the bound is ten times looser, so other jobs on the machine cannot fail it)."""
import json
import os
import subprocess
import time

from xwindow import Window, xserver
from zarn_test import BUILD, scratch


def test_bench_heaviest_tick_within_a_hundredth_of_its_budget():
    out = subprocess.run([os.path.join(BUILD, "tests", "bench", "zarn_tick_bench"),
                          "--benchmark_format=json", "--benchmark_min_time=0.3"],
                         capture_output=True, text=True, check=True, timeout=120).stdout
    b = json.loads(out)["benchmarks"][0]
    # The benchmark reports it when the state did not stay at its heaviest.
    assert "error_message" not in b, b["error_message"]
    seconds = b["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[b["time_unit"]]
    assert b["iterations"] > 1000 and seconds < 0.01 * 0.020, seconds


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def test_bench_real_game_sleeps_between_ticks():
    # A loop that spins, or wakes every millisecond, takes 10 % to 100 % of a
    # core here; one that sleeps until the next tick about 2 % to 3 %.
    with xserver() as env:
        win = Window(env, scratch(), "cpu", command=[os.path.join(BUILD, "zarn")])
        try:
            win.press("2")
            shares = []
            for keys in ([], ["Return"]):  # the title screen, then a game
                for k in keys:
                    win.press(k)
                before, t0 = cpu_seconds(win.proc.pid), time.monotonic()
                time.sleep(4)
                shares.append((cpu_seconds(win.proc.pid) - before) / (time.monotonic() - t0))
            code, err = win.quit_from_game()
        finally:
            win.kill()
    assert code == 0, err
    assert max(shares) < 0.06, shares
