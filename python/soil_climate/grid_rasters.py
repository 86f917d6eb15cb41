"""Monthly climate kept as one raster a month (GeoTIFF, BIL or any single-band raster
GDAL reads), dated by the file name, read as the DataArray that simulate_grid takes.

    files = sorted(glob.glob("prism/PRISM_tmean_*_bil.bil"))
    temperature = soil_climate.grid_rasters.open_monthly_rasters(files, "_%Y%m_", "temperature")
"""

import math
import os
import re

import numpy as np

# A Dask chunk holds every month of a block of cells (the model needs a cell's months
# together) and about this many bytes.
CHUNK_BYTES = 1 << 27
DIRECTIVES = {"Y": r"(?P<year>\d{4})", "m": r"(?P<month>\d{1,2})"}
CF_LENGTH_UNITS = {"metre": "m", "meter": "m", "kilometre": "km", "kilometer": "km", "foot": "ft",
                   "US survey foot": "US_survey_foot"}


def date_regex(date_pattern):
    """The regular expression of a date pattern: %Y a four-digit year, %m a month of one or
    two digits, %% a percent sign, everything else itself. A directive at either end of the
    pattern does not match inside a longer run of digits."""
    parts, seen = [], set()
    position = 0
    while position < len(date_pattern):
        character = date_pattern[position]
        if character != "%":
            parts.append(re.escape(character))
            position += 1
            continue
        directive = date_pattern[position + 1:position + 2]
        if directive == "%":
            parts.append("%")
        elif directive in DIRECTIVES:
            if directive in seen:
                raise ValueError(f"the date pattern {date_pattern!r} holds %{directive} twice")
            seen.add(directive)
            parts.append(DIRECTIVES[directive])
        else:
            raise ValueError(f"the date pattern {date_pattern!r}: %{directive} is not supported (only %Y, %m and %%)")
        position += 2
    if seen != {"Y", "m"}:
        raise ValueError(f"the date pattern {date_pattern!r} needs both %Y (the year) and %m (the month)")
    expression = "".join(parts)
    if parts[0] in DIRECTIVES.values():
        expression = r"(?<!\d)" + expression
    if parts[-1] in DIRECTIVES.values():
        expression += r"(?!\d)"
    return re.compile(expression)


def _dated(paths, date_pattern):
    """The files sorted by month as (year * 12 + month - 1, path); ValueError for a name
    without a date, two files of one month or a month missing between the first and last."""
    regex = date_regex(date_pattern)
    by_month = {}
    for path in paths:
        path = os.fspath(path)
        found = regex.search(os.path.basename(path))
        if found is None:
            raise ValueError(f"{path}: the file name does not match the date pattern {date_pattern!r}")
        year, month = int(found["year"]), int(found["month"])
        if not 1 <= month <= 12:
            raise ValueError(f"{path}: month {month} of the date pattern {date_pattern!r} is no month")
        index = year * 12 + month - 1
        if index in by_month:
            raise ValueError(f"{by_month[index]} and {path} are both {year}-{month:02d}")
        by_month[index] = path
    if not by_month:
        raise ValueError("no raster files given")
    missing = [index for index in range(min(by_month), max(by_month) + 1) if index not in by_month]
    if missing:
        shown = ", ".join(f"{index // 12}-{index % 12 + 1:02d}" for index in missing[:12])
        more = f" and {len(missing) - 12} more" if len(missing) > 12 else ""
        raise ValueError(f"months missing between the first and the last file: {shown}{more}")
    return sorted(by_month.items())


def _unit(source):
    """A band's unit: its GDAL unit type, else a "units" tag of the band or the file."""
    if source.units and source.units[0]:
        return source.units[0]
    for tags in (source.tags(1), source.tags()):
        for key, value in tags.items():
            if key.lower() == "units" and value:
                return value
    return None


