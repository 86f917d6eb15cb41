"""The colours of the regimes, by code, as "#RRGGBB": the station page's for the moisture and
temperature regimes, and one palette for the subdivisions, shared by the maps and the
GeoTIFFs so that a region looks the same in a figure and in a GIS."""

from . import _model


def regime_colours(kind, names):
    """The colours of the classes `names` of `kind` ("moisture_regime", "subdivision" or
    "temperature_regime"), in their order."""
    if kind == "moisture_regime":
        colours = list(_model.moisture_regime_colours)
    elif kind == "temperature_regime":
        colours = list(_model.temperature_regime_colours)
    else:
        # A subdivision named as a moisture regime (undefined, perudic) in that regime's
        # colour, the others along tab20 without its two greys, which would read as no data.
        from matplotlib import colormaps
        from matplotlib.colors import to_hex
        regimes = dict(zip(_model.moisture_regime_names, _model.moisture_regime_colours))
        palette = iter([to_hex(colour) for index, colour in enumerate(colormaps["tab20"].colors)
                        if index not in (14, 15)] * (len(names) // 18 + 1))
        colours = [regimes[name] if name in regimes else next(palette) for name in names]
    if len(colours) < len(names):
        raise ValueError(f"{len(names)} classes of {kind} but {len(colours)} colours")
    return colours[:len(names)]
