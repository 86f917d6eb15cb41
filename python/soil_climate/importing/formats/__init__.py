"""The archives' file formats: each recognised from its first lines, or chosen with
--format, and read into one Series per station found."""

from ..faults import BadInput
from ..gaps import settle_years
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
    added up into months, its years judged, and the rows let go. A single table of many stations, each one's rows
    together as the archives list them, is read one station at a time, so that only one
    station's rows are held at once."""
    kinds = []
    for path in paths:
        name = format_of(path, options.format)
        kinds.append((path, name, name == "ecad" and ecad.is_station_list(path)))
    records = [path for path, _, listing in kinds if not listing]
    one_table = len(records) == 1 and FORMATS[kinds[paths.index(records[0])][1]] is table
    parts, station_lists, stations = [], [], None
    for path, name, listing in kinds:
        if listing:
            station_lists.append(ecad.station_list(path))
        elif one_table:
            try:
                stations = [settled(put_in_order(series), options)
                            for series in table.stations_of(path, options, one_at_a_time=True)]
            except table.Interleaved:
                parts = [put_in_order(series) for series in table.read(path, options)]  # read again, whole
        else:
            parts += [put_in_order(series) for series in FORMATS[name].read(path, options)]
    if stations is None:
        if not parts:
            raise BadInput(f"{', '.join(paths)}: a station list but no series of records")
        stations = [settled(series, options) for series in join(parts)]
    for series in stations:
        for known in station_lists:
            if series.facts.id in known:
                # The station list names and places a station better than a series' header.
                facts = known[series.facts.id]
                facts.learn(series.facts)
                series.facts = facts
        check_elements(series)
    return stations


def settled(series, options):
    """The series with what became of each year, its rows let go."""
    series.years = settle_years(months_of(series), options.max_missing_days, options.fill_months)
    series.observations = []
    return series
