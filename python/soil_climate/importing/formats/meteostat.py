"""Meteostat's bulk station files without a header row (its files with a header read as
plain csv): daily `date,tavg,tmin,tmax,prcp,snow,wdir,wspd,wpgt,pres,tsun` and monthly
`year,month,tavg,tmin,tmax,prcp,wspd,pres,tsun`, deg C and mm, an empty cell missing."""

import csv
import datetime
import re

from ..faults import BadInput
from ..observations import Observation, Series, StationFacts, checked
from .text import bounded_lines, number, open_text

DAILY = re.compile(r"\d{4}-\d{2}-\d{2}(,[^,]*){10}")
MONTHLY = re.compile(r"\d{4},\d{1,2}(,[^,]*){7}")
# The columns of each layout after its date, by the reading they hold.
COLUMNS = {True: {"mean": 1, "minimum": 2, "maximum": 3, "precipitation": 4},
           False: {"mean": 2, "minimum": 3, "maximum": 4, "precipitation": 5}}
NAMES = ("tavg", "tmin", "tmax", "prcp")


def recognises(lines):
    return bool(lines) and bool(DAILY.fullmatch(lines[0]) or MONTHLY.fullmatch(lines[0]))


def read(path, options):
    del options  # deg C and mm
    with open_text(path) as file:
        rows = csv.reader(bounded_lines(file, path))
        series = None
        for row in rows:
            if not any(cell.strip() for cell in row):
                continue
            where = f"{path}: line {rows.line_num}"
            if series is None:
                daily = len(row) == 11
                series = Series("meteostat", daily, [path], set(COLUMNS[daily]), StationFacts())
            if len(row) != (11 if daily else 9):
                raise BadInput(f"{where}: holds {len(row)} cells, not the {11 if daily else 9} of Meteostat's "
                               f"{'daily' if daily else 'monthly'} files")
            try:
                date = (datetime.date.fromisoformat(row[0]) if daily
                        else datetime.date(int(row[0]), int(row[1]), 1))
            except ValueError:
                raise BadInput(f'{where}: "{",".join(row[:1 if daily else 2])}" is not a '
                               f"{'date' if daily else 'year and a month'}") from None
            values = {}
            for (reading, column), name in zip(COLUMNS[daily].items(), NAMES):
                cell_where = f"{where}, column {name}"
                values[reading] = checked(number(row[column], cell_where), reading, daily, cell_where)
            series.observations.append(Observation(where, date, values))
        if series is None:
            raise BadInput(f"{path}: holds no records")
        return [series]
