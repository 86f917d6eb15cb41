"""The station's figures drawn with matplotlib (Agg): the page's colours at known days,
years down the side, month ticks and legends."""

import os
import pathlib

import numpy as np
import pytest

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.pyplot as pyplot  # noqa: E402

import soil_climate  # noqa: E402
from figure_pixels import pixel_at  # noqa: E402

EXAMPLE = pathlib.Path(os.environ["EXAMPLES_DIR"]) / "davis"


@pytest.fixture(scope="module")
def davis():
    return soil_climate.simulate(**soil_climate.read_station(EXAMPLE))


def rgb(colour):
    return tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))


def test_the_moisture_calendar_has_the_pages_colours_on_known_days(davis):
    ax = davis.plot_moisture_calendar()
    colours = [rgb(colour) for colour in soil_climate._model.moisture_code_colours]
    for year, day in ((0, 5), (0, 200), (2, 40), (29, 350), (12, 185)):
        code = davis.moisture_calendar[year, day]
        assert pixel_at(ax, day + 0.5, year) == colours[code - 1], (year, day)
    assert [tick.get_text() for tick in ax.get_xticklabels()][:2] == ["Jan", "Feb"]
    assert ax.get_yticklabels()[0].get_text() == "1981"
    assert [text.get_text() for text in ax.get_legend().get_texts()] == list(soil_climate._model.moisture_code_names)
    pyplot.close(ax.figure)


def test_the_temperature_calendar_and_the_frequencies_draw_in_their_scales(davis):
    ax = davis.plot_temperature_calendar(scale=(0, 30))
    warm, cold = pixel_at(ax, 210.5, 0), pixel_at(ax, 20.5, 0)
    viridis = matplotlib.colormaps["viridis"]
    expected = lambda celsius: tuple(round(255 * c) for c in viridis((np.floor(celsius) + 0.5) / 30)[:3])  # noqa
    # The bin of each day's whole degree, along viridis (to a step of its 256 colours).
    for drawn, day in ((warm, 210), (cold, 20)):
        assert max(abs(a - b) for a, b in zip(drawn, expected(davis.temperature_calendar[0, day]))) <= 2
    pyplot.close(ax.figure)

    ax = davis.plot_frequencies("moisture_regime")
    assert [tick.get_text() for tick in ax.get_yticklabels()] == list(soil_climate._model.moisture_regime_names)
    xeric = ax.patches[1]
    assert xeric.get_width() == 100.0
    assert matplotlib.colors.to_hex(xeric.get_facecolor()).upper() == soil_climate._model.moisture_regime_colours[1]
    pyplot.close(ax.figure)
