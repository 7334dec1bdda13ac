"""Runs a visualiser under apitrace with a known capture file, drives it
with keys and the mouse, and compares every traced display pass call by
call with what the program must send to GL."""

import argparse
import math
import os
import struct
import subprocess
import sys

# Imported from the source tree, which must stay free of bytecode caches.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import xharness as xh  # noqa: E402
from xharness import check, f32  # noqa: E402

SETTINGS = {
    # clear colour, depth test, colour material, yaw and pitch per pass in
    # automatic spin, pitch axis, field of view, near plane, alpha rule,
    # smoothing factor, texture upload
    "colorspace": dict(clear=(0.5, 0.5, 0.5, 1), depth=True, material=True, yaw_rate=0.5,
                       pitch_rate=0.120004795, axis=(0, 0, 1), fov=45, near=f32(0.1),
                       alpha="brightness", blend=0.1, texture=False),
    "teapot": dict(clear=(1, 1, 1, 1), depth=False, material=False, yaw_rate=1,
                   pitch_rate=0.0300003, axis=(1, 0, 0), fov=45, near=f32(0.1),
                   alpha="inverse", blend=0.1, texture=True),
    "planes": dict(clear=(0, 0, 0, 1), depth=False, material=False, yaw_rate=1,
                   pitch_rate=0.30003002, axis=(1, 0, 0), fov=45, near=f32(0.1),
                   alpha="brightness", blend=0.1, texture=True),
    "relief": dict(clear=(0.4, 0.4, 0.4, 1), depth=True, material=False, yaw_rate=0.11111111,
                   pitch_rate=0.08823789, axis=(0, 0, 1), fov=100, near=f32(0.0001),
                   alpha="brightness", blend=1 / 70, texture=False),
    "tunnel": dict(clear=(1, 1, 1, 1), depth=False, material=False, yaw_rate=0.5,
                   pitch_rate=0.120004795, axis=(1, 0, 0), fov=100, near=0.0,
                   alpha="constant", blend=0.1, texture=True),
}

# The space key's effect on the scene state, one entry per press.
SPACE_STATES = {
    "colorspace": [True, False, True, False],  # axes shown
    "tunnel": [0, 1, 2, 0],  # display mode
}

POINTER_TARGET = (100, 50)
W, H = xh.FRAME_WIDTH, xh.FRAME_HEIGHT

def pattern(row, column):
    # Every channel different and varying along both axes, with values high
    # enough that even the slowest smoothing moves them.
    return ((7 * row + 3 * column) % 256, (5 * column + 90) % 256, (row * row + column) % 256)

def F(value):
    """A single-precision argument as the trace prints it."""
    return "%.7g" % f32(value)

def call(name, *args):
    return "%s(%s)" % (name, ", ".join(args))

class Frame:
    """What the program should be showing: the smoothed picture after
    `passes` passes of a constant capture file."""

    def __init__(self, program):
        self.settings = SETTINGS[program]
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

def init_calls(program, texture_id):
    s = SETTINGS[program]
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

def colorspace_scene(smoothed, axes):
    calls = [call("glTranslatef", F(-0.3), F(-0.3), F(-0.2)),
             call("glScalef", F(0.002), F(0.002), F(0.002)), call("glBegin", "GL_LINE_STRIP")]
    for i in range(0, len(smoothed), 4):
        r, g, b = smoothed[i:i + 3]
        calls.append(call("glColor4f", F(r / 256), F(g / 256), F(b / 256), "1"))
        calls.append(call("glVertex3f", F(r), F(g), F(b)))
    calls.append(call("glEnd"))
    if axes:
        calls += [call("glScalef", "200", "200", "200"), call("glBegin", "GL_LINES")]
        for axis in ((1, 0, 0), (0, 1, 0), (0, 0, 1)):
            c = [str(v) for v in axis]
            calls += [call("glColor4f", *c, "1"), call("glVertex3f", "0", "0", "0"),
                      call("glColor4f", *c, "0"),
                      call("glVertex3f", *(str(100 * v) for v in axis))]
        calls.append(call("glEnd"))
    return calls

