"""The archives' file formats: each recognised from its first lines, or chosen with
--format, and read into one Series per station found."""

from ..faults import BadInput
from ..months import months_of
from ..observations import check_elements, join, put_in_order
from . import bom, ecad, metoffice, table
from .text import first_lines

# In the order they are tried; a plain table is what is left.
FORMATS = {"bom": bom, "ecad": ecad, "metoffice": metoffice, "ncei": table, "csv": table}


def format_of(path, told):
    if told:
        return told
    lines = first_lines(path)
    for name, module in FORMATS.items():
        if module is not table and module.recognises(lines):
            return name
    return "ncei" if lines and table.is_ncei(lines[0]) else "csv"


def read_stations(paths, options):
    """Every station the files hold: each file read in its format, each station's rows put
    in date order, and the files of one station joined by date; each station's rows then
    added up into its months and let go. A single table of many stations, each one's rows
    together as the archives list them, is read one station at a time, so that only one
    station's rows are held at once."""
    formats = {path: format_of(path, options.format) for path in paths}
    lists = [path for path in paths if formats[path] == "ecad" and ecad.is_station_list(path)]
    records = [path for path in paths if path not in lists]
    station_lists = [ecad.station_list(path) for path in lists]
    stations = None
    if len(records) == 1 and FORMATS[formats[records[0]]] is table:
        try:
            stations = [in_months(put_in_order(series))
                        for series in table.stations_of(records[0], options, one_at_a_time=True)]
        except table.Interleaved:
            stations = None  # read again, whole
    if stations is None:
        parts = [put_in_order(series) for path in records for series in FORMATS[formats[path]].read(path, options)]
        if not parts:
            raise BadInput(f"{', '.join(paths)}: a station list but no series of records")
        stations = [in_months(series) for series in join(parts)]
    for series in stations:
        for known in station_lists:
            if series.facts.id in known:
                # The station list names and places a station better than a series' header.
                facts = known[series.facts.id]
                facts.learn(series.facts)
                series.facts = facts
        check_elements(series)
    return stations


def in_months(series):
    series.months = months_of(series)
    series.observations = []
    return series
