"""Runs a visualiser under apitrace with a known capture file, drives it
with keys and the mouse, and compares every traced display pass call by
call with what the program must send to GL."""

import argparse
import math
import os
import subprocess
import sys

# Imported from the source tree, which must stay free of bytecode caches.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
# Also puts the end-to-end harness and the GL-call helpers on the path.
import program_expectations  # noqa: E402
import xharness as xh  # noqa: E402
from glcalls import F, H, W, call  # noqa: E402
from xharness import check, f32  # noqa: E402

POINTER_TARGET = (100, 50)

def pattern(row, column):
    # Every channel different and varying along both axes, with values high
    # enough that even the slowest smoothing moves them.
    return ((7 * row + 3 * column) % 256, (5 * column + 90) % 256, (row * row + column) % 256)

class Frame:
    """What the program should be showing: the smoothed picture after
    `passes` passes of a constant capture file."""

    def __init__(self, settings):
        self.settings = settings
        pixels = [pattern(r, c) for r in range(H) for c in range(W)]
        self.staging = [rgba for p in pixels for rgba in self._rgba(p)]
        self.brightness_sum = sum(sum(p) // 3 for p in pixels)
        self.factor = f32(self.settings["blend"])
        self._histories = {}

    def _rgba(self, pixel):
        r, g, b = pixel
        s = r + g + b
        alpha = {"brightness": s // 3, "inverse": (765 - s) // 3, "constant": 110}
        return (r, g, b, alpha[self.settings["alpha"]])

    def byte(self, target, passes):
        history = self._histories.setdefault(target, [0])
        while len(history) <= passes:
            history.append(xh.blend_byte(history[-1], target, self.factor))
        return history[passes]

    def settled_after(self):
        """The pass after which no byte changes any more."""
        passes = 0
        for target in set(self.staging):
            n = 0
            while self.byte(target, n + 1) != self.byte(target, n):
                n += 1
            passes = max(passes, n)
        return passes

    def smoothed(self, passes):
        return [self.byte(t, passes) for t in self.staging]

    def texture_image(self, passes):
        """The 256 x 256 RGBA upload: the frame top left, zero elsewhere."""
        smoothed = self.smoothed(passes)
        image = bytearray(256 * 256 * 4)
        for row in range(H):
            image[row * 1024:row * 1024 + W * 4] = bytes(smoothed[row * W * 4:(row + 1) * W * 4])
        return bytes(image)

def perspective(fov, aspect, near, far=100.0):
    radians = fov / 2 * math.pi / 180
    cotangent = math.cos(radians) / math.sin(radians)
    m = [0.0] * 16
    m[0] = cotangent / aspect
    m[5] = cotangent
    m[10] = -(far + near) / (far - near)
    m[11] = -1
    m[14] = -2 * near * far / (far - near)
    return m

def init_calls(s, texture_id):
    calls = [call("glEnable", "GL_TEXTURE_2D"), call("glEnable", "GL_BLEND")]
    if s["depth"]:
        calls.append(call("glEnable", "GL_DEPTH_TEST"))
    calls += [call("glEnable", "GL_LINE_SMOOTH"), call("glLineWidth", "1"),
              call("glDepthFunc", "GL_LEQUAL"), call("glClearDepth", "1"),
              call("glShadeModel", "GL_SMOOTH")]
    if s["material"]:
        calls.append(call("glEnable", "GL_COLOR_MATERIAL"))
    calls += [call("glBlendFunc", "GL_SRC_ALPHA", "GL_ONE_MINUS_SRC_ALPHA"),
              call("glClearColor", *map(F, s["clear"])),
              call("glMatrixMode", "GL_PROJECTION"), call("glLoadIdentity"),
              call("glMatrixMode", "GL_MODELVIEW"), call("glLoadIdentity")]
    # The reshape at window creation; gluLookAt(0,0,1, 0,0,0, 0,1,0) is a
    # pure rotation (here none) and a translation by the eye position.
    matrix = perspective(s["fov"], 640 / 480, s["near"])
    calls += [call("glViewport", "0", "0", "640", "480"), call("glMatrixMode", "GL_PROJECTION"),
              call("glLoadIdentity"),
              call("glMultMatrixd", "{%s}" % ", ".join("%.16g" % v for v in matrix)),
              call("glMultMatrixf", "{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}"),
              call("glTranslated", "0", "0", "-1"), call("glMatrixMode", "GL_MODELVIEW"),
              call("glLoadIdentity"), call("glGenTextures", "1", "&%d" % texture_id)]
    return calls

def upload_calls(texture_id):
    return [call("glBindTexture", "GL_TEXTURE_2D", str(texture_id)),
            call("glTexParameteri", "GL_TEXTURE_2D", "GL_TEXTURE_MAG_FILTER", "GL_LINEAR"),
            call("glTexParameteri", "GL_TEXTURE_2D", "GL_TEXTURE_MIN_FILTER", "GL_LINEAR"),
            call("glTexImage2D", "GL_TEXTURE_2D", "0", "4", "256", "256", "0", "GL_RGBA",
                 "GL_UNSIGNED_BYTE", "blob(262144)")]

class Expectation:
    """The calls of display pass n for a given state of the program."""

    def __init__(self, program, frame, texture_id, array_scene=None):
        self.program = program
        self.s = program.settings
        self.frame = frame
        self.texture_id = texture_id
        # The scene's calls when it draws from client arrays: the same every
        # pass, the arrays' contents checked apart.
        self.array_scene = array_scene
        self.settled = frame.settled_after()
        self._scenes = {}

    def scene(self, n, space_state):
        if self.array_scene is not None:
            return self.array_scene
        # Once the picture has settled, every later pass draws the same
        # unless the scene moves on its own.
        key = (n if self.program.moves_when_settled else min(n, self.settled), space_state)
        if key not in self._scenes:
            if len(self._scenes) > 64:
                self._scenes.clear()
            self._scenes[key] = self.program.scene_calls(self.frame, key[0], space_state,
                                                         self.texture_id)
        return self._scenes[key]

    def camera(self, n, previous, target):
        """(yaw, pitch) after pass n, from those before it."""
        if target == "spin":
            target = (n * f32(self.s["yaw_rate"]), n * f32(self.s["pitch_rate"]))
        factor = f32(0.1)
        return tuple(f32(now + (aim - now) * factor) for now, aim in zip(previous, target))

    def pass_calls(self, n, space_state, yaw, pitch):
        calls = upload_calls(self.texture_id) if self.s["texture"] else []
        calls += [call("glRenderMode", "GL_RENDER") + " = GL_ZERO",
                  call("glClear", "GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT"),
                  call("glLoadIdentity"), call("glColor4f", "1", "1", "1", "1"),
                  call("glPushMatrix"), call("glRotatef", F(yaw), "0", "1", "0"),
                  call("glRotatef", F(pitch), *(str(v) for v in self.s["axis"]))]
        return calls + self.scene(n, space_state) + [call("glPopMatrix"), call("glFlush")]

def frames_of(trace):
    """Yields each frame as a list of (call number, call text), glX calls
    left out; a frame ends at a buffer swap. The last, unfinished one is
    yielded with `finished` false."""
    dump = subprocess.Popen(["apitrace", "dump", "--arg-names=no", "--color=never", trace],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                            bufsize=1 << 20)
    frame = []
    for line in dump.stdout:
        if not line[:1].isdigit():
            continue
        number, text = line.rstrip("\n").split(" ", 1)
        if text.startswith("glXSwapBuffers("):
            yield frame, True
            frame = []
        elif not text.startswith("glX"):
            frame.append((int(number), text))
    dump.wait()
    yield frame, False

def tokens(text):
    inside = text[text.index("(") + 1:text.rindex(")")]
    return inside.replace("{", "").replace("}", "").split(", ")

def same_call(actual, expected):
    """Exact text, or the same numbers where the trace's printing differs
    from ours in the last digits of a double."""
    if actual == expected:
        return True
    if actual.split("(")[0] != expected.split("(")[0] or actual.endswith(" // fake"):
        return False
    double = actual.split("(")[0].endswith("d")
    a, e = tokens(actual), tokens(expected)
    if len(a) != len(e):
        return False
    for x, y in zip(a, e):
        try:
            fx, fy = float(x), float(y)
        except ValueError:
            if x != y:
                return False
            continue
        if not math.isclose(fx, fy, rel_tol=1e-12 if double else 1e-6, abs_tol=1e-12):
            return False
    return True

def first_difference(actual, expected):
    for i, (a, e) in enumerate(zip(actual, expected)):
        if not same_call(a, e):
            return "call %d of the pass: got %s, expected %s" % (i, a, e)
    return "got %d calls, expected %d" % (len(actual), len(expected))

def matches(actual, expected):
    return len(actual) == len(expected) and all(
        a == e or same_call(a, e) for a, e in zip(actual, expected))

class TraceRun:
    """What a program's own checks may read of the trace."""

    def __init__(self, trace, directory, frame):
        self.trace = trace
        self.directory = directory
        self.frame = frame

    def blobs(self, calls):
        """The data each of the numbered calls passed, by call number."""
        subprocess.run(["apitrace", "dump", "--blobs", "--calls=" + ",".join(map(str, calls)),
                        self.trace], cwd=self.directory, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=True)
        out = {}
        for number in calls:
            with open(os.path.join(self.directory, "blob_call%d.bin" % number), "rb") as f:
                out[number] = f.read()
        return out


def check_trace(program, trace, directory, phases):
    """phases: the (space state, camera target) sequence the actions go
    through; every pass must be the pass of the current or the next phase."""
    s = program.settings
    frame = Frame(s)
    run = TraceRun(trace, directory, frame)
    frames = frames_of(trace)
    first, finished = next(frames)
    check(finished, "no frame was finished")
    texts = [t for _, t in first]
    gen = [t for t in texts if t.startswith("glGenTextures(1, &")]
    check(len(gen) == 1, "glGenTextures not called once in the first pass: %s" % gen)
    texture_id = int(gen[0].split("&")[1].rstrip(")"))
    start = next(i for i, t in enumerate(texts) if not t.endswith(" // fake"))
    texts = texts[start:]

    expect = Expectation(program, frame, texture_id, program.array_scene(texts))
    init = init_calls(s, texture_id)
    check(matches(texts[:len(init)], init),
          "initialisation differs: " + first_difference(texts[:len(init)], init))

    def passes():
        yield 1, texts[len(init):], first
        for n, (calls, done) in enumerate(frames, start=2):
            if not done:
                check(not calls, "calls after the last pass: %s" % calls[:5])
                return
            yield n, [t for _, t in calls], calls

    phase = 0
    camera = (0.0, 0.0)
    last = None
    for n, actual, numbered in passes():
        for candidate in (phase, phase + 1)[:len(phases) - phase]:
            space_state, target = phases[candidate]
            yaw, pitch = expect.camera(n, camera, target)
            if matches(actual, expect.pass_calls(n, space_state, yaw, pitch)):
                phase, camera = candidate, (yaw, pitch)
                break
        else:
            report = []
            for candidate in (phase, phase + 1)[:len(phases) - phase]:
                space_state, target = phases[candidate]
                yaw, pitch = expect.camera(n, camera, target)
                report.append("as in phase %d %s: %s" % (candidate, phases[candidate], first_difference(
                    actual, expect.pass_calls(n, space_state, yaw, pitch))))
            raise xh.TestFailure("pass %d differs; %s" % (n, "; ".join(report)))
        if n == 3 and s["texture"]:
            upload = [num for num, t in numbered if t.startswith("glTexImage2D")]
            blob = run.blobs(upload)[upload[0]]
            check(blob == frame.texture_image(3),
                  "the texture of pass 3 is not the picture smoothed three times")
        program.check_pass(n, numbered, run)
        last = (n, numbered)
    check(last is not None, "no pass traced")
    program.check_last_pass(*last, run)
    check(phase == len(phases) - 1,
          "the passes stopped at phase %d of %d: %s" % (phase, len(phases) - 1, phases[phase]))
    checked = last[0]
    check(checked >= 3, "too few passes traced")
    return checked

def phases_for(program):
    """The states the action script walks the program through."""
    space = program.space_states
    phases = [(state, (0, 0)) for state in space]
    last = space[-1]
    return phases + [(last, POINTER_TARGET), (last, "spin"), (last, POINTER_TARGET)]

def run_case(binary, xprobe, keep):
    name = os.path.basename(binary)
    program = program_expectations.load(name)
    session = xh.Session("gltrace-" + name, xprobe)
    ok = False
    try:
        session.write_capture(xh.frame_file(pattern))
        session.move_pointer(0, 0)
        trace = os.path.join(session.dir, name + ".trace")
        process = session.start(["apitrace", "trace", "-o", trace, binary], leak_check=False)
        window = xh.wait_for(lambda: (lambda w: w if w and w["x"] == 0 else None)(
            session.viewer_window()), 60, "the full-screen window")
        session.passes.wait(3, 60)

        def act(*xdotool_args):
            session.xdotool(*xdotool_args)
            # Two passes begun after the action: it has been handled, and
            # no two actions fall between the same pair of passes.
            session.passes.wait(2, 60)

        for _ in range(max(1, len(program.space_states) - 1)):
            session.xdotool("windowfocus", "--sync", window["id"])
            act("key", "space")
        act("mousemove", "--sync", *POINTER_TARGET)
        act("click", "3")
        act("click", "1")
        act("click", "1")
        session.xdotool("windowfocus", "--sync", window["id"])
        session.xdotool("key", "Escape")
        status = session.finish(process, 60)
        check(status == 0, "exit status %s: %s" % (status, session.output(process)[-2000:]))
        checked = check_trace(program, trace, session.dir, phases_for(program))
        print("  %s: %d passes matched" % (name, checked))
        ok = True
    finally:
        session.close(keep=keep and not ok)

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--xprobe", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the files of a failed case")
    parser.add_argument("binaries", nargs="+")
    args = parser.parse_args()
    xh.main_exit(xh.run_cases(args.binaries, lambda b: run_case(b, args.xprobe, args.keep)))

if __name__ == "__main__":
    main()