def square(s_extent, t_extent, low, high):
    calls = [call("glBegin", "GL_POLYGON")]
    for s, t, x, y in ((0, 0, low, low), (0, t_extent, low, high),
                       (s_extent, t_extent, high, high), (s_extent, 0, high, low)):
        calls += [call("glTexCoord2f", F(s), F(t)), call("glVertex3f", F(x), F(y), "0")]
    return calls + [call("glEnd")]

def planes_scene():
    picture = square(0.625, 0.46875, -1, 1)
    return ([call("glScalef", F(0.7), F(0.7), F(0.7))] + picture +
            [call("glRotatef", "90", "0", "1", "0")] + picture +
            [call("glRotatef", "90", "1", "0", "0")] + picture)

def relief_scene(smoothed):
    calls = [call("glTranslatef", F(-0.7), F(-0.7), F(-0.5)),
             call("glScalef", F(0.009), F(0.009), F(0.009))]
    quad = [call("glBegin", "GL_QUADS"), call("glVertex3f", "0", "0", "0"),
            call("glVertex3f", "0", "1", "0"), call("glVertex3f", "1", "1", "0"),
            call("glVertex3f", "1", "0", "0"), call("glEnd"), call("glPopMatrix")]
    for row in range(H):
        for column in range(W):
            r, g, b, a = smoothed[(row * W + column) * 4:(row * W + column) * 4 + 4]
            calls.append(call("glColor4f", F(r / 256), F(g / 256), F(b / 256), "1"))
            calls.append(call("glPushMatrix"))
            calls.append(call("glTranslatef", str(row), str(column), F(a * 0.5)))
            calls += quad
    return calls

def tunnel_scene(mode, twist, texture_id):
    layer = []
    if mode in (0, 2):
        layer += [call("glColor4f", "1", "1", "1", "1"),
                  call("glBindTexture", "GL_TEXTURE_2D", str(texture_id))]
        layer += square(0.625, 0.46875, 0, 0.5)
    if mode in (0, 1):
        low, high = F(-0.01), F(0.51)
        layer += [call("glBindTexture", "GL_TEXTURE_2D", "0"), call("glBegin", "GL_LINE_STRIP"),
                  call("glColor4f", "0", "0", "0", "1")]
        for x, y in ((low, low), (low, high), (high, high), (high, low), (low, low)):
            layer.append(call("glVertex3f", x, y, "0"))
        layer.append(call("glEnd"))
    layer += [call("glRotatef", F(twist), "0", "0", "1"), call("glTranslatef", "0", "0", F(0.1))]
    return [call("glTranslatef", "0", "0", "-4")] + layer * 80

class Expectation:
    """The calls of display pass n for a given state of the program."""

    def __init__(self, program, frame, texture_id, array_scene=None):
        self.program = program
        self.s = SETTINGS[program]
        self.frame = frame
        self.texture_id = texture_id
        # The scene's calls when it draws from client arrays: the same every
        # pass, the arrays' contents checked apart.
        self.array_scene = array_scene
        self.settled = frame.settled_after()
        self._scenes = {}
        self._twists = [0.0]
        self.twist_target = frame.brightness_sum // (W * H * 5)

    def twist(self, n):
        while len(self._twists) <= n:
            t = self._twists[-1]
            self._twists.append(f32(t + (self.twist_target - t) * f32(0.01)))
        return self._twists[n]

    def scene(self, n, space_state):
        # Once the picture has settled, every later pass draws the same.
        key = (min(n, self.settled), space_state)
        if self.program == "tunnel":
            key = (n, space_state)
        if self.array_scene is not None:
            return self.array_scene
        if key not in self._scenes:
            smoothed = self.frame.smoothed(key[0])
            if self.program == "colorspace":
                scene = colorspace_scene(smoothed, space_state)
            elif self.program == "planes":
                scene = planes_scene()
            elif self.program == "relief":
                scene = relief_scene(smoothed)
            else:
                scene = tunnel_scene(space_state, self.twist(n), self.texture_id)
            if len(self._scenes) > 64:
                self._scenes.clear()
            self._scenes[key] = scene
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

