"""Soil water and soil temperature of a climate station, simulated year by year.

The model is the same library that run_station runs: for each year its monthly PET, the
soil water balance of 64 slants run to equilibrium, the 360-day soil moisture and soil
temperature calendars, the day counts and the soil moisture regime, its tentative
subdivision and the soil temperature regime.

    result = soil_climate.simulate(temperature, precipitation, units="us", latitude=38.5,
                                   capacity_mm=152.4)
    result = soil_climate.simulate(**soil_climate.read_station("examples/davis"))
"""

import numbers
import os
import warnings
from typing import NamedTuple

import numpy as np

from . import _model

# The version of the library, the same as run_station --version gives.
__version__ = _model.__version__

__all__ = ["simulate", "compare_periods", "simulate_grid", "delta_scenario", "compare_grids", "compare_ensemble", "write_grid", "write_geotiff", "read_station", "StationResult", "YearField", "YEAR_FIELDS", "COUNT_FIELDS", "SUM_FIELDS", "Parameter", "PARAMETERS"]


class YearField(NamedTuple):
    """One field of a simulated year: a column of run_station's years.csv."""

    name: str
    unit: str
    meaning: str
    kind: str  # "text", "number", "count" or "category"
    source: str  # "station" (alike in every year) or "year"
    categories: tuple  # a category's names, by code


# Every field of a year, in the order of the columns of years.csv.
YEAR_FIELDS = tuple(YearField(*field) for field in _model.year_fields)

# The day counts and longest runs of a year, and the year's water sums (mm).
COUNT_FIELDS = tuple(field.name for field in YEAR_FIELDS if field.kind == "count")
SUM_FIELDS = tuple(field.name for field in YEAR_FIELDS
                   if field.source == "year" and field.kind == "number" and field.unit == "mm")

from .parameters import (PARAMETERS, Parameter, default_of, default_phase_shift, given_parameters,  # noqa: E402
                         list_parameters)

MOISTURE_REGIME_NAMES = tuple(_model.moisture_regime_names)
SUBDIVISION_NAMES = tuple(_model.subdivision_names)
# The eight bands of mean soil temperature, plain and iso, which every run lists; the two
# cold regimes (Pergelic, Cryic) follow them and are given and listed only when asked for.
TEMPERATURE_REGIME_NAMES = tuple(_model.temperature_regime_names[:_model.first_cold_regime])
COLD_REGIME_NAMES = tuple(_model.temperature_regime_names[_model.first_cold_regime:])
REGIME_KINDS = {"moisture_regime": MOISTURE_REGIME_NAMES, "subdivision": SUBDIVISION_NAMES,
                "temperature_regime": TEMPERATURE_REGIME_NAMES}


def regime_names(kind, cold_regimes=False):
    """The names a regime table lists, in table order: with `cold_regimes` the temperature
    regimes' two cold ones too."""
    names = REGIME_KINDS[kind]
    return names + COLD_REGIME_NAMES if cold_regimes and kind == "temperature_regime" else names


