"""The monthly climate of a grid read from the files the archives publish: one NetCDF file or
several (per decade, per year, per variable) joined along time, or one GeoTIFF a month; the
time, latitude and longitude found by their CF meaning, not their names; the variables by
their common names; every value converted to deg C and mm a month by its units."""

import contextlib
import glob
import os

import numpy as np

from . import grid, grid_units, netcdf_classic

MEAN_TEMPERATURE_NAMES = ("tas", "tmp", "tmean", "t2m", "air", "temperature", "tg")
MAXIMUM_TEMPERATURE_NAMES = ("tasmax", "tmax", "tmx", "tx", "mx2t")
MINIMUM_TEMPERATURE_NAMES = ("tasmin", "tmin", "tmn", "tn", "mn2t")
PRECIPITATION_NAMES = ("pr", "pre", "precip", "prcp", "tp", "precipitation", "ppt", "rr")
TIME_NAMES = ("time", "valid_time", "t")
RASTER_SUFFIXES = (".tif", ".tiff")


class InputFault(Exception):
    """A fault in the input files: one line naming the file and what is wrong."""


def expand(patterns, what):
    """The files named by `patterns` (paths or quoted globs), each once, globs sorted."""
    files = []
    for pattern in patterns:
        matches = sorted(glob.glob(pattern)) if glob.has_magic(pattern) else [pattern]
        if not matches:
            raise InputFault(f"{pattern}: no file matches these {what} files")
        for path in matches:
            if not os.path.isfile(path):
                raise InputFault(f"{path}: no such file" if not os.path.exists(path) else f"{path}: not a file")
            if path not in files:
                files.append(path)
    return files


def _is_ecmwf(dataset):
    """Whether the file carries ECMWF's GRIB metadata (the converters of the Climate Data
    Store write GRIB_* attributes or name grib_to_netcdf or cfgrib in the history)."""
    attributes = dict(dataset.attrs)
    for variable in dataset.data_vars.values():
        attributes.update({f"variable {key}": value for key, value in variable.attrs.items()})
    text = " ".join(str(value) for value in attributes.values()).lower()
    return any(key.startswith(("GRIB_", "variable GRIB_")) for key in attributes) or \
        "grib_to_netcdf" in text or "cfgrib" in text or "european centre for medium-range" in text


def _looks_like_era5_precipitation(variable):
    return variable.name == "tp" or str(variable.attrs.get("long_name", "")).lower() == "total precipitation"


def _time_dimension(dataset, path):
    """The name of the dataset's time dimension, found by `axis`, `standard_name`, dates as
    values or, last, a common name."""
    for name in dataset.dims:
        if name not in dataset.coords:
            continue
        coordinate = dataset.coords[name]
        if coordinate.attrs.get("axis") == "T" or coordinate.attrs.get("standard_name") == "time" or \
                _holds_dates(coordinate):
            if not _holds_dates(coordinate):
                raise InputFault(f"{path}: the time coordinate {name} cannot be read as dates "
                                 f"(units {coordinate.attrs.get('units', 'missing')!r})")
            return name
    for name in dataset.dims:
        if str(name).lower() in TIME_NAMES + ("month", "months"):
            raise InputFault(f"{path}: the time coordinate {name} cannot be read as dates (it needs units "
                             "such as 'days since 1900-01-01')")
    raise InputFault(f"{path}: no time coordinate (a dimension with dates, axis T or standard_name time)")


def _holds_dates(coordinate):
    values = coordinate.values
    return np.issubdtype(values.dtype, np.datetime64) or (values.dtype == object and values.size > 0 and
                                                          hasattr(values.flat[0], "month"))


def _merge_expver(dataset):
    """ERA5 with ERA5T: an `expver` dimension whose versions fill each other's months (the
    final one first); an `expver` coordinate along time is only a label and is dropped."""
    if "expver" in dataset.dims:
        parts = [dataset.isel(expver=i, drop=True) for i in range(dataset.sizes["expver"])]
        merged = parts[0]
        for part in parts[1:]:
            merged = merged.combine_first(part)
        return merged
    return dataset.drop_vars("expver") if "expver" in dataset.variables else dataset


@contextlib.contextmanager
def _no_chunk_cache():
    """Files opened within have no chunk cache. A block of cells reads a few rows of every
    month, each month often one chunk of the whole grid: a cache would read each chunk
    whole to keep it, for the next block, which comes only after every other month's
    chunk has pushed it out. Without one, the library reads just the rows asked for from
    a chunk stored as it is, and a compressed chunk is read once per block either way."""
    import netCDF4
    settings = netCDF4.get_chunk_cache()
    netCDF4.set_chunk_cache(0)
    try:
        yield
    finally:
        netCDF4.set_chunk_cache(*settings)