def _describe(path):
    import rasterio
    try:
        with rasterio.open(path) as source:
            return {"count": source.count, "shape": (source.height, source.width), "transform": source.transform,
                    "crs": source.crs, "scale": float(source.scales[0]), "offset": float(source.offsets[0]),
                    "unit": _unit(source)}
    except rasterio.errors.RasterioIOError as error:
        raise ValueError(f"{path}: {error}") from None


class _MonthlyStack:
    """The months of a block of cells read from every file, scaled, offset and masked:
    an array-like that Dask reads chunk by chunk."""

    def __init__(self, paths, shape, scales, offsets):
        self.paths, self.scales, self.offsets = paths, scales, offsets
        self.shape = (len(paths),) + tuple(shape)
        self.dtype = np.dtype(np.float64)
        self.ndim = 3

    def __getitem__(self, key):
        key = key if isinstance(key, tuple) else (key,)
        key = key + (slice(None),) * (3 - len(key))
        if len(key) != 3:
            raise IndexError("monthly rasters have three dimensions")
        picked, drop = [], []
        for axis, (part, size) in enumerate(zip(key, self.shape)):
            if isinstance(part, (int, np.integer)):
                if not -size <= part < size:
                    raise IndexError(f"index {part} out of {size}")
                picked.append(np.array([int(part) % size]))
                drop.append(axis)
            elif isinstance(part, slice):
                picked.append(np.arange(size)[part])
            else:
                raise TypeError("monthly rasters are read by slices or single indices")
        months, rows, columns = picked
        block = np.empty((len(months), len(rows), len(columns)), dtype=np.float64)
        if block.size:
            # One window spanning the rows and columns asked for, then those picked from it.
            top, left = rows.min(), columns.min()
            for place, month in enumerate(months):
                window = self._read(month, top, rows.max() + 1, left, columns.max() + 1)
                block[place] = window[np.ix_(rows - top, columns - left)]
        return block.squeeze(axis=tuple(drop)) if drop else block

    def _read(self, month, top, bottom, left, right):
        import rasterio
        from rasterio.windows import Window
        with rasterio.open(self.paths[month]) as source:
            raw = source.read(1, window=Window(left, top, right - left, bottom - top), masked=True)
        values = np.asarray(raw.data, dtype=np.float64)
        scale, offset = self.scales[month], self.offsets[month]
        if scale != 1.0 or offset != 0.0:
            values = values * scale + offset
        values[np.ma.getmaskarray(raw)] = np.nan
        return values


def _spatial_coordinates(xarray, crs, transform, shape):
    """The dims and coordinates of the grid: lat/lon on a geographic CRS; y/x with 2-D lat
    and lon (pyproj) on a projected one."""
    import pyproj
    rows, columns = shape
    x = transform.c + transform.a * (np.arange(columns) + 0.5)
    y = transform.f + transform.e * (np.arange(rows) + 0.5)
    mapping = crs.to_cf()
    coords = {"crs": xarray.DataArray(np.int32(0), attrs=mapping)}
    if crs.is_geographic:
        coords["lat"] = ("lat", y, {"standard_name": "latitude", "long_name": "latitude",
                                    "units": "degrees_north", "axis": "Y"})
        coords["lon"] = ("lon", x, {"standard_name": "longitude", "long_name": "longitude",
                                    "units": "degrees_east", "axis": "X"})
        return ("lat", "lon"), coords
    units = {}
    for axis in crs.axis_info:
        direction = axis.direction.lower()
        units["x" if direction == "east" else "y" if direction == "north" else direction] = \
            CF_LENGTH_UNITS.get(axis.unit_name, axis.unit_name)
    coords["y"] = ("y", y, {"standard_name": "projection_y_coordinate", "long_name": "y coordinate of projection",
                            "units": units.get("y", units.get("x", "m")), "axis": "Y"})
    coords["x"] = ("x", x, {"standard_name": "projection_x_coordinate", "long_name": "x coordinate of projection",
                            "units": units.get("x", units.get("y", "m")), "axis": "X"})
    to_geographic = pyproj.Transformer.from_crs(crs, crs.geodetic_crs, always_xy=True)
    lon, lat = to_geographic.transform(*np.meshgrid(x, y))
    coords["lat"] = (("y", "x"), np.asarray(lat), {"standard_name": "latitude", "units": "degrees_north"})
    coords["lon"] = (("y", "x"), np.asarray(lon), {"standard_name": "longitude", "units": "degrees_east"})
    return ("y", "x"), coords