class StationResult:
    """Every year of one station, as arrays with one row a year.

    Monthly arrays are (years, 12), January first: ``monthly_temperature`` (deg C),
    ``monthly_precipitation`` (mm) and ``monthly_pet`` (mm). ``moisture_profile`` is
    (years, 64): mm in each slant at the end of the year. The calendars are (years, 360),
    day 0 being 1 January of twelve 30-day months: ``moisture_calendar`` holds 1 (dry),
    2 (partly dry and partly moist) or 3 (moist), ``temperature_calendar`` the soil
    temperature in deg C. Each field of YEAR_FIELDS that comes from the year (its day
    counts, water sums and soil temperatures) is an array of one value a year under its
    name; ``moisture_regime``, ``subdivision`` and ``temperature_regime`` are arrays of
    names. ``cold_regimes`` says whether the run gave the cold regimes.
    """

    def __init__(self, labels, station, raw, cold_regimes=False):
        self.labels = list(labels)
        self.station = dict(station)
        self.cold_regimes = bool(cold_regimes)
        for name in ("monthly_temperature", "monthly_precipitation", "monthly_pet", "moisture_profile",
                     "moisture_calendar", "temperature_calendar", "equilibrium_passes"):
            setattr(self, name, raw[name])
        self._columns = {}
        for field in YEAR_FIELDS:
            column = raw["fields"][field.name]
            if field.kind == "category":
                column = np.asarray(field.categories, dtype=object)[column]
            self._columns[field.name] = column

    def __len__(self):
        return len(self.labels)

    def __repr__(self):
        station = self.station
        span = f"{self.labels[0]} to {self.labels[-1]}" if self.labels else "no year"
        most = ", ".join(max(self.frequencies(kind).items(), key=lambda item: item[1][0])[0]
                         for kind in REGIME_KINDS) if self.labels else "none"
        return (f"<StationResult {station['station_name'] or 'unnamed'}: {len(self)} years ({span}), latitude "
                f"{station['latitude']:g} {station['hemisphere']}, capacity {station['capacity_mm']:g} mm; "
                f"most frequent {most}>")

    def frequencies(self, kind="moisture_regime"):
        """Years and percentage of years of each name of a regime table, in table order.

        ``kind`` is "moisture_regime", "subdivision" or "temperature_regime". Returns a
        dict of name -> (years, percent), every name of the table included (Pergelic and
        Cryic only when the run gave the cold regimes).
        """
        if kind not in REGIME_KINDS:
            raise ValueError(f"kind must be one of {', '.join(REGIME_KINDS)}, not {kind!r}")
        names = regime_names(kind, self.cold_regimes)
        values = getattr(self, kind)
        years = len(self)
        result = {}
        for name in names:
            count = int(np.count_nonzero(values == name))
            result[name] = (count, count * 100.0 / years if years else 0.0)
        return result

    def select(self, rows):
        """The years at the indices `rows`, as a StationResult of their own."""
        rows = np.asarray(rows, dtype=np.int64)
        chosen = object.__new__(StationResult)
        chosen.labels = [self.labels[row] for row in rows]
        chosen.station = dict(self.station)
        chosen.cold_regimes = self.cold_regimes
        for name in ("monthly_temperature", "monthly_precipitation", "monthly_pet", "moisture_profile",
                     "moisture_calendar", "temperature_calendar", "equilibrium_passes"):
            setattr(chosen, name, np.asarray(getattr(self, name))[rows])
        chosen._columns = {name: np.asarray(column)[rows] for name, column in self._columns.items()}
        return chosen

    def plot_moisture_calendar(self, ax=None):
        """The moisture calendar in the station page's colours, on ``ax`` or a new figure
        (needs matplotlib). Returns the axes."""
        from .plots import plot_moisture_calendar
        return plot_moisture_calendar(self, ax)

    def plot_temperature_calendar(self, ax=None, scale=None):
        """The soil temperature calendar in bins of 1 deg C, over the station's range or
        ``scale`` = (min, max) deg C (needs matplotlib). Returns the axes."""
        from .plots import plot_temperature_calendar
        return plot_temperature_calendar(self, ax, scale)

    def plot_frequencies(self, kind="moisture_regime", ax=None):
        """Bars of how often each name of a regime table occurred (needs matplotlib).
        Returns the axes."""
        from .plots import plot_frequencies
        return plot_frequencies(self, kind, ax)

    def to_pandas(self):
        """A pandas DataFrame with the columns of run_station's years.csv (needs pandas)."""
        try:
            import pandas
        except ImportError as missing:
            raise ImportError("to_pandas needs pandas (Debian: python3-pandas)") from missing
        return pandas.DataFrame({field.name: self._columns[field.name] for field in YEAR_FIELDS})


def _column(field):
    unit = f" ({field.unit})" if field.unit else ""
    return property(lambda self: self._columns[field.name],
                    doc=f"{field.meaning}{unit}, one value a year; a {field.kind} field of the table of years")


# Each field that comes from the year is a property of its own, visible to editors.
for _field in YEAR_FIELDS:
    if _field.source == "year":
        setattr(StationResult, _field.name, _column(_field))
del _field


def _switch(name, value):
    """A yes-or-no argument, refused unless it is a boolean."""
    if not isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be True or False, not {type(value).__name__}")
    return bool(value)


