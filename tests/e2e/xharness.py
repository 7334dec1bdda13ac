"""A private X server, a runtime directory and a stand-in capture agent for
one test, and the few X operations the tests need on them."""

import ctypes
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "scripts"))
import xvfb  # noqa: E402

FRAME_WIDTH, FRAME_HEIGHT = 160, 120
SCREEN = (640, 480)
DRI_DRIVER = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"
AGENT_TITLE = "TALVO LUMIGRAB AGENT"
# Every visualiser's window has this class, and the installed command's name
# as its instance.
WINDOW_CLASS = "Lumivis"
COMMAND_PREFIX = "lumivis-"
SOURCE_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
CAPTURE_NAME = "lumigrabtemp.raw"

STAND_IN_AGENT = """#!/bin/sh
echo "$$" >> "$XDG_RUNTIME_DIR/agent-starts"
exec sleep 60
"""


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_for(predicate, timeout, what, interval=0.05):
    """The predicate's first true value; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TestFailure("timed out waiting for " + what)
        time.sleep(interval)


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def blend_byte(old, new, factor):
    """One truncating smoothing step of one byte, factor given in single precision."""
    return int(old + (new - old) * f32(factor))


def settled_value(target, factor):
    """Where a byte smoothed from 0 toward `target` stops, and after how many passes."""
    value, passes = 0, 0
    while True:
        step = blend_byte(value, target, factor)
        if step == value:
            return value, passes
        value, passes = step, passes + 1


def frame_file(pixel_at):
    """A capture file from pixel_at(row, column) -> (r, g, b); row 0 is the file's first."""
    out = bytearray()
    for row in range(FRAME_HEIGHT):
        for column in range(FRAME_WIDTH):
            r, g, b = pixel_at(row, column)
            out += bytes((b, g, r))
    return bytes(out)


def read_proc_stat(pid):
    """(state, ppid, pgrp, session) of a process, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            text = f.read()
    except OSError:
        return None
    fields = text[text.rindex(")") + 2:].split()
    return fields[0], int(fields[1]), int(fields[2]), int(fields[3])


class PassWatcher:
    """Counts the visualiser's display passes: each one opens the capture
    file once, and inotify reports every open. Closes are watched too:
    inotify merges identical events that follow each other unread, so two
    opens with no close between them would count as one."""

    IN_OPEN = 0x20
    IN_CLOSE_NOWRITE = 0x10
    IN_NONBLOCK = 0o4000

    def __init__(self, directory, file_name):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(self.IN_NONBLOCK)
        check(self.fd >= 0, "inotify_init1 failed")
        watch = self.libc.inotify_add_watch(self.fd, directory.encode(),
                                            self.IN_OPEN | self.IN_CLOSE_NOWRITE)
        check(watch >= 0, "inotify_add_watch failed")
        self.name = file_name.encode()
        self.count = 0

    def poll(self):
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return self.count
            offset = 0
            while offset < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, offset)
                name = data[offset + 16:offset + 16 + length].rstrip(b"\0")
                if mask & self.IN_OPEN and name == self.name:
                    self.count += 1
                offset += 16 + length

    def wait(self, passes, timeout, what="display passes"):
        """Returns once `passes` more passes have begun."""
        target = self.poll() + passes
        wait_for(lambda: self.poll() >= target, timeout, "%d %s" % (passes, what), 0.01)

    def rate(self, seconds, poll_seconds=0.005):
        """Passes a second over the next `seconds`."""
        self.poll()
        before, started = self.count, time.monotonic()
        while time.monotonic() - started < seconds:
            self.poll()
            time.sleep(poll_seconds)
        return (self.poll() - before) / (time.monotonic() - started)

    def close(self):
        os.close(self.fd)


class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    @staticmethod
    def read_ppm(path):
        with open(path, "rb") as f:
            raw = f.read()
        parts = raw.split(maxsplit=4)
        check(parts[0] == b"P6" and parts[3] == b"255", "not a PPM from xprobe: " + path)
        return Image(int(parts[1]), int(parts[2]), parts[4])

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def write_png(self, path):
        rows = b"".join(b"\0" + self.data[y * self.width * 3:(y + 1) * self.width * 3]
                        for y in range(self.height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
            f.write(chunk(b"IEND", b""))


def png_rgba(path):
    """A PNG's pixels as RGBA bytes, top row first."""
    return subprocess.run(["convert", path, "-depth", "8", "rgba:-"], capture_output=True,
                          check=True, timeout=30).stdout


