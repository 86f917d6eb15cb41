"""Maps of a grid's regimes with matplotlib: each cell's most frequent soil moisture regime,
subdivision or soil temperature regime in the colours of the station page, or the share of
the years that the most frequent regime holds, with a legend.

Cells nothing was simulated on (the sea) are grey; a cell whose most frequent regime holds
under half of its simulated years is hatched. Longitude/latitude grids are drawn with a
degree of longitude at its ground length at the grid's mean latitude, projected grids with
equal axes; a region across the seam of its longitudes (0/360 degrees in a 0-360 file, 180
in a -180-180 one) is drawn in one piece, in the plot only.
"""

import os
import shutil

import numpy as np

from . import _model
from .grid_netcdf import cell_edges
from .palettes import regime_colours

# Cold to warm, each isothermal regime a lighter tone of its band's: the station page's.
TEMPERATURE_REGIME_COLOURS = tuple(_model.temperature_regime_colours)
# A mid grey, unlike every regime colour (the undefined moisture regime is a light grey).
NO_DATA_COLOUR = "#8C8C8C"
MISSING_COLOUR = NO_DATA_COLOUR
HATCH = "////"
HATCH_COLOUR = "#1A1A1A"
SHARE_COLOURMAP = "viridis"
# The share (percent of the simulated years) the most frequent regime needs not to be hatched.
MAJORITY = 50.0

REGIME_KINDS = ("moisture_regime", "subdivision", "temperature_regime")
MAP_KINDS = ("regimes", "subdivision", "dominance")

LATITUDE_DIMS = ("lat", "latitude")
LONGITUDE_DIMS = ("lon", "longitude")
NO_DATA_LABEL = "no data (sea or no whole year)"
HATCH_LABEL = "hatched: most frequent regime\nin under half of the years"


def _pyplot():
    try:
        import matplotlib.pyplot as pyplot
    except ImportError as missing:
        raise ImportError("plots need matplotlib (Debian: python3-matplotlib)") from missing
    return pyplot


def _formats():
    """The formats matplotlib writes, by file extension."""
    try:
        from matplotlib.backend_bases import FigureCanvasBase
    except ImportError as missing:
        raise ImportError("maps need matplotlib (Debian: python3-matplotlib)") from missing
    return sorted(FigureCanvasBase.get_supported_filetypes())


def _check_format(format, path):
    import matplotlib
    formats = _formats()
    if format not in formats:
        raise ValueError(f"{path}: matplotlib cannot write .{format} maps; use one of "
                         f"{', '.join('.' + name for name in formats)}")
    if format == "pgf" and shutil.which(matplotlib.rcParams["pgf.texsystem"]) is None:
        # The PGF backend measures its text with LaTeX: without it, savefig fails.
        raise ValueError(f"{path}: .pgf maps need {matplotlib.rcParams['pgf.texsystem']} (LaTeX), which is not "
                         "installed")
    return format


def check_map_path(path):
    """The format of the map file `path` by its extension ("png", "pdf", "svg", ...), or a
    one-line ValueError if matplotlib cannot write it. Whether its folder exists and can be
    written is left to the caller."""
    path = os.fspath(path)
    extension = os.path.splitext(path)[1]
    if len(extension) < 2:
        raise ValueError(f"{path}: a map's file name needs an extension naming its format, one of "
                         f"{', '.join('.' + name for name in _formats())}")
    return _check_format(extension[1:].lower(), path)


def most_frequent_share(dataset, kind="moisture_regime"):
    """The percent of each cell's simulated years that its most frequent class of `kind`
    holds (NaN where nothing was simulated), read from ``{kind}_percent`` at
    ``most_frequent_{kind}``. On a tie the most frequent class is the first in the table,
    and its share is the tied share."""
    _check_regime_kind(kind)
    percent = dataset[f"{kind}_percent"]
    most = dataset[f"most_frequent_{kind}"]
    classes = f"{kind}_class"
    share = percent.isel({classes: most.where(most >= 0, 0).astype(np.int64)})
    if classes in share.coords:
        share = share.drop_vars(classes)
    return share.where(most >= 0)


