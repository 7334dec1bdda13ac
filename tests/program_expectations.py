"""What the tests expect of each visualiser lives beside its scene, in
scenes/<program>/expectations.py: a class `Expectations` derived from
`ProgramExpectations` below, which says what a program has to give and what
a program with nothing special inherits. The trace test, the end-to-end
tests and the screenshot script load it by the program's name."""

import os
import runpy
import sys

TESTS = os.path.dirname(os.path.abspath(__file__))
SCENES = os.path.join(os.path.dirname(TESTS), "scenes")
# The expectation files are written with the GL-call and picture helpers.
for helpers in (os.path.join(TESTS, "e2e"), os.path.join(TESTS, "gltrace")):
    if helpers not in sys.path:
        sys.path.insert(0, helpers)


class ProgramExpectations:
    # The settings row as the tests expect it, written down apart from the
    # program's own: clear colour, depth test, colour material, yaw and pitch
    # per pass in automatic spin, pitch axis, field of view, near plane,
    # alpha rule ("brightness", "inverse" or "constant"), smoothing factor,
    # texture upload.
    settings = None

    # The space key's effect on the scene state: before the first press, then
    # after each press. [None]: the key changes nothing.
    space_states = [None]

    # Whether the picture keeps changing once the smoothed frame has settled.
    moves_when_settled = False

    # Where the screenshot puts the pointer: the view's turning angles in
    # degrees, a little from the side so that the scene's depth shows.
    screenshot_pointer = (30, 20)

    def scene_calls(self, frame, n, space_state, texture_id):
        """The scene's GL calls in display pass n (the first is 1), as the
        trace prints them; frame.smoothed(n) is the smoothed picture."""
        raise NotImplementedError

    def array_scene(self, first_pass):
        """For a scene that draws from client arrays, whose pointers the
        trace cannot predict: its calls, taken from the first pass's calls
        and checked for their shape; they are then expected in every pass.
        None for a scene drawn call by call."""
        return None

    def check_pass(self, n, calls, run):
        """Checks of pass n beyond its calls' text: `calls` are (number,
        text) pairs; run.blobs(numbers) gives the calls' data and
        run.frame the expected picture."""

    def check_last_pass(self, n, calls, run):
        """Like check_pass, for the last pass of the trace."""

    def capture_pixel(self, row, column):
        """The (r, g, b) of the capture file the end-to-end test shows the
        program; row 0 is the file's first."""
        raise NotImplementedError

    def check_picture(self, image):
        """The faults of the settled picture of that file: a list of texts,
        empty when it is right."""
        raise NotImplementedError


def about(program):
    """The keys of scenes/<program>/about.ini, which tells how the program
    presents itself (Name, Comment, Space, ...)."""
    keys = {}
    with open(os.path.join(SCENES, program, "about.ini"), encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                keys[key] = value
    return keys


def load(program):
    """The expectations of `program`, from its scene folder."""
    path = os.path.join(SCENES, program, "expectations.py")
    if not os.path.exists(path):
        raise RuntimeError("%s has no test expectations: %s is missing" % (program, path))
    namespace = runpy.run_path(path, run_name="expectations_" + program)
    expectations = namespace["Expectations"]()
    expectations.name = program
    return expectations
