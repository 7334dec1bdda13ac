#!/usr/bin/env python3
"""Photographs every program of a build, each on its own screen of a private
Xvfb fed by the capture agent's built-in picture, joins the pictures into
one and makes each program's icons from its own (scripts/icons.sh). Given
program names, makes only their icons. scripts/screenshots.sh builds the
programs first."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "tests"))
import program_expectations  # noqa: E402
import xvfb  # noqa: E402

AGENT_START = 2  # seconds for the agent's first frames
WINDOW_START = 1  # seconds before the pointer can steer the window
SETTLE = 7  # seconds for the view to glide to the pointer's angles


def viewer_window(env):
    """The full-screen window's id, or None."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], env=env, capture_output=True,
                          text=True).stdout
    for line in tree.splitlines():
        if "640x480+0+0" in line:
            return line.split()[0]
    return None


def photograph(binary, program, env, path):
    process = subprocess.Popen([binary], env=env)
    try:
        time.sleep(WINDOW_START)
        # Motion inside the full-screen window is what steers it.
        x, y = program_expectations.load(program).screenshot_pointer
        subprocess.run(["xdotool", "mousemove", "1", "1", "mousemove", str(x), str(y)], env=env,
                       check=True)
        time.sleep(SETTLE)
        subprocess.run(["import", "-window", "root", path], env=env, check=True)
        window = viewer_window(env)
        quit_by_key = window is not None and subprocess.run(
            ["xdotool", "windowfocus", "--sync", window, "key", "Escape"], env=env).returncode == 0
        if not quit_by_key:
            process.terminate()
        process.wait(30)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build", help="the build with the programs")
    parser.add_argument("--out", default="docs/screenshots.png", help="the joined picture")
    parser.add_argument("programs", nargs="*",
                        help="the programs to photograph (default: the build's programs.txt)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    programs = args.programs
    if not programs:
        with open(os.path.join(build, "programs.txt")) as f:
            programs = f.read().split()

    work = tempfile.mkdtemp(prefix="lumivis-screenshots-")
    os.chmod(work, 0o700)
    server, display = xvfb.start()
    env = dict(os.environ, DISPLAY=display, XDG_RUNTIME_DIR=work,
               PATH=os.path.join(build, "agent") + os.pathsep + os.environ.get("PATH", ""))
    agent = None
    try:
        agent = subprocess.Popen(["lumigrab", "--source", "pattern"], env=env)
        time.sleep(AGENT_START)
        shots = []
        for program in programs:
            shots.append(os.path.join(work, program + ".png"))
            photograph(os.path.join(build, program), program, env, shots[-1])
            subprocess.run([os.path.join(ROOT, "scripts", "icons.sh"), program, shots[-1]],
                           check=True)
        # The joined picture shows every program; remaking the icons of a
        # few leaves it, and the other programs' icons, as they are.
        if not args.programs:
            os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
            subprocess.run(["montage", *shots, "-tile", "3x", "-geometry", "320x240+4+4",
                            "-background", "#202020", args.out], check=True)
            print("wrote", args.out)
    finally:
        if agent is not None:
            xvfb.stop(agent)
        xvfb.stop(server)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