def open_dataset(path, xarray):
    """A NetCDF file, read as it is (a soil map, which has no time, too)."""
    try:
        netcdf_classic.check_length(path)
        # The netCDF library's reader named outright, which reads every NetCDF format, so that
        # xarray need not load each of its installed readers to guess one.
        from xarray.backends.netCDF4_ import NetCDF4BackendEntrypoint
        with _no_chunk_cache():
            return xarray.open_dataset(path, engine=NetCDF4BackendEntrypoint, use_cftime=True)
    except (OSError, ValueError, RuntimeError, TypeError, KeyError, IndexError) as error:
        first_line = str(error).splitlines()[0] if str(error) else type(error).__name__
        raise InputFault(f"{path}: cannot be read as NetCDF: {first_line}") from None


def open_netcdf(path, xarray):
    """One NetCDF file with its time dimension named `time`, ERA5's versions merged."""
    dataset = open_dataset(path, xarray)
    time = _time_dimension(dataset, path)
    if time != "time":
        if "time" in dataset.variables:  # ERA5's `time` beside `valid_time` is the forecast's start
            dataset = dataset.drop_vars("time")
        dataset = dataset.rename({time: "time"})
    dataset = _merge_expver(dataset)
    months = np.asarray(dataset.time.dt.year.values) * 12 + np.asarray(dataset.time.dt.month.values)
    if len(months) > 1 and (np.diff(months) <= 0).any():
        raise InputFault(f"{path}: the time steps do not follow each other forwards, one a month")
    dataset.attrs["_source"] = path
    return dataset


def _month_text(time):
    return f"{int(time.dt.year)}-{int(time.dt.month):02d}"


def join_along_time(parts, what):
    """DataArrays from several files (`parts`: (path, array)) joined in order of their first
    month; months that two files both hold, or that none holds between them, are a fault
    naming both files."""
    xarray = grid._xarray()
    if len(parts) == 1:
        return parts[0][1]
    parts = sorted(parts, key=lambda part: (int(part[1].time.dt.year[0]), int(part[1].time.dt.month[0])))
    for (first_path, first), (next_path, following) in zip(parts, parts[1:]):
        end = int(first.time.dt.year[-1]) * 12 + int(first.time.dt.month[-1])
        start = int(following.time.dt.year[0]) * 12 + int(following.time.dt.month[0])
        if start <= end:
            raise InputFault(f"{first_path} and {next_path} both hold the {what} of {_month_text(following.time[0])}")
        if start > end + 1:
            raise InputFault(f"the {what} of the months between {_month_text(first.time[-1])} ({first_path}) and "
                             f"{_month_text(following.time[0])} ({next_path}) is in none of the files")
    try:
        return xarray.concat([array for _, array in parts], dim="time", coords="minimal", compat="override",
                             join="exact", combine_attrs="override")
    except ValueError:
        raise InputFault(f"{parts[0][0]} and the other {what} files are not on one grid") from None


def _with_grid_mapping(dataset, name):
    """The variable `name` with the grid mapping it names (a projection's parameters, CF's
    `grid_mapping`) as its scalar coordinate `crs`, so that it travels to the outputs."""
    array = dataset[name]
    mapping = array.attrs.get("grid_mapping") or array.encoding.get("grid_mapping")
    if mapping and mapping in dataset.variables and "crs" not in array.coords:
        array = array.assign_coords(crs=dataset[mapping].reset_coords(drop=True).drop_vars(
            [c for c in dataset[mapping].coords], errors="ignore"))
    return array


def _candidates(datasets, names):
    found = []
    for dataset in datasets:
        for name in dataset.data_vars:
            if str(name).lower() in names and "time" in dataset[name].dims:
                found.append((dataset.attrs["_source"], _with_grid_mapping(dataset, name)))
    return found


def in_region(array, region):
    """The cells of `array` in `region` ({dimension: slice}), read lazily: only they are
    read from the files when the values are needed."""
    return array.isel({dim: cells for dim, cells in (region or {}).items() if dim in array.dims})


def _one_variable(datasets, chosen, names, what, option, region=None):
    """The files' parts of one variable, named `chosen` or the one of `names` the files
    hold, only the cells of `region` (or all, read lazily): two of the names at once is a
    fault that asks for `option`."""
    parts = _parts_of_variable(datasets, chosen, names, what, option)
    if region is None:  # the whole grid stays lazy (Dask), so that converting it reads nothing
        return [(path, array if array.chunks is not None else array.chunk()) for path, array in parts]
    return [(path, in_region(array, region)) for path, array in parts]