def dump_blobs(trace, calls, directory):
    subprocess.run(["apitrace", "dump", "--blobs", "--calls=" + ",".join(map(str, calls)), trace],
                   cwd=directory, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=120, check=True)
    out = {}
    for number in calls:
        with open(os.path.join(directory, "blob_call%d.bin" % number), "rb") as f:
            out[number] = f.read()
    return out

CLIENT_ARRAY_CALLS = {"glEnableClientState", "glDisableClientState", "glVertexPointer",
                      "glNormalPointer", "glTexCoordPointer", "glColorPointer", "glDrawElements",
                      "glDrawArrays"}


def array_scene_of(texts, prefix=()):
    """The scene of a pass that draws from client arrays: `prefix`, then
    nothing but client-array calls up to the end of the pass."""
    start = texts.index(call("glPushMatrix")) + 3
    end = texts.index(call("glPopMatrix"))
    check(texts[start:start + len(prefix)] == list(prefix),
          "scene does not start with %s: %s" % (prefix, texts[start:start + len(prefix)]))
    scene = texts[start + len(prefix):end]
    check({t.split("(")[0] for t in scene} <= CLIENT_ARRAY_CALLS,
          "scene has calls besides client-array draws: %s" % scene)
    return texts[start:end]


def teapot_scene_of(texts):
    """Two teapots drawn from client arrays the same way, and nothing else."""
    scene = array_scene_of(texts)
    half = len(scene) // 2
    check(len(scene) == 2 * half and scene[:half] == scene[half:],
          "teapot scene is not two identical draws: %s" % scene)
    draws = [t for t in scene[:half] if t.startswith(("glDrawElements", "glDrawArrays"))]
    check(len(draws) == 1, "a teapot is not one vertex-array draw: %s" % scene)
    return scene


RELIEF_PREFIX = (call("glTranslatef", F(-0.7), F(-0.7), F(-0.5)),
                 call("glScalef", F(0.009), F(0.009), F(0.009)))


def relief_scene_of(texts):
    """All tiles in one draw of quads, four corners each."""
    scene = array_scene_of(texts, RELIEF_PREFIX)
    draws = [t for t in scene if t.startswith(("glDrawElements", "glDrawArrays"))]
    check(draws == [call("glDrawArrays", "GL_QUADS", "0", str(4 * W * H))],
          "relief tiles not drawn as one array of quads: %s" % draws)
    return scene


def relief_arrays(smoothed):
    """The corners of tile (row i, column j) at (i, j, lift) plus the unit
    square's corners in drawing order, each in the tile's colour."""
    positions, colors = [], []
    for row in range(H):
        for column in range(W):
            r, g, b, a = smoothed[(row * W + column) * 4:(row * W + column) * 4 + 4]
            lift = f32(a * 0.5)
            for dx, dy in ((0, 0), (0, 1), (1, 1), (1, 0)):
                positions += (row + dx, column + dy, lift)
                colors += (r / 256, g / 256, b / 256, 1)
    return (struct.pack("%df" % len(positions), *positions),
            struct.pack("%df" % len(colors), *colors))


def check_relief_arrays(n, frame_calls, frame, trace, directory):
    vertices = [num for num, t in frame_calls if t.startswith("glVertexPointer(3, GL_FLOAT, 0,")]
    colors = [num for num, t in frame_calls if t.startswith("glColorPointer(4, GL_FLOAT, 0,")]
    check(len(vertices) == 1 and len(colors) == 1, "relief pass %d: no float vertex and "
          "colour arrays" % n)
    blobs = dump_blobs(trace, vertices + colors, directory)
    expected_vertices, expected_colors = relief_arrays(frame.smoothed(n))
    check(blobs[vertices[0]] == expected_vertices, "relief pass %d: tile corners wrong" % n)
    check(blobs[colors[0]] == expected_colors, "relief pass %d: tile colours wrong" % n)


def floats(blob):
    return [f32(v) for v in memoryview(blob).cast("f")]

