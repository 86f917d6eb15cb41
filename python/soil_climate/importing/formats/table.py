"""Tables of records with a header row: plain CSV as spreadsheets and most archives export
it (any date layout named by --date-format, a date column or year, month and day columns,
"," ";" or tab between cells, "." or "," as decimal mark), and NCEI's Climate Data Online
daily and monthly summaries, whose every value has an *_ATTRIBUTES column of flags. A
table with a station column may hold many stations. Archives whose tables differ only in
their column names and flags (the German Weather Service's, Environment Canada's) read
through the same Table with a Layout of their own."""

import csv
import datetime
import itertools
import re
from dataclasses import dataclass, field

from ..faults import BadInput
from ..observations import (READINGS, Observation, Series, StationFacts, checked, checked_coordinate,
                            to_metric)
from .text import DecimalMark, bounded_lines, number, open_text

# Column names of the common public exports, by what they hold; matched without regard to
# case.
KNOWN_COLUMNS = {
    "date": ("DATE", "TIME"),
    "year": ("YEAR",),
    "month": ("MONTH",),
    "day": ("DAY",),
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
SEPARATORS = {",": "comma", ";": "semicolon", "\t": "tab"}

# Date layouts read without --date-format: each unambiguous in its order of year, month
# and day. A day and a month both before the year are never guessed at.
KNOWN_DATES = (
    (re.compile(r"\d{4}-\d{1,2}-\d{1,2}"), "%Y-%m-%d", "YYYY-MM-DD"),
    (re.compile(r"\d{4}/\d{1,2}/\d{1,2}"), "%Y/%m/%d", "YYYY/MM/DD"),
    (re.compile(r"\d{8}"), "%Y%m%d", "YYYYMMDD"),
    (re.compile(r"\d{4}-\d{1,2}"), "%Y-%m", "YYYY-MM"),
    (re.compile(r"\d{6}"), "%Y%m", "YYYYMM"),
)
DAY_MONTH_OR_MONTH_DAY = re.compile(r"\d{1,2}([./-])\d{1,2}\1\d{2,4}")


@dataclass(frozen=True)
class Layout:
    """What a table's columns are named, and what its flags say: `kind` names the source
    in station.csv; `flag_column` gives the name of a value column's flag column;
    `flag` turns (value, flags, reading, daily) into (value, days missing, estimated).
    `monthly_on_first` reads a table whose every date is the first of a month as
    monthly."""

    kind: str
    columns: dict
    flag_column: object = None
    flag: object = None
    monthly_on_first: bool = True
    units_told: bool = True  # whether --units applies (else deg C and mm)
    names: dict = field(default_factory=dict)


def ncei_flags(value, flags, reading, daily):
    """NCEI's daily flags: measurement flag T is a trace (0), and any quality flag marks a
    value that failed a check, which counts as missing. Monthly: the first attribute is the
    number of days the value lacks."""
    if daily:
        if len(flags) > 1 and flags[1]:
            return None, None, False
        if flags[0] == "T" and reading == "precipitation":
            return 0.0, None, False
        return value, None, False
    if value is None:
        return value, None, False
    try:
        missing = int(flags[0] or 0)
    except ValueError:
        missing = -1
    if missing < 0:
        raise ValueError(flags[0])
    return value, missing, False


PLAIN = Layout("csv", KNOWN_COLUMNS)
NCEI = Layout("ncei", KNOWN_COLUMNS, lambda name: name.upper() + "_ATTRIBUTES", ncei_flags, monthly_on_first=False)


def is_ncei(header):
    names = {name.strip().strip('"').upper() for name in header.split(",")}
    return {"STATION", "DATE"} <= names and any(name.endswith("_ATTRIBUTES") for name in names)


def separator_of(header, path, told):
    """The separator: as told, else the one of "," ";" and tab that the header holds."""
    if told:
        return told
    found = [mark for mark in SEPARATORS if mark in header]
    if len(found) > 1:
        raise BadInput(f"{path}: line 1 holds both {SEPARATORS[found[0]]}s and {SEPARATORS[found[1]]}s; name the "
                       "one between cells with --separator")
    return found[0] if found else ","


class DateLayout:
    """How the file writes its dates: told by --date-format, else found from the first
    date; whether it is daily follows from whether the layout holds a day."""

    def __init__(self, told):
        self.layout, self.shown = (told, f"--date-format {told}") if told else (None, None)
        self.daily = None if told is None else any(code in told for code in ("%d", "%j"))

    def read(self, text, where):
        if self.layout is None:
            for pattern, layout, shown in KNOWN_DATES:
                if pattern.fullmatch(text):
                    self.layout, self.shown, self.daily = layout, shown, "%d" in layout
                    break
            else:
                if DAY_MONTH_OR_MONTH_DAY.fullmatch(text):
                    mark = DAY_MONTH_OR_MONTH_DAY.fullmatch(text).group(1)
                    raise BadInput(f'{where}: "{text}" may be day{mark}month or month{mark}day; give '
                                   f'--date-format %d{mark}%m{mark}%Y or %m{mark}%d{mark}%Y')
                raise BadInput(f'{where}: "{text}" is not a date (YYYY-MM-DD, YYYYMMDD or YYYY-MM; see '
                               '--date-format)')
        try:
            return datetime.datetime.strptime(text, self.layout).date()
        except ValueError:
            raise BadInput(f'{where}: "{text}" is not a date ({self.shown})') from None


class Table:
    """The file's rows, with the columns found and the way to read each cell."""

    def __init__(self, path, file, options, layout=None):
        self.path = path
        lines = bounded_lines(file, path)
        try:
            header_line = next(lines)
        except StopIteration:
            raise BadInput(f"{path}: holds no header row") from None
        self.layout = layout or (NCEI if is_ncei(header_line) else PLAIN)
        separator = separator_of(header_line, path, options.separator)
        self.decimal = DecimalMark(options.decimal, separator)
        self.rows = csv.reader(itertools.chain([header_line], lines), delimiter=separator)
        try:
            self.header = [name.strip() for name in next(self.rows)]
        except csv.Error as error:
            raise BadInput(f"{path}: line 1: {error}") from error
        self.columns = {}
        upper = [name.upper() for name in self.header]
        for kind, names in self.layout.columns.items():
            chosen = getattr(options, f"{kind}_column", None)
            wanted = [name.upper() for name in ((chosen,) if chosen else names)]
            found = [index for index, name in enumerate(upper) if name in wanted]
            if found:
                self.columns[kind] = found[0]
            elif chosen:
                raise BadInput(f"{path}: line 1: no column named {chosen}")
        self.flags = {}
        if self.layout.flag_column:
            for reading in READINGS:
                if reading in self.columns:
                    flag_name = self.layout.flag_column(self.header[self.columns[reading]]).upper()
                    if flag_name in upper:
                        self.flags[reading] = upper.index(flag_name)

    def __iter__(self):
        try:
            for row in self.rows:
                if any(cell.strip() for cell in row):
                    yield self.rows.line_num, row
        except csv.Error as error:
            raise BadInput(f"{self.path}: line {self.rows.line_num + 1}: {error}") from error

    def has(self, kind):
        return kind in self.columns

    def cell(self, row, kind):
        index = self.columns[kind]
        return row[index].strip() if index < len(row) else ""

    def flag_cells(self, row, reading):
        index = self.flags.get(reading)
        return [] if index is None or index >= len(row) else [flag.strip() for flag in row[index].split(",")]

    def where(self, line, kind):
        return f"{self.path}: line {line}, column {self.header[self.columns[kind]]}"

    def number(self, line, row, kind, trace=False):
        return number(self.cell(row, kind), self.where(line, kind), self.decimal, trace)


def date_of(table, dates, line, row):
    if table.has("date"):
        return dates.read(table.cell(row, "date"), table.where(line, "date"))
    parts = [table.cell(row, kind) for kind in ("year", "month", "day") if table.has(kind)]
    dates.daily = table.has("day")
    try:
        return datetime.date(*(int(part) for part in parts), *([] if dates.daily else [1]))
    except ValueError:
        what = "a year, a month and a day" if dates.daily else "a year and a month"
        raise BadInput(f'{table.where(line, "month")}: "{"-".join(parts)}" is not {what}') from None


def reading_of(table, line, row, reading, daily, units):
    """The value of one reading in deg C or mm, with the days it lacks by the archive's own
    count, and whether the archive marks it as estimated. A daily value is checked
    against the monthly bound while the table may yet turn out monthly."""
    value = table.number(line, row, reading, trace=reading == "precipitation")
    flags = table.flag_cells(row, reading)
    missing, estimated = None, False
    if flags:
        try:
            value, missing, estimated = table.layout.flag(value, flags, reading, daily)
        except ValueError:
            raise BadInput(f'{table.where(line, reading)}_ATTRIBUTES: "{flags[0]}" is not a number of missing '
                           "days") from None
    if not table.layout.units_told:
        units = "metric"
    value = checked(to_metric(value, reading, units), reading, daily and not table.layout.monthly_on_first,
                    table.where(line, reading))
    return value, missing, estimated


def monthly_if_on_first(series, table):
    """A table dated by day whose every row falls on the first of a month, one row a
    month, holds monthly records (archives date a month by its first day); else its
    precipitation is held to the daily bound it was not yet checked against."""
    if not series.daily or not table.layout.monthly_on_first:
        return series
    if len(series.observations) > 1 and all(observation.date.day == 1 for observation in series.observations):
        series.daily = False
        return series
    if "precipitation" in table.columns:
        for observation in series.observations:
            checked(observation.values.get("precipitation"), "precipitation", True,
                    f"{observation.where}, column {table.header[table.columns['precipitation']]}")
    return series


class Interleaved(Exception):
    """A station's rows come again after another station's: the table cannot be read one
    station at a time, only whole."""


def read(path, options, layout=None):
    """The stations of the table, each a Series in the order of the rows."""
    return list(stations_of(path, options, layout=layout))


def stations_of(path, options, one_at_a_time=False, layout=None):
    """The stations of the table, each a Series in the order of its rows: all at the end,
    or, `one_at_a_time`, each as soon as a row of another station follows its rows (an
    archive's order of many stations lists each station's rows together), so that only
    one station's rows are held at once; a station whose rows come again after another's
    is then Interleaved."""
    with open_text(path) as file:
        table = Table(path, file, options, layout)
        names = table.layout.columns
        if not table.has("date") and not (table.has("year") and table.has("month")):
            raise BadInput(f"{path}: line 1: no date column ({names['date'][0]}"
                           + (", or YEAR and MONTH)" if "year" in names else ")"))
        if not table.has("precipitation") and not getattr(options, "precipitation", None):
            raise BadInput(f"{path}: line 1: no precipitation column ({names['precipitation'][0]})")
        if not table.has("mean") and not (table.has("maximum") and table.has("minimum")):
            raise BadInput(f"{path}: line 1: no temperature column ({names['mean'][0]}, or {names['maximum'][0]} "
                           f"and {names['minimum'][0]})")
        readings = tuple(reading for reading in READINGS if table.has(reading))
        dates = DateLayout(options.date_format)
        stations, finished, current = {}, set(), None
        for line, row in table:
            moment = date_of(table, dates, line, row)
            key = table.cell(row, "id") if table.has("id") else None
            if one_at_a_time and key != current and current in stations:
                finished.add(current)
                yield monthly_if_on_first(stations.pop(current), table)
            current = key
            series = stations.get(key)
            if series is None:
                if key in finished:
                    raise Interleaved(key)
                kind = (f"ncei-{'daily' if dates.daily else 'monthly'}" if table.layout is NCEI
                        else table.layout.kind)
                series = stations[key] = Series(kind, dates.daily, [path], set(readings), StationFacts(id=key or None))
            values, missing, estimated = {}, {}, set()
            for reading in readings:
                values[reading], days, guessed = reading_of(table, line, row, reading, dates.daily, options.units)
                if days is not None:
                    missing[reading] = days
                if guessed:
                    estimated.add(reading)
            series.observations.append(Observation(f"{path}: line {line}", moment, values, missing,
                                                   estimated=frozenset(estimated)))
            note_station(table, line, row, series.facts)
        if not stations and not finished:
            raise BadInput(f"{path}: holds no records")
        for series in stations.values():
            yield monthly_if_on_first(series, table)


def note_station(table, line, row, facts):
    """The station's coordinates and name from their columns, the first given; every
    coordinate given must be one."""
    for kind in ("latitude", "longitude", "elevation"):
        if table.has(kind):
            value = checked_coordinate(table.number(line, row, kind), kind, table.where(line, kind))
            if value is not None and getattr(facts, kind) is None:
                setattr(facts, kind, value)
    if table.has("name") and facts.name is None and table.cell(row, "name"):
        facts.name = table.cell(row, "name")
