"""What the tests expect of tunnel."""

from glcalls import FRAME_S, FRAME_T, H, W, F, call, square
from pictures import MID_COLOR
from program_expectations import ProgramExpectations
from xharness import f32


class Expectations(ProgramExpectations):
    settings = dict(clear=(1, 1, 1, 1), depth=False, material=False, yaw_rate=0.5,
                    pitch_rate=0.120004795, axis=(1, 0, 0), fov=100, near=0.0,
                    alpha="constant", blend=0.1, texture=True)
    space_states = [0, 1, 2, 0]  # display mode
    # The twist follows the brightness for thousands of passes.
    moves_when_settled = True
    screenshot_pointer = (20, 10)

    def __init__(self):
        self._twists = [0.0]

    def twist(self, frame, n):
        """The twist angle in pass n: each pass closes 0.01 of the gap to the
        mean brightness divided by 5."""
        target = frame.brightness_sum // (W * H * 5)
        while len(self._twists) <= n:
            t = self._twists[-1]
            self._twists.append(f32(t + (target - t) * f32(0.01)))
        return self._twists[n]

    def scene_calls(self, frame, n, mode, texture_id):
        layer = []
        if mode in (0, 2):
            layer += [call("glColor4f", "1", "1", "1", "1"),
                      call("glBindTexture", "GL_TEXTURE_2D", str(texture_id))]
            layer += square(FRAME_S, FRAME_T, 0, 0.5)
        if mode in (0, 1):
            low, high = F(-0.01), F(0.51)
            layer += [call("glBindTexture", "GL_TEXTURE_2D", "0"),
                      call("glBegin", "GL_LINE_STRIP"), call("glColor4f", "0", "0", "0", "1")]
            for x, y in ((low, low), (low, high), (high, high), (high, low), (low, low)):
                layer.append(call("glVertex3f", x, y, "0"))
            layer.append(call("glEnd"))
        layer += [call("glRotatef", F(self.twist(frame, n)), "0", "0", "1"),
                  call("glTranslatef", "0", "0", F(0.1))]
        return [call("glTranslatef", "0", "0", "-4")] + layer * 80

    def capture_pixel(self, row, column):
        return MID_COLOR

    def check_picture(self, image):
        """White background, the stacked pictures tinted by the frame, and the
        black outlines of display mode 0."""
        failures = []
        white = dark = tinted = 0
        for i in range(0, len(image.data), 3):
            r, g, b = image.data[i:i + 3]
            if min(r, g, b) == 255:
                white += 1
            elif max(r, g, b) < 60:
                dark += 1
            elif r > g > b and r - b > 30:
                tinted += 1
        # The twist keeps turning the stack, so no place is always background.
        if white < 0.2 * image.width * image.height:
            failures.append("only %d background pixels" % white)
        if dark < 200:
            failures.append("only %d outline pixels" % dark)
        if tinted < 20000:
            failures.append("only %d picture pixels" % tinted)
        return failures
