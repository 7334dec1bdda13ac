"""The Windows build of a visualiser under Wine, in the shared prefix and on
its X server (wine_prefix.py): the same checks as on Linux where Windows
behaves the same, with the .exe files copied into a folder of their own as
a user unpacks them from the zip.

Cases: dialog (no agent to start: the message, then the picture of a known
capture file), agent-window (an agent already runs: nothing is started),
real-agent (lumigrab.exe beside the program: it starts and the picture
moves), gltrace (every display pass's GL calls, recorded by apitrace's
wrapper preloaded into Wine)."""

import argparse
import os
import shutil
import subprocess
import sys

# Imported from the source tree, which must stay free of bytecode caches.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
for helpers in (os.path.join(HERE, "..", "e2e"), os.path.join(HERE, "..", "gltrace")):
    sys.path.insert(0, helpers)
import e2e_test  # noqa: E402
import gltrace_test  # noqa: E402
import wine_prefix  # noqa: E402
import xharness as xh  # noqa: E402
from xharness import check  # noqa: E402

GLXTRACE = "/usr/lib/x86_64-linux-gnu/apitrace/wrappers/glxtrace.so"
AGENT = "lumigrab.exe"
STAND_IN_AGENT = "stand_in_agent.exe"
AGENT_STARTS = "agent-starts"

# freeglut on Windows draws the first pass before the window's first
# reshape, which comes as a resize. Windows keeps a window's frame on the
# screen: on the 640 x 480 test screen, the caption and borders of the
# 640 x 480 window leave its picture 465 rows until it goes full screen
# (through the window's outer size). Wine sets the viewport to the window
# when the context first becomes current.
WINE_WINDOW = gltrace_test.Window(created=None, context_calls=["glViewport(0, 0, 640, 465)"],
                                  resizes=True)


class WineSession(xh.Session):
    """The harness's session with the shared X server and Wine prefix; the
    programs are Windows ones, started with wine from the session's folder."""

    def __init__(self, name, xprobe, state, exe):
        self.state = state
        self.exe = os.path.basename(exe).lower()
        super().__init__(name, xprobe, agent_on_path=False)
        self.drive_c = os.path.join(state["prefix"], "drive_c")
        for leftover in (xh.CAPTURE_NAME, AGENT_STARTS):
            if os.path.exists(os.path.join(self.drive_c, leftover)):
                os.unlink(os.path.join(self.drive_c, leftover))
        # Passes are counted on the capture file in the root of C:.
        self.passes.close()
        self.passes = xh.PassWatcher(self.drive_c, xh.CAPTURE_NAME)
        shutil.copy(exe, self.bin)
        self.program = os.path.join(self.bin, os.path.basename(exe))

    def _start_xvfb(self):
        self.xvfb = None
        self.display = self.state["display"]

    @property
    def capture_path(self):
        return os.path.join(self.drive_c, xh.CAPTURE_NAME)

    def add_beside(self, exe, name=None):
        shutil.copy(exe, os.path.join(self.bin, name or os.path.basename(exe)))

    def env(self, leak_check=True):
        return wine_prefix.environment(self.state, {"HOME": self.dir})

    def start(self, argv, leak_check=True, extra_env=None):
        log = open(os.path.join(self.dir, "program-%d.log" % len(self.processes)), "w+")
        env = self.env()
        env.update(extra_env or {})
        process = subprocess.Popen(["wine"] + argv, env=env, cwd=self.bin,
                                      stdin=subprocess.DEVNULL, stdout=log,
                                      stderr=subprocess.STDOUT, start_new_session=True)
        process.log = log
        self.processes.append(process)
        return process

    def program_windows(self):
        return [w for w in self.windows() if w["class"] == self.exe]

    def main_windows(self):
        return [w for w in self.program_windows() if w["transient_for"] == 0 and w["width"] > 1]

    def viewer_window(self):
        found = [w for w in self.main_windows() if w["mapped"]]
        return found[0] if len(found) == 1 else None

    def dialogs(self):
        # Wine keeps a closed dialog's X window, unmapped.
        return [w for w in self.program_windows() if w["transient_for"] != 0 and w["mapped"]]

    def move_pointer(self, x, y):
        # The server outlives the tests, so the pointer may be there already,
        # and a move to where it is never reports as done.
        self.xdotool("mousemove", x + 1, y + 1)
        super().move_pointer(x, y)

    def answer_dialog(self, dialog, keysym):
        # With no window manager, Wine leaves the X keyboard focus under the
        # pointer; a desktop gives it to the new dialog, as this does.
        self.key(dialog, keysym)

    def agent_windows(self):
        return [w for w in self.windows() if w["wm_name"] == xh.AGENT_TITLE]

    def agent_starts(self):
        try:
            with open(os.path.join(self.drive_c, AGENT_STARTS)) as f:
                return f.read().split()
        except FileNotFoundError:
            return []

    def close(self, keep=False):
        wine_prefix.kill_windows_processes(self.state["prefix"],
                                           [self.exe, AGENT, STAND_IN_AGENT])
        super().close(keep)


