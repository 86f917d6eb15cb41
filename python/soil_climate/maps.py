"""Maps of a grid's regimes with matplotlib: each cell's most frequent soil moisture regime
and soil temperature regime, in the colours of the station page, with a legend."""

import numpy as np

from . import _model

# Cold to warm, each isothermal regime a lighter tone of its band's: the station page's.
TEMPERATURE_REGIME_COLOURS = tuple(_model.temperature_regime_colours)
MISSING_COLOUR = "#FFFFFF"


def _pyplot():
    try:
        import matplotlib.pyplot as pyplot
    except ImportError as missing:
        raise ImportError("plots need matplotlib (Debian: python3-matplotlib)") from missing
    return pyplot


def plot_regime_map(dataset, kind="moisture_regime", ax=None):
    """Draws the most frequent regime of each cell (`kind` "moisture_regime",
    "subdivision" or "temperature_regime") on longitude/latitude axes, with a legend of the
    regimes that occur. Returns the axes."""
    from matplotlib.colors import ListedColormap
    from matplotlib.patches import Patch
    pyplot = _pyplot()
    variable = dataset[f"most_frequent_{kind}"]
    names = [str(name) for name in dataset[f"{kind}_class"].values]
    if kind == "moisture_regime":
        colours = list(_model.moisture_regime_colours)
    elif kind == "temperature_regime":
        colours = list(TEMPERATURE_REGIME_COLOURS)
    else:
        colours = [pyplot.get_cmap("tab20")(i % 20) for i in range(len(names))]
    if ax is None:
        _, ax = pyplot.subplots(figsize=(7, 4.5))
    codes = np.asarray(variable.values, dtype=float)
    codes[codes < 0] = np.nan
    horizontal, vertical = _axes(variable)
    ax.pcolormesh(horizontal, vertical, codes, cmap=ListedColormap(colours), vmin=-0.5,
                  vmax=len(colours) - 0.5, shading="auto")
    present = sorted({int(code) for code in codes[np.isfinite(codes)].ravel()})
    ax.legend(handles=[Patch(facecolor=colours[code], edgecolor="#555555", label=names[code]) for code in present],
              loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize=8, frameon=False)
    ax.set_xlabel("longitude (degrees east)" if _is_geographic(variable) else variable.dims[-1])
    ax.set_ylabel("latitude (degrees north)" if _is_geographic(variable) else variable.dims[-2])
    ax.set_title(f"most frequent {kind.replace('_', ' ')}", fontsize=10)
    ax.set_facecolor(MISSING_COLOUR)
    return ax


def _is_geographic(variable):
    return any(str(name).lower() in ("lat", "latitude") for name in variable.dims)


def _axes(variable):
    """The coordinates along the map's two axes (longitude, latitude or x, y)."""
    vertical, horizontal = variable.dims[-2], variable.dims[-1]
    return variable[horizontal].values, variable[vertical].values


def draw_regime_maps(dataset, path, title):
    """Writes a PNG of the most frequent moisture and temperature regimes side by side."""
    pyplot = _pyplot()
    figure, (moisture, temperature) = pyplot.subplots(1, 2, figsize=(13, 4.8), constrained_layout=True)
    plot_regime_map(dataset, "moisture_regime", moisture)
    plot_regime_map(dataset, "temperature_regime", temperature)
    figure.suptitle(title, fontsize=11)
    figure.savefig(path, dpi=120)
    pyplot.close(figure)
