"""station_import on files written as each archive publishes them: one set of observations
in every format gives the same station, each archive's flags count as they should, files
of many stations give one folder each, and plain tables in other layouts import without
being edited first."""

import bz2
import calendar
import csv
import datetime
import gzip
import lzma
import os
import subprocess
import sys
import zipfile

import pytest

IMPORT = [sys.executable, os.environ["STATION_IMPORT"]]
YEARS = (1990, 1991)
# Each month's every day: maximum and minimum deg C, and the month's rain in mm, half of it
# on the 3rd and half on the 17th. Halves of .5 deg C and tenths of mm keep every mean and
# sum exact, so daily and monthly records of the same weather give the same bits.
MAXIMUM = (5.5, 6.5, 9.5, 13.0, 17.0, 20.5, 23.0, 22.5, 19.5, 14.5, 9.5, 6.5)
MINIMUM = tuple(high - 8.0 for high in MAXIMUM)
HALF_RAIN = (30.3, 20.1, 25.7, 22.2, 28.9, 18.4, 12.6, 15.1, 21.3, 33.3, 35.8, 31.2)


def days():
    for year in YEARS:
        for month in range(1, 13):
            for day in range(1, calendar.monthrange(year, month)[1] + 1):
                rain = HALF_RAIN[month - 1] if day in (3, 17) else 0.0
                yield datetime.date(year, month, day), MAXIMUM[month - 1], MINIMUM[month - 1], rain


def months():
    for year in YEARS:
        for month in range(1, 13):
            yield year, month, MAXIMUM[month - 1], MINIMUM[month - 1], 2 * HALF_RAIN[month - 1]


def write(path, lines):
    path.write_text("\n".join(lines) + "\n")
    return path


def plain(folder):
    return [write(folder / "plain.csv", ["DATE,TMAX,TMIN,PRCP"] + [f"{d},{x},{n},{r}" for d, x, n, r in days()])]


def european(folder):
    def comma(value):
        return f"{value}".replace(".", ",")
    return [write(folder / "european.csv", ["DATE;TMAX;TMIN;PRCP"] + [
        f"{d:%d.%m.%Y};{comma(x)};{comma(n)};{comma(r)}" for d, x, n, r in days()])]


NCEI_HEADER = ('"STATION","NAME","LATITUDE","LONGITUDE","ELEVATION","DATE","PRCP","PRCP_ATTRIBUTES","TMAX",'
               '"TMAX_ATTRIBUTES","TMIN","TMIN_ATTRIBUTES"')


def ncei_daily(folder):
    return [write(folder / "ncei_daily.csv", [NCEI_HEADER] + [
        f'"USC00000001","TEST, XX US","40.0","-105.25","1650.2","{d}","{r}",",,7,0700","{x}",",,7,0700","{n}",",,7,0700"'
        for d, x, n, r in days()])]


def ncei_monthly(folder):
    return [write(folder / "ncei_monthly.csv", [NCEI_HEADER] + [
        f'"USC00000001","TEST, XX US","40.0","-105.25","1650.2","{y}-{m:02d}","{r:.1f}","0,,7","{x}","0,,7",'
        f'"{n}","0,,7"' for y, m, x, n, r in months()])]


def bom(folder):
    files = []
    for product, element, period in (("IDCJAC0009", "Rainfall amount (millimetres)",
                                       "Period over which rainfall was measured (days)"),
                                      ("IDCJAC0010", "Maximum temperature (Degree C)",
                                       "Days of accumulation of maximum temperature"),
                                      ("IDCJAC0011", "Minimum temperature (Degree C)",
                                       "Days of accumulation of minimum temperature")):
        column = {"IDCJAC0009": 3, "IDCJAC0010": 1, "IDCJAC0011": 2}[product]
        rows = [f"{product},023090,{d.year},{d.month:02d},{d.day:02d},{values[column - 1]},1,Y"
                for d, *values in days()]
        files.append(write(folder / f"{product}_023090_1800_Data.csv", [
            f"Product code,Bureau of Meteorology station number,Year,Month,Day,{element},{period},Quality"] + rows))
    return files


