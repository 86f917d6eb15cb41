"""A station's figures with matplotlib, in the colours and categories of the station page:
the moisture calendar, the soil temperature calendar and the regime frequencies, each
with years on the vertical axis, month ticks and a legend."""

import numpy as np

from . import _model
from .maps import TEMPERATURE_REGIME_COLOURS, _pyplot

MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def _calendar_axes(result, ax, title):
    """Axes for a calendar of (years, 360): a new figure sized to the years unless given;
    months along the top, the years' labels down the side (at most about 30 of them)."""
    pyplot = _pyplot()
    if ax is None:
        _, ax = pyplot.subplots(figsize=(7.0, 1.2 + 0.12 * min(len(result), 60)), layout="constrained")
    ax.set_xticks([15 + 30 * month for month in range(12)], MONTHS)
    ax.xaxis.tick_top()
    ax.tick_params(length=0)
    every = max(1, -(-len(result) // 30))
    ax.set_yticks(range(0, len(result), every), result.labels[::every])
    ax.set_title(f"{title}, {result.station['station_name'] or 'station'}", fontsize=10, loc="left")
    return ax


def _draw(ax, values, colours, bounds):
    """Draws (years, 360) values as cells of the colours of their classes, without blending."""
    from matplotlib.colors import BoundaryNorm, ListedColormap
    return ax.imshow(values, cmap=ListedColormap(colours), norm=BoundaryNorm(bounds, len(colours)),
                     aspect="auto", interpolation="nearest", extent=(0, 360, len(values) - 0.5, -0.5))


def plot_moisture_calendar(result, ax=None):
    """The moisture calendar of the moisture control section: one row a year, one column a
    day of the 360-day year, dry, partly dry and partly moist, and moist days in the page's
    colours. Returns the axes."""
    from matplotlib.patches import Patch
    ax = _calendar_axes(result, ax, "Soil moisture of the moisture control section")
    colours = list(_model.moisture_code_colours)
    _draw(ax, np.asarray(result.moisture_calendar), colours, [0.5, 1.5, 2.5, 3.5])
    ax.legend(handles=[Patch(facecolor=colour, label=name) for colour, name in zip(colours,
                                                                               _model.moisture_code_names)],
              loc="upper center", bbox_to_anchor=(0.5, -0.02), ncol=3, fontsize=8, frameon=False)
    return ax


def plot_temperature_calendar(result, ax=None, scale=None):
    """The soil temperature calendar in bins of 1 deg C, coloured along viridis as on the
    page: over the station's own range (4 to 9 deg C always included, at least 12 deg C
    wide), or over ``scale`` = (min, max) deg C for figures that compare. Returns the axes."""
    pyplot = _pyplot()
    ax = _calendar_axes(result, ax, "Soil temperature")
    values = np.asarray(result.temperature_calendar)
    if scale is None:
        first = min(int(np.floor(values.min())), 4)
        last = max(int(np.floor(values.max())), 8) + 1
        if last - first < 12:
            first -= (12 - (last - first)) // 2
            last = first + 12
    else:
        first, last = scale
    count = last - first
    colours = [pyplot.get_cmap("viridis")((position + 0.5) / count) for position in range(count)]
    image = _draw(ax, np.clip(values, first, last - 1e-9), colours, range(first, last + 1))
    bar = ax.figure.colorbar(image, ax=ax, location="bottom", shrink=0.6, aspect=40, pad=0.02)
    bar.set_label("soil temperature (deg C); 5 and 8 deg C marked", fontsize=8)
    bar.set_ticks([tick for tick in range(first, last + 1) if tick % 5 == 0 or tick in (5, 8)])
    for threshold in (5, 8):
        if first <= threshold <= last:
            bar.ax.axvline(threshold, color="black", linewidth=1.5)
    return ax


def plot_frequencies(result, kind="moisture_regime", ax=None):
    """How often each name of a regime table occurred (``kind`` "moisture_regime",
    "subdivision" or "temperature_regime"): bars of the percentage of years in the page's
    colours, each labelled with its years; every name of the table shown. Returns the
    axes."""
    pyplot = _pyplot()
    frequencies = result.frequencies(kind)
    names = list(frequencies)
    if ax is None:
        _, ax = pyplot.subplots(figsize=(5.0, 0.8 + 0.22 * len(names)), layout="constrained")
    colours = {"moisture_regime": list(_model.moisture_regime_colours),
               "temperature_regime": list(TEMPERATURE_REGIME_COLOURS)}.get(kind, ["#009E73"] * len(names))[:len(names)]
    percent = [frequencies[name][1] for name in names]
    bars = ax.barh(range(len(names)), percent, color=colours, height=0.7)
    ax.bar_label(bars, labels=[f"{frequencies[name][0]}" for name in names], padding=3, fontsize=8)
    ax.set_yticks(range(len(names)), names, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlim(0, 110)
    ax.set_xlabel("percent of years (bars labelled with their years)", fontsize=8)
    ax.set_title(f"{kind.replace('_', ' ')}, {len(result)} years", fontsize=10, loc="left")
    return ax
