"""A grid's regimes as cloud-optimized GeoTIFFs for GIS users: each cell's most frequent
soil moisture regime, subdivision and soil temperature regime as coded rasters with the
station page's colours and class names, each class's share of the years, and the share of
the most frequent class.

    regimes = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=150)
    soil_climate.grid_geotiff.write_geotiff(regimes, "maps")
"""

import contextlib
import os
import secrets

import numpy as np

from . import grid
from .palettes import regime_colours

REGIME_KINDS = ("moisture_regime", "subdivision", "temperature_regime")
NODATA_CODE = 255
# A cell centre may lie this share of a cell off the regular grid (float32 coordinates of
# fine global grids are off by a few thousandths of a cell).
SPACING_TOLERANCE = 0.01
GEOGRAPHIC_NAMES = {"vertical": ("lat", "latitude"), "horizontal": ("lon", "longitude")}
GEOGRAPHIC_UNITS = {"vertical": grid.CF_MEANING["latitude"][1], "horizontal": grid.CF_MEANING["longitude"][1]}
AXIS_NAMES = {"vertical": ("y", "lat", "latitude", "rlat"), "horizontal": ("x", "lon", "longitude", "rlon")}
AXIS_STANDARD_NAMES = {"vertical": ("latitude", "projection_y_coordinate", "grid_latitude"),
                       "horizontal": ("longitude", "projection_x_coordinate", "grid_longitude")}


def _spatial_dims(dataset):
    """The spatial dimensions: those of a most frequent regime, else every dimension but the
    years, months, classes and bounds."""
    for kind in REGIME_KINDS:
        if f"most_frequent_{kind}" in dataset:
            return [dim for dim in dataset[f"most_frequent_{kind}"].dims if dim != "period"]
    return [dim for dim in dataset.dims
            if dim not in ("year", "time", "bnds", "nv", "period") and not str(dim).endswith("_class")]


def _attribute(variable, name):
    return str(variable.attrs.get(name, "")).strip().lower()


def _grid_mapping_crs(dataset):
    """The WKT of the grid mapping variables of `dataset` (CF), or None when there is none."""
    import pyproj
    found = {}
    for name, variable in dataset.variables.items():
        attributes = dict(variable.attrs)
        if not ({"grid_mapping_name", "crs_wkt", "spatial_ref"} & set(attributes)):
            continue
        text = attributes.get("crs_wkt") or attributes.get("spatial_ref")
        try:
            crs = pyproj.CRS.from_user_input(text) if text else pyproj.CRS.from_cf(attributes)
        except pyproj.exceptions.CRSError as error:
            raise ValueError(f"the grid mapping {name!r} is no coordinate reference system: {error}") from None
        found[name] = crs
    if not found:
        return None
    first = next(iter(found.values()))
    for name, crs in found.items():
        if not crs.equals(first, ignore_axis_order=True):
            raise ValueError(f"the grid mappings {', '.join(map(repr, found))} disagree: one grid needs one CRS")
    return first.to_wkt()


def _is_geographic_axis(coordinate, axis):
    return str(coordinate.name).lower() in GEOGRAPHIC_NAMES[axis] or \
        _attribute(coordinate, "units") in GEOGRAPHIC_UNITS[axis]


def grid_crs(dataset):
    """The coordinate reference system of a grid's Dataset, as WKT.

    A variable or coordinate with a CF grid mapping (``grid_mapping_name``, or a
    ``crs_wkt``/``spatial_ref`` attribute) gives it; else a grid of two spatial dimensions
    with 1-D latitude and longitude coordinates (named lat/latitude and lon/longitude, or
    in degrees_north and degrees_east) is WGS 84. Any other grid (stations along a
    ``station`` dimension, projected coordinates without a grid mapping) raises ValueError.
    """
    import pyproj
    wkt = _grid_mapping_crs(dataset)
    if wkt is not None:
        return wkt
    spatial = _spatial_dims(dataset)
    if len(spatial) != 2:
        raise ValueError(f"the CRS of a grid on {', '.join(map(str, spatial)) or 'no'} spatial dimension(s) cannot "
                         "be told: a grid of latitude and longitude, or a CF grid mapping, is needed")
    coordinates = [dataset[dim] for dim in spatial if dim in dataset.coords and dataset[dim].ndim == 1]
    axes = {axis for coordinate in coordinates for axis in ("vertical", "horizontal")
            if _is_geographic_axis(coordinate, axis)}
    if len(coordinates) != 2 or axes != {"vertical", "horizontal"}:
        raise ValueError(f"the CRS of the grid on {spatial[0]} and {spatial[1]} cannot be told: it has no CF grid "
                         "mapping and is not on 1-D latitude and longitude coordinates")
    return pyproj.CRS.from_epsg(4326).to_wkt()