def source_icon(program, size):
    return os.path.join(SOURCE_ROOT, "scenes", program, "icons", "%d.png" % size)


def check_window_identity(session, window, program, icon=source_icon):
    """The window names its program and family in WM_CLASS, and its icon is
    the program's own, icon(program, size), at the sizes compiled in."""
    check((window["instance"], window["class"]) == (COMMAND_PREFIX + program, WINDOW_CLASS),
          "WM_CLASS is %r, %r" % (window["instance"], window["class"]))
    check(window["icons"] == [[48, 48], [128, 128]],
          "_NET_WM_ICON sizes are %s" % window["icons"])
    for size in (48, 128):
        path = icon(program, size)
        check(session.window_icon(window, size) == png_rgba(path),
              "the %d pixel window icon is not %s" % (size, path))


def near(actual, expected, tolerance):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


class Session:
    """One Xvfb, one temporary directory, the programs started in them."""

    def __init__(self, name, xprobe, agent_on_path=True, source_dir=None):
        self.name = name
        self.xprobe = xprobe
        self.dir = tempfile.mkdtemp(prefix="lumivis-%s-" % name)
        self.runtime = os.path.join(self.dir, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.bin = os.path.join(self.dir, "bin")
        os.mkdir(self.bin)
        if agent_on_path:
            agent = os.path.join(self.bin, "lumigrab")
            with open(agent, "w") as f:
                f.write(STAND_IN_AGENT)
            os.chmod(agent, 0o755)
        self.source_dir = source_dir or os.path.dirname(os.path.abspath(__file__))
        self.processes = []
        self.shots = 0
        self.xvfb = None
        self.passes = PassWatcher(self.runtime, CAPTURE_NAME)
        self._start_xvfb()

    def _start_xvfb(self):
        # Without -noreset the server resets whenever its last client leaves,
        # dropping the pointer position and refusing connections meanwhile.
        with open(os.path.join(self.dir, "xvfb.log"), "ab") as log:
            self.xvfb, self.display = xvfb.start("%dx%dx24" % SCREEN, noreset=True, log=log)

    @property
    def capture_path(self):
        return os.path.join(self.runtime, CAPTURE_NAME)

    @property
    def agent_marker(self):
        return os.path.join(self.runtime, "agent-starts")

    def agent_pids(self):
        try:
            with open(self.agent_marker) as f:
                return [int(line) for line in f.read().split()]
        except FileNotFoundError:
            return []

    def write_capture(self, data):
        # Replaced in one step, so a pass never reads half a frame.
        part = self.capture_path + ".part"
        with open(part, "wb") as f:
            f.write(data)
        os.chmod(part, 0o600)
        os.rename(part, self.capture_path)

    def env(self, leak_check=True):
        env = {
            "DISPLAY": self.display,
            "XDG_RUNTIME_DIR": self.runtime,
            "PATH": self.bin + ":/usr/bin:/bin",
            "HOME": self.dir,
            "ASAN_OPTIONS": "verify_asan_link_order=0:detect_leaks=%d" % int(leak_check),
            "LSAN_OPTIONS": "suppressions=%s:print_suppressions=0" % os.path.join(
                self.source_dir, "..", "lsan.supp"),
            "UBSAN_OPTIONS": "print_stacktrace=1",
            "LIBGL_ALWAYS_SOFTWARE": "1",
        }
        if leak_check and os.path.exists(DRI_DRIVER):
            # Mesa unloads its driver at exit, before the leak report, which
            # would leave the driver's leaks without a module name to
            # suppress them by; a preloaded copy stays mapped.
            env["LD_PRELOAD"] = DRI_DRIVER
        for keep in ("LANG", "LC_ALL"):
            if keep in os.environ:
                env[keep] = os.environ[keep]
        return env

    def start(self, argv, leak_check=True):
        log = open(os.path.join(self.dir, "program-%d.log" % len(self.processes)), "w+")
        process = subprocess.Popen(argv, env=self.env(leak_check), stdin=subprocess.DEVNULL,
                                   stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        process.log = log
        self.processes.append(process)
        return process

    def output(self, process):
        process.log.flush()
        process.log.seek(0)
        return process.log.read()

    def finish(self, process, timeout=30):
        """Exit status after the program ends on its own; fails when it does not."""
        try:
            return process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TestFailure("program did not exit")

    def tool(self, argv, **kwargs):
        env = self.env(leak_check=False)
        return subprocess.run(argv, env=env, capture_output=True, text=True, timeout=30, **kwargs)

    def windows(self):
        result = self.tool([self.xprobe, "windows"])
        check(result.returncode == 0, "xprobe windows failed: " + result.stderr)
        return [json.loads(line) for line in result.stdout.splitlines()]

    def viewer_window(self):
        """The visualiser's window: the mapped top-level one of its class."""
        found = [w for w in self.windows() if w["mapped"] and w["class"] == WINDOW_CLASS]
        return found[0] if len(found) == 1 else None

    def main_windows(self):
        """The visualiser's windows other than dialogs, mapped or not."""
        return [w for w in self.windows()
                if w["class"] == WINDOW_CLASS and (w["width"], w["height"]) == SCREEN]

    def window_icon(self, window, size):
        """The size x size image of the window's _NET_WM_ICON as RGBA bytes."""
        path = os.path.join(self.dir, "icon-%d.rgba" % size)
        result = self.tool([self.xprobe, "icon", str(window["id"]), str(size), path])
        check(result.returncode == 0, "the window has no %d pixel icon" % size)
        with open(path, "rb") as f:
            return f.read()

    def dialogs(self):
        return [w for w in self.windows() if w["class"] == "LumivisMessage"]

    def screenshot(self, label="shot"):
        self.shots += 1
        path = os.path.join(self.dir, "%02d-%s.ppm" % (self.shots, label))
        result = self.tool([self.xprobe, "shot", path])
        check(result.returncode == 0, "screenshot failed: " + result.stderr)
        image = Image.read_ppm(path)
        if os.environ.get("LUMIVIS_KEEP_SHOTS"):
            image.write_png(path[:-4] + ".png")
        os.unlink(path)
        return image

    def cursor(self):
        result = self.tool([self.xprobe, "cursor"])
        check(result.returncode == 0, "xprobe cursor failed: " + result.stderr)
        return json.loads(result.stdout)

    def xdotool(self, *args):
        result = self.tool(["xdotool"] + [str(a) for a in args])
        check(result.returncode == 0, "xdotool %s failed: %s" % (args, result.stderr))

    def key(self, window, keysym):
        self.xdotool("windowfocus", "--sync", window["id"])
        self.xdotool("key", keysym)

    def answer_dialog(self, dialog, keysym):
        """Presses a key for a dialog, which has taken the keyboard focus
        itself: the key is sent unaimed."""
        self.xdotool("key", keysym)

    def move_pointer(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)

    def click(self, button):
        self.xdotool("click", button)

    def close(self, keep=False):
        for process in self.processes:
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait()
            process.log.close()
        for pid in self.agent_pids():
            stat = read_proc_stat(pid)
            if stat is not None and stat[0] != "Z":
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if self.xvfb is not None:
            xvfb.stop(self.xvfb)
        self.passes.close()
        if keep:
            print("kept", self.dir)
        else:
            shutil.rmtree(self.dir, ignore_errors=True)


def run_cases(cases, run_case):
    """Runs every case even when one fails; the exit status tells whether all passed."""
    failures = 0
    for case in cases:
        started = time.monotonic()
        try:
            run_case(case)
            print("PASS %s (%.1f s)" % (case, time.monotonic() - started), flush=True)
        except TestFailure as failure:
            failures += 1
            print("FAIL %s: %s" % (case, failure), flush=True)
        except Exception:
            failures += 1
            print("FAIL %s:" % (case,), flush=True)
            traceback.print_exc()
    return 1 if failures else 0


def main_exit(code):
    sys.stdout.flush()
    sys.exit(code)