def _check_regime_kind(kind):
    if kind not in REGIME_KINDS:
        raise ValueError(f"unknown regime {kind!r}: one of {', '.join(REGIME_KINDS)}")


class _Layout:
    """Where a grid's cells lie on the map: the axes' coordinates in ascending order (the
    longitudes of a region across the seam of its longitudes made contiguous), the
    cells' edges and the order that puts an array of the grid's cells on them."""

    def __init__(self, variable):
        dims = tuple(str(dim) for dim in variable.dims)
        lowered = [dim.lower() for dim in dims]
        if "station" in lowered:
            raise ValueError(f"{variable.name} lies along 'station', not on a grid: a map needs two spatial "
                             "dimensions (lat/lon or y/x)")
        if len(dims) != 2:
            spatial = LATITUDE_DIMS + LONGITUDE_DIMS + ("x", "y")
            if len(dims) < 2:
                along = f"along {dims[0]!r}" if dims else "in one cell"
                raise ValueError(f"{variable.name} lies {along}, not on a grid: a map needs two spatial dimensions "
                                 "(lat/lon or y/x)")
            extra = [dim for dim, low in zip(dims, lowered) if low not in spatial] or list(dims)
            raise ValueError(f"a map needs two spatial dimensions, but {variable.name} has {len(dims)} "
                             f"({', '.join(dims)}): select one {' and '.join(extra)} first, e.g. "
                             f"dataset.isel({extra[0]}=0)")
        latitude = [dim for dim, low in zip(dims, lowered) if low in LATITUDE_DIMS]
        longitude = [dim for dim, low in zip(dims, lowered) if low in LONGITUDE_DIMS]
        self.geographic = bool(latitude and longitude)
        if self.geographic:
            self.vertical, self.horizontal = latitude[0], longitude[0]
        elif sorted(lowered) == ["x", "y"]:
            self.vertical, self.horizontal = dims[lowered.index("y")], dims[lowered.index("x")]
        else:
            self.vertical, self.horizontal = dims
        x, y = self._centres(variable, self.horizontal), self._centres(variable, self.vertical)
        if x is None or y is None:
            self.geographic = False
        # Without numeric coordinates the cells are drawn by their index.
        x = np.arange(variable.sizes[self.horizontal], dtype=float) if x is None else x
        y = np.arange(variable.sizes[self.vertical], dtype=float) if y is None else y
        self.rows = np.argsort(y, kind="stable")
        self.columns = np.argsort(x, kind="stable")
        self.y, self.x = y[self.rows], x[self.columns]
        if self.geographic:
            self._wrap_longitudes()
        self.x_edges, self.y_edges = cell_edges(self.x), cell_edges(self.y)
        self.labels = tuple(self._label(variable, dim, geographic_label) for dim, geographic_label in (
            (self.horizontal, "longitude (degrees east)"), (self.vertical, "latitude (degrees north)")))

    @staticmethod
    def _centres(variable, dim):
        """The numeric, finite coordinate of `dim`, or None."""
        if dim in variable.coords:
            values = variable[dim].values
            if values.ndim == 1 and np.issubdtype(values.dtype, np.number) and np.isfinite(values).all():
                return values.astype(float)
        return None

    def _label(self, variable, dim, geographic_label):
        if self.geographic:
            return geographic_label
        units = variable[dim].attrs.get("units") if dim in variable.coords else None
        return f"{dim} ({units})" if units else dim

    def _wrap_longitudes(self):
        """Longitudes with a gap wider than the one around the globe from the last to the
        first (a region across 0 degrees east in a 0-360 file, or across 180 in a -180-180
        one): the part east of the gap goes 360 degrees west, before the rest."""
        x = self.x
        if len(x) < 2 or x[-1] - x[0] >= 360.0:
            return
        steps = np.diff(x)
        gap = int(np.argmax(steps))
        if steps[gap] <= x[0] + 360.0 - x[-1]:
            return
        self.x = np.concatenate([x[gap + 1:] - 360.0, x[:gap + 1]])
        self.columns = np.concatenate([self.columns[gap + 1:], self.columns[:gap + 1]])

    def arrange(self, array):
        """The values of a DataArray on the grid's two dimensions, rows up the map's
        vertical axis and columns along its horizontal one."""
        values = np.asarray(array.transpose(self.vertical, self.horizontal).values)
        return values[np.ix_(self.rows, self.columns)]

    def cells(self, where):
        """The outlines of the cells where `where` (an arranged boolean array) holds."""
        rows, columns = np.nonzero(where)
        x0, x1 = self.x_edges[columns], self.x_edges[columns + 1]
        y0, y1 = self.y_edges[rows], self.y_edges[rows + 1]
        return np.stack([np.stack([x0, y0], -1), np.stack([x1, y0], -1), np.stack([x1, y1], -1),
                         np.stack([x0, y1], -1)], axis=1)

    def aspect(self):
        """A degree of latitude over a degree of longitude on the ground at the grid's mean
        latitude: 1/cos(latitude) (capped at 85 degrees, near a pole)."""
        latitude = min(abs(float(np.mean(self.y))), 85.0)
        return 1.0 / np.cos(np.radians(latitude))

    def finish(self, ax, title):
        ax.set_xlim(self.x_edges[0], self.x_edges[-1])
        ax.set_ylim(self.y_edges[0], self.y_edges[-1])
        if self.geographic:
            ax.set_aspect(self.aspect())
        else:
            ax.set_aspect("equal")
        ax.set_xlabel(self.labels[0])
        ax.set_ylabel(self.labels[1])
        ax.set_title(title, fontsize=10)