def check_teapot_sizes(frame_calls, trace, directory):
    """The inner teapot is the outer one at half the size."""
    pointers = [n for n, t in frame_calls if t.startswith("glVertexPointer")]
    coords = [n for n, t in frame_calls if t.startswith("glTexCoordPointer")]
    check(len(pointers) == 2 and len(coords) == 2, "expected two vertex and texture arrays")
    blobs = dump_blobs(trace, pointers + coords, directory)
    outer, inner = floats(blobs[pointers[0]]), floats(blobs[pointers[1]])
    check(len(outer) == len(inner) and max(map(abs, outer)) > 1,
          "teapot vertex arrays differ in size or are empty")
    check(all(abs(i - o * 0.5) <= 1e-6 * max(1, abs(o)) for o, i in zip(outer, inner)),
          "the second teapot is not the first at half size")
    check(blobs[coords[0]] == blobs[coords[1]], "the teapots' texture coordinates differ")

def check_trace(program, trace, directory, phases):
    """phases: the (space state, camera target) sequence the actions go
    through; every pass must be the pass of the current or the next phase."""
    s = SETTINGS[program]
    frame = Frame(program)
    frames = frames_of(trace)
    first, finished = next(frames)
    check(finished, "no frame was finished")
    texts = [t for _, t in first]
    gen = [t for t in texts if t.startswith("glGenTextures(1, &")]
    check(len(gen) == 1, "glGenTextures not called once in the first pass: %s" % gen)
    texture_id = int(gen[0].split("&")[1].rstrip(")"))
    start = next(i for i, t in enumerate(texts) if not t.endswith(" // fake"))
    texts = texts[start:]

    array_scene = None
    if program == "teapot":
        array_scene = teapot_scene_of(texts)
    elif program == "relief" and any(t.startswith("glDrawArrays(") for t in texts):
        array_scene = relief_scene_of(texts)
    expect = Expectation(program, frame, texture_id, array_scene)
    init = init_calls(program, texture_id)
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
    checked = 0
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
        checked += 1
        if n == 3 and s["texture"]:
            upload = [num for num, t in numbered if t.startswith("glTexImage2D")]
            blob = dump_blobs(trace, upload, directory)[upload[0]]
            check(blob == frame.texture_image(3),
                  "the texture of pass 3 is not the picture smoothed three times")
        if n == 3 and program == "teapot":
            check_teapot_sizes(numbered, trace, directory)
        if program == "relief" and array_scene is not None:
            if n == 3:
                check_relief_arrays(n, numbered, frame, trace, directory)
            last = (n, numbered)
    if program == "relief" and array_scene is not None:
        check_relief_arrays(*last, frame, trace, directory)
    check(phase == len(phases) - 1,
          "the passes stopped at phase %d of %d: %s" % (phase, len(phases) - 1, phases[phase]))
    check(checked >= 3, "too few passes traced")
    return checked

def phases_for(program):
    """The states the action script walks the program through."""
    space = SPACE_STATES.get(program, [None])
    phases = [(state, (0, 0)) for state in space]
    last = space[-1]
    return phases + [(last, POINTER_TARGET), (last, "spin"), (last, POINTER_TARGET)]

def run_case(binary, xprobe, keep):
    program = os.path.basename(binary)
    session = xh.Session("gltrace-" + program, xprobe)
    ok = False
    try:
        session.write_capture(xh.frame_file(pattern))
        session.move_pointer(0, 0)
        trace = os.path.join(session.dir, program + ".trace")
        process = session.start(["apitrace", "trace", "-o", trace, binary], leak_check=False)
        window = xh.wait_for(lambda: (lambda w: w if w and w["x"] == 0 else None)(
            session.viewer_window()), 60, "the full-screen window")
        session.passes.wait(3, 60)

        def act(*xdotool_args):
            session.xdotool(*xdotool_args)
            # Two passes begun after the action: it has been handled, and
            # no two actions fall between the same pair of passes.
            session.passes.wait(2, 60)

        for _ in range(max(1, len(SPACE_STATES.get(program, [])) - 1)):
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
        print("  %s: %d passes matched" % (program, checked))
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
