"""What the tests expect of planes."""

from glcalls import FRAME_S, FRAME_T, F, call, square
from pictures import BLUE, GREEN, QUADRANTS, RED, WHITE, brightness_alpha, over, settled
from program_expectations import ProgramExpectations
from xharness import f32, near


class Expectations(ProgramExpectations):
    settings = dict(clear=(0, 0, 0, 1), depth=False, material=False, yaw_rate=1,
                    pitch_rate=0.30003002, axis=(1, 0, 0), fov=45, near=f32(0.1),
                    alpha="brightness", blend=0.1, texture=True)
    screenshot_pointer = (35, 30)

    def scene_calls(self, frame, n, space_state, texture_id):
        picture = square(FRAME_S, FRAME_T, -1, 1)
        return ([call("glScalef", F(0.7), F(0.7), F(0.7))] + picture +
                [call("glRotatef", "90", "0", "1", "0")] + picture +
                [call("glRotatef", "90", "1", "0", "0")] + picture)

    def capture_pixel(self, row, column):
        return QUADRANTS(row, column)

    def check_picture(self, image):
        """Seen straight on, the facing square fills the window with the
        middle of the picture, opacity by brightness over black: the file's
        first rows at the bottom, its left half on the left."""
        failures = []
        for rgb, xs, ys in ((RED, (40, 160, 280), (280, 360, 460)),
                            (GREEN, (360, 480, 600), (280, 360, 460)),
                            (BLUE, (40, 160, 280), (20, 120, 200)),
                            (WHITE, (360, 480, 600), (20, 120, 200))):
            *color, alpha = settled(rgb, 0.1, brightness_alpha(rgb))
            expected = over(color, alpha, (0, 0, 0))
            for x in xs:
                for y in ys:
                    if not near(image.pixel(x, y), expected, 3):
                        failures.append("(%d,%d) is %s, expected %s" % (
                            x, y, image.pixel(x, y), tuple(round(v) for v in expected)))
        return failures