def _axis_of(coordinate):
    """"vertical", "horizontal" or None, from a coordinate's name and CF attributes."""
    for axis in ("vertical", "horizontal"):
        if str(coordinate.name).lower() in AXIS_NAMES[axis] or \
                _attribute(coordinate, "standard_name") in AXIS_STANDARD_NAMES[axis] or \
                _attribute(coordinate, "units") in GEOGRAPHIC_UNITS[axis] or \
                _attribute(coordinate, "axis") == {"vertical": "y", "horizontal": "x"}[axis]:
            return axis
    return None


def _regular(dataset, dim):
    """The first cell centre and the spacing of a regular 1-D coordinate, else ValueError."""
    if dim not in dataset.coords or dataset[dim].ndim != 1:
        raise ValueError(f"a GeoTIFF needs a 1-D coordinate along {dim}")
    values = np.asarray(dataset[dim].values)
    if values.dtype.kind not in "iuf":
        raise ValueError(f"the coordinate {dim} is not numeric")
    values = values.astype(np.float64)
    if len(values) < 2:
        raise ValueError(f"a GeoTIFF needs at least two cells along {dim} to know the cell size")
    step = (values[-1] - values[0]) / (len(values) - 1)
    off = np.abs(values - (values[0] + step * np.arange(len(values))))
    if not np.isfinite(values).all() or step == 0 or off.max() > SPACING_TOLERANCE * abs(step):
        raise ValueError(f"the coordinate {dim} is not regularly spaced: a GeoTIFF needs a regular grid")
    return values[0], step


def _layout(dataset):
    """The spatial dims as (vertical, horizontal), the GDAL geotransform of the north-up
    raster, and whether rows and columns are reversed to make it north-up, west to east."""
    spatial = _spatial_dims(dataset)
    if len(spatial) != 2:
        raise ValueError(f"a GeoTIFF needs a grid of two spatial dimensions, not {', '.join(map(str, spatial))}")
    axes = [_axis_of(dataset[dim]) if dim in dataset.coords else None for dim in spatial]
    if axes == ["horizontal", "vertical"] or (axes[0] == "horizontal" and axes[1] is None) or \
            (axes[1] == "vertical" and axes[0] is None):
        spatial = spatial[::-1]
    vertical, horizontal = spatial
    y0, dy = _regular(dataset, vertical)
    x0, dx = _regular(dataset, horizontal)
    flip_rows, flip_columns = dy > 0, dx < 0
    count_y, count_x = dataset.sizes[vertical], dataset.sizes[horizontal]
    top = (y0 + dy * (count_y - 1) if flip_rows else y0) + abs(dy) / 2
    left = (x0 + dx * (count_x - 1) if flip_columns else x0) - abs(dx) / 2
    transform = (left, abs(dx), 0.0, top, 0.0, -abs(dy))
    return (vertical, horizontal), transform, (flip_rows, flip_columns)


def _north_up(variable, dims, flips):
    values = np.asarray(variable.transpose(..., *dims).values)
    if flips[0]:
        values = values[..., ::-1, :]
    if flips[1]:
        values = values[..., ::-1]
    return np.ascontiguousarray(values)


@contextlib.contextmanager
def _gdal_exceptions(gdal):
    """GDAL failures raised as exceptions while writing, the caller's setting restored."""
    before = gdal.GetUseExceptions()
    gdal.UseExceptions()
    try:
        yield
    finally:
        if not before:
            gdal.DontUseExceptions()


def _rgb(colour):
    colour = colour.lstrip("#")
    return tuple(int(colour[i:i + 2], 16) for i in (0, 2, 4)) + (255,)