ECAD_HEADER = ["EUROPEAN CLIMATE ASSESSMENT & DATASET (ECA&D), file created on 01-01-2026",
               "FILE FORMAT (MISSING VALUE CODE IS -9999):", "",
               "This is the blended series of station TEST, XX (STAID: 4711)", ""]


def ecad(folder):
    files = [write(folder / "stations.txt", ["STATIONS LIST", "", "STAID,STANAME                                 ,CN,"
                                              "      LAT,       LON,HGHT",
                                              " 4711,TEST                                    ,XX,+40:00:00,-105:15:00,"
                                              "1650"])]
    for code, column in (("TX", 0), ("TN", 1), ("RR", 2)):
        rows = [f" 4711,100001,{d:%Y%m%d},{round(values[column] * 10):5d},    0" for d, *values in days()]
        files.append(write(folder / f"{code}_STAID004711.txt", ECAD_HEADER + [
            f"STAID, SOUID,    DATE,   {code}, Q_{code}"] + rows))
    return files


def metoffice(folder):
    return [write(folder / "testdata.txt", [
        "Test", "Location 4509E 2072N, Lat 40.000 Lon -105.250, 1650 metres amsl",
        "Estimated data is marked with a * after the value.", "Missing data is marked by ---.",
        "   yyyy  mm   tmax    tmin      af    rain     sun",
        "              degC    degC    days      mm   hours"] + [
        f"   {y}  {m:2d}   {x:4.1f}    {n:4.1f}       0   {r:5.1f}    ---" for y, m, x, n, r in months()])]


def tenths(value):
    return round(value * 10)


def ghcnd_dly(folder):
    lines = []
    for year in YEARS:
        for month in range(1, 13):
            length = calendar.monthrange(year, month)[1]
            for element, value in (("TMAX", MAXIMUM[month - 1]), ("TMIN", MINIMUM[month - 1]), ("PRCP", None)):
                days = ""
                for day in range(1, 32):
                    if day > length:
                        days += "-9999   "
                    elif value is None:
                        rain = HALF_RAIN[month - 1] if day in (3, 17) else 0.0
                        days += f"{tenths(rain):5d}  7"
                    else:
                        days += f"{tenths(value):5d}  7"
                lines.append(f"USC00000001{year}{month:02d}{element}{days}")
    return [write(folder / "USC00000001.dly", lines)]


def ghcnd_by_station(folder):
    rows = []
    for d, x, n, r in days():
        rows += [f"USC00000001,{d:%Y%m%d},TMAX,{tenths(x)},,,7,0700", f"USC00000001,{d:%Y%m%d},TMIN,{tenths(n)},,,7,",
                 f"USC00000001,{d:%Y%m%d},PRCP,{tenths(r)},{'T' if r == 0 else ''},,7,",
                 f"USC00000001,{d:%Y%m%d},SNOW,0,,,7,"]
    return [write(folder / "USC00000001.csv", rows)]


def ghcnm(folder):
    lines = []
    for year in YEARS:
        months_text = ""
        for month in range(1, 13):
            months_text += f"{round((MAXIMUM[month - 1] + MINIMUM[month - 1]) / 2 * 100):5d}  K"
        lines.append(f"USW00000001{year}TAVG{months_text}")
    inventory = write(folder / "ghcnm.tavg.v4.qcf.inv",
                      ["USW00000001  40.0000 -105.2500 1650.0 TEST"])
    return [write(folder / "ghcnm.tavg.v4.qcf.dat", lines), inventory]


def ghcnm_rain(folder):
    """GHCN-D's precipitation of the station, given with --precipitation."""
    rows = [f"USC00000001,{d:%Y%m%d},PRCP,{tenths(r)},,,7," for d, _, _, r in days()]
    return write(folder / "rain.csv", rows)


def meteostat_daily(folder):
    return [write(folder / "72469.csv", [f"{d},{(x + n) / 2},{n},{x},{r},,,,,," for d, x, n, r in days()])]