def _legend(ax, handles):
    ax.legend(handles=handles, loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize=8, frameon=False)


def _no_data_handle():
    from matplotlib.patches import Patch
    return Patch(facecolor=NO_DATA_COLOUR, edgecolor="#555555", label=NO_DATA_LABEL)


def plot_regime_map(dataset, kind="moisture_regime", ax=None):
    """Draws the most frequent regime of each cell (`kind` "moisture_regime",
    "subdivision" or "temperature_regime") with a legend of the regimes that occur. Cells
    nothing was simulated on are grey ("no data"); a cell whose most frequent regime holds
    under 50 % of its simulated years is hatched, one at exactly 50 % is not (on a tie the
    most frequent is the first in the table). Returns the axes."""
    _check_regime_kind(kind)
    from matplotlib.collections import PolyCollection
    from matplotlib.colors import ListedColormap
    from matplotlib.patches import Patch
    variable = dataset[f"most_frequent_{kind}"]
    layout = _Layout(variable)
    names = [str(name) for name in dataset[f"{kind}_class"].values]
    colours = regime_colours(kind, names)
    if ax is None:
        _, ax = _pyplot().subplots(figsize=(7, 4.5), constrained_layout=True)
    codes = layout.arrange(variable).astype(float)
    codes[codes < 0] = np.nan
    colourmap = ListedColormap(colours)
    colourmap.set_bad(NO_DATA_COLOUR)
    ax.pcolormesh(layout.x_edges, layout.y_edges, np.ma.masked_invalid(codes), cmap=colourmap, vmin=-0.5,
                  vmax=len(colours) - 0.5, shading="flat")
    share = layout.arrange(most_frequent_share(dataset, kind))
    minority = np.isfinite(share) & (share < MAJORITY - 1e-9)
    if minority.any():
        ax.add_collection(PolyCollection(layout.cells(minority), facecolors="none", edgecolors=HATCH_COLOUR,
                                         linewidths=0.0, hatch=HATCH, label="minority cells"))
    present = sorted({int(code) for code in codes[np.isfinite(codes)].ravel()})
    handles = [Patch(facecolor=colours[code], edgecolor="#555555", label=names[code]) for code in present]
    if np.isnan(codes).any():
        handles.append(_no_data_handle())
    if minority.any():
        handles.append(Patch(facecolor="white", edgecolor=HATCH_COLOUR, hatch=HATCH, label=HATCH_LABEL))
    _legend(ax, handles)
    layout.finish(ax, f"most frequent {kind.replace('_', ' ')}")
    return ax


