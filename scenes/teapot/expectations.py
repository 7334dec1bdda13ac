"""What the tests expect of teapot."""

from glcalls import array_scene_of, draws_of, floats
from pictures import over, settled
from program_expectations import ProgramExpectations
from xharness import check, f32, near

# Dark, so the teapots are nearly opaque on the white background.
TEAPOT_COLOR = (20, 40, 90)


class Expectations(ProgramExpectations):
    settings = dict(clear=(1, 1, 1, 1), depth=False, material=False, yaw_rate=1,
                    pitch_rate=0.0300003, axis=(1, 0, 0), fov=45, near=f32(0.1),
                    alpha="inverse", blend=0.1, texture=True)
    screenshot_pointer = (30, 20)

    def array_scene(self, first_pass):
        """Two teapots drawn from client arrays the same way, and nothing else."""
        scene = array_scene_of(first_pass)
        half = len(scene) // 2
        check(len(scene) == 2 * half and scene[:half] == scene[half:],
              "teapot scene is not two identical draws: %s" % scene)
        check(len(draws_of(scene[:half])) == 1, "a teapot is not one vertex-array draw: %s" % scene)
        return scene

    def check_pass(self, n, calls, run):
        """The inner teapot is the outer one at half the size."""
        if n != 3:
            return
        pointers = [number for number, t in calls if t.startswith("glVertexPointer")]
        coords = [number for number, t in calls if t.startswith("glTexCoordPointer")]
        check(len(pointers) == 2 and len(coords) == 2, "expected two vertex and texture arrays")
        blobs = run.blobs(pointers + coords)
        outer, inner = floats(blobs[pointers[0]]), floats(blobs[pointers[1]])
        check(len(outer) == len(inner) and max(map(abs, outer)) > 1,
              "teapot vertex arrays differ in size or are empty")
        check(all(abs(i - o * 0.5) <= 1e-6 * max(1, abs(o)) for o, i in zip(outer, inner)),
              "the second teapot is not the first at half size")
        check(blobs[coords[0]] == blobs[coords[1]], "the teapots' texture coordinates differ")

    def capture_pixel(self, row, column):
        return TEAPOT_COLOR

    def check_picture(self, image):
        """Every pixel is the white background seen through some number of
        picture layers."""
        *color, alpha = settled(TEAPOT_COLOR, 0.1, (765 - sum(TEAPOT_COLOR)) // 3)
        layers = [(255, 255, 255)]
        for _ in range(6):
            layers.append(over(color, alpha, layers[-1]))
        counts = [0] * len(layers)
        total = image.width * image.height
        for i in range(0, len(image.data), 3):
            pixel = image.data[i:i + 3]
            for k, layer in enumerate(layers):
                if near(pixel, layer, 4):
                    counts[k] += 1
                    break
        failures = []
        if sum(counts) < 0.9 * total:
            failures.append("only %d of %d pixels are picture layers over white" % (sum(counts),
                                                                                   total))
        if counts[0] < 0.05 * total or counts[1] < 0.1 * total:
            failures.append("too little background (%d) or single layer (%d)" % tuple(counts[:2]))
        return failures
