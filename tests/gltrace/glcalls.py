"""GL calls as apitrace prints them, for writing a scene's expected calls."""

from xharness import FRAME_HEIGHT, FRAME_WIDTH, check, f32

W, H = FRAME_WIDTH, FRAME_HEIGHT


def F(value):
    """A single-precision argument as the trace prints it."""
    return "%.7g" % f32(value)


def call(name, *args):
    return "%s(%s)" % (name, ", ".join(args))


def square(s_extent, t_extent, low, high):
    """A textured GL_POLYGON from (low, low) to (high, high) in z = 0 showing
    the texture from (0, 0) to (s_extent, t_extent)."""
    calls = [call("glBegin", "GL_POLYGON")]
    for s, t, x, y in ((0, 0, low, low), (0, t_extent, low, high),
                       (s_extent, t_extent, high, high), (s_extent, 0, high, low)):
        calls += [call("glTexCoord2f", F(s), F(t)), call("glVertex3f", F(x), F(y), "0")]
    return calls + [call("glEnd")]


# The frame's share of the 256 x 256 texture.
FRAME_S, FRAME_T = 0.625, 0.46875

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


def draws_of(calls):
    """The array draws among a scene's calls."""
    return [t for t in calls if t.startswith(("glDrawElements", "glDrawArrays"))]


def floats(blob):
    return [f32(v) for v in memoryview(blob).cast("f")]
