"""The agent on a PipeWire desktop, made in user space for the test.

Run inside dbus-run-session. Starts PipeWire, WirePlumber and a video node
(gst-launch with pipewiresink in provide mode), then:

1. survival: `--list` and a bare start, many times, on a busy machine, with
   glibc's strictest heap checks; stopping a device monitor used to free
   memory twice inside the PipeWire provider here;
2. capture: a bare start takes the PipeWire camera and writes its colour.
   WirePlumber 0.4 destroys a capture stream aimed at a node that a program
   provides ("target not found"), so this part runs with WirePlumber
   stopped and links the stream to the node by hand with pw-link.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import xvfb  # noqa: E402  (its stop() ends any process started here)

NODE_NAME = "lumigrab-test-camera"
NODE_LABEL = "PipeWire-Test-Camera"
# Green as the node sends it, and as the capture file must hold it (BGR).
NODE_COLOUR = "0xff00ff00"
FRAME_BYTES = 160 * 120 * 3
GREEN_FRAME = bytes((0x00, 0xFF, 0x00)) * (160 * 120)
BUSY_LOOPS = 3
# Heap checks that turn a double free into an abort, as the issue saw.
MALLOC_CHECKS = {"GLIBC_TUNABLES": "glibc.malloc.tcache_count=0", "MALLOC_CHECK_": "3"}
CRASH_SIGNS = ("double free", "corruption", "AddressSanitizer", "Aborted", "free():")


class Failure(Exception):
    pass


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise Failure("timed out waiting for " + what)


class Desktop:
    """PipeWire, WirePlumber and the video node, in a private runtime folder."""

    def __init__(self, lsan_suppressions):
        self.runtime = tempfile.mkdtemp(prefix="lumigrab-pw-")
        os.chmod(self.runtime, 0o700)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime)
        for name in ("DISPLAY", "PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR"):
            self.env.pop(name, None)
        self.env["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % lsan_suppressions
        self.env["ASAN_OPTIONS"] = "fast_unwind_on_malloc=0:malloc_context_size=10"
        self.processes = {}

    def start(self, name, command):
        log = open(os.path.join(self.runtime, name + ".log"), "wb")
        self.processes[name] = subprocess.Popen(
            command, env=self.env, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def stop(self, name):
        process = self.processes.pop(name, None)
        if process is not None:
            xvfb.stop(process)

    def run(self, command, timeout=30):
        return subprocess.run(command, env=self.env, capture_output=True, text=True,
                              timeout=timeout, stdin=subprocess.DEVNULL)

    def up(self):
        self.start("pipewire", ["pipewire"])
        wait_for(lambda: os.path.exists(os.path.join(self.runtime, "pipewire-0")), 10,
                 "the PipeWire socket")
        self.start("wireplumber", ["wireplumber"])
        self.start_node()

    def start_node(self):
        # Its provide mode is fragile: it has been seen to crash after many
        # streams came and went, so each part of the test gets a new one.
        if "node" in self.processes:
            self.stop("node")
            wait_for(lambda: NODE_NAME not in self.run(["pw-cli", "ls", "Node"]).stdout, 15,
                     "the old video node to go")
        self.start("node", [
            "gst-launch-1.0", "-q", "--no-fault", "videotestsrc", "is-live=true",
            "pattern=solid-color",
            "foreground-color=" + NODE_COLOUR, "!",
            "video/x-raw,format=RGB,width=320,height=240,framerate=30/1", "!", "pipewiresink",
            "mode=provide",
            "stream-properties=props,media.class=Video/Source,node.name=%s,node.description=%s"
            % (NODE_NAME, NODE_LABEL)])
        wait_for(lambda: NODE_NAME in self.run(["pw-cli", "ls", "Node"]).stdout, 15,
                 "the video node")

    def keep_node(self):
        """Starts the node again if it died; says so, as it is not the agent's fault."""
        if self.processes["node"].poll() is not None:
            print("the video node (gst-launch with pipewiresink) died; starting it again")
            del self.processes["node"]
            self.start_node()

    def down(self):
        for name in list(self.processes):
            self.stop(name)
        shutil.rmtree(self.runtime, ignore_errors=True)