def simulate(temperature, precipitation, *, units, hemisphere=None, labels=None, station_name="",
             cold_regimes=False, **parameters):
    """Simulates a station's years and returns a StationResult.

    ``temperature`` and ``precipitation`` are arrays of shape (years, 12), January first:
    monthly mean air temperature and monthly precipitation, in deg F and inches with
    units="us" (as in run_station's input files) or in deg C and mm with units="metric";
    ``units`` must be given. The station parameters are keyword arguments named as in
    PARAMETERS: ``latitude`` in degrees, negative in the south (or give its magnitude with
    ``hemisphere`` "N" or "S"), and ``capacity_mm``, the soil's water-holding capacity in
    mm, must be given; the others (``soil_temp_offset``, ``amplitude_factor``,
    ``phase_shift``, ...) take their defaults where they are not given or are None, the
    southern one for a southern station. ``phase_shift`` defaults to 0 days in the north and
    90 in the south (a southern station given 0 has its warmest soil in May, and a warning
    says so). A latitude
    beyond 50 degrees is simulated with the day-length factors of 50 degrees, and a warning
    says so.
    With ``cold_regimes`` a year whose mean soil temperature is below 0 deg C is Pergelic,
    and one below 8 deg C whose summer soil mean is below 15 deg C is Cryic.
    ``labels`` name the years (default "1", "2", ...). ``soil_climate.read_station(folder)``
    gives all of these for a station folder, read as run_station reads it.

    Raises ValueError, naming the year and the month, for a wrong shape, a value that is
    not finite, a missing-value code such as -99.9 or a value outside what a station can
    record, and for a hemisphere other than "N" or "S" or a parameter outside its range;
    TypeError for an argument of the wrong type (a string of labels, a text capacity, a
    boolean or complex array) and for a station parameter missing or of an unknown name;
    RuntimeError for a failure of the model itself. The GIL is
    released while the model runs; Ctrl-C stops a long call between years with
    KeyboardInterrupt.
    """
    given = given_parameters("simulate", parameters, tuple(PARAMETERS))
    temperature = _monthly_values("temperature", temperature)
    precipitation = _monthly_values("precipitation", precipitation)
    years = temperature.shape[0] if temperature.ndim == 2 else 0
    if isinstance(labels, (str, bytes)):
        raise TypeError("labels must be a sequence of one label a year, not a single string")
    labels = [str(n) for n in range(1, years + 1)] if labels is None else [str(label) for label in labels]
    for name, value in (("units", units), ("station_name", station_name)) + \
            ((("hemisphere", hemisphere),) if hemisphere is not None else ()):
        if not isinstance(value, str):
            raise TypeError(f"{name} must be a string, not {type(value).__name__}")
    latitude = _real_number("latitude", given.pop("latitude"))
    if hemisphere is None:
        hemisphere = "S" if latitude < 0.0 else "N"
    elif latitude < 0.0 and hemisphere != "S":
        raise ValueError(f"a negative latitude is southern, but hemisphere is {hemisphere!r}")
    if hemisphere == "S" and given["phase_shift"] is not None and given["phase_shift"] == 0:
        warnings.warn("a southern station with phase_shift 0 has its warmest soil on 15 May; a phase_shift of "
                      "about +90 days puts it in February", stacklevel=2)
    for name, value in given.items():
        if value is None and PARAMETERS[name].default is not None:
            given[name] = default_of(name, hemisphere == "S")
    if temperature.ndim == 2 and temperature.shape[0] > 0 and temperature.shape[1] == 12 and \
            np.isfinite(temperature).all():
        doubt = _model.hemisphere_doubt(hemisphere, [float(v) for v in temperature.mean(axis=0)])
        if doubt:
            warnings.warn(doubt, stacklevel=2)
    values = {name: _real_number(name, value) for name, value in given.items()}
    raw = _model.simulate(temperature, precipitation, {"latitude": abs(latitude), **values}, hemisphere, labels,
                          units, station_name, _switch("cold_regimes", cold_regimes))
    # Said once the latitude has passed the model's checks.
    notice = _model.day_length_limit_notice(latitude)
    if notice:
        warnings.warn(notice, stacklevel=2)
    station = {"latitude": abs(latitude), "hemisphere": hemisphere, **values, "station_name": station_name}
    return StationResult(labels, station, raw, cold_regimes)


list_parameters(simulate, tuple(PARAMETERS))


def read_station(folder, capacity_mm=None):
    """A station folder (or a file prefix, as run_station takes it) read by run_station's
    own readers, every rule of theirs applied: a dict of the arguments of simulate, so that
    ``simulate(**read_station(folder))`` gives run_station's results to the last bit.
    ``capacity_mm`` replaces the parameter file's capacity, as run_station's argument does.
    A fault raises ValueError with run_station's message."""
    prefix = os.fspath(folder)
    if os.path.isdir(prefix) and not prefix.endswith("/"):
        prefix += "/"
    if not os.path.isdir(prefix) and not os.path.exists(prefix + "monthly_T"):
        raise ValueError(f"{os.fspath(folder)}: no station folder there, nor a file prefix of monthly_T, "
                         "monthly_P and parameter")
    capacity = None if capacity_mm is None else _real_number("capacity_mm", capacity_mm)
    found = _model.read_station_files(prefix, capacity)
    for warning in found.pop("warnings"):
        warnings.warn(f"{prefix}: {warning}", stacklevel=2)
    found["temperature"] = np.asarray(found["temperature"])
    found["precipitation"] = np.asarray(found["precipitation"])
    return found


def _real_number(name, value):
    """A parameter as a float: a real number, not a bool or a string."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {type(value).__name__}")
    return float(value)


def _monthly_values(name, values):
    """Monthly values as a float64 array; booleans, complex numbers, dates and text are no
    monthly values. (None and NaN become NaN, which the model refuses naming the month.)"""
    array = np.asarray(values)
    if array.dtype.kind in "bcmMSUV":
        raise TypeError(f"{name} must hold real numbers, not {array.dtype}")
    try:
        return array.astype(np.float64)
    except (TypeError, ValueError) as error:
        raise TypeError(f"{name} must hold real numbers: {error}") from None


from .grid import simulate_grid  # noqa: E402  (needs xarray only when called)
from .grid_delta import delta_scenario  # noqa: E402
from .grid_ensemble import compare_ensemble  # noqa: E402
from .grid_netcdf import write_grid  # noqa: E402
from .grid_periods import compare_grids  # noqa: E402
from .station_periods import compare_periods  # noqa: E402


def write_geotiff(dataset, folder):
    """Writes the most frequent regimes of a Dataset from `simulate_grid`, their shares and
    their dominance as GeoTIFFs with colour tables and category names into `folder`
    (needs python3-rasterio and python3-gdal)."""
    from .grid_geotiff import write_geotiff as write
    from .grid_netcdf import cf_complete
    return write(cf_complete(dataset), folder)
