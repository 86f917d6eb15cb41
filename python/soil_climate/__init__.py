"""Soil water and soil temperature of a climate station, simulated year by year.

The model is the same library that run_station runs: for each year its monthly PET, the
soil water balance of 64 slants run to equilibrium, the 360-day soil moisture and soil
temperature calendars, the day counts and the soil moisture regime, its tentative
subdivision and the soil temperature regime.

    result = soil_climate.simulate(temperature, precipitation, latitude=38.5,
                                   hemisphere="N", capacity_mm=152.4)
"""

from typing import NamedTuple

import numpy as np

from . import _model

__all__ = ["simulate", "StationResult", "YearField", "YEAR_FIELDS", "COUNT_FIELDS", "SUM_FIELDS"]


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

MOISTURE_REGIME_NAMES = tuple(_model.moisture_regime_names)
SUBDIVISION_NAMES = tuple(_model.subdivision_names)
TEMPERATURE_REGIME_NAMES = tuple(_model.temperature_regime_names)


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
    names.
    """

    def __init__(self, labels, station, raw):
        self.labels = list(labels)
        self.station = dict(station)
        for name in ("monthly_temperature", "monthly_precipitation", "monthly_pet", "moisture_profile",
                     "moisture_calendar", "temperature_calendar", "equilibrium_passes"):
            setattr(self, name, raw[name])
        self._columns = {}
        for field in YEAR_FIELDS:
            column = raw["fields"][field.name]
            if field.kind == "category":
                column = np.asarray(field.categories, dtype=object)[column]
            self._columns[field.name] = column
            if field.source == "year":
                setattr(self, field.name, column)

    def __len__(self):
        return len(self.labels)

    def frequencies(self, kind="moisture_regime"):
        """Years and percentage of years of each name of a regime table, in table order.

        ``kind`` is "moisture_regime", "subdivision" or "temperature_regime". Returns a
        dict of name -> (years, percent), every name of the table included.
        """
        names = {"moisture_regime": MOISTURE_REGIME_NAMES, "subdivision": SUBDIVISION_NAMES,
                 "temperature_regime": TEMPERATURE_REGIME_NAMES}[kind]
        values = getattr(self, kind)
        years = len(self)
        result = {}
        for name in names:
            count = int(np.count_nonzero(values == name))
            result[name] = (count, count * 100.0 / years if years else 0.0)
        return result

    def to_pandas(self):
        """A pandas DataFrame with the columns of run_station's years.csv (needs pandas)."""
        try:
            import pandas
        except ImportError as missing:
            raise ImportError("to_pandas needs pandas (Debian: python3-pandas)") from missing
        return pandas.DataFrame({field.name: self._columns[field.name] for field in YEAR_FIELDS})


def simulate(temperature, precipitation, *, latitude, hemisphere, capacity_mm, soil_temp_offset=2.5,
             amplitude_factor=0.66, phase_shift=0.0, labels=None, units="us", station_name=""):
    """Simulates a station's years and returns a StationResult.

    ``temperature`` and ``precipitation`` are arrays of shape (years, 12), January first:
    monthly mean air temperature and monthly precipitation, in deg F and inches with
    units="us" (as in run_station's input files) or in deg C and mm with units="metric".
    ``latitude`` is in degrees (0 to 90), ``hemisphere`` "N" or "S", ``capacity_mm`` the
    soil's water-holding capacity in mm. ``labels`` name the years (default "1", "2", ...).

    Raises ValueError, naming the year and the month, for a wrong shape, a value that is
    not finite, a missing-value code such as -99.9 or a value outside what a station can
    record, and for a hemisphere other than "N" or "S" or a parameter outside its range.
    The GIL is released while the model runs.
    """
    temperature = np.asarray(temperature, dtype=np.float64)
    precipitation = np.asarray(precipitation, dtype=np.float64)
    years = temperature.shape[0] if temperature.ndim == 2 else 0
    labels = [str(n) for n in range(1, years + 1)] if labels is None else [str(label) for label in labels]
    raw = _model.simulate(temperature, precipitation, float(latitude), str(hemisphere), float(capacity_mm),
                          float(soil_temp_offset), float(amplitude_factor), float(phase_shift), labels, str(units),
                          str(station_name))
    station = {"latitude": float(latitude), "hemisphere": str(hemisphere), "capacity_mm": float(capacity_mm),
               "soil_temp_offset": float(soil_temp_offset), "amplitude_factor": float(amplitude_factor),
               "phase_shift": float(phase_shift), "station_name": station_name}
    return StationResult(labels, station, raw)
