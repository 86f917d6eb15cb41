"""What every archive's records come to: a station's dated observations of air
temperature (a mean, or a maximum and a minimum) and precipitation, in deg C and mm, with
what the archive says of each; put in date order, freed of exact duplicates, and joined
across the files that each hold one element."""

import datetime
from dataclasses import dataclass, field

from .faults import BadInput

# The elements an observation may give, and what the station's months are made of.
READINGS = ("mean", "maximum", "minimum", "precipitation")
ELEMENTS = ("temperature", "precipitation")
READING_NAMES = {"mean": "mean temperature", "maximum": "maximum temperature", "minimum": "minimum temperature",
                 "precipitation": "precipitation"}

# What any station can record, in deg C and mm: beyond the coldest and hottest air and the
# wettest day and month ever measured.
TEMPERATURE_RANGE_C = (-95.0, 65.0)
DAILY_PRECIPITATION_MAX_MM = 2000.0
MONTHLY_PRECIPITATION_MAX_MM = 15000.0

# The coordinates a station can have, with their bounds.
COORDINATE_BOUNDS = {"latitude": (-90.0, 90.0), "longitude": (-180.0, 360.0), "elevation": (-500.0, 9000.0)}


def to_metric(value, reading, units):
    if value is None or units == "metric":
        return value
    return value * 25.4 if reading == "precipitation" else (value - 32.0) * 5.0 / 9.0


def checked(value, reading, daily, where):
    """A temperature (deg C) or precipitation (mm) that a station can record, else a fault."""
    if value is None:
        return None
    if reading != "precipitation":
        if not TEMPERATURE_RANGE_C[0] <= value <= TEMPERATURE_RANGE_C[1]:
            raise BadInput(f"{where}: {value:g} deg C lies outside what any station records "
                           f"({TEMPERATURE_RANGE_C[0]:g} to {TEMPERATURE_RANGE_C[1]:g} deg C)")
        return value
    limit = DAILY_PRECIPITATION_MAX_MM if daily else MONTHLY_PRECIPITATION_MAX_MM
    if value < 0.0:
        raise BadInput(f"{where}: negative precipitation ({value:g} mm)")
    if value > limit:
        raise BadInput(f"{where}: {value:g} mm of precipitation lies beyond any record ({limit:g} mm)")
    return value


def checked_coordinate(value, kind, where):
    low, high = COORDINATE_BOUNDS[kind]
    if value is not None and not low <= value <= high:
        raise BadInput(f"{where}: {kind} {value:g} lies outside {low:g} to {high:g}")
    return value


@dataclass
class StationFacts:
    """What the records say of the station itself: the first latitude, longitude,
    elevation (m), name and identifier given."""

    latitude: float | None = None
    longitude: float | None = None
    elevation: float | None = None
    name: str | None = None
    id: str | None = None

    def learn(self, other):
        for name in ("latitude", "longitude", "elevation", "name", "id"):
            if getattr(self, name) is None:
                setattr(self, name, getattr(other, name))


@dataclass(slots=True)
class Observation:
    """One day's or one month's record. `values` holds each reading given (None where the
    record has a gap), `missing_days` the days a monthly value lacks by the archive's own
    count, `covers` the days a precipitation amount was gathered over (ending on `date`),
    `estimated` the readings the archive marks as estimated."""

    where: str
    date: datetime.date
    values: dict
    missing_days: dict = field(default_factory=dict)
    covers: int = 1
    estimated: frozenset = frozenset()

    def same_record(self, other):
        return (self.values, self.missing_days, self.covers, self.estimated) == \
            (other.values, other.missing_days, other.covers, other.estimated)

    def temperature(self):
        """The mean air temperature: the mean given, else the midpoint of the maximum and
        the minimum."""
        mean = self.values.get("mean")
        if mean is None:
            high, low = self.values.get("maximum"), self.values.get("minimum")
            if high is not None and low is not None:
                mean = (high + low) / 2.0
        return mean

    def temperature_missing_days(self):
        if self.values.get("mean") is not None:
            return self.missing_days.get("mean")
        days = [self.missing_days[name] for name in ("maximum", "minimum") if name in self.missing_days]
        return max(days) if days else None