def open_monthly_rasters(paths, date_pattern, name):
    """Monthly climate from one single-band raster a month, as a DataArray named `name`
    with dims (time, lat, lon) on a geographic CRS or (time, y, x) on a projected one.

    `date_pattern` is matched against each file name, e.g. "_%Y%m_" for
    ``PRISM_tmean_stable_4kmM3_199001_bil.bil`` or "_%m_%Y_" for
    ``CHELSA_tas_01_1990_V.2.1.tif``; ``time`` is the first of each month, in date order.
    Each band's scale factor and offset are applied and its nodata cells (and masked ones)
    are NaN, in float64. A band unit or a "units" tag becomes ``attrs["units"]``. The CRS
    is the scalar coordinate ``crs`` holding the CF grid mapping (``attrs["grid_mapping"]
    = "crs"``); on a projected grid the 2-D ``lat`` and ``lon`` of each cell centre are
    coordinates too, since the model needs each cell's latitude. The values are read
    lazily, by blocks of cells, when Dask is installed, else at once.

    Raises ValueError naming the file for a name that does not match the pattern, two files
    of one month, months missing between the first and the last, a file of more than one
    band, without a CRS, or on a grid (shape, transform, CRS) other than the first file's.
    """
    import pyproj
    import xarray
    dated = _dated(paths, date_pattern)
    files = [path for _, path in dated]
    described = [_describe(path) for path in files]
    first = described[0]
    for path, facts in zip(files, described):
        if facts["count"] != 1:
            raise ValueError(f"{path}: {facts['count']} bands; one band a month is read")
        if facts["crs"] is None:
            raise ValueError(f"{path}: no coordinate reference system, so no latitude for the model")
        if facts["shape"] != first["shape"] or not facts["transform"].almost_equals(
                first["transform"], precision=1e-6 * abs(first["transform"].a)) or facts["crs"] != first["crs"]:
            raise ValueError(f"{path}: its grid (shape, transform or CRS) differs from that of {files[0]}")
        if facts["unit"] is not None and first["unit"] is not None and facts["unit"] != first["unit"]:
            raise ValueError(f"{path}: in {facts['unit']}, but {files[0]} is in {first['unit']}")
    transform = first["transform"]
    if transform.b != 0 or transform.d != 0:
        raise ValueError(f"{files[0]}: a rotated grid; the model reads north-up grids")
    crs = pyproj.CRS.from_wkt(first["crs"].to_wkt())
    if not (crs.is_geographic or crs.is_projected):
        raise ValueError(f"{files[0]}: the CRS is neither geographic nor projected")
    dims, coords = _spatial_coordinates(xarray, crs, transform, first["shape"])
    months = np.array([f"{index // 12:04d}-{index % 12 + 1:02d}-01" for index, _ in dated], dtype="datetime64[ns]")
    coords["time"] = ("time", months)
    stack = _MonthlyStack(files, first["shape"], [facts["scale"] for facts in described],
                          [facts["offset"] for facts in described])
    try:
        import dask.array
        import dask.base
    except ImportError:
        values = stack[:, :, :]
    else:
        side = max(64, int(math.sqrt(CHUNK_BYTES / (8 * len(files)))))
        values = dask.array.from_array(stack, chunks=(-1, side, side), meta=np.empty((0, 0, 0), np.float64),
                                       name=f"monthly-rasters-{dask.base.tokenize(files, described, name)}")
    attributes = {"grid_mapping": "crs"}
    units = next((facts["unit"] for facts in described if facts["unit"]), None)
    if units:
        attributes["units"] = units
    return xarray.DataArray(values, dims=("time",) + dims, coords=coords, name=name, attrs=attributes)
