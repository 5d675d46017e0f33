#!/usr/bin/env python3
"""Start-up time to the first shown window and peak resident memory of nrbx, median of several runs.

Each run starts the program with NRBX_EXIT_WHEN_SHOWN set: it writes the moment its main window was
first shown (CLOCK_MONOTONIC) and ends at once. Start-up is that moment minus the moment just before the
process was created; peak memory is the process's maximum resident set size as the kernel counted it.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import time

SHOWN = re.compile(rb"^nrbx: shown at (\d+)$", re.MULTILINE)


def one_run(program, env):
    started = time.monotonic_ns()
    child = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    errors = child.stderr.read()
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"{program} ended with status {child.returncode}:\n{errors.decode(errors='replace')}")
    shown = SHOWN.search(errors)
    if not shown:
        sys.exit(f"{program} never reported its window shown:\n{errors.decode(errors='replace')}")
    return (int(shown.group(1)) - started) / 1e6, usage.ru_maxrss / 1024


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program", nargs="?", default=os.path.join(here, "..", "..", "build", "bin", "nrbx"))
    parser.add_argument("--runs", type=int, default=11, help="timed runs (default 11), after one untimed")
    parser.add_argument("--platform", default="offscreen", help="QT_QPA_PLATFORM (default offscreen)")
    args = parser.parse_args()

    env = dict(os.environ, QT_QPA_PLATFORM=args.platform, NRBX_EXIT_WHEN_SHOWN="1")
    one_run(args.program, env)  # warms the page cache and the font cache
    runs = [one_run(args.program, env) for _ in range(args.runs)]
    for i, (ms, mib) in enumerate(runs, 1):
        print(f"run {i:2}: start-up {ms:7.1f} ms, peak memory {mib:6.1f} MiB")
    times = [ms for ms, _ in runs]
    memory = [mib for _, mib in runs]
    print(f"median of {len(runs)}: start-up {statistics.median(times):.1f} ms "
          f"(min {min(times):.1f}, max {max(times):.1f}), "
          f"peak memory {statistics.median(memory):.1f} MiB (max {max(memory):.1f})")


if __name__ == "__main__":
    main()