def _rasters(dataset, dims, flips, suffix=""):
    """Each file's name and bands: (file name, GDAL type, options, [(values, description,
    nodata, unit, colours, category names)])."""
    rasters = []
    for kind in REGIME_KINDS:
        meaning = kind.replace("_", " ")
        names = [str(name) for name in dataset[f"{kind}_class"].values]
        codes = _north_up(dataset[f"most_frequent_{kind}"], dims, flips).astype(np.int64)
        if ((codes < -1) | (codes >= len(names))).any():
            raise ValueError(f"most_frequent_{kind} holds codes outside its {len(names)} classes")
        codes = np.where(codes < 0, NODATA_CODE, codes).astype(np.uint8)
        rasters.append((f"most_frequent_{kind}{suffix}.tif", "byte", [
            (codes, f"most frequent {meaning}", NODATA_CODE, "", regime_colours(kind, names), names)]))
        percent = _north_up(dataset[f"{kind}_percent"].transpose(f"{kind}_class", ...), dims, flips)
        percent = percent.astype(np.float32)
        rasters.append((f"{kind}_percent{suffix}.tif", "float", [
            (band, name, np.nan, "percent", None, None) for band, name in zip(percent, names)]))
        # fmax ignores NaN but keeps it where every class is NaN (nothing simulated).
        dominance = np.fmax.reduce(percent, axis=0) if len(percent) else np.full(codes.shape, np.nan, np.float32)
        rasters.append((f"{kind}_dominance{suffix}.tif", "float", [
            (dominance, f"share of the years in the most frequent {meaning}", np.nan, "percent", None, None)]))
    return rasters


def _write_one(gdal, path, kind, bands, transform, wkt):
    """One COG written to `path` from an in-memory raster."""
    rows, columns = bands[0][0].shape
    gdal_type = gdal.GDT_Byte if kind == "byte" else gdal.GDT_Float32
    memory = gdal.GetDriverByName("MEM").Create("", columns, rows, len(bands), gdal_type)
    memory.SetGeoTransform(transform)
    memory.SetProjection(wkt)
    for number, (values, description, nodata, unit, colours, categories) in enumerate(bands, start=1):
        band = memory.GetRasterBand(number)
        band.WriteArray(values)
        band.SetNoDataValue(float(nodata))
        band.SetDescription(description)
        if unit:
            band.SetUnitType(unit)
        if colours:
            table = gdal.ColorTable()
            for code, colour in enumerate(colours):
                table.SetColorEntry(code, _rgb(colour))
            band.SetColorTable(table)
            band.SetRasterColorInterpretation(gdal.GCI_PaletteIndex)
        if categories:
            band.SetCategoryNames(categories)
    # Codes are classes: overviews take the nearest cell's code. Shares are averaged.
    options = ["COMPRESS=DEFLATE", "BIGTIFF=IF_SAFER", "OVERVIEWS=AUTO",
               "RESAMPLING=NEAREST" if kind == "byte" else "RESAMPLING=AVERAGE"]
    if kind == "float":
        options.append("PREDICTOR=YES")
    written = gdal.GetDriverByName("COG").CreateCopy(path, memory, strict=1, options=options)
    if written is None:
        raise RuntimeError(f"GDAL could not write {path}: {gdal.GetLastErrorMsg()}")
    written.FlushCache()
    written = None
    memory = None


def _remove(path):
    with contextlib.suppress(FileNotFoundError):
        os.remove(path)


def _make_folder(folder):
    """Creates `folder` and its missing parents; returns those created, deepest first."""
    created = []
    path = os.path.abspath(folder)
    while not os.path.isdir(path):
        created.append(path)
        path = os.path.dirname(path)
    os.makedirs(folder, exist_ok=True)
    return created


def write_geotiff(dataset, folder, suffix=""):
    """Writes the regimes of a simulate_grid Dataset into `folder` (created if missing) as
    cloud-optimized GeoTIFFs (deflate), north-up, in the CRS of ``grid_crs``, and returns
    their paths. For each regime kind K (moisture_regime, subdivision, temperature_regime):

    - ``most_frequent_K.tif``: Byte codes (255 where nothing was simulated) with the
      station page's colours as the colour table and the class names as category names
      (kept by GDAL in ``most_frequent_K.tif.aux.xml``);
    - ``K_percent.tif``: Float32, a band a class (its description the class name), the
      share in percent of the simulated years in that class, NaN where nothing simulated;
    - ``K_dominance.tif``: Float32, the share of the most frequent class, NaN where
      nothing simulated.

    ``suffix`` goes at the end of each file's name (a period's "_1961-1990"). The grid
    must be regular (cell centres on 1-D coordinates) else ValueError. Every file
    is written under a temporary name and renamed into place once all are written; on a
    failure no new file is left behind.
    """
    wkt = grid_crs(dataset)
    dims, transform, flips = _layout(dataset)
    # Computed once: a Dask-backed Dataset would otherwise run the model for each file.
    dataset = dataset[[f"{prefix}{kind}{ending}" for kind in REGIME_KINDS
                       for prefix, ending in (("most_frequent_", ""), ("", "_percent"))]].compute()
    return _write_rasters(_rasters(dataset, dims, flips, suffix), folder, transform, wkt)