def meteostat_monthly(folder):
    return [write(folder / "72469.csv", [f"{y},{m},{(x + n) / 2},{n},{x},{r:.1f},,," for y, m, x, n, r in months()])]


def meteostat_with_header(folder):
    return [write(folder / "export.csv", ["date,tavg,tmin,tmax,prcp,wspd,pres,tsun"] + [
        f"{y}-{m:02d}-01,{(x + n) / 2},{n},{x},{r:.1f},,," for y, m, x, n, r in months()])]


DWD_HEADER = "STATIONS_ID;MESS_DATUM_BEGINN;MESS_DATUM_ENDE;QN_4;MO_N;MO_TT;MO_TX;MO_TN;MO_FK;MX_TX;MX_FX;MX_TN;" \
             "MO_SD_S;QN_6;MO_RR;MX_RS;eor"


def dwd(folder):
    rows = [f"         44;{y}{m:02d}01;{y}{m:02d}{calendar.monthrange(y, m)[1]};    5;   -999;{(x + n) / 2:6.2f};"
            f"{x:6.2f};{n:6.2f};   -999;   -999;   -999;   -999;   -999;    9;{r:7.1f};   -999;eor"
            for y, m, x, n, r in months()]
    product = write(folder / "produkt_klima_monat_19900101_19911231_00044.txt", [DWD_HEADER] + rows)
    # The archive's station list is Latin-1, not UTF-8.
    geography = folder / "Metadaten_Geographie_00044.txt"
    geography.write_bytes("Stations_id;Stationshoehe;Geogr.Breite;Geogr.Laenge;von_datum;bis_datum;Stationsname\n"
                          "         44;    1650.00;   40.0000;   -105.2500;19710301;        ;Tést\n".encode("latin-1"))
    return [product, geography]


ECCC_HEADER = ('"Longitude (x)","Latitude (y)","Station Name","Climate ID","Date/Time","Year","Month","Day",'
               '"Data Quality","Max Temp (°C)","Max Temp Flag","Min Temp (°C)","Min Temp Flag","Mean Temp (°C)",'
               '"Mean Temp Flag","Total Precip (mm)","Total Precip Flag"')


def eccc(folder):
    files = []
    for year in YEARS:
        rows = [f'"-105.25","40.00","TEST","1100001","{d}","{d.year}","{d.month:02d}","{d.day:02d}","","{x}","",'
                f'"{n}","","{(x + n) / 2}","","{r}",""' for d, x, n, r in days() if d.year == year]
        files.append(write(folder / f"en_climate_daily_XX_1100001_{year}_P1D.csv", [ECCC_HEADER] + rows))
    return files


FORMATS = {"csv": (plain, []), "csv ; and ,": (european, ["--date-format", "%d.%m.%Y"]), "ncei": (ncei_daily, []),
           "ncei monthly": (ncei_monthly, []), "bom": (bom, []), "ecad": (ecad, []), "metoffice": (metoffice, []),
           "ghcnd dly": (ghcnd_dly, []), "ghcnd by_station": (ghcnd_by_station, []),
           "ghcnm": (ghcnm, [lambda folder: ["--precipitation", ghcnm_rain(folder)]]),
           "meteostat daily": (meteostat_daily, []), "meteostat monthly": (meteostat_monthly, []),
           "meteostat with header": (meteostat_with_header, []), "dwd": (dwd, []), "eccc": (eccc, [])}
# Each format's files compressed in place (their names unchanged: the kind is told by the
# bytes), or bundled into one zip archive.
COMPRESSIONS = (gzip.compress, bz2.compress, lzma.compress, "zip")


def compressed(files, how, folder):
    if how == "zip":
        archive = folder / "records.zip"
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as bundle:
            for path in files:
                bundle.write(path, path.name)
            if any(path.name.startswith("produkt_") for path in files):
                # The German Weather Service's archives document the product beside it.
                bundle.writestr("Metadaten_Parameter_klima_monat_00044.html", "<html>\xe4</html>".encode("latin-1"))
        return [archive]
    for path in files:
        path.write_bytes(how(path.read_bytes()))
    return files