def plot_share_map(dataset, kind="moisture_regime", ax=None):
    """Draws the share of each cell's simulated years that its most frequent regime of
    `kind` holds, on a scale of 0 to 100 %; cells nothing was simulated on are grey.
    Returns the QuadMesh, for a colour bar."""
    from matplotlib.colors import Normalize
    from matplotlib import colormaps
    _check_regime_kind(kind)
    share = most_frequent_share(dataset, kind)
    layout = _Layout(share.rename(f"most_frequent_{kind}"))
    if ax is None:
        _, ax = _pyplot().subplots(figsize=(7, 4.5), constrained_layout=True)
    colourmap = colormaps[SHARE_COLOURMAP].copy()
    colourmap.set_bad(NO_DATA_COLOUR)
    values = layout.arrange(share).astype(float)
    mesh = ax.pcolormesh(layout.x_edges, layout.y_edges, np.ma.masked_invalid(values), cmap=colourmap,
                         norm=Normalize(0.0, 100.0), shading="flat")
    if np.isnan(values).any():
        _legend(ax, [_no_data_handle()])
    layout.finish(ax, f"share of the years in the most frequent {kind.replace('_', ' ')}")
    return mesh


def _figure_size(layout, panels, colour_bar):
    """A figure about as wide as its maps and their legends, the maps 3.8 inches high."""
    aspect = layout.aspect() if layout.geographic else 1.0
    width = (layout.x_edges[-1] - layout.x_edges[0]) / (aspect * (layout.y_edges[-1] - layout.y_edges[0]))
    map_width = float(np.clip(3.8 * width, 2.5, 9.0))
    return panels * (map_width + 3.4), 4.8 + (0.8 if colour_bar else 0.0)


def draw_regime_maps(dataset, path, title, kind="regimes", format=None):
    """Writes a figure of a grid's regimes to `path`, in the format of its extension (or
    `format`, e.g. "png", when `path` is a temporary name). `kind` is one of MAP_KINDS:
    "regimes", the most frequent moisture and temperature regimes side by side;
    "subdivision", the most frequent subdivision of the moisture regime; "dominance", the
    share of the years that the most frequent moisture regime and temperature regime hold,
    side by side on one scale of 0 to 100 %. An unknown kind, a format matplotlib cannot
    write or a Dataset not on a two-dimensional grid is a ValueError before anything is
    drawn."""
    if kind not in MAP_KINDS:
        raise ValueError(f"unknown map kind {kind!r}: one of {', '.join(MAP_KINDS)}")
    path = os.fspath(path)
    format = check_map_path(path) if format is None else _check_format(str(format).lower().lstrip("."), path)
    regimes = ("subdivision",) if kind == "subdivision" else ("moisture_regime", "temperature_regime")
    layout = [_Layout(dataset[f"most_frequent_{regime}"]) for regime in regimes][0]
    pyplot = _pyplot()
    figure, axes = pyplot.subplots(1, len(regimes), figsize=_figure_size(layout, len(regimes), kind == "dominance"),
                                   constrained_layout=True, squeeze=False)
    axes = list(axes[0])
    try:
        if kind == "dominance":
            meshes = [plot_share_map(dataset, regime, ax) for regime, ax in zip(regimes, axes)]
            bar = figure.colorbar(meshes[0], ax=list(axes), orientation="horizontal", shrink=0.5, aspect=40)
            bar.set_label("share of the simulated years in the most frequent regime (%)", fontsize=9)
        else:
            for regime, ax in zip(regimes, axes):
                plot_regime_map(dataset, regime, ax)
        figure.suptitle(title, fontsize=11)
        figure.savefig(path, dpi=120, format=format)
    finally:
        pyplot.close(figure)