CHANGE_COLOURS = ("#E8E8E8", "#D7301F")  # unchanged light grey, changed red


def write_change_geotiff(dataset, folder):
    """Writes the change layers of a comparison of periods into `folder`: for each regime
    kind K ``K_changed.tif`` (Byte: 0 unchanged, 1 changed, 255 where a period has no
    regime, with a colour table and category names) and ``K_percent_change.tif`` (Float32,
    a band a class, percentage points), and for each field's change in mean
    ``F_change.tif`` (Float32, in the field's units), and an ensemble's ``K_change_robust.tif``
    (Byte: 1 where two thirds of the members agree). Written as `write_geotiff` writes,
    all or nothing; returns the paths."""
    wkt = grid_crs(dataset)
    dims, transform, flips = _layout(dataset)
    changes = [name for name in dataset.data_vars if name.endswith(("_change", "_changed", "_change_robust"))]
    dataset = dataset[changes].compute()
    rasters = []
    for kind in REGIME_KINDS:
        flag = _north_up(dataset[f"{kind}_changed"], dims, flips).astype(np.int64)
        rasters.append((f"{kind}_changed.tif", "byte", [
            (np.where(flag < 0, NODATA_CODE, flag).astype(np.uint8), f"most frequent {kind.replace('_', ' ')} "
             "changed", NODATA_CODE, "", list(CHANGE_COLOURS), ["unchanged", "changed"])]))
        if f"{kind}_change_robust" in dataset:
            flag = _north_up(dataset[f"{kind}_change_robust"], dims, flips).astype(np.int64)
            rasters.append((f"{kind}_change_robust.tif", "byte", [
                (np.where(flag < 0, NODATA_CODE, flag).astype(np.uint8), "two thirds of the members agree on the "
                 "change", NODATA_CODE, "", list(CHANGE_COLOURS), ["not robust", "robust"])]))
        names = [str(name) for name in dataset[f"{kind}_class"].values]
        percent = _north_up(dataset[f"{kind}_percent_change"].transpose(f"{kind}_class", ...), dims, flips)
        rasters.append((f"{kind}_percent_change.tif", "float", [
            (band.astype(np.float32), name, np.nan, "percentage points", None, None)
            for band, name in zip(percent, names)]))
    for name in changes:
        if name.endswith("_change") and not name.endswith("_percent_change"):
            variable = dataset[name]
            rasters.append((f"{name}.tif", "float", [
                (_north_up(variable, dims, flips).astype(np.float32), variable.attrs.get("long_name", name), np.nan,
                 variable.attrs.get("units", ""), None, None)]))
    return _write_rasters(rasters, folder, transform, wkt)


def _write_rasters(rasters, folder, transform, wkt):
    """Each raster written under a temporary name in `folder` (created if missing), all
    renamed into place once all are written; on a failure none is left."""
    from osgeo import gdal
    created = _make_folder(folder)
    staged = []  # (temporary path, final path, whether GDAL wrote an .aux.xml beside it)
    placed = []
    try:
        with _gdal_exceptions(gdal):
            for name, kind, bands in rasters:
                # GDAL creates it, so it gets the mode any new file of the user gets.
                temporary = os.path.join(folder, f".{name}.{secrets.token_hex(6)}.tif")
                staged.append((temporary, os.path.join(folder, name)))
                _write_one(gdal, temporary, kind, bands, transform, wkt)
        for temporary, final in staged:
            if os.path.exists(temporary + ".aux.xml"):
                os.replace(temporary + ".aux.xml", final + ".aux.xml")
                placed.append(final + ".aux.xml")
            else:
                # A side file of an earlier run would lend its names to the new raster.
                _remove(final + ".aux.xml")
            os.replace(temporary, final)
            placed.append(final)
    except BaseException:
        for temporary, _ in staged:
            _remove(temporary)
            _remove(temporary + ".aux.xml")
        for path in placed:
            _remove(path)
        for path in created:
            with contextlib.suppress(OSError):
                os.rmdir(path)
        raise
    return [final for _, final in staged]