def busy_loops():
    return [subprocess.Popen([sys.executable, "-c", "while True: pass"])
            for _ in range(BUSY_LOOPS)]


def check_no_crash(what, result_code, output):
    if result_code != 0 or any(sign in output for sign in CRASH_SIGNS):
        raise Failure("%s: status %s\n%s" % (what, result_code, output))


def survive(desktop, agent, runs, label):
    """--list and a bare start, `runs` times each, under load."""
    env = dict(desktop.env, **MALLOC_CHECKS)
    capture = tempfile.mkdtemp(prefix="lumigrab-pw-capture-")
    os.chmod(capture, 0o700)
    env["XDG_RUNTIME_DIR"] = capture
    # Only the agent needs the node's socket, from the desktop's folder.
    env["PIPEWIRE_RUNTIME_DIR"] = desktop.runtime
    loops = busy_loops()
    try:
        for run in range(runs):
            desktop.keep_node()
            listed = subprocess.run([agent, "--list"], env=env, capture_output=True, text=True,
                                    timeout=60, stdin=subprocess.DEVNULL)
            check_no_crash("%s --list, run %d" % (label, run + 1), listed.returncode,
                           listed.stdout + listed.stderr)
            if NODE_LABEL not in listed.stdout:
                raise Failure("%s --list does not show the node:\n%s" % (label, listed.stdout))

            bare = subprocess.Popen([agent], env=env, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, text=True)
            time.sleep(1.0)
            bare.send_signal(signal.SIGTERM)
            output = bare.communicate(timeout=60)[0]
            check_no_crash("%s bare start, run %d" % (label, run + 1), bare.returncode, output)
    finally:
        for loop in loops:
            loop.kill()
            loop.wait()
        shutil.rmtree(capture, ignore_errors=True)
    print("%s: --list and a bare start each survived %d runs under load" % (label, runs))


def capture_through_pipewire(desktop, agent):
    desktop.stop("wireplumber")
    desktop.start_node()
    capture = tempfile.mkdtemp(prefix="lumigrab-pw-capture-")
    os.chmod(capture, 0o700)
    env = dict(desktop.env, XDG_RUNTIME_DIR=capture, PIPEWIRE_RUNTIME_DIR=desktop.runtime)
    frame_path = os.path.join(capture, "lumigrabtemp.raw")
    process = subprocess.Popen([agent], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, text=True)
    try:
        def green():
            try:
                with open(frame_path, "rb") as frame:
                    return frame.read() == GREEN_FRAME
            except OSError:
                return False

        # The capture stream reconnects once while it settles its format,
        # as a new node that a session manager would link again: link each.
        def linked_and_green():
            if green():
                return True
            links = desktop.run(["pw-link", "-l"]).stdout
            inputs = [port for port in desktop.run(["pw-link", "-i"]).stdout.split()
                      if not port.startswith(NODE_NAME)]
            for port in inputs:
                if port not in links:
                    desktop.run(["pw-link", NODE_NAME + ":out_0", port])
            return False
        wait_for(linked_and_green, 30, "the node's green picture in the capture file")
        print("a bare start captured the PipeWire node's picture")
    finally:
        process.send_signal(signal.SIGTERM)
        output = process.communicate(timeout=60)[0]
        shutil.rmtree(capture, ignore_errors=True)
    check_no_crash("capture through PipeWire", process.returncode, output)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--agent", required=True)
    parser.add_argument("--plain-agent")
    parser.add_argument("--lsan-suppressions", required=True)
    parser.add_argument("--runs", type=int, default=12)
    args = parser.parse_args()

    desktop = Desktop(args.lsan_suppressions)
    try:
        desktop.up()
        if args.plain_agent:
            survive(desktop, args.plain_agent, args.runs, "without sanitizers")
        survive(desktop, args.agent, args.runs // 3, "with sanitizers")
        capture_through_pipewire(desktop, args.agent)
    except Failure as failure:
        print("FAILED: %s" % failure)
        for name in ("pipewire", "wireplumber", "node"):
            path = os.path.join(desktop.runtime, name + ".log")
            if os.path.exists(path):
                print("--- %s log (end)\n%s" % (name, open(path, errors="replace").read()[-2000:]))
        return 1
    finally:
        desktop.down()
    return 0


if __name__ == "__main__":
    sys.exit(main())
