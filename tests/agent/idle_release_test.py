"""A visualiser starts this build's agent; the agent lets go of its source
once the visualiser has ended, and not while it runs.

Usage: idle_release_test.py --xprobe XPROBE --agent LUMIGRAB VISUALISER
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import xharness as xh  # noqa: E402

IDLE_SECONDS = 10
# The agent looks once a second and needs a moment to stop.
GONE_WITHIN = 15


def running(pid):
    stat = xh.read_proc_stat(pid)
    return stat is not None and stat[0] != "Z"


def agent_pid(session):
    try:
        with open(os.path.join(session.runtime, "lumigrab.lock")) as lock:
            return int(lock.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


def check_idle_release(session, visualiser, agent):
    os.symlink(agent, os.path.join(session.bin, "lumigrab"))
    process = session.start([visualiser])
    xh.wait_for(lambda: os.path.exists(session.capture_path) and
                os.path.getsize(session.capture_path) == xh.FRAME_WIDTH * xh.FRAME_HEIGHT * 3,
                60, "the agent's first frame")
    pid = xh.wait_for(lambda: agent_pid(session), 30, "the agent's process id")

    # Longer than the idle time: a visualiser reads on every pass.
    time.sleep(IDLE_SECONDS + 3)
    xh.check(running(pid), "the agent stopped while a visualiser was reading")

    window = xh.wait_for(session.viewer_window, 30, "the visualiser's window")
    session.key(window, "Escape")
    xh.check(session.finish(process) == 0, "the visualiser did not end cleanly")
    ended = time.monotonic()
    xh.wait_for(lambda: not running(pid), GONE_WITHIN + 5, "the agent to stop")
    gone_after = time.monotonic() - ended
    print("agent gone %.1f s after the visualiser ended" % gone_after)
    xh.check(gone_after <= GONE_WITHIN, "the agent took %.1f s to stop" % gone_after)
    xh.check("no visualiser has read the capture file" in session.output(process),
             "the agent did not say why it stopped:\n" + session.output(process)[-2000:])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xprobe", required=True)
    parser.add_argument("--agent", required=True)
    parser.add_argument("visualiser")
    args = parser.parse_args()

    def run(case):
        session = xh.Session("idle-release", args.xprobe, agent_on_path=False)
        try:
            check_idle_release(session, args.visualiser, args.agent)
        finally:
            pid = agent_pid(session)
            if pid is not None and running(pid):
                os.kill(pid, 9)
            session.close()

    xh.main_exit(xh.run_cases([args.visualiser], run))


if __name__ == "__main__":
    main()
