"""What the tests expect of relief."""

import struct

from glcalls import H, W, F, array_scene_of, call, draws_of
from pictures import BLUE, GREEN, QUADRANTS, RED, WHITE, brightness_alpha, project, settled
from program_expectations import ProgramExpectations
from xharness import check, f32, near

PREFIX = (call("glTranslatef", F(-0.7), F(-0.7), F(-0.5)),
          call("glScalef", F(0.009), F(0.009), F(0.009)))
# Colour, file row and file column of tiles the picture check looks at.
TILES = ((RED, 30, 20), (GREEN, 10, 100), (BLUE, 90, 20), (WHITE, 90, 120))


def tile_arrays(smoothed):
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


class Expectations(ProgramExpectations):
    settings = dict(clear=(0.4, 0.4, 0.4, 1), depth=True, material=False, yaw_rate=0.11111111,
                    pitch_rate=0.08823789, axis=(0, 0, 1), fov=100, near=f32(0.0001),
                    alpha="brightness", blend=1 / 70, texture=False)
    screenshot_pointer = (25, 40)

    def __init__(self):
        self.arrays = False

    def scene_calls(self, frame, n, space_state, texture_id):
        """One push, translate, quad and pop per tile."""
        smoothed = frame.smoothed(n)
        calls = list(PREFIX)
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

    def array_scene(self, first_pass):
        """All tiles in one draw of quads, four corners each."""
        self.arrays = any(t.startswith("glDrawArrays(") for t in first_pass)
        if not self.arrays:
            return None
        scene = array_scene_of(first_pass, PREFIX)
        check(draws_of(scene) == [call("glDrawArrays", "GL_QUADS", "0", str(4 * W * H))],
              "relief tiles not drawn as one array of quads: %s" % draws_of(scene))
        return scene

    def check_pass(self, n, calls, run):
        if n == 3:
            self.check_last_pass(n, calls, run)

    def check_last_pass(self, n, calls, run):
        if not self.arrays:
            return
        vertices = [num for num, t in calls if t.startswith("glVertexPointer(3, GL_FLOAT, 0,")]
        colors = [num for num, t in calls if t.startswith("glColorPointer(4, GL_FLOAT, 0,")]
        check(len(vertices) == 1 and len(colors) == 1, "relief pass %d: no float vertex and "
              "colour arrays" % n)
        blobs = run.blobs(vertices + colors)
        expected_vertices, expected_colors = tile_arrays(run.frame.smoothed(n))
        check(blobs[vertices[0]] == expected_vertices, "relief pass %d: tile corners wrong" % n)
        check(blobs[colors[0]] == expected_colors, "relief pass %d: tile colours wrong" % n)

    def capture_pixel(self, row, column):
        return QUADRANTS(row, column)

    def check_picture(self, image):
        """Opaque tiles on grey 0.4, the file's rows running to the right and
        its columns upward, each tile lifted toward the viewer by brightness."""
        failures = []
        for corner in ((2, 2), (637, 2), (2, 477), (637, 477)):
            if not near(image.pixel(*corner), (102, 102, 102), 1):
                failures.append("background at %s is %s" % (corner, image.pixel(*corner)))
        factor = 1 / 70
        for rgb, row, column in TILES:
            *color, alpha = settled(rgb, factor, brightness_alpha(rgb))
            center = (-0.7 + 0.009 * (row + 0.5), -0.7 + 0.009 * (column + 0.5),
                      -0.5 + 0.009 * alpha * 0.5)
            at = project(center, 100)
            expected = tuple(c * 255 / 256 for c in color)
            if not near(image.pixel(*at), expected, 3):
                failures.append("tile (%d,%d) at %s is %s, expected %s" % (
                    row, column, at, image.pixel(*at), tuple(round(v) for v in expected)))
        return failures
