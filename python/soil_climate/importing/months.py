"""A station's observations added up into calendar months of mean temperature (deg C) and
total precipitation (mm), with the days each month lacks."""

import calendar
import datetime
from dataclasses import dataclass, field

from .observations import ELEMENTS


@dataclass
class Month:
    """One calendar month of one element: the sum and count of its observed values, the
    days it lacks (None for a monthly record that is missing as a whole), and how many of
    its values the archive marks as estimated."""

    total: float = 0.0
    observed: int = 0
    missing: int | None = 0
    estimated: int = 0
    days: set = field(default_factory=set)

    def value(self, element):
        return self.total if element == "precipitation" else self.total / self.observed


@dataclass
class MonthlyRecords:
    """The months of the records, by (year, month), each a Month per element."""

    months: dict
    daily: bool


def readings_of(observation):
    return (("temperature", observation.temperature(), observation.temperature_missing_days(),
             bool(observation.estimated - {"precipitation"})),
            ("precipitation", observation.values.get("precipitation"), observation.missing_days.get("precipitation"),
             "precipitation" in observation.estimated))


def months_of(series):
    """Daily records: a month's value is the mean or the sum of its observed days, and the
    days it lacks are those no value covers (a dropped row is a missing day; a rainfall
    amount gathered over several days covers those of them that lie in its month).
    Monthly records: the month's value as given, lacking the days the archive counts."""
    months = {}
    for observation in series.observations:
        key = (observation.date.year, observation.date.month)
        month = months.setdefault(key, {element: Month() for element in ELEMENTS})
        for element, value, missing, estimated in readings_of(observation):
            entry = month[element]
            if value is None:
                if not series.daily:
                    entry.missing = None
                continue
            entry.total += value
            entry.observed += 1
            entry.estimated += estimated
            if series.daily:
                # Only the covered days of the observation's own month count, those
                # no further back than its first day.
                covers = observation.covers if element == "precipitation" else 1
                for back in range(min(covers, observation.date.day)):
                    day = observation.date - datetime.timedelta(days=back)
                    if day.month == observation.date.month:
                        entry.days.add(day.day)
            else:
                entry.missing = missing or 0
    if series.daily:
        for (year, number), month in months.items():
            length = calendar.monthrange(year, number)[1]
            for element in ELEMENTS:
                month[element].missing = length - len(month[element].days)
    return MonthlyRecords(months, series.daily)


def with_precipitation(records, rain):
    """The months of `records` with their precipitation taken from the months of `rain`
    (another file's): a month of `records` that `rain` lacks has its precipitation
    missing."""
    def absent(key, daily):
        return Month(missing=calendar.monthrange(*key)[1]) if daily else Month(missing=None)
    months = {}
    for key, mine in records.months.items():
        theirs = rain.months.get(key)
        months[key] = {"temperature": mine["temperature"],
                       "precipitation": theirs["precipitation"] if theirs else absent(key, rain.daily)}
    return MonthlyRecords(months, records.daily)
