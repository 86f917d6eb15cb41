"""Reading a table of one station's daily or monthly records: its columns, its cells, and
the months they add up to, in deg C and mm."""

import calendar
import csv
import datetime
import math
from dataclasses import dataclass, field

from .. import _model
from .faults import BadInput

# Column names of the common public exports (daily and monthly summaries of national
# archives), by what they hold; matched without regard to case.
KNOWN_COLUMNS = {
    "date": ("DATE",),
    "year": ("YEAR",),
    "month": ("MONTH",),
    "mean": ("TAVG", "TMEAN", "TEMP", "MEAN_TEMPERATURE"),
    "maximum": ("TMAX", "MAX_TEMPERATURE"),
    "minimum": ("TMIN", "MIN_TEMPERATURE"),
    "precipitation": ("PRCP", "PRECIP", "PRECIPITATION", "TOTAL_PRECIPITATION"),
    "latitude": ("LATITUDE", "LAT"),
    "longitude": ("LONGITUDE", "LON", "LONG"),
    "elevation": ("ELEVATION", "ELEV", "ALTITUDE"),
    "name": ("NAME", "STATION_NAME"),
    "id": ("STATION", "STATION_ID", "ID"),
}
COLUMN_KINDS = tuple(KNOWN_COLUMNS)

MISSING_WORDS = {"", "NA", "N/A", "NAN", "NULL", "M"}

# What any station can record, in deg C and mm: beyond the coldest and hottest air and the
# wettest day and month ever measured.
TEMPERATURE_RANGE_C = (-95.0, 65.0)
DAILY_PRECIPITATION_MAX_MM = 2000.0
MONTHLY_PRECIPITATION_MAX_MM = 15000.0

ELEMENTS = ("temperature", "precipitation")

# The longest line a table of records may hold, characters: far beyond any row of an
# archive's export, and a bound on what a file that is no text table (/dev/zero, a binary
# file with no line end) can make the importer read at once.
LONGEST_LINE = 1_000_000


def bounded_lines(file, path):
    """The file's lines, each at most LONGEST_LINE characters, else a fault."""
    number = 0
    while True:
        line = file.readline(LONGEST_LINE + 1)
        if not line:
            return
        number += 1
        if len(line) > LONGEST_LINE:
            raise BadInput(f"{path}: line {number} is longer than {LONGEST_LINE:,} characters; the file is not a "
                           "table of records")
        yield line


@dataclass
class Month:
    """One calendar month of one element: the sum and count of its observed values, and
    how many of its days (or, for monthly records, whether the month) went unobserved."""

    total: float = 0.0
    observed: int = 0
    missing: int = 0

    def value(self, element):
        return self.total if element == "precipitation" else self.total / self.observed


@dataclass
class StationFacts:
    """What the records say of the station itself: the first latitude, longitude,
    elevation (m), name and identifier given."""

    latitude: float | None = None
    longitude: float | None = None
    elevation: float | None = None
    name: str | None = None
    id: str | None = None


@dataclass
class MonthlyRecords:
    """The months of the records, by (year, month), each a Month per element."""

    months: dict = field(default_factory=dict)
    daily: bool = False
    station: StationFacts = field(default_factory=StationFacts)


class Records:
    """The CSV file's rows, with the columns found and the way to read each cell."""

    def __init__(self, path, chosen_columns):
        self.path = path
        try:
            self.file = open(path, newline="", encoding="utf-8-sig")
        except OSError as error:
            raise BadInput(f"{path}: cannot be read: {error.strerror}") from error
        self.rows = csv.reader(bounded_lines(self.file, path))
        try:
            header = next(self.rows)
        except (StopIteration, csv.Error, UnicodeDecodeError) as error:
            raise BadInput(f"{path}: holds no header row") from error
        self.header = [name.strip() for name in header]
        self.columns = {}
        for kind, names in KNOWN_COLUMNS.items():
            chosen = chosen_columns.get(kind)
            wanted = (chosen,) if chosen else names
            for index, name in enumerate(self.header):
                if any(name.upper() == candidate.upper() for candidate in wanted):
                    self.columns[kind] = index
                    break
            else:
                if chosen:
                    raise BadInput(f"{path}: line 1: no column named {chosen}")

    def __iter__(self):
        try:
            for row in self.rows:
                if any(cell.strip() for cell in row):
                    yield self.rows.line_num, row
        except (csv.Error, UnicodeDecodeError) as error:
            raise BadInput(f"{self.path}: line {self.rows.line_num + 1}: {error}") from error

    def has(self, kind):
        return kind in self.columns

    def cell(self, row, kind):
        index = self.columns[kind]
        return row[index].strip() if index < len(row) else ""

    def where(self, line, kind):
        return f"{self.path}: line {line}, column {self.header[self.columns[kind]]}"

    def number(self, line, row, kind):
        """The cell's value, or None for a gap (an empty cell, NA, or a missing-value code
        as run_station knows them)."""
        text = self.cell(row, kind)
        if text.upper() in MISSING_WORDS:
            return None
        try:
            value = float(text)
        except ValueError:
            raise BadInput(f'{self.where(line, kind)}: "{text}" is not a number') from None
        if not math.isfinite(value):
            raise BadInput(f'{self.where(line, kind)}: "{text}" is not a finite number')
        return None if _model.is_missing_value_code(value) else value


