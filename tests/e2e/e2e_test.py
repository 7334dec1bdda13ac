"""End-to-end runs of a visualiser on a private X server: how it starts the
capture agent or reports that it cannot, what it shows for a known
capture file, and how it reacts to the keys and the mouse."""

import argparse
import os
import subprocess
import sys
import time

# Imported from the source tree, which must stay free of bytecode caches.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import program_expectations  # noqa: E402
import xharness as xh  # noqa: E402
from xharness import check  # noqa: E402

AGENT_MESSAGE = "Could not start video capture agent"
FULL_SCREEN = (0, 0, 640, 480)
WINDOWED = (100, 100, 640, 480)


def geometry(window):
    return (window["x"], window["y"], window["width"], window["height"])


def settle_passes(program):
    factor = program.settings["blend"]
    return max(xh.settled_value(v, factor)[1] for v in range(256)) + 3


def check_picture(session, program, label):
    session.passes.wait(settle_passes(program), 120, "passes to settle the picture")
    image = session.screenshot(label)
    failures = program.check_picture(image)
    if failures:
        path = os.path.join(session.dir, "%s-%s.png" % (program.name, label))
        image.write_png(path)
        raise xh.TestFailure("%s picture wrong (%s): %s" % (label, path, "; ".join(failures[:6])))
    return image


def full_screen_window(session):
    return xh.wait_for(lambda: (lambda w: w if w and geometry(w) == FULL_SCREEN else None)(
        session.viewer_window()), 60, "the window to cover the screen")


def check_stand_in_agent(session, process):
    # The stand-in records itself a moment after it has been spawned.
    pids = xh.wait_for(session.agent_pids, 30, "the agent to start")
    check(len(pids) == 1, "agent started %d times" % len(pids))
    pid = pids[0]
    stat = xh.read_proc_stat(pid)
    check(stat is not None, "the agent is gone")
    state, parent, _, session_id = stat
    check(state != "Z", "the agent is a zombie")
    check(parent != process.pid, "the agent is the visualiser's child")
    check(session_id == pid, "the agent does not lead a session of its own")
    check(session_id != xh.read_proc_stat(process.pid)[3], "the agent shares the visualiser's session")
    check(os.readlink("/proc/%d/fd/0" % pid) == "/dev/null", "the agent's stdin is not /dev/null")
    return pid


def check_spin(session, settled_image):
    """A right click changes nothing; a left click starts the spin."""
    session.click(3)
    session.passes.wait(5, 60)
    check(session.screenshot("right-click").data == settled_image.data,
          "the picture changed after a right click")
    session.click(1)
    session.passes.wait(3, 60)
    xh.wait_for(lambda: session.screenshot("spinning").data != settled_image.data, 30,
                "the picture to turn after a left click", 0.2)


def check_full_screen_toggle(session, window):
    session.key(window, "F11")
    xh.wait_for(lambda: (lambda w: w and geometry(w) == WINDOWED)(session.viewer_window()), 30,
                "the window back at 640x480+100+100 after F11")
    session.key(window, "F11")
    full_screen_window(session)


def quit_with_escape(session, process, window):
    session.key(window, "Escape")
    status = session.finish(process)
    output = session.output(process)
    check(status == 0, "exit status %s after Escape: %s" % (status, output[-3000:]))
    check("runtime error" not in output and "Sanitizer" not in output,
          "sanitizer report: " + output[-3000:])
    return output


def case_launch(program, binary, session):
    session.write_capture(xh.frame_file(program.capture_pixel))
    session.move_pointer(0, 0)
    check(session.cursor()["max_alpha"] > 0, "the server's own cursor should be visible")
    process = session.start([binary])
    window = full_screen_window(session)
    xh.check_window_identity(session, window, program.name)
    agent = check_stand_in_agent(session, process)
    check(session.cursor()["max_alpha"] == 0, "the pointer is visible over the window")
    image = check_picture(session, program, "settled")
    if not program.moves_when_settled:
        check_spin(session, image)
    check_full_screen_toggle(session, window)
    quit_with_escape(session, process, window)
    check(session.agent_pids() == [agent], "the agent was started again")
    stat = xh.read_proc_stat(agent)
    check(stat is not None and stat[0] != "Z", "the agent ended with the visualiser")