@dataclass
class Series:
    """One station's observations from one or more files of one format: daily or monthly,
    what is known of the station, the readings the files hold, and how many rows were out
    of order or exact duplicates."""

    format: str
    daily: bool
    files: list
    readings: set
    facts: StationFacts = field(default_factory=StationFacts)
    observations: list = field(default_factory=list)
    sorted_rows: int = 0
    duplicate_rows: int = 0
    records: object = None  # the MonthlyRecords, once the observations are let go


def put_in_order(series):
    """Sorts the observations by date, counting the rows that came out of order, and drops
    exact duplicates, counting them; the same date twice with different values is a fault
    that names both lines."""
    latest = None
    for observation in series.observations:
        if latest is not None and observation.date < latest:
            series.sorted_rows += 1
        latest = observation.date if latest is None else max(latest, observation.date)
    ordered = sorted(series.observations, key=lambda observation: observation.date)
    kept = []
    for observation in ordered:
        if kept and kept[-1].date == observation.date:
            if not kept[-1].same_record(observation):
                raise BadInput(f"{kept[-1].where} and {observation.where.rsplit(': ', 1)[-1]} both give "
                               f"{observation.date} with different values")
            series.duplicate_rows += 1
            continue
        kept.append(observation)
    series.observations = kept
    return series


def join(parts):
    """One series per station from the series of each file: the files of one station
    (found by its identifier) are joined by date, as files of one element each, or as
    files of one period each (an archive's files of one station and year). A date that
    two files give the same is counted a duplicate; with different values it is a fault
    that names both lines."""
    stations = {}
    for part in parts:
        key = part.facts.id
        whole = stations.get(key)
        if whole is None:
            stations[key] = part
            continue
        if whole.daily != part.daily:
            raise BadInput(f"{part.files[0]} holds monthly records and {whole.files[0]} daily ones, or the other "
                           "way round; they cannot be joined")
        both = whole.readings & part.readings
        by_date = {observation.date: observation for observation in whole.observations}
        for observation in part.observations:
            mine = by_date.get(observation.date)
            if mine is None:
                by_date[observation.date] = observation
                continue
            if any(mine.values.get(name) != observation.values.get(name) for name in both):
                raise BadInput(f"{mine.where} and {observation.where} both give {observation.date} with different "
                               "values")
            if both and part.readings <= both:
                whole.duplicate_rows += 1
            by_date[observation.date] = Observation(
                mine.where, mine.date, {**mine.values, **observation.values},
                {**mine.missing_days, **observation.missing_days}, max(mine.covers, observation.covers),
                mine.estimated | observation.estimated)
        whole.observations = [by_date[date] for date in sorted(by_date)]
        whole.files += part.files
        whole.readings |= part.readings
        whole.facts.learn(part.facts)
        whole.sorted_rows += part.sorted_rows
        whole.duplicate_rows += part.duplicate_rows
    return list(stations.values())


def check_elements(series):
    """A station needs precipitation and a temperature: a mean, or a maximum and a minimum."""
    label = " and ".join(series.files)
    station = f" (station {series.facts.id})" if series.facts.id else ""
    if "precipitation" not in series.readings:
        hint = ("GHCN-M carries temperature only: give the station's precipitation with --precipitation FILE"
                if series.format == "ghcnm" else "give it with --precipitation FILE")
        raise BadInput(f"{label}{station}: no precipitation; {hint}")
    if "mean" not in series.readings and not {"maximum", "minimum"} <= series.readings:
        raise BadInput(f"{label}{station}: no temperature (a mean, or a maximum and a minimum)")
