"""What the tests expect of colorspace."""

from glcalls import F, call
from pictures import MID_COLOR, pixels_near, project
from program_expectations import ProgramExpectations
from xharness import f32, near


class Expectations(ProgramExpectations):
    settings = dict(clear=(0.5, 0.5, 0.5, 1), depth=True, material=True, yaw_rate=0.5,
                    pitch_rate=0.120004795, axis=(0, 0, 1), fov=45, near=f32(0.1),
                    alpha="brightness", blend=0.1, texture=False)
    space_states = [True, False, True, False]  # axes shown
    screenshot_pointer = (40, 25)

    def scene_calls(self, frame, n, axes, texture_id):
        smoothed = frame.smoothed(n)
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

    def capture_pixel(self, row, column):
        return MID_COLOR

    def check_picture(self, image):
        """Grey 0.5 background with the red, green and blue axes leaving the
        cube's origin along x, y and z."""
        failures = []
        for corner in ((2, 2), (637, 2), (637, 477)):
            if not near(image.pixel(*corner), (127.5, 127.5, 127.5), 1):
                failures.append("background at %s is %s" % (corner, image.pixel(*corner)))
        origin = (-0.3, -0.3, -0.2)
        for channel, name in enumerate(("red", "green", "blue")):
            # 0.4 scene units per axis unit; half a unit out the axis is still opaque.
            point = [o + (0.2 if i == channel else 0) for i, o in enumerate(origin)]
            at = project(point, 45)
            if not any(p[channel] > max(p) - 1 and p[channel] - min(p) > 60
                       for p in pixels_near(image, at)):
                failures.append("no %s axis near %s: %s" % (name, at, pixels_near(image, at, 1)))
        return failures
