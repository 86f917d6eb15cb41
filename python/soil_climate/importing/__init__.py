"""Importing stations: the daily or monthly records that the climate archives publish,
read in their own formats and turned into station folders that run_station reads as they
are (monthly_T, monthly_P, parameter), with every gap handled openly: what was kept,
dropped and filled is printed and written to import_report.csv in each folder, and what is
known of the station to station.csv. The command station_import runs `main`.

The work is split by job: `formats` reads each archive's files into dated observations,
`observations` orders and joins them, `months` adds them up into months, `gaps` judges the
gaps of those months, `station` writes the folders.
"""

import argparse
import itertools
import pathlib
import sys
from dataclasses import dataclass

from ..parameters import default_words, metavar_of, option_of
from .faults import BadInput
from .formats import FORMATS, checked_elements, precipitation_of, read_stations
from .formats.table import COLUMN_KINDS
from .gaps import report_rows, settle_years
from .months import with_precipitation
from .folders import write_stations
from .interrupts import Interrupted, interruptible
from .station import (OPTION_HELP, clean_name, csv_text, day_length_notice, hemisphere_doubt, monthly_files,
                      parameters_of, phase_shift_doubt, record_parameters, station_csv, usable_name)

__all__ = ["main", "BadInput"]

SEPARATOR_NAMES = {",": ",", ";": ";", "tab": "\t", "\\t": "\t"}


def options(argv=None):
    parser = argparse.ArgumentParser(
        prog="station_import",
        description="Turns the daily or monthly records of one or more stations, as the climate archives publish "
                    "them, into station folders for run_station (monthly_T in deg F, monthly_P in inches, "
                    "parameter), and reports every year kept, dropped or filled.",
        epilog="Formats, recognised from their first lines: csv (a header row; a date column or YEAR, MONTH and "
               "DAY columns; mean temperature or maximum and minimum; precipitation; a table dated on the first "
               "of every month is monthly), ncei (Climate Data Online daily and monthly summaries with "
               "*_ATTRIBUTES flags), bom (Bureau of Meteorology daily files, one element each, given together), "
               "ecad (ECA&D daily series, one element each, with stations.txt if wished), metoffice (Met Office "
               "historic station data), ghcnd (GHCN-Daily .dly or by_station CSV, with ghcnd-stations.txt if "
               "wished), ghcnm (GHCN-Monthly v4 .dat with its .inv; precipitation from --precipitation), "
               "meteostat (Meteostat's bulk files without a header), dwd (DWD produkt_klima_monat or _tag, with "
               "Metadaten_Geographie), eccc (Environment Canada's daily or monthly files, one per year, given "
               "together). Files compressed with gzip, bzip2 or xz, and zip archives (each member a file), are "
               "read as they are. A file of several stations gives one folder per station under STATION_DIR. "
               "Empty cells, NA, --- and missing-value codes such as -99.9 or -9999 are gaps.")
    capacity = parser.add_mutually_exclusive_group(required=True)
    capacity.add_argument("--capacity-mm", type=float, metavar="MM", help="the soil's water-holding capacity, mm")
    capacity.add_argument("--capacity-in", type=float, metavar="IN", help="the same in inches")
    parser.add_argument("--format", choices=tuple(FORMATS), help="the files' format (default: recognised)")
    parser.add_argument("--station", metavar="ID", help="import only this station (its identifier or name)")
    parser.add_argument("--precipitation", metavar="FILE",
                        help="the station's precipitation from this file (of one station, in any format), for "
                             "records of temperature only such as GHCN-M")
    parser.add_argument("--latitude", type=float, metavar="LAT",
                        help="degrees, negative in the south (default: the file's latitude)")
    parser.add_argument("--name", help="the station's name (default: the file's, else its identifier)")
    parser.add_argument("--units", choices=("metric", "us"), default="metric",
                        help="of csv and ncei files: metric: deg C and mm (default); us: deg F and inches")
    parser.add_argument("--date-format", metavar="FORMAT",
                        help="the dates of a csv file in strftime codes, e.g. %%d/%%m/%%Y (default: YYYY-MM-DD, "
                             "YYYY/MM/DD, YYYYMMDD, YYYY-MM or YYYYMM, recognised)")
    parser.add_argument("--separator", choices=tuple(SEPARATOR_NAMES),
                        help="between the cells of a csv file (default: the one of , ; and tab in its header)")
    parser.add_argument("--decimal", choices=(".", ","),
                        help="decimal mark of a csv file (default: . after commas; the one used after ; or tab)")
    parser.add_argument("--max-missing-days", type=int, default=3, metavar="N",
                        help="a month is complete with at most N days missing of each element, 0 to 10 "
                             "(default 3)")
    parser.add_argument("--fill-months", type=int, default=0, metavar="K",
                        help="keep a year with at most K incomplete months, filled from the station's mean of "
                             "the same calendar month over its complete months (default 0)")
    for parameter in record_parameters():
        # A default that differs in the south is left to the station's hemisphere.
        same = parameter.default == parameter.southern_default
        parser.add_argument(option_of(parameter.name), type=float, default=parameter.default if same else None,
                            metavar=metavar_of(parameter),
                            help=OPTION_HELP.get(parameter.name, "default {}").format(default_words(parameter)))
    parser.add_argument("--force", action="store_true", help="replace the input files of an existing station")
    for column in COLUMN_KINDS:
        parser.add_argument(f"--{column}-column", metavar="NAME", help=f"the column of the {column}")
    parser.add_argument("files", nargs="+", metavar="FILE", help="the records, one file or the files of a set")
    parser.add_argument("station_dir", metavar="STATION_DIR", help="the station folder to write")
    arguments = parser.parse_args(argv)
    if not 0 <= arguments.max_missing_days <= 10:
        parser.error("--max-missing-days takes 0 to 10 days (a month with a third of its days missing is not "
                     "that month)")
    if arguments.fill_months < 0:
        parser.error("--max-missing-days and --fill-months take a number of 0 or more")
    if arguments.decimal == "," and arguments.separator == ",":
        parser.error("--decimal , needs another --separator than ,")
    arguments.separator = SEPARATOR_NAMES.get(arguments.separator)
    return arguments


