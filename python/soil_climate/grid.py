"""Climate grids: the model over every cell of monthly climate held in xarray DataArrays,
NumPy- or Dask-backed, giving an xarray Dataset of every field of a year with CF
attributes, and each cell's share of years in each regime.

    import soil_climate, xarray
    climate = xarray.open_dataset("cru_ts.nc")
    regimes = soil_climate.simulate_grid(climate.tmp, climate.pre, units="metric", capacity_mm=150)
"""

import calendar
import warnings

import numpy as np

from . import _model, grid_periods, grid_summaries
from .parameters import PARAMETERS, given_parameters, list_parameters

MONTH_NAMES = tuple(calendar.month_name[1:])
LATITUDE_NAMES = ("lat", "latitude", "nav_lat", "y_lat")
LONGITUDE_NAMES = ("lon", "longitude", "nav_lon", "x_lon")
CF_UNITS = {"mm": "mm", "days": "day", "degC": "degC", "degrees": "degree", "": "1"}


_xarray = grid_summaries.xarray_module
year_fields = grid_summaries.year_fields
mark_missing_codes = grid_summaries.mark_missing_codes


# What CF says a latitude or longitude coordinate is: its standard_name, or its units.
CF_MEANING = {"latitude": ("latitude", ("degrees_north", "degree_north", "degree_n", "degrees_n", "degreen",
                                        "degreesn")),
              "longitude": ("longitude", ("degrees_east", "degree_east", "degree_e", "degrees_e", "degreee",
                                          "degreese"))}


def find_coordinate(array, names, what):
    """The coordinate of `array` that CF marks as `what` ("latitude" or "longitude") by its
    standard_name or units, else the one named one of `names` (any case), else a
    ValueError."""
    standard_name, units = CF_MEANING[what]
    for name, coordinate in array.coords.items():
        if coordinate.attrs.get("standard_name") == standard_name or \
                str(coordinate.attrs.get("units", "")).lower() in units:
            return coordinate
    for name in array.coords:
        if str(name).lower() in names:
            return array.coords[name]
    raise ValueError(f"no {what} coordinate: name it one of {', '.join(names)}, or give it standard_name "
                     f"{standard_name}")


