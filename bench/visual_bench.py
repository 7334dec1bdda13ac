#!/usr/bin/env python3
"""Display passes per second of each visualiser beside its limit variant.

Each program runs full screen on its own 640 x 480 Xvfb from a fixed capture
file; a preloaded library counts its buffer swaps from outside the program
and reports passes per second and peak memory.
"""
import argparse
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import xvfb  # noqa: E402

WIDTH, HEIGHT = 160, 120


def capture_frame():
    """A colourful picture with both bright and dark parts (BGR, 57,600 bytes)."""
    out = bytearray()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            red = (x * 255) // (WIDTH - 1)
            green = (y * 255) // (HEIGHT - 1)
            blue = int(127.5 + 127.5 * math.sin(x / 9.0) * math.cos(y / 7.0))
            out += bytes([blue, green, red])
    return bytes(out)


def measure(binary, env, seconds, warmup):
    out = os.path.join(env["XDG_RUNTIME_DIR"], "figures")
    if os.path.exists(out):
        os.remove(out)
    env = dict(env, LUMIVIS_BENCH_OUT=out, LUMIVIS_BENCH_SECONDS=str(seconds),
               LUMIVIS_BENCH_WARMUP=str(warmup))
    try:
        subprocess.run([binary], env=env, timeout=warmup + seconds + 60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return None
    if not os.path.exists(out):
        return None
    with open(out) as f:
        return dict(item.split("=") for item in f.read().split())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build-bench", help="the benchmark build directory")
    parser.add_argument("--seconds", type=float, default=10, help="measuring time per run")
    parser.add_argument("--warmup", type=float, default=3, help="seconds before measuring")
    parser.add_argument("--rounds", type=int, default=1, help="runs per program, medians shown")
    parser.add_argument("programs", nargs="*",
                        help="the programs to measure (default: all of the build's programs.txt)")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    counter = os.path.join(build, "bench", "libswap_counter.so")
    listed = os.path.join(build, "programs.txt")
    programs = args.programs
    if not programs and os.path.exists(listed):
        with open(listed) as f:
            programs = f.read().split()
    for path in [counter, listed] + [os.path.join(build, p) for p in programs]:
        if not os.path.exists(path):
            sys.exit(f"missing {path}: build with -DLUMIVIS_BUILD_BENCH=ON first")

    workdir = tempfile.mkdtemp(prefix="visual-bench-")
    os.chmod(workdir, 0o700)
    with open(os.path.join(workdir, "lumigrabtemp.raw"), "wb") as f:
        f.write(capture_frame())
    # A stand-in agent, so no real one competes for the processor.
    stand_in = os.path.join(workdir, "lumigrab")
    with open(stand_in, "w") as f:
        f.write("#!/bin/sh\nexit 0\n")
    os.chmod(stand_in, 0o755)

    server, display = xvfb.start(f"{WIDTH * 4}x{HEIGHT * 4}x24")
    env = dict(os.environ, DISPLAY=display, XDG_RUNTIME_DIR=workdir, LD_PRELOAD=counter,
               PATH=workdir + os.pathsep + os.environ.get("PATH", ""))
    print(f"{'program':<11} {'passes/s':>9} {'ms/pass':>8} {'limit/s':>9} {'limit ms':>9}"
          f" {'ratio':>6} {'peak MiB':>9}")
    try:
        for program in programs:
            # Not every program need have a limit variant.
            limit_binary = os.path.join(build, "bench", program + "_limit")
            has_limit = os.path.exists(limit_binary)
            runs, limits = [], []
            for _ in range(args.rounds):
                runs.append(measure(os.path.join(build, program), env, args.seconds, args.warmup))
                if has_limit:
                    limits.append(measure(limit_binary, env, args.seconds, args.warmup))
            if None in runs or None in limits:
                print(f"{program:<11} did not report")
                continue
            rate = statistics.median(float(r["rate"]) for r in runs)
            peak = max(int(r["peak_kib"]) for r in runs) / 1024
            if has_limit:
                limit = statistics.median(float(r["rate"]) for r in limits)
                figures = f"{limit:9.1f} {1000 / limit:9.2f} {limit / rate:6.2f}"
            else:
                figures = f"{'-':>9} {'-':>9} {'-':>6}"
            print(f"{program:<11} {rate:9.1f} {1000 / rate:8.2f} {figures} {peak:9.1f}",
                  flush=True)
    finally:
        xvfb.stop(server)
        shutil.rmtree(workdir, ignore_errors=True)
    print("ratio: a program's pass time over its limit variant's (target: at most 1.30)")


if __name__ == "__main__":
    main()