def _parts_of_variable(datasets, chosen, names, what, option):
    if chosen:
        parts = [(dataset.attrs["_source"], _with_grid_mapping(dataset, chosen)) for dataset in datasets
                 if chosen in dataset.data_vars]
        if not parts:
            raise InputFault(f"{datasets[0].attrs['_source']}: no variable {chosen}")
        return parts
    parts = _candidates(datasets, names)
    kinds = sorted({str(array.name) for _, array in parts})
    if len(kinds) > 1:
        raise InputFault(f"{parts[0][0]}: {' and '.join(kinds)} could each be the {what}; name one with {option}")
    return parts


def _units(parts, override, option):
    """The units of a variable, alike in every file, or `override`."""
    if override:
        return override
    seen = {str(array.attrs.get("units")) if "units" in array.attrs else None for _, array in parts}
    if seen == {None}:
        raise InputFault(f"{parts[0][0]}: variable {parts[0][1].name} has no units attribute; give them with {option}")
    if len(seen) > 1:
        raise InputFault(f"{parts[0][0]}: variable {parts[0][1].name} has units {' and '.join(map(repr, sorted(map(str, seen))))} "
                         "in different files")
    return seen.pop()


def _converted(convert, array, units, path, option):
    try:
        return convert(array, units)
    except grid_units.UnitsFault as fault:
        raise InputFault(f"{path}: variable {array.name}: {fault}; give them with {option}") from None


def temperature_of(datasets, chosen=None, units=None, region=None):
    """Monthly mean air temperature in deg C, and a note for the output's history when it
    was made from the maximum and minimum: ((max + min) / 2, each in deg C first)."""
    parts = _one_variable(datasets, chosen, MEAN_TEMPERATURE_NAMES, "mean temperature", "--temperature-var", region)
    if parts:
        array = join_along_time(parts, "temperature")
        return _converted(grid_units.to_celsius, array, _units(parts, units, "--temperature-units"), parts[0][0],
                          "--temperature-units"), None
    highest = _one_variable(datasets, None, MAXIMUM_TEMPERATURE_NAMES, "maximum temperature", "--temperature-var",
                            region)
    lowest = _one_variable(datasets, None, MINIMUM_TEMPERATURE_NAMES, "minimum temperature", "--temperature-var",
                           region)
    if not highest or not lowest:
        source = datasets[0].attrs["_source"]
        raise InputFault(f"{source}: no temperature variable ({', '.join(MEAN_TEMPERATURE_NAMES)}, or a maximum and "
                         "a minimum such as tmax and tmin); name it with --temperature-var")
    extremes = []
    for part in (highest, lowest):
        array = join_along_time(part, "temperature")
        extremes.append(_converted(grid_units.to_celsius, array, _units(part, units, "--temperature-units"),
                                   part[0][0], "--temperature-units"))
    if extremes[0].sizes["time"] != extremes[1].sizes["time"]:
        raise InputFault(f"{highest[0][0]}: the maximum and minimum temperature cover different months")
    mean = ((extremes[0] + extremes[1].assign_coords(time=extremes[0].time)) / 2.0).rename("tas")
    names = f"{highest[0][1].name} and {lowest[0][1].name}"
    return mean, f"mean air temperature made as the mean of {names}"


def precipitation_of(datasets, chosen=None, units=None, region=None):
    """Monthly precipitation in mm; ERA5's monthly means in m are read as m a day, and a file
    whose precipitation looks like ERA5's but does not say so is a fault."""
    parts = _one_variable(datasets, chosen, PRECIPITATION_NAMES, "precipitation", "--precipitation-var", region)
    if not parts:
        raise InputFault(f"{datasets[0].attrs['_source']}: no precipitation variable "
                         f"({', '.join(PRECIPITATION_NAMES)}); name it with --precipitation-var")
    array = join_along_time(parts, "precipitation")
    text = _units(parts, units, "--precipitation-units")
    if not units and _looks_like_era5_precipitation(array):
        kind, factor = _precipitation_kind(text, parts[0][0], array)
        if kind == "amount" and factor == 1000.0:  # metres with no time basis
            sources = {path for path, _ in parts}
            if all(_is_ecmwf(dataset) for dataset in datasets if dataset.attrs["_source"] in sources):
                text = "m/day"
            else:
                raise InputFault(f"{parts[0][0]}: variable {array.name} in 'm' may be a month's total or, as in "
                                 "ERA5's monthly means, a day's; give --precipitation-units m or m/day")
    days = array.time.dt.days_in_month
    return _converted(lambda values, units_text: grid_units.to_mm_per_month(values, units_text, days), array, text,
                      parts[0][0], "--precipitation-units")


def _precipitation_kind(text, path, array):
    try:
        return grid_units.precipitation_kind(text)
    except grid_units.UnitsFault as fault:
        raise InputFault(f"{path}: variable {array.name}: {fault}; give them with --precipitation-units") from None


