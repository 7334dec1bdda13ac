"""Capture-file patterns and the arithmetic of what the window shows, for
writing a program's picture check."""

import math

import xharness as xh

RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)
# A colour with every channel different and none at either end.
MID_COLOR = (200, 120, 40)


def quadrants(low_left, low_right, high_left, high_right):
    """The file's first rows (low) and last rows (high), left and right halves."""
    def pixel(row, column):
        if row < xh.FRAME_HEIGHT // 2:
            return low_left if column < xh.FRAME_WIDTH // 2 else low_right
        return high_left if column < xh.FRAME_WIDTH // 2 else high_right
    return pixel


QUADRANTS = quadrants(RED, GREEN, BLUE, WHITE)


def settled(rgb, factor, alpha):
    """The settled RGBA of a uniformly coloured area."""
    values = [xh.settled_value(v, factor)[0] for v in rgb]
    return values + [xh.settled_value(alpha, factor)[0]]


def over(color, alpha, background):
    """`color` blended with `alpha` (0-255) over `background`."""
    return tuple(c * alpha / 255 + b * (255 - alpha) / 255 for c, b in zip(color, background))


def project(point, fov, aspect=640 / 480):
    """Window pixel of a point seen from (0, 0, 1) looking down -z."""
    x, y, z = point
    depth = 1 - z
    half = math.tan(math.radians(fov / 2))
    return (round(320 + 320 * x / depth / (half * aspect) - 0.5),
            round(240 - 240 * y / depth / half - 0.5))


def pixels_near(image, at, radius=2):
    x0, y0 = at
    return [image.pixel(x, y) for y in range(y0 - radius, y0 + radius + 1)
            for x in range(x0 - radius, x0 + radius + 1)]


def brightness_alpha(rgb):
    return sum(rgb) // 3