@dataclass
class StationImport:
    """One station's folder as it will be written, with the lines that report it."""

    label: str
    folder: pathlib.Path
    files: dict | None
    lines: list
    summary: str
    doubts: tuple


def chosen(stations, wanted):
    if wanted is None:
        return stations
    found = [series for series in stations if wanted in (series.facts.id, series.facts.name,
                                                         clean_name(series.facts.name or ""))]
    if not found:
        ids = ", ".join(series.facts.id or series.facts.name or "(unnamed)" for series in stations)
        raise BadInput(f"--station {wanted}: no such station in the files (they hold {ids})")
    return found


def with_precipitation_file(stations, arguments):
    """The one station chosen, its precipitation from --precipitation's file."""
    if len(stations) > 1:
        raise BadInput(f"the files hold {len(stations)} stations: --precipitation gives the precipitation of one, "
                       "chosen with --station")
    series = stations[0]
    if "precipitation" in series.readings:
        raise BadInput(f"{series.files[0]} and --precipitation {arguments.precipitation} both give the "
                       "precipitation of the station")
    rain = precipitation_of(arguments.precipitation, arguments)
    series.records = with_precipitation(series.records, rain.records)
    series.readings.add("precipitation")
    series.files += rain.files
    return stations


def folder_names(stations, arguments):
    """One folder per station: STATION_DIR itself for one station, else a folder in it
    named by the station's cleaned name (or identifier). Where two names clean to the same
    word each gets the identifier added, and a number after that where it still meets
    another station's folder; every name is planned before any folder is written."""
    root = pathlib.Path(arguments.station_dir)
    if len(stations) == 1:
        return [root]
    bases = [clean_name(usable_name(series.facts.name, series.facts.id) or "") or "station" for series in stations]
    taken = set(bases)
    names = []
    for base, series in zip(bases, stations):
        if bases.count(base) == 1:
            names.append(base)
            continue
        identifier = clean_name(series.facts.id or "")
        stem = f"{base}_{identifier}" if identifier else base
        candidates = itertools.chain([stem] if identifier else [],
                                     (f"{stem}_{number}" for number in itertools.count(2 if identifier else 1)))
        name = next(name for name in candidates if name not in taken)
        taken.add(name)
        names.append(name)
    return [root / name for name in names]


