#!/usr/bin/env python3
"""Whole-process batch figures of nrbx-export: one call converts N pattern files, timed from the start of
the process to its end; contenders run in turn, alternating, so a busy moment hits them alike.

export_batch.py [--folder DIR] [--files N] [--runs R] [--cases CASE,...] [--python] LABEL=NRBX_EXPORT...

Inputs and outputs live in DIR (default /dev/shm, memory-backed; give a folder on a disk for disk
figures). Sprite-like inputs are the demo's 256 sprites shuffled anew for each file, random inputs are
random bytes (16 colours in noise); both seeded, so every run and every contender sees the same files.
The palette is samples/demo.pal. --python adds bench/py_export.py (the same conversion in Python) to the
cases it can do. Prints, per case and contender, the median and lowest time per file over the runs and
the total size of the written files.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "..", "samples")

# name: (inputs, nrbx-export options, py_export.py options or None)
CASES = {
    "bmp24": ("sprite", [], []),
    "bmp8": ("sprite", ["-d", "8"], None),
    "bmp4": ("sprite", ["-d", "4"], None),
    "png24": ("sprite", ["-f", "png"], ["--png"]),
    "png8": ("sprite", ["-f", "png", "-d", "8", "--indexed", "sprite"], ["--png", "--indexed"]),
    "png24-random": ("random", ["-f", "png"], ["--png"]),
}


def make_inputs(folder, kind, count):
    where = os.path.join(folder, "nrbx-batch-in-%s-%d" % (kind, count))
    if os.path.isdir(where) and len(os.listdir(where)) == count:
        return where
    shutil.rmtree(where, ignore_errors=True)
    os.makedirs(where)
    rng = random.Random(23)
    with open(os.path.join(SAMPLES, "demo.pcg"), "rb") as f:
        demo = f.read()
    sprites = [demo[i * 128:(i + 1) * 128] for i in range(256)]
    for n in range(count):
        if kind == "sprite":
            order = list(range(256))
            rng.shuffle(order)
            data = b"".join(sprites[k] for k in order)
        else:
            data = rng.randbytes(32768)
        with open(os.path.join(where, "p%04d.pcg" % n), "wb") as f:
            f.write(data)
    return where


def run_once(command, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    size = sum(os.path.getsize(os.path.join(out, name)) for name in os.listdir(out))
    return seconds, size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", default="/dev/shm")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cases", default=",".join(CASES))
    parser.add_argument("--python", action="store_true")
    parser.add_argument("contenders", nargs="+", help="LABEL=path of an nrbx-export")
    args = parser.parse_args()
    palette = os.path.join(SAMPLES, "demo.pal")
    out = os.path.join(args.folder, "nrbx-batch-out-%d" % os.getpid())
    print("folder %s, %d files a call, %d runs, load %.2f" % (args.folder, args.files, args.runs,
                                                              os.getloadavg()[0]))
    print("%-13s %-10s %12s %12s %12s" % ("case", "contender", "median ms/f", "min ms/f", "bytes"))
    for case in args.cases.split(","):
        kind, options, py_options = CASES[case]
        inputs = make_inputs(args.folder, kind, args.files)
        patterns = sorted(os.path.join(inputs, n) for n in os.listdir(inputs))
        commands = []
        for contender in args.contenders:
            label, binary = contender.split("=", 1)
            commands.append((label, [binary, "-p", palette, "-O", out] + options + patterns))
        if args.python and py_options is not None:
            script = os.path.join(HERE, "py_export.py")
            commands.append(("python", [sys.executable, script, "-p", palette, "-O", out] + py_options +
                             patterns))
        times = {label: [] for label, _ in commands}
        sizes = {}
        for r in range(args.runs):
            # Turns rotate, so no contender always runs first (or right after the heaviest one).
            for label, command in commands[r % len(commands):] + commands[:r % len(commands)]:
                seconds, size = run_once(command, out)
                times[label].append(seconds)
                sizes[label] = size
        for label, _ in commands:
            t = times[label]
            print("%-13s %-10s %12.3f %12.3f %12d" % (case, label, statistics.median(t) * 1e3 / args.files,
                                                      min(t) * 1e3 / args.files, sizes[label]))
        sys.stdout.flush()
    shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main()
