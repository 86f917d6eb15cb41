"""What a matplotlib figure shows at a point: the tests of the plots and maps read colours
off the drawn canvas, as a reader sees them."""

import numpy as np


def pixel_at(ax, x, y):
    """The colour drawn at data coordinates (x, y) of the axes."""
    figure = ax.figure
    figure.canvas.draw()
    pixels = np.asarray(figure.canvas.buffer_rgba())
    column, row = ax.transData.transform((x, y))
    return tuple(int(v) for v in pixels[int(figure.bbox.height - row), int(column), :3])