def open_climate(paths, xarray, date_pattern=None, name=None):
    """The datasets of NetCDF files, or one dataset of a variable `name` from monthly
    GeoTIFFs (the month from `date_pattern` on the file names)."""
    rasters = [path for path in paths if path.lower().endswith(RASTER_SUFFIXES)]
    if rasters:
        if len(rasters) != len(paths):
            raise InputFault(f"{rasters[0]}: GeoTIFF and NetCDF files cannot be given for one variable")
        if not date_pattern:
            raise InputFault(f"{rasters[0]}: monthly GeoTIFFs need --date-pattern, e.g. _%Y%m_, to tell each "
                             "file's month")
        from . import grid_rasters
        try:
            array = grid_rasters.open_monthly_rasters(rasters, date_pattern, name)
        except ValueError as fault:
            raise InputFault(str(fault)) from None
        dataset = array.to_dataset()
        dataset.attrs["_source"] = rasters[0]
        return [dataset]
    return [open_netcdf(path, xarray) for path in paths]


def _spatial(array):
    return [dim for dim in array.dims if dim != "time"]


def _describe(array):
    """A grid in a few words: its cells along each dimension, their spacing and range."""
    parts = []
    for dim in _spatial(array):
        values = np.asarray(array[dim].values) if dim in array.coords else None
        if values is None or values.size < 2 or not np.issubdtype(values.dtype, np.number):
            parts.append(f"{array.sizes[dim]} {dim}")
            continue
        parts.append(f"{array.sizes[dim]} {dim} {values[0]:g} to {values[-1]:g} by {abs(values[1] - values[0]):g}")
    return " × ".join(parts)


def _by_meaning(array, climate):
    """`array` with its latitude and longitude dimensions named as the climate's."""
    renames = {}
    for what, names in (("latitude", grid.LATITUDE_NAMES), ("longitude", grid.LONGITUDE_NAMES)):
        try:
            mine = grid.find_coordinate(array, names, what)
            theirs = grid.find_coordinate(climate, names, what)
        except ValueError:
            continue
        if mine.ndim == 1 and theirs.ndim == 1 and mine.name != theirs.name and mine.name in array.dims:
            renames[mine.name] = theirs.name
    return array.rename(renames) if renames else array


def on_climate_grid(array, climate, path, what, regrid=None):
    """`array` (a map, or another variable's months) on the climate's grid: the same cells
    to within a millionth of their spacing take the climate's coordinates; other cells
    are a fault that says how the grids differ, unless `regrid` is "nearest", which takes
    for each climate cell the nearest of `array`'s, no further than one of its cells away."""
    array = _by_meaning(array, climate)
    spatial = _spatial(climate)
    if set(_spatial(array)) - set(spatial):
        raise InputFault(f"{path}: the {what} has dimensions {', '.join(_spatial(array))}; the climate's are "
                         f"{', '.join(spatial)}")
    if all(array.sizes.get(dim) == climate.sizes[dim] for dim in _spatial(array)) and \
            all(_close(array[dim], climate[dim]) for dim in _spatial(array) if dim in climate.coords):
        return array.assign_coords({dim: climate[dim] for dim in _spatial(array) if dim in climate.coords})
    if regrid != "nearest":
        raise InputFault(f"{path}: the {what}'s grid ({_describe(array)}) is not the climate's ({_describe(climate)})"
                         + ("; give --capacity-regrid nearest to take each cell's nearest" if what == "capacity map"
                            else ""))
    tolerance = max(_steps(array[dim].values).max(initial=0.0) for dim in _spatial(array))
    try:
        picked = array.sel({dim: climate[dim].values for dim in _spatial(array)}, method="nearest",
                           tolerance=tolerance)
    except KeyError:
        raise InputFault(f"{path}: the {what} ({_describe(array)}) does not cover the climate's grid "
                         f"({_describe(climate)})") from None
    return picked.assign_coords({dim: climate[dim] for dim in _spatial(array)})


def _steps(values):
    """The distances between neighbouring coordinates."""
    return np.abs(np.diff(np.asarray(values, dtype=np.float64)))


def _close(mine, theirs):
    mine, theirs = np.asarray(mine.values), np.asarray(theirs.values)
    if mine.shape != theirs.shape:
        return False
    if not np.issubdtype(mine.dtype, np.number):
        return bool((mine == theirs).all())
    steps = _steps(theirs)
    step = max(float(np.nanmin(steps)) if np.isfinite(steps).any() else 1.0, 1e-12)
    return bool(np.allclose(mine, theirs, rtol=0.0, atol=1e-6 * step, equal_nan=True))