def whole_years(array):
    """The array cut to whole calendar years (January to December), and the years kept. A
    partial first or last year is dropped with a warning; months must follow each other."""
    if "time" not in array.dims:
        raise ValueError("the climate needs a monthly 'time' dimension")
    years = np.asarray(array.time.dt.year.values)
    months = np.asarray(array.time.dt.month.values)
    first = int(np.argmax(months == 1)) if (months == 1).any() else len(months)
    last = len(months) - int(np.argmax(months[::-1] == 12)) if (months == 12).any() else 0
    if first >= last:
        raise ValueError("the climate holds no whole calendar year (January to December)")
    if first > 0 or last < len(months):
        dropped = sorted({int(y) for y in years[:first]} | {int(y) for y in years[last:]})
        warnings.warn(f"partial years dropped: {', '.join(map(str, dropped))} (only whole calendar years are "
                      "simulated)", stacklevel=3)
    years, months = years[first:last], months[first:last]
    if len(months) % 12 != 0 or not (months == np.tile(np.arange(1, 13), len(months) // 12)).all() or \
            not (years.reshape(-1, 12) == years[::12, None]).all():
        raise ValueError("the time steps must be the months of whole years, January to December, one each")
    return array.isel(time=slice(first, last)), years[::12].astype(int)


def _to_metric(values, element, units):
    """Monthly values in deg C and mm, converted as run_station converts its files."""
    if units == "metric":
        return values
    if element == "temperature":
        return ((values - 32.0) * 5.0) / 9.0
    return values * 25.4


def _cell_years(temperature, precipitation, latitude, longitude, *parameters, names, units, year_labels, threads,
                cold_regimes):
    """One block of cells: (..., months) arrays in, (..., years, fields) out; `parameters`
    are the station parameters of `names` after the latitude."""
    shape = temperature.shape[:-1]
    cells = int(np.prod(shape, dtype=np.int64))
    years = temperature.shape[-1] // 12

    def monthly(values, element):
        # Each cell's months side by side, as the model reads them: files hold their values
        # time-major, and the one conversion to float64 reorders them too.
        values = np.broadcast_to(np.asarray(values), shape + np.shape(values)[-1:])
        values = np.ascontiguousarray(values, dtype=np.float64).reshape(cells, years, 12)
        return values if units == "metric" else _to_metric(values, element, units)

    def per_cell(values):
        return np.ascontiguousarray(np.broadcast_to(np.asarray(values, dtype=np.float64), shape).reshape(cells))

    lat = per_cell(latitude)
    celsius = monthly(temperature, "temperature")
    no_latitude = np.isnan(lat) & ~np.isnan(celsius).all(axis=(1, 2))
    if no_latitude.any():
        cell = int(np.flatnonzero(no_latitude)[0])
        raise ValueError(f"the cell at longitude {per_cell(longitude)[cell]:g} has data but no latitude (NaN)")
    try:
        given = {"latitude": lat, **{name: per_cell(values) for name, values in zip(names, parameters)}}
        out = _model.simulate_cells(celsius, monthly(precipitation, "precipitation"), given, threads,
                                    cold_regimes=cold_regimes, field_major=True)
    except ValueError as refusal:
        if len(refusal.args) != 4:
            raise
        what, cell, year, month = refusal.args
        lon = per_cell(longitude)[cell]
        where = f"the cell at latitude {lat[cell]:g}, longitude {lon:g}"
        when = "" if month < 0 else f", {year_labels[year]} {MONTH_NAMES[month]}"
        raise ValueError(f"{where}{when}: {what}") from None
    # Each field's years of the cells lie together, as the Dataset's variables take them.
    return np.moveaxis(out.reshape(out.shape[:2] + shape), (0, 1), (-1, -2))


def warn_of_phase_shift(latitude, shift):
    """Warns where southern cells keep the northern phase shift of 0 days."""
    if bool(((latitude < 0) & (shift == 0)).any()):
        warnings.warn("southern cells with phase_shift 0 have their warmest soil on 15 May; about +90 days "
                      "puts it in February", stacklevel=3)


def warn_of_high_latitudes(latitude, sizes):
    """Warns once, with their count, where cells lie beyond the latitudes of the day-length
    tables. ``sizes`` are the grid's spatial dimensions and their lengths; a dimension that
    ``latitude`` does not lie along multiplies its cells (a longitude of a 1-D ``lat``)."""
    magnitude = np.abs(np.asarray(latitude, dtype=np.float64))
    beyond = magnitude > _model.day_length_table_limit
    if not beyond.any():
        return
    notice = _model.day_length_limit_notice(float(magnitude[beyond].max()))
    repeat = int(np.prod([size for dim, size in sizes.items() if dim not in latitude.dims], dtype=np.int64))
    cells = int(np.prod(list(sizes.values()), dtype=np.int64))
    warnings.warn(f"{notice} ({int(beyond.sum()) * repeat} of the {cells} cells)", stacklevel=3)


def _parameter(xarray, value, name):
    if isinstance(value, xarray.DataArray):
        return value
    if isinstance(value, (bool, np.bool_)) or not np.isscalar(value) or not np.isrealobj(value):
        raise TypeError(f"{name} must be a real number or a DataArray on the grid's spatial dimensions")
    return xarray.DataArray(float(value))


# The station parameters of a grid's cells: every one but the latitude, which each cell
# takes from the grid's latitude coordinate.
GRID_PARAMETERS = tuple(name for name in PARAMETERS if name != "latitude")


def simulate_grid(temperature, precipitation, *, units, threads=None, cold_regimes=False, periods=None,
                  **parameters):
    """Simulates every cell of a monthly climate grid and returns an xarray Dataset.

    ``temperature`` and ``precipitation`` are DataArrays with a monthly ``time`` dimension
    (any calendar, cftime's 360-day and no-leap ones too) and a latitude coordinate: 1-D
    ``lat``/``latitude``, 2-D on projected ``y``/``x`` grids, or one a station along a
    ``station`` dimension. ``units`` is "metric" (deg C, mm a month) or "us" (deg F,
    inches). The station parameters are keyword arguments named as in PARAMETERS (all but
    the latitude, which is the grid's): ``capacity_mm`` must be given, the soil temperature
    parameters take their defaults where they are not given or are None, the southern one
    in cells south of the equator; each is a number or a DataArray on the spatial
    dimensions (a soil map of capacity). ``phase_shift`` defaults to 0 days in the north and
    90 in the south. ``threads`` is the threads per block of cells (default:
    every core for NumPy arrays, one per Dask task). With ``cold_regimes`` the temperature
    regimes include Pergelic and Cryic, as ``simulate`` gives them.

    Only whole calendar years are simulated (a partial first or last year is dropped with a
    warning). A year with any missing (NaN) month of a cell is not simulated and its fields
    are missing, while the cell's other years go on as a station's do across a dropped
    year; a cell with no whole year (the sea) is all missing. A value present but
    impossible (a temperature beyond any station's, negative precipitation, a code such as
    -9999 left in the data) raises ValueError naming the cell's coordinates, the year and
    the month. Every complete cell-year equals ``simulate`` on that cell, bit for bit.

    ``periods``, two periods "FIRST:LAST" (or pairs of years), simulates their years only
    and compares them: the summaries (``most_frequent_*``, ``*_percent``,
    ``complete_years``) and each field's mean (``period_mean_*``) are given per period
    along a ``period`` dimension, with the change from the first to the second:
    ``*_changed`` (0 or 1, −1 where a period has no regime), ``*_percent_change``
    (percentage points) and ``*_change`` of each field's mean (soil temperatures in K).
    """
    given = given_parameters("simulate_grid", parameters, GRID_PARAMETERS)
    xarray = _xarray()
    if units not in ("metric", "us"):
        raise ValueError(f'units must be "metric" (deg C and mm) or "us" (deg F and inches), not {units!r}')
    if periods is not None:
        periods = grid_periods.parse_periods(periods)
        temperature = grid_periods.select_years(temperature, periods)
        precipitation = grid_periods.select_years(precipitation, periods)
    temperature, year_labels = whole_years(temperature)
    precipitation, precipitation_years = whole_years(precipitation)
    if list(year_labels) != list(precipitation_years):
        raise ValueError("temperature and precipitation must cover the same whole years")
    precipitation = precipitation.assign_coords(time=temperature.time)
    latitude = find_coordinate(temperature, LATITUDE_NAMES, "latitude")
    if latitude.ndim == 0 or not set(latitude.dims) <= set(temperature.dims) - {"time"}:
        raise ValueError(f"the latitude coordinate {latitude.name} must lie along the grid's spatial dimensions")
    try:
        longitude = find_coordinate(temperature, LONGITUDE_NAMES, "longitude")
    except ValueError:
        longitude = xarray.full_like(latitude, np.nan)
    values = {}
    for name, value in given.items():
        parameter = PARAMETERS[name]
        if value is not None:
            values[name] = _parameter(xarray, value, name)
        elif parameter.default == parameter.southern_default:
            values[name] = xarray.DataArray(float(parameter.default))
        else:
            values[name] = xarray.where(latitude < 0, parameter.southern_default, parameter.default)
    if given["phase_shift"] is not None:
        warn_of_phase_shift(latitude, values["phase_shift"])
    dask_backed = temperature.chunks is not None
    if dask_backed:
        temperature = temperature.chunk({"time": -1})
        precipitation = precipitation.chunk({"time": -1})
    from . import _switch
    cold_regimes = _switch("cold_regimes", cold_regimes)
    fields = year_fields(cold_regimes)
    simulated = xarray.apply_ufunc(
        _cell_years, temperature, precipitation, latitude, longitude, *values.values(),
        input_core_dims=[["time"], ["time"], [], []] + [[] for _ in values],
        output_core_dims=[["year", "field"]],
        kwargs={"names": tuple(values), "units": units, "year_labels": [int(y) for y in year_labels],
                "threads": threads if threads is not None else (1 if dask_backed else 0),
                "cold_regimes": cold_regimes},
        dask="parallelized", output_dtypes=[np.float64],
        dask_gufunc_kwargs={"output_sizes": {"year": len(year_labels), "field": len(fields)}})
    simulated = simulated.assign_coords(year=("year", np.asarray(year_labels, dtype=np.int32)))
    spatial = [dim for dim in temperature.dims if dim != "time"]
    # The grid's coordinates as the climate gives them, with their attributes (units, the
    # grid mapping's parameters), which the computation does not carry.
    simulated = simulated.assign_coords({name: coordinate for name, coordinate in temperature.coords.items()
                                         if set(coordinate.dims) <= set(spatial)})
    dataset = _dataset(xarray, simulated, fields, spatial)
    return dataset if periods is None else grid_periods.compare_periods(dataset, periods)


list_parameters(simulate_grid, GRID_PARAMETERS)


def _dataset(xarray, simulated, fields, spatial):
    """The Dataset: each field with its long_name and units, the regimes as codes with CF
    flags, and each cell's share of years in each regime and its most frequent one."""
    variables = {}
    complete = simulated.isel(field=0).notnull().sum("year")
    for index, field in enumerate(fields):
        values = simulated.isel(field=index, drop=True).transpose("year", *spatial)
        attributes = {"long_name": field.meaning, "units": CF_UNITS.get(field.unit, field.unit)}
        if field.kind == "category":
            attributes = {"long_name": field.meaning,
                          "flag_values": np.arange(len(field.categories), dtype=np.int8),
                          "flag_meanings": grid_summaries.flag_meanings(field.categories)}
            variables.update(grid_summaries.class_summaries(xarray, field, values, complete))
            values = values.fillna(-1).astype(np.int8)
        variables[field.name] = values.assign_attrs(attributes)
    dataset = xarray.Dataset(variables)
    dataset["complete_years"] = complete.astype(np.int32).assign_attrs(
        long_name="number of years simulated (whole years without a missing month)", units="1")
    mark_missing_codes(dataset)
    return dataset