def to_metric(value, element, units):
    if value is None or units == "metric":
        return value
    return (value - 32.0) * 5.0 / 9.0 if element == "temperature" else value * 25.4


def checked(value, element, limit_mm, records, line, kind):
    """A temperature (deg C) or precipitation (mm) that a station can record, else a fault."""
    if value is None:
        return None
    if element == "temperature" and not TEMPERATURE_RANGE_C[0] <= value <= TEMPERATURE_RANGE_C[1]:
        raise BadInput(f"{records.where(line, kind)}: {value:g} deg C lies outside what any station records "
                       f"({TEMPERATURE_RANGE_C[0]:g} to {TEMPERATURE_RANGE_C[1]:g} deg C)")
    if element == "precipitation" and value < 0.0:
        raise BadInput(f"{records.where(line, kind)}: negative precipitation ({value:g} mm)")
    if element == "precipitation" and value > limit_mm:
        raise BadInput(f"{records.where(line, kind)}: {value:g} mm of precipitation lies beyond any record "
                       f"({limit_mm:g} mm)")
    return value


def date_of(records, line, row, daily):
    """The row's date, and whether the records are daily (decided by the first date)."""
    if not records.has("date"):
        try:
            return datetime.date(int(records.cell(row, "year")), int(records.cell(row, "month")), 1), False
        except ValueError:
            raise BadInput(f'{records.where(line, "month")}: "{records.cell(row, "year")}-'
                           f'{records.cell(row, "month")}" is not a year and a month') from None
    text = records.cell(row, "date")
    if daily is None:
        daily = len(text) > 7
    try:
        return datetime.datetime.strptime(text, "%Y-%m-%d" if daily else "%Y-%m").date(), daily
    except ValueError:
        raise BadInput(f'{records.where(line, "date")}: "{text}" is not a date '
                       f'({"YYYY-MM-DD" if daily else "YYYY-MM"})') from None


def read_months(records, units):
    """The months of the records, by (year, month) and element, in deg C and mm."""
    if not records.has("date") and not (records.has("year") and records.has("month")):
        raise BadInput(f"{records.path}: line 1: no date column (DATE, or YEAR and MONTH)")
    if not records.has("precipitation"):
        raise BadInput(f"{records.path}: line 1: no precipitation column (PRCP)")
    if not records.has("mean") and not (records.has("maximum") and records.has("minimum")):
        raise BadInput(f"{records.path}: line 1: no temperature column (TAVG, or TMAX and TMIN)")

    result = MonthlyRecords()
    daily = None
    previous = None  # (date, line) of the row before
    for line, row in records:
        moment, daily = date_of(records, line, row, daily)
        if previous is not None and moment <= previous[0]:
            what = "repeats" if moment == previous[0] else "comes before"
            raise BadInput(f"{records.path}: line {line}: the date {moment} {what} the date of line {previous[1]}; "
                           "the rows must be in order, each date once")
        previous = (moment, line)

        limit = DAILY_PRECIPITATION_MAX_MM if daily else MONTHLY_PRECIPITATION_MAX_MM

        def reading(kind, element):
            return checked(to_metric(records.number(line, row, kind), element, units), element, limit, records,
                           line, kind)

        mean = reading("mean", "temperature") if records.has("mean") else None
        if mean is None and records.has("maximum") and records.has("minimum"):
            high = reading("maximum", "temperature")
            low = reading("minimum", "temperature")
            mean = None if high is None or low is None else (high + low) / 2.0
        rain = reading("precipitation", "precipitation")
        note_station(records, line, row, result.station)

        month = result.months.setdefault((moment.year, moment.month), {element: Month() for element in ELEMENTS})
        for element, value in zip(ELEMENTS, (mean, rain)):
            if value is None:
                month[element].missing += 1
            else:
                month[element].total += value
                month[element].observed += 1
    if not result.months:
        raise BadInput(f"{records.path}: holds no records")
    result.daily = bool(daily)
    if daily:
        # Days with no row are missing too: a dropped row must not pass for a complete month.
        for (year, number), month in result.months.items():
            days = calendar.monthrange(year, number)[1]
            for element in ELEMENTS:
                month[element].missing = days - month[element].observed
    return result


# The coordinates a station can have, with their bounds.
COORDINATE_BOUNDS = {"latitude": (-90.0, 90.0), "longitude": (-180.0, 360.0), "elevation": (-500.0, 9000.0)}


def note_station(records, line, row, station):
    """The station's coordinates, name and identifier from their columns, the first given;
    every coordinate given must be one."""
    for kind, (low, high) in COORDINATE_BOUNDS.items():
        if records.has(kind):
            value = records.number(line, row, kind)
            if value is not None:
                if not low <= value <= high:
                    raise BadInput(f"{records.where(line, kind)}: {kind} {value:g} lies outside {low:g} to {high:g}")
                if getattr(station, kind) is None:
                    setattr(station, kind, value)
    for kind in ("name", "id"):
        if records.has(kind) and getattr(station, kind) is None and records.cell(row, kind):
            setattr(station, kind, records.cell(row, kind))
