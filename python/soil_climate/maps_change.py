"""Maps of a comparison of two periods: each period's most frequent regime side by side, the
cells whose most frequent regime changed in the colour of their new regime (unchanged
cells white), and, for one chosen regime, the change in its share of the years in
percentage points on a diverging scale."""

import os

import numpy as np

from . import maps
from .palettes import regime_colours

UNCHANGED_COLOUR = "#FFFFFF"
ROBUST_COLOUR = "#000000"
SHARE_CHANGE_COLOURMAP = "RdBu_r"


def regime_kind_of(dataset, regime):
    """The regime kind whose table holds the name `regime` (any case; blanks or
    underscores), and the regime's code, else ValueError naming the choices. `dataset`
    gives each kind's names as ``{kind}_class``."""
    wanted = str(regime).strip().upper().replace("_", " ")
    for kind in maps.REGIME_KINDS:
        names = [str(name) for name in _names(dataset, kind)]
        for code, name in enumerate(names):
            if name.upper() == wanted:
                return kind, code
    choices = sorted({str(name) for kind in maps.REGIME_KINDS for name in _names(dataset, kind)})
    raise ValueError(f"no regime {regime!r}: one of {', '.join(choices)}")


def _names(dataset, kind):
    names = dataset[f"{kind}_class"]
    return getattr(names, "values", names)


def plot_changed_map(dataset, kind="moisture_regime", ax=None):
    """The cells whose most frequent regime of `kind` changed from the first period to the
    second, in the colour of the second's; unchanged cells white, cells without a regime
    in either period grey. Returns the axes."""
    from matplotlib.colors import ListedColormap
    from matplotlib.patches import Patch
    changed = dataset[f"{kind}_changed"]
    layout = maps._Layout(changed)
    names = [str(name) for name in dataset[f"{kind}_class"].values]
    colours = regime_colours(kind, names) + [UNCHANGED_COLOUR]
    after = layout.arrange(dataset[f"most_frequent_{kind}"].isel(period=1, drop=True)).astype(float)
    flags = layout.arrange(changed)
    codes = np.where(flags == 1, after, np.where(flags == 0, len(names), np.nan))
    if ax is None:
        _, ax = maps._pyplot().subplots(figsize=(7, 4.5), constrained_layout=True)
    colourmap = ListedColormap(colours)
    colourmap.set_bad(maps.NO_DATA_COLOUR)
    ax.pcolormesh(layout.x_edges, layout.y_edges, np.ma.masked_invalid(codes), cmap=colourmap, vmin=-0.5,
                  vmax=len(colours) - 0.5, shading="flat", edgecolors="face")
    present = sorted({int(code) for code in codes[np.isfinite(codes) & (codes < len(names))].ravel()})
    handles = [Patch(facecolor=colours[code], edgecolor="#555555", label=f"now {names[code]}") for code in present]
    handles.append(Patch(facecolor=UNCHANGED_COLOUR, edgecolor="#555555", label="unchanged"))
    if f"{kind}_change_robust" in dataset:
        # An ensemble's cells where two thirds of the members agree on the change, outlined.
        from matplotlib.collections import PolyCollection
        robust = (layout.arrange(dataset[f"{kind}_change_robust"]) == 1) & (flags == 1)
        if robust.any():
            ax.add_collection(PolyCollection(layout.cells(robust), facecolors="none", edgecolors=ROBUST_COLOUR,
                                             linewidths=1.2))
        handles.append(Patch(facecolor="none", edgecolor=ROBUST_COLOUR, linewidth=1.2,
                             label="changed, two thirds of\nthe members agree"))
    if np.isnan(codes).any():
        handles.append(maps._no_data_handle())
    maps._legend(ax, handles)
    periods = [str(label) for label in dataset["period"].values]
    layout.finish(ax, f"{kind.replace('_', ' ')} changed, {periods[0]} to {periods[1]}")
    return ax


def plot_share_change_map(dataset, regime, ax=None):
    """The change in the share of the years in `regime` (a name of any regime table), in
    percentage points, on a diverging scale symmetric about 0. Returns the QuadMesh."""
    from matplotlib import colormaps
    from matplotlib.colors import Normalize
    kind, code = regime_kind_of(dataset, regime)
    change = dataset[f"{kind}_percent_change"].isel({f"{kind}_class": code}, drop=True)
    layout = maps._Layout(change.rename(f"most_frequent_{kind}"))
    if ax is None:
        _, ax = maps._pyplot().subplots(figsize=(7, 4.5), constrained_layout=True)
    values = layout.arrange(change).astype(float)
    reach = max(float(np.nanmax(np.abs(values))) if np.isfinite(values).any() else 0.0, 1.0)
    colourmap = colormaps[SHARE_CHANGE_COLOURMAP].copy()
    colourmap.set_bad(maps.NO_DATA_COLOUR)
    mesh = ax.pcolormesh(layout.x_edges, layout.y_edges, np.ma.masked_invalid(values), cmap=colourmap,
                         norm=Normalize(-reach, reach), shading="flat")
    if np.isnan(values).any():
        maps._legend(ax, [maps._no_data_handle()])
    name = str(dataset[f"{kind}_class"].values[code])
    layout.finish(ax, f"change in the share of the years in {name}")
    return mesh


def draw_change_maps(dataset, path, title, regime=None, format=None):
    """Writes a figure of a comparison of periods to `path`: the most frequent moisture
    regime of each period and the cells that changed, or, with `regime`, the kind of that
    regime's three panels and a fourth of the change in its share of the years."""
    path = os.fspath(path)
    format = maps.check_map_path(path) if format is None else maps._check_format(str(format).lower().lstrip("."),
                                                                                path)
    kind = "moisture_regime" if regime is None else regime_kind_of(dataset, regime)[0]
    layout = maps._Layout(dataset[f"{kind}_changed"])
    panels = 3 if regime is None else 4
    pyplot = maps._pyplot()
    width, height = maps._figure_size(layout, 2, regime is not None)
    figure, axes = pyplot.subplots(2, 2, figsize=(width, 2 * height), constrained_layout=True)
    axes = list(axes.ravel())
    try:
        for index, label in enumerate(dataset["period"].values):
            maps.plot_regime_map(dataset.isel(period=index), kind, axes[index])
            axes[index].set_title(f"most frequent {kind.replace('_', ' ')}, {label}", fontsize=10)
        plot_changed_map(dataset, kind, axes[2])
        if panels == 4:
            mesh = plot_share_change_map(dataset, regime, axes[3])
            bar = figure.colorbar(mesh, ax=axes[3], orientation="horizontal", shrink=0.8, aspect=30)
            bar.set_label("change in the share of the years (percentage points)", fontsize=9)
        else:
            axes[3].set_axis_off()
        figure.suptitle(title, fontsize=11)
        figure.savefig(path, dpi=120, format=format)
    finally:
        pyplot.close(figure)