def plan(series, arguments, folder):
    label = ", ".join(series.files) + (f" (station {series.facts.id})" if series.facts.id else "")
    parameter = parameters_of(arguments, series.facts, series.files)
    outcomes, means = settle_years(series.records, arguments.max_missing_days, arguments.fill_months)
    rows, lines = report_rows(outcomes, means, series)
    kept = [result for result in outcomes if result.values is not None]
    if not kept:
        return StationImport(label, folder, None, lines, f"{label}: no year has all twelve months complete; nothing "
                             "to import (see --max-missing-days and --fill-months)", ())
    temperature, precipitation = monthly_files(outcomes, label)
    dropped = sum(1 for result in outcomes if result.outcome == "dropped")
    filled = sum(1 for result in outcomes if result.outcome == "filled")
    files = {"monthly_T": temperature, "monthly_P": precipitation, "parameter": parameter,
             "import_report.csv": csv_text(rows), "station.csv": station_csv(arguments, series)}
    summary = (f"{len(kept)} years written to {folder} ({filled} with filled months), {dropped} dropped; "
               f"parameter: {parameter.strip()}")
    doubts = tuple(doubt for doubt in (phase_shift_doubt(parameter), hemisphere_doubt(parameter, kept),
                                       day_length_notice(parameter)) if doubt)
    return StationImport(label, folder, files, lines, summary, doubts)


def main(argv=None):
    with interruptible():
        try:
            return run(argv)
        except Interrupted as interruption:
            done = ("after the stations were written" if getattr(interruption, "written", False)
                    else "no station folder was changed")
            print(f"station_import: interrupted by {interruption.name}; {done}", file=sys.stderr)
            return interruption.status


def run(argv):
    arguments = options(argv)
    try:
        stations = chosen(read_stations(arguments.files, arguments), arguments.station)
        if arguments.precipitation:
            stations = with_precipitation_file(stations, arguments)
        checked_elements(stations)
        if len(stations) > 1 and (arguments.name or arguments.latitude is not None):
            raise BadInput(f"the files hold {len(stations)} stations: --name and --latitude apply to one, chosen "
                           "with --station")
        imports = [plan(series, arguments, folder)
                   for series, folder in zip(stations, folder_names(stations, arguments))]
        if len(imports) == 1 and imports[0].files is None:
            for line in imports[0].lines:
                print(line)
            raise BadInput(imports[0].summary)
        write_stations([(station.folder, station.files) for station in imports if station.files is not None],
                       arguments.force)
    except BadInput as fault:
        print(f"station_import: {fault}", file=sys.stderr)
        return 1
    try:
        return report(imports, arguments)
    except Interrupted as interruption:
        interruption.written = True
        raise


def report(imports, arguments):
    many = len(imports) > 1
    if many:
        print(f"{len(imports)} stations found in {', '.join(arguments.files)}")
    for station in imports:
        if many:
            print(f"{station.label}:")
        for line in station.lines:
            print(("  " if many else "") + line)
        if station.files is None:
            print(f"station_import: warning: {station.summary}", file=sys.stderr)
            continue
        for doubt in station.doubts:
            print(f"station_import: warning: {station.label}: {doubt}", file=sys.stderr)
        print(("  " if many else "") + station.summary)
    if many:
        written = sum(1 for station in imports if station.files is not None)
        print(f"{written} of {len(imports)} stations imported into {arguments.station_dir}")
    return 0
