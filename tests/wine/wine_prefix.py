#!/usr/bin/env python3
"""One Wine prefix and one Xvfb for all the tests of the Windows build.

    wine_prefix.py setup STATE PREFIX   makes the prefix, starts the server
    wine_prefix.py cleanup STATE        stops both and removes the prefix
    wine_prefix.py run STATE -- PROGRAM.exe [ARGS...]
                                        runs a Windows program in them

Making a prefix takes about fifteen seconds, so the tests share one; they
take turns in it, since every Windows program there sees the others'
windows and the one capture file c:\\lumigrabtemp.raw. A persistent Wine
server keeps Wine's own processes running between the tests."""

import json
import os
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import xvfb  # noqa: E402

# Neither the .NET nor the HTML engine is needed, and their installers
# would ask on the screen.
DLL_OVERRIDES = "mscoree=;mshtml="
SERVER_WAIT = 60  # seconds


def load(state_path):
    with open(state_path) as f:
        return json.load(f)


def environment(state, extra=None):
    env = dict(os.environ)
    env.update({
        "DISPLAY": state["display"],
        "WINEPREFIX": state["prefix"],
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": DLL_OVERRIDES,
        "LIBGL_ALWAYS_SOFTWARE": "1",
    })
    for variable in ("LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS"):
        env.pop(variable, None)
    env.update(extra or {})
    return env


def windows_processes(prefix, names):
    """Process ids of the programs called `names` (e.g. "lumigrab.exe")
    that run in `prefix`. Wine shows a program's command line as its own,
    which names it as it was started: with or without a folder or ".exe"."""

    def bare(name):
        name = name.replace("\\", "/").rsplit("/", 1)[-1].lower()
        return name[:-4] if name.endswith(".exe") else name

    wanted = {bare(name) for name in names}
    found = []
    marker = ("WINEPREFIX=" + prefix).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                program = f.read().split(b"\0")[0].decode(errors="replace")
            with open("/proc/%s/environ" % entry, "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if bare(program.strip()) in wanted and marker in environ:
            found.append(int(entry))
    return found


def kill_windows_processes(prefix, names):
    for pid in windows_processes(prefix, names):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def setup(state_path, prefix):
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    log = open(state_path + ".xvfb.log", "ab")
    server, display = xvfb.start(noreset=True, log=log)
    state = {"display": display, "xvfb": server.pid, "prefix": prefix}
    # Written first, so the cleanup finds the server even if the rest fails.
    with open(state_path, "w") as f:
        json.dump(state, f)
    env = environment(state)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    started = time.monotonic()
    subprocess.run(["wineserver", "-p"], env=env, check=True, timeout=SERVER_WAIT, **quiet)
    subprocess.run(["wineboot", "--init"], env=env, check=True, timeout=300, **quiet)
    print("Wine prefix %s ready on %s in %.1f s" % (prefix, display, time.monotonic() - started))


def cleanup(state_path):
    try:
        state = load(state_path)
    except (OSError, ValueError):
        return
    env = environment(state)
    subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=SERVER_WAIT)
    try:
        os.kill(state["xvfb"], signal.SIGTERM)
    except ProcessLookupError:
        pass
    shutil.rmtree(state["prefix"], ignore_errors=True)
    os.unlink(state_path)


def run(state_path, command):
    state = load(state_path)
    try:
        return subprocess.run(["wine"] + command, env=environment(state),
                              stdin=subprocess.DEVNULL).returncode
    finally:
        kill_windows_processes(state["prefix"], ["lumigrab.exe"] +
                               [os.path.basename(command[0])])


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "setup":
        setup(os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3]))
    elif len(sys.argv) >= 3 and sys.argv[1] == "cleanup":
        cleanup(os.path.abspath(sys.argv[2]))
    elif len(sys.argv) >= 5 and sys.argv[1] == "run" and sys.argv[3] == "--":
        sys.exit(run(os.path.abspath(sys.argv[2]), sys.argv[4:]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