def case_dialog(name, session, build):
    e2e_test.case_dialog(gltrace_test.program_expectations.load(name), session.program, session)


def case_agent_window(name, session, build):
    """An agent from elsewhere already runs, and no lumigrab.exe lies beside
    the program: a start would fail with the message, so no dialog means
    none was tried."""
    agent = session.start([os.path.join(build, AGENT), "--source", "red"])
    xh.wait_for(session.agent_windows, 60, "the agent's window")
    process = session.start([session.program])
    window = e2e_test.full_screen_window(session)
    session.passes.wait(2, 60)
    check(not session.dialogs(), "a dialog appeared")
    e2e_test.quit_with_escape(session, process, window)
    check(agent.poll() is None, "the agent ended")
    check(len(wine_prefix.windows_processes(session.state["prefix"], [AGENT])) == 1,
          "another agent was started")


def case_real_agent(name, session, build):
    session.add_beside(os.path.join(build, AGENT))
    session.move_pointer(0, 0)
    process = session.start([session.program])
    window = e2e_test.full_screen_window(session)
    xh.wait_for(session.agent_windows, 60, "the agent's window")
    e2e_test.check_real_agent_picture(session, process, window)
    check(session.agent_windows(), "the agent ended with the visualiser")


def case_gltrace(name, session, build):
    # An agent that leaves the capture file alone keeps the dialog away.
    session.add_beside(os.path.join(build, STAND_IN_AGENT), AGENT)
    trace = os.path.join(session.dir, name + ".trace")
    gltrace_test.trace_and_check(
        session, name, trace,
        lambda: session.start([session.program],
                              extra_env={"LD_PRELOAD": GLXTRACE, "TRACE_FILE": trace}),
        WINE_WINDOW)
    check(len(session.agent_starts()) == 1, "agent started %d times" % len(session.agent_starts()))


CASES = {"dialog": case_dialog, "agent-window": case_agent_window,
         "real-agent": case_real_agent, "gltrace": case_gltrace}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True, help="the state file of wine_prefix.py setup")
    parser.add_argument("--xprobe", required=True)
    parser.add_argument("--case", choices=sorted(CASES), required=True)
    parser.add_argument("--keep", action="store_true", help="keep the files of a failed case")
    parser.add_argument("exes", nargs="+", help="the visualisers' .exe in the Windows build")
    args = parser.parse_args()
    state = wine_prefix.load(args.state)

    def run(exe):
        name = os.path.splitext(os.path.basename(exe))[0]
        session = WineSession("wine-%s-%s" % (args.case, name), args.xprobe, state, exe)
        ok = False
        try:
            CASES[args.case](name, session, os.path.dirname(os.path.abspath(exe)))
            ok = True
        finally:
            session.close(keep=args.keep and not ok)

    xh.main_exit(xh.run_cases(args.exes, run))


if __name__ == "__main__":
    main()