def option_values(options, folder):
    return [value for option in options for value in (option(folder) if callable(option) else [option])]


def station_import(*arguments, cwd):
    return subprocess.run(IMPORT + [str(argument) for argument in arguments], cwd=cwd, capture_output=True,
                          text=True)


def folder_bytes(folder, names=("monthly_T", "monthly_P", "parameter", "import_report.csv")):
    return {name: (folder / name).read_bytes() for name in names}


def station_facts(folder):
    with open(folder / "station.csv", newline="") as table:
        return dict(zip(*csv.reader(table)))


def test_every_format_gives_the_same_station_for_the_same_observations(tmp_path):
    stations = {}
    for number, (name, (writer, options)) in enumerate(FORMATS.items()):
        for how in ("plain", "zip" if name == "dwd" else COMPRESSIONS[number % len(COMPRESSIONS)]):
            source = tmp_path / (name.replace(" ", "_").replace(";", "").replace(",", "") + ("" if how == "plain"
                                                                                             else "_packed"))
            source.mkdir()
            files = writer(source)
            if how != "plain":
                files = compressed(files, how, source)
            result = station_import("--capacity-mm", 150, "--latitude", 40, "--name", "Test",
                                    *option_values(options, source), *files, source / "station", cwd=tmp_path)
            assert result.returncode == 0, (name, how, result.stderr)
            assert result.stderr == "", (name, how)
            stations[name, how] = folder_bytes(source / "station")
    reference = stations.pop(("csv", "plain"))
    assert reference["monthly_T"].count(b"\n") == 2
    for name, files in stations.items():
        assert files == reference, name