def case_dialog(program, binary, session):
    session.move_pointer(0, 0)
    process = session.start([binary])
    dialog = xh.wait_for(lambda: [d for d in session.dialogs() if d["mapped"]], 60,
                         "the message dialog")
    check(len(dialog) == 1, "%d dialogs" % len(dialog))
    dialog = dialog[0]
    check(dialog["wm_name"] == "" and dialog["net_wm_name"] in ("", None),
          "the dialog has a title: %s" % dialog)
    owners = [w for w in session.windows()
              if w["class"] == xh.WINDOW_CLASS and (w["width"], w["height"]) == (640, 480)]
    check([w["id"] for w in owners] == [dialog["transient_for"]],
          "the dialog is not transient for the visualiser's window: %s %s" % (dialog, owners))

    # The dialog blocks the start-up: no pass, so no capture file yet.
    time.sleep(1)
    check(session.passes.poll() == 0 and not os.path.exists(session.capture_path),
          "a display pass ran while the dialog was shown")
    image = session.screenshot("dialog")
    inside = [image.pixel(x, y)
              for y in range(dialog["y"], dialog["y"] + dialog["height"])
              for x in range(dialog["x"], dialog["x"] + dialog["width"])]
    dark = sum(1 for p in inside if max(p) < 100)
    light = sum(1 for p in inside if min(p) > 200)
    check(dark > 100 and light > len(inside) // 2,
          "the dialog shows no text and button (%d dark, %d light pixels)" % (dark, light))
    check(session.output(process).count(AGENT_MESSAGE) == 1, "message not on stderr once")

    # The dialog has taken the keyboard focus, so Enter reaches it unaimed.
    session.xdotool("key", "Return")
    xh.wait_for(lambda: not session.dialogs(), 30, "the dialog to close")
    window = full_screen_window(session)
    session.passes.wait(2, 60)
    check(os.path.exists(session.capture_path), "no capture file after the dialog closed")
    session.write_capture(xh.frame_file(program.capture_pixel))
    check_picture(session, program, "after-dialog")
    check(not session.dialogs(), "a second dialog appeared")
    output = quit_with_escape(session, process, window)
    check(output.count(AGENT_MESSAGE) == 1, "the message was printed %d times" %
          output.count(AGENT_MESSAGE))


ANNOUNCEMENTS = (("wm", xh.AGENT_TITLE, False), ("net", xh.AGENT_TITLE, False),
                 ("wm", xh.AGENT_TITLE + " ", True), ("net", xh.AGENT_TITLE[:-1], True))


def case_agent_window(program, binary, session, kind, title, starts_agent):
    announcer = subprocess.Popen([session.xprobe, "announce", kind, title], env=session.env(False),
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        check(announcer.stdout.readline().strip().isdigit(), "announcing window not created")
        process = session.start([binary])
        window = full_screen_window(session)
        session.passes.wait(2, 60)
        check(not session.dialogs(), "a dialog appeared")
        if starts_agent:
            xh.wait_for(session.agent_pids, 30, "the agent to start despite %s %r" % (kind, title))
        quit_with_escape(session, process, window)
        started = len(session.agent_pids())
        check(started == int(starts_agent), "agent started %d times with %s %r" % (
            started, kind, title))
    finally:
        announcer.stdin.close()
        announcer.wait(10)


def changed_pixels(a, b):
    return sum(1 for i in range(0, len(a.data), 3) if a.data[i:i + 3] != b.data[i:i + 3])


def distinct_colours(image):
    return len({image.data[i:i + 3] for i in range(0, len(image.data), 3 * 7)})


def stop_real_agent(session):
    """The agent runs in a session of its own and outlives the visualiser."""
    try:
        with open(os.path.join(session.runtime, "lumigrab.lock")) as f:
            os.kill(int(f.read().split()[0]), 9)
    except (OSError, ValueError, IndexError):
        pass


def check_real_agent_picture(session, process, window):
    """The agent that the visualiser started keeps the picture moving, until
    Escape."""
    xh.wait_for(lambda: os.path.exists(session.capture_path) and
                os.path.getsize(session.capture_path) == xh.FRAME_WIDTH * xh.FRAME_HEIGHT * 3,
                30, "the agent's first frame")
    check(not session.dialogs(), "the agent could not be started")
    # Long enough for even the slowest smoothing to bring the picture in.
    session.passes.wait(150, 120)
    first = session.screenshot("agent-first")
    check(distinct_colours(first) > 50,
          "no picture: %d distinct colours" % distinct_colours(first))
    session.passes.wait(40, 60)
    later = session.screenshot("agent-later")
    changed = changed_pixels(first, later)
    check(changed > len(first.data) // 3 // 50,
          "the picture hardly changed over time: %d pixels" % changed)
    quit_with_escape(session, process, window)


def case_real_agent(program, binary, session, agent):
    """The real agent, started by the visualiser, keeps the picture moving."""
    os.symlink(agent, os.path.join(session.bin, "lumigrab"))
    session.move_pointer(0, 0)
    process = session.start([binary])
    window = full_screen_window(session)
    try:
        check_real_agent_picture(session, process, window)
    finally:
        stop_real_agent(session)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xprobe", required=True)
    parser.add_argument("--case", choices=("launch", "dialog", "agent-window", "real-agent"),
                        required=True)
    parser.add_argument("--agent", help="the capture agent, for the real-agent case")
    parser.add_argument("--keep", action="store_true", help="keep the files of a failed case")
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args()

    def run(case):
        binary, extra = case
        name = os.path.basename(binary)
        program = program_expectations.load(name)
        session = xh.Session("%s-%s" % (args.case, name), args.xprobe,
                             agent_on_path=args.case not in ("dialog", "real-agent"))
        ok = False
        try:
            if args.case == "launch":
                case_launch(program, binary, session)
            elif args.case == "dialog":
                case_dialog(program, binary, session)
            elif args.case == "real-agent":
                case_real_agent(program, binary, session, args.agent)
            else:
                case_agent_window(program, binary, session, *extra)
            ok = True
        finally:
            session.close(keep=args.keep and not ok)

    cases = [(b, ()) for b in args.binaries]
    if args.case == "agent-window":
        cases = [(b, a) for b in args.binaries for a in ANNOUNCEMENTS]
    xh.main_exit(xh.run_cases(cases, run))


if __name__ == "__main__":
    main()
