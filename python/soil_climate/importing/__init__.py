"""Importing a station: one station's daily or monthly records, exported as CSV, turned
into a station folder that run_station reads as it is (monthly_T, monthly_P, parameter),
with every gap handled openly: what was kept, dropped and filled is printed and written to
import_report.csv in the folder. The command station_import runs `main`.

The work is split by job: `records` reads the table, `gaps` judges the gaps of its months,
`station` writes the folder.
"""

import argparse
import sys

from .faults import BadInput
from .gaps import report_rows, settle_years
from .records import COLUMN_KINDS, Records, read_months
from .station import csv_text, hemisphere_doubt, monthly_files, parameters_of, station_csv, write_station

__all__ = ["main", "BadInput"]


def options(argv=None):
    parser = argparse.ArgumentParser(
        prog="station_import",
        description="Turns one station's daily or monthly records from a CSV file with a header row into a "
                    "station folder for run_station (monthly_T in deg F, monthly_P in inches, parameter), and "
                    "reports every year kept, dropped or filled.",
        epilog="Daily records need a date column (YYYY-MM-DD), a daily mean temperature or a maximum and a "
               "minimum, and daily precipitation. Monthly records need a date column (YYYY-MM) or year and month "
               "columns, the month's mean temperature and its total precipitation. Column names of the common "
               "exports are recognised (DATE, TAVG, TMAX, TMIN, PRCP, LATITUDE, NAME, YEAR, MONTH); the --*-column "
               "options name others. Empty cells, NA and missing-value codes such as -99.9 or -9999 are gaps.")
    capacity = parser.add_mutually_exclusive_group(required=True)
    capacity.add_argument("--capacity-mm", type=float, metavar="MM", help="the soil's water-holding capacity, mm")
    capacity.add_argument("--capacity-in", type=float, metavar="IN", help="the same in inches")
    parser.add_argument("--latitude", type=float, metavar="LAT",
                        help="degrees, negative in the south (default: the file's LATITUDE column)")
    parser.add_argument("--name", help="the station's name (default: the file's NAME column, else the file's name)")
    parser.add_argument("--units", choices=("metric", "us"), default="metric",
                        help="metric: deg C and mm (default); us: deg F and inches")
    parser.add_argument("--max-missing-days", type=int, default=3, metavar="N",
                        help="a month is complete with at most N days missing of each element, 0 to 10 "
                             "(default 3)")
    parser.add_argument("--fill-months", type=int, default=0, metavar="K",
                        help="keep a year with at most K incomplete months, filled from the station's mean of "
                             "the same calendar month over its complete months (default 0)")
    parser.add_argument("--soil-temp-offset", type=float, default=2.5, metavar="C",
                        help="deg C added to the mean air temperature for the soil (default 2.5)")
    parser.add_argument("--amplitude-factor", type=float, default=0.66, metavar="F", help="default 0.66")
    parser.add_argument("--phase-shift", type=float, metavar="DAYS",
                        help="days (default 0 in the north, 90 in the south, where the soil is warmest in summer)")
    parser.add_argument("--force", action="store_true", help="replace the input files of an existing station")
    for column in COLUMN_KINDS:
        parser.add_argument(f"--{column}-column", metavar="NAME", help=f"the column of the {column}")
    parser.add_argument("csv", metavar="CSV", help="the exported records")
    parser.add_argument("station_dir", metavar="STATION_DIR", help="the station folder to write")
    arguments = parser.parse_args(argv)
    if not 0 <= arguments.max_missing_days <= 10:
        parser.error("--max-missing-days takes 0 to 10 days (a month with a third of its days missing is not "
                     "that month)")
    if arguments.fill_months < 0:
        parser.error("--max-missing-days and --fill-months take a number of 0 or more")
    return arguments


def main(argv=None):
    arguments = options(argv)
    try:
        chosen_columns = {kind: getattr(arguments, f"{kind}_column") for kind in COLUMN_KINDS}
        records = Records(arguments.csv, chosen_columns)
        with records.file:
            months = read_months(records, arguments.units)
        parameter = parameters_of(arguments, months.station, arguments.csv)
        outcomes, means = settle_years(months, arguments.max_missing_days, arguments.fill_months)
        rows, lines = report_rows(outcomes, means, months.daily)
        kept = [result for result in outcomes if result.values is not None]
        if not kept:
            for line in lines:
                print(line)
            raise BadInput(f"{arguments.csv}: no year has all twelve months complete; nothing to import "
                           "(see --max-missing-days and --fill-months)")
        temperature, precipitation = monthly_files(outcomes, arguments.csv)
        doubt = hemisphere_doubt(parameter, kept)
        write_station(arguments.station_dir, {"monthly_T": temperature, "monthly_P": precipitation,
                                              "parameter": parameter, "import_report.csv": csv_text(rows),
                                              "station.csv": station_csv(arguments, months.station)},
                      arguments.force)
    except BadInput as fault:
        print(f"station_import: {fault}", file=sys.stderr)
        return 1
    for line in lines:
        print(line)
    if doubt:
        print(f"station_import: warning: {arguments.csv}: {doubt}", file=sys.stderr)
    dropped = sum(1 for result in outcomes if result.outcome == "dropped")
    filled = sum(1 for result in outcomes if result.outcome == "filled")
    print(f"{len(kept)} years written to {arguments.station_dir} ({filled} with filled months), {dropped} dropped; "
          f"parameter: {parameter.strip()}")
    return 0
