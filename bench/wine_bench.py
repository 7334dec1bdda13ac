#!/usr/bin/env python3
"""Display passes per second of each visualiser's Windows build under Wine
beside the native Linux program, on the same 640 x 480 Xvfb in one run.

Both read the same fixed capture file full screen, with a stand-in agent
that uses no processor. The passes are counted the same way for both, from
outside: each pass opens the capture file once. (Wine calls GLX through
pointers of its own, past a preloaded swap counter.)
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "wine"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import visual_bench  # noqa: E402
import wine_prefix  # noqa: E402
import xharness  # noqa: E402

POLL_SECONDS = 0.005
FIRST_PASS_SECONDS = 60  # Wine starts a program in seconds, slower when the machine is busy


def peak_mib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return float("nan")


def measure(command, env, capture_dir, seconds, warmup):
    """(passes per second, peak MiB) of one run, or None when it drew nothing."""
    counter = xharness.PassWatcher(capture_dir, "lumigrabtemp.raw")
    process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    try:
        started = time.monotonic()
        while counter.poll() == 0 and time.monotonic() - started < FIRST_PASS_SECONDS:
            time.sleep(POLL_SECONDS)
        time.sleep(warmup)
        rate = counter.rate(seconds, POLL_SECONDS)
        peak = peak_mib(process.pid)
    finally:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        counter.close()
    return (rate, peak) if rate > 0 else None


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build-bench", help="the native benchmark build")
    parser.add_argument("--windows", default="build-windows", help="the Windows build")
    parser.add_argument("--seconds", type=float, default=10, help="measuring time per run")
    parser.add_argument("--warmup", type=float, default=3, help="seconds before measuring")
    parser.add_argument("--rounds", type=int, default=1, help="runs per program, medians shown")
    parser.add_argument("programs", nargs="*",
                        help="the programs to measure (default: all of the build's programs.txt)")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    windows = os.path.abspath(args.windows)
    programs = args.programs
    if not programs:
        with open(os.path.join(build, "programs.txt")) as f:
            programs = f.read().split()
    needed = [os.path.join(windows, "stand_in_agent.exe")]
    needed += [os.path.join(build, p) for p in programs]
    needed += [os.path.join(windows, p + ".exe") for p in programs]
    for path in needed:
        if not os.path.exists(path):
            sys.exit(f"missing {path}: run scripts/build-windows.sh and build the benchmarks")

    workdir = tempfile.mkdtemp(prefix="wine-bench-")
    os.chmod(workdir, 0o700)
    frame = visual_bench.capture_frame()
    with open(os.path.join(workdir, "lumigrabtemp.raw"), "wb") as f:
        f.write(frame)
    stand_in = os.path.join(workdir, "lumigrab")
    with open(stand_in, "w") as f:
        f.write("#!/bin/sh\nexit 0\n")
    os.chmod(stand_in, 0o755)
    # The Windows programs run from a folder of their own, as unpacked from
    # the zip, with an agent beside them that only waits.
    folder = os.path.join(workdir, "windows")
    os.mkdir(folder)
    for program in programs:
        shutil.copy(os.path.join(windows, program + ".exe"), folder)
    shutil.copy(os.path.join(windows, "stand_in_agent.exe"), os.path.join(folder, "lumigrab.exe"))

    state_path = os.path.join(workdir, "wine-state.json")
    print(f"{'program':<11} {'native/s':>9} {'Wine/s':>9} {'ratio':>6} {'Wine MiB':>9}")
    try:
        wine_prefix.setup(state_path, os.path.join(workdir, "prefix"))
        state = wine_prefix.load(state_path)
        with open(os.path.join(state["prefix"], "drive_c", "lumigrabtemp.raw"), "wb") as f:
            f.write(frame)
        drive_c = os.path.join(state["prefix"], "drive_c")
        with open(os.path.join(drive_c, "lumigrabtemp.raw"), "wb") as f:
            f.write(frame)
        native_env = dict(os.environ, DISPLAY=state["display"], XDG_RUNTIME_DIR=workdir,
                          PATH=workdir + os.pathsep + os.environ.get("PATH", ""))
        wine_env = wine_prefix.environment(state)
        for program in programs:
            natives, wines = [], []
            for _ in range(args.rounds):
                natives.append(measure([os.path.join(build, program)], native_env, workdir,
                                       args.seconds, args.warmup))
                wines.append(measure(["wine", os.path.join(folder, program + ".exe")], wine_env,
                                     drive_c, args.seconds, args.warmup))
                wine_prefix.kill_windows_processes(state["prefix"], ["lumigrab.exe"])
            if None in natives or None in wines:
                print(f"{program:<11} did not draw")
                continue
            native = statistics.median(r[0] for r in natives)
            wine = statistics.median(r[0] for r in wines)
            peak = max(r[1] for r in wines)
            print(f"{program:<11} {native:9.1f} {wine:9.1f} {native / wine:6.2f} {peak:9.1f}",
                  flush=True)
    finally:
        wine_prefix.cleanup(state_path)
        shutil.rmtree(workdir, ignore_errors=True)
    print("ratio: a pass's time under Wine over the native program's (goal: at most 1.30)")


if __name__ == "__main__":
    main()
