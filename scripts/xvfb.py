#!/usr/bin/env python3
"""A private Xvfb on a display number the server picks itself.

As a module: start() returns (process, display). As a command:

    scripts/xvfb.py [--screen WxHxD] [--noreset] -- COMMAND [ARGS...]

runs COMMAND with DISPLAY set to a new server, stops the server afterwards
and exits with COMMAND's status.
"""

import argparse
import os
import select
import signal
import subprocess
import sys
import time

DEFAULT_SCREEN = "640x480x24"
START_TIMEOUT = 20  # seconds


def start(screen=DEFAULT_SCREEN, noreset=False, log=None):
    """Starts Xvfb and returns (process, display) once it accepts clients.

    noreset keeps the server from resetting whenever its last client leaves,
    which drops the pointer position and refuses connections meanwhile. log
    is a file for the server's messages; they are discarded without one."""
    read_end, write_end = os.pipe()
    argv = ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"]
    if noreset:
        argv.append("-noreset")
    server = subprocess.Popen(argv, pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL,
                              stderr=log if log is not None else subprocess.DEVNULL)
    os.close(write_end)
    # The number and its newline may come in two writes; the server dies if
    # the pipe is closed between them.
    number = b""
    deadline = time.monotonic() + START_TIMEOUT
    try:
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 1)
            if ready:
                chunk = os.read(read_end, 32)
                if not chunk:
                    break
                number += chunk
    finally:
        os.close(read_end)
    if not number.strip().isdigit():
        stop(server)
        raise RuntimeError("Xvfb did not report a display number")
    return server, ":" + number.strip().decode()


def stop(server):
    """Ends the server, or any other process started here: asks it to end,
    then forces it after ten seconds."""
    if server.poll() is None:
        server.terminate()
        try:
            server.wait(10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def main():
    parser = argparse.ArgumentParser(
        description="Runs a command with DISPLAY set to a private Xvfb.",
        usage="%(prog)s [--screen WxHxD] [--noreset] -- COMMAND [ARGS...]")
    parser.add_argument("--screen", default=DEFAULT_SCREEN,
                        help="screen size and depth (default %(default)s)")
    parser.add_argument("--noreset", action="store_true",
                        help="keep the server's state when its last client leaves")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")

    try:
        server, display = start(args.screen, args.noreset)
    except (OSError, RuntimeError) as error:
        sys.exit("xvfb.py: %s" % error)
    # A terminating signal reaches the command, and the server stops once the
    # command has ended, instead of either being left behind. Ctrl-C already
    # reaches the command through the terminal.
    child = None

    def forward(signum, _frame):
        if child is not None and child.poll() is None:
            child.send_signal(signum)

    # A handler, not SIG_IGN, which the command would inherit.
    signal.signal(signal.SIGINT, lambda _signum, _frame: None)
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, forward)
    try:
        child = subprocess.Popen(command, env=dict(os.environ, DISPLAY=display))
        status = child.wait()
    except OSError as error:
        print("xvfb.py: cannot run %s: %s" % (command[0], error), file=sys.stderr)
        status = 127
    finally:
        stop(server)
    sys.exit(128 - status if status < 0 else status)


if __name__ == "__main__":
    main()