@pytest.mark.parametrize("writer, source, coordinates", [
    (ncei_daily, "ncei-daily", ("USC00000001", "TEST, XX US", "40.0", "-105.25", "1650.2")),
    (ecad, "ecad", ("4711", "TEST", "40.0", "-105.25", "1650.0")),
    (metoffice, "metoffice", ("", "Test", "40.0", "-105.25", "1650.0")),
    (ghcnm, "ghcnm", ("USW00000001", "TEST", "40.0", "-105.25", "1650.0")),
    (dwd, "dwd", ("44", "Tést", "40.0", "-105.25", "1650.0")),
    (eccc, "eccc", ("1100001", "TEST", "40.0", "-105.25", "")),
])
def test_what_each_archive_says_of_its_station_reaches_station_csv(tmp_path, writer, source, coordinates):
    rain = ["--precipitation", ghcnm_rain(tmp_path)] if writer is ghcnm else []
    result = station_import("--capacity-mm", 150, *rain, *writer(tmp_path), tmp_path / "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    facts = station_facts(tmp_path / "station")
    assert (facts["id"], facts["name"], facts["latitude"], facts["longitude"], facts["elevation"]) == coordinates
    assert facts["source"] == source


def edited(files, index, change):
    """The file `files[index]` with `change(lines)` applied."""
    lines = files[index].read_text().splitlines()
    return write(files[index], change(lines))


def bom_day(lines, date, value, period):
    """The Bureau's rain row of `date` (YYYY,MM,DD) with another value and period."""
    return [f"{line[:line.index(date) + len(date)]},{value},{period},{'Y' if value else ''}" if f",{date}," in line
            else line for line in lines]


# Each case edits one file of a format and names the report row it must cause for 1990.
FLAG_CASES = {
    "ncei daily quality flag is missing": (
        ncei_daily, 0, lambda lines: [line.replace(',",,7,0700","17.0"', ',",I,7,0700","17.0"')
                                      if '"1990-05-0' in line else line for line in lines],
        "1990,dropped,5,precipitation,9,"),
    "ncei monthly missing days": (
        ncei_monthly, 0, lambda lines: [line.replace('"0,,7","17.0"', '"4,,7","17.0"') if '"1990-05"' in line
                                        else line for line in lines],
        "1990,dropped,5,precipitation,4,"),
    "bom quality S is missing": (
        bom, 1, lambda lines: [line.replace(",1,Y", ",1,S") if ",1990,05,0" in line else line for line in lines],
        "1990,dropped,5,temperature,9,"),
    "bom rain over days crossing a month": (
        bom, 0, lambda lines: bom_day(bom_day(lines, "1990,04,30", "", ""), "1990,05,01", "0.0", 3),
        "1990,kept,4,precipitation,1,complete enough"),
    "ecad suspect": (
        ecad, 3, lambda lines: [line[:-1] + "1" if ",199005" in line else line for line in lines],
        "1990,dropped,5,precipitation,31,"),
    "ecad -9999": (
        ecad, 1, lambda lines: [line[:24] + "-9999,    9" if ",199006" in line else line for line in lines],
        "1990,dropped,6,temperature,30,"),
    "metoffice estimated kept": (
        metoffice, 0, lambda lines: [line.replace(" 17.0 ", " 17.0*") + "  Provisional" if "1990   5" in line
                                     else line for line in lines],
        '1990,kept,5,temperature,,"1 estimated value, kept"'),
    "metoffice missing": (
        metoffice, 0, lambda lines: [line.replace(" 57.8 ", "  --- ") if "1990   5" in line else line
                                     for line in lines],
        "1990,dropped,5,precipitation,,"),
    "ghcnd quality flag is missing": (
        ghcnd_dly, 0, lambda lines: [line.replace(f"{170:5d}  7", f"{170:5d} I7", 9)
                                     if line.startswith("USC00000001199005TMAX") else line for line in lines],
        "1990,dropped,5,temperature,9,"),
    "ghcnd missing presumed zero": (
        ghcnd_by_station, 0, lambda lines: [line.replace(",T,,", ",P,,") if ",1990050" in line else line
                                            for line in lines],
        "1990,dropped,5,precipitation,8,"),
    "ghcnm quality flag is missing": (
        ghcnm, 0, lambda lines: [line[:19 + 4 * 8 + 6] + "O" + line[19 + 4 * 8 + 7:] if "1990TAVG" in line else line
                                 for line in lines],
        "1990,dropped,5,temperature,,"),
    "ghcnm days missing": (
        ghcnm, 0, lambda lines: [line[:19 + 4 * 8 + 5] + "d" + line[19 + 4 * 8 + 6:] if "1990TAVG" in line else line
                                 for line in lines],
        "1990,dropped,5,temperature,4,"),
    "eccc missing": (
        eccc, 0, lambda lines: [line[:-2] + '"M"' if '"1990-05-0' in line else line for line in lines],
        "1990,dropped,5,precipitation,9,"),
    "eccc estimated kept": (
        eccc, 0, lambda lines: [line.replace('"17.0",""', '"17.0","E"') if '"1990-05-01"' in line else line
                                for line in lines],
        '1990,kept,5,temperature,,"1 estimated value, kept"'),
    "dwd -999": (
        dwd, 0, lambda lines: [line.replace("   57.8;", "   -999;") if ";19900501;" in line else line
                               for line in lines],
        "1990,dropped,5,precipitation,,"),
}


@pytest.mark.parametrize("case", FLAG_CASES)
def test_each_archives_flags_count_as_they_should(tmp_path, case):
    writer, index, change, row = FLAG_CASES[case]
    files = writer(tmp_path)
    edited(files, index, change)
    options = next(options for maker, options in FORMATS.values() if maker is writer)
    result = station_import("--capacity-mm", 150, "--latitude", 40, *option_values(options, tmp_path), *files,
                            tmp_path / "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert row in (tmp_path / "station" / "import_report.csv").read_text()


def test_a_bom_rain_amount_over_three_days_counts_them_observed(tmp_path):
    files = bom(tmp_path)
    edited(files, 0, lambda lines: bom_day(bom_day(bom_day(lines, "1990,05,01", "", ""), "1990,05,02", "", ""),
                                           "1990,05,03", "28.9", 3))
    result = station_import("--capacity-mm", 150, "--latitude", 40, *files, tmp_path / "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert "1990,kept,,,," in (tmp_path / "station" / "import_report.csv").read_text()


def two_stations(folder):
    rows = ['"STATION","NAME","LATITUDE","DATE","TAVG","PRCP"']
    for station, name, latitude in (("SF000000001", "CAPE TOWN INTL, SF", "-33.96"),
                                    ("US000000002", "A/B ../STATION", "41.5")):
        rows += [f'"{station}","{name}","{latitude}","1995-{m:02d}","15.5","40"' for m in range(1, 13)]
    return write(folder / "order.csv", rows)


def test_a_file_of_two_stations_gives_a_folder_each_with_clean_names(tmp_path):
    result = station_import("--capacity-mm", 150, two_stations(tmp_path), "stations", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert sorted(path.name for path in (tmp_path / "stations").iterdir()) == ["A_B_.._STATION",
                                                                              "CAPE_TOWN_INTL_SF"]
    assert "2 of 2 stations imported" in result.stdout
    cape = tmp_path / "stations" / "CAPE_TOWN_INTL_SF"
    assert (cape / "parameter").read_text().split()[:2] == ["33.96", "S"]
    assert (cape / "parameter").read_text().split()[-1] == "CAPE_TOWN_INTL_SF"
    assert station_facts(cape)["name"] == "CAPE TOWN INTL, SF"

    one = station_import("--capacity-mm", 150, "--station", "US000000002", tmp_path / "order.csv", "one",
                         cwd=tmp_path)
    assert one.returncode == 0, one.stderr
    assert (tmp_path / "one" / "parameter").read_text().split()[:2] == ["41.5", "N"]
    unknown = station_import("--capacity-mm", 150, "--station", "X", tmp_path / "order.csv", "x", cwd=tmp_path)
    assert unknown.returncode == 1 and "no such station" in unknown.stderr


@pytest.mark.parametrize("rows, options, expected", [
    # Day and month in either order are never guessed.
    (["DATE,TAVG,PRCP", "01/02/1990,10,5"], [], 'line 2, column DATE: "01/02/1990" may be day/month or month/day'),
    (["DATE,TAVG,PRCP"] + [f"{datetime.date(1990, 1, 1) + datetime.timedelta(n):%m/%d/%Y},10,T" for n in range(365)],
     ["--date-format", "%m/%d/%Y"], "kept"),
    # Year, month and day columns; a semicolon table with decimal commas.
    (["Year,Month,Day,TMAX,TMIN,PRCP"] + [f"1990,{d.month},{d.day},20,10,1" for d in
                                          (datetime.date(1990, 1, 1) + datetime.timedelta(n) for n in range(365))],
     [], "kept"),
    (["DATE;TAVG;PRCP"] + [f"1990-{m:02d};10,5;40,2" for m in range(1, 13)], [], "kept"),
    (["DATE;TAVG;PRCP", "1990-01;10,5;40.2"], [], 'column PRCP: "40.2" has the decimal mark ".", but the file'),
    (["DATE,TAVG;PRCP", "1990-01,10;40"], [], "line 1 holds both commas and semicolons"),
    # Rows out of order are sorted and exact duplicates dropped, each counted.
    (["DATE,TAVG,PRCP"] + [f"1990-{m:02d},10,50" for m in (3, 1, 2, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 12)], [],
     "3 rows out of date order, sorted"),
])
def test_plain_tables_in_other_layouts(tmp_path, rows, options, expected):
    source = write(tmp_path / "records.csv", rows)
    result = station_import("--capacity-mm", 150, "--latitude", 40, *options, source, "station", cwd=tmp_path)
    if expected == "kept" or "sorted" in expected:
        assert result.returncode == 0, result.stderr
        report = (tmp_path / "station" / "import_report.csv").read_text()
        assert "1990,kept,,,," in report
        if "sorted" in expected:
            assert expected in report and "2 exact duplicate rows, dropped" in report
    else:
        assert result.returncode == 1
        assert expected in result.stderr and result.stderr.count("\n") == 1


def test_names_that_clean_alike_get_a_folder_each_planned_before_any_is_written(tmp_path):
    # Names and identifiers that meet once cleaned, and names that clean to nothing.
    stations = (("1", "X"), ("2", "X"), ("3", "X_1"), ("A:1", "N"), ("A;1", "N"), ("9", ".."), ("10", "..."))
    rows = ['"STATION","NAME","LATITUDE","DATE","TAVG","PRCP"']
    for number, (station, name) in enumerate(stations):
        rows += [f'"{station}","{name}","40","1995-{m:02d}","{number}","40"' for m in range(1, 13)]
    source = write(tmp_path / "order.csv", rows)
    for force in ([], ["--force"]):
        result = station_import("--capacity-mm", 150, *force, source, "stations", cwd=tmp_path)
        assert result.returncode == 0, result.stderr
        assert "7 of 7 stations imported" in result.stdout
        folders = {path.name: path for path in (tmp_path / "stations").iterdir()}
        assert sorted(folders) == ["10", "9", "N_A_1", "N_A_1_2", "X_1", "X_1_2", "X_2"]
        # Each station in its own folder, the last one overwriting none of the others.
        means = sorted(float((folder / "monthly_T").read_text().split()[1]) for folder in folders.values())
        assert means == [n * 9 / 5 + 32 for n in range(7)]
    assert (folders["9"] / "parameter").read_text().endswith(" 9\n")
    assert station_facts(folders["9"])["name"] == "9"


def fifo(folder):
    os.mkfifo(folder / "records.csv")
    return [folder / "records.csv"]


def pipe(folder):
    del folder
    reading, writing = os.pipe()
    os.close(writing)
    return [f"/dev/fd/{reading}"]


def latin1_at_line_501(folder):
    path = folder / "records.csv"
    path.write_bytes(("DATE,TAVG,PRCP\n" + "".join(f"19{90 + n // 12}-{n % 12 + 1:02d},10,5\n" for n in range(499))
                      ).encode() + b"1990-01,10,5 \xe9t\xe9\n")
    return [path]


def ecad_listing_a_station_twice(folder):
    files = ecad(folder)
    edited(files, 0, lambda lines: lines + [lines[-1].replace("+40:00:00", "-33:00:00")])
    return files


def empty(folder):
    (folder / "empty.csv").write_text("")
    return [folder / "empty.csv"]


def bom_rain_over_a_billion_days(folder):
    files = bom(folder)
    edited(files, 0, lambda lines: bom_day(lines, "1990,05,01", "3.0", "1e9"))
    return files


def zstd(folder):
    (folder / "records.csv.zst").write_bytes(b"\x28\xb5\x2f\xfd\x00")
    return [folder / "records.csv.zst"]


def ncei_monthly_missing_days(count):
    def writer(folder):
        files = ncei_monthly(folder)
        edited(files, 0, lambda lines: [line.replace('"0,,7","17.0"', f'"{count},,7","17.0"')
                                        if '"1990-05"' in line else line for line in lines])
        return files
    return writer


# Each case: the files, the options, and the one line that refuses them ({0} the first file).
BAD_FILES = {
    "a FIFO that no one writes": (fifo, [], "{0}: is a pipe, not a file; save the records to a file and give that"),
    "a pipe": (pipe, [], "{0}: is a pipe, not a file; save the records to a file and give that"),
    "bom rain over a billion days": (
        bom_rain_over_a_billion_days, [],
        '{0}: line 122, column Period over which rainfall was measured (days): "1e9" days is longer than the '
        "366 days a value may be gathered over"),
    "bom format told of a plain table": (
        plain, ["--format", "bom"], "{0}: line 1 holds 4 cells, not the 8 of the Bureau of Meteorology's header "
        "(Product code,Bureau of Meteorology station number,Year,Month,Day,<element>,<period>,Quality)"),
    "bom format told of an empty file": (empty, ["--format", "bom"], "{0}: holds no header row"),
    "ecad station listed twice, differently": (
        ecad_listing_a_station_twice, [],
        "{0}: line 4 and line 5 both list station 4711, with different names, coordinates or heights"),
    "latin-1 text": (latin1_at_line_501, [], "{0}: line 501 is not UTF-8 text"),
    "zstd": (zstd, [],
             "{0}: is compressed with zstd, which station_import does not read; give it decompressed, or as .gz, "
             ".bz2, .xz or .zip"),
    "ghcnm without its precipitation": (
        ghcnm, [], "{0} (station USW00000001): no precipitation; GHCN-M carries temperature only: give the "
                   "station's precipitation with --precipitation FILE"),
    "ncei monthly negative missing days": (
        ncei_monthly_missing_days(-2), [], '{0}: line 6, column PRCP_ATTRIBUTES: "-2" is not a number of missing days'),
}


@pytest.mark.parametrize("case", BAD_FILES)
def test_a_bad_file_is_one_line_naming_it_and_nothing_written(tmp_path, case):
    writer, options, message = BAD_FILES[case]
    files = writer(tmp_path)
    before = sorted(tmp_path.iterdir())
    descriptors = tuple(int(str(path).rsplit("/", 1)[1]) for path in files if str(path).startswith("/dev/fd/"))
    result = subprocess.run(IMPORT + ["--capacity-mm", "150", "--latitude", "40", *options, *map(str, files),
                                      str(tmp_path / "station")], cwd=tmp_path, capture_output=True, text=True,
                            timeout=60, pass_fds=descriptors)
    for descriptor in descriptors:
        os.close(descriptor)
    assert (result.returncode, result.stderr) == (1, f"station_import: {message.format(*files)}\n")
    assert sorted(tmp_path.iterdir()) == before


def test_a_compressed_file_cut_short_is_one_line_and_nothing_written(tmp_path):
    files = plain(tmp_path)
    packed = gzip.compress(files[0].read_bytes())
    files[0].write_bytes(packed[:len(packed) // 2])
    result = station_import("--capacity-mm", 150, "--latitude", 40, *files, tmp_path / "station", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stderr.startswith(f"station_import: {files[0]}: after line ")
    assert "the compressed data is damaged or cut short" in result.stderr and result.stderr.count("\n") == 1
    assert not (tmp_path / "station").exists()


def peak_kilobytes(*arguments, cwd):
    """The import's result and its largest resident size, kB, measured in a process of its own."""
    measure = ("import resource, subprocess, sys; status = subprocess.run(sys.argv[1:]).returncode; "
               "print(status, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    result = subprocess.run([sys.executable, "-c", measure, *IMPORT, *map(str, arguments)], cwd=cwd,
                            capture_output=True, text=True)
    status, peak = result.stdout.split()[-2:]
    return int(status), int(peak)


def test_an_order_of_many_stations_is_read_one_station_at_a_time(tmp_path):
    header = "STATION,DATE,TMAX,TMIN,PRCP,LATITUDE"
    rows = [f"S{station:02d},{day},{15 + station % 7},{5 + station % 5},{day.day % 4},{40 + station / 10}"
            for station in range(40) for day in (datetime.date(1990, 1, 1) + datetime.timedelta(n)
                                                 for n in range(8 * 365 + 2))]
    many = write(tmp_path / "many.csv", [header] + rows)
    one = write(tmp_path / "one.csv", [header] + rows[:len(rows) // 40])
    status_one, peak_one = peak_kilobytes("--capacity-mm", 150, one, "one", cwd=tmp_path)
    status_many, peak_many = peak_kilobytes("--capacity-mm", 150, many, "many", cwd=tmp_path)
    assert (status_one, status_many) == (0, 0)
    # Held whole, the 117,000 rows would take some 80 MB more than one station's.
    assert peak_many < peak_one + 25_000, (peak_one, peak_many)
    # The same rows in date order, the stations' rows interleaved: read whole, the same folders.
    write(tmp_path / "by_date.csv", [header] + sorted(rows, key=lambda row: row.split(",")[1]))
    assert station_import("--capacity-mm", 150, tmp_path / "by_date.csv", "by_date", cwd=tmp_path).returncode == 0
    for folder in (tmp_path / "many").iterdir():
        assert folder_bytes(tmp_path / "by_date" / folder.name) == folder_bytes(folder), folder.name
