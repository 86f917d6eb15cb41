"""station_import on small hand-made exports: units both ways, the gap rules at their
boundary, filled months, dropped years, southern stations, the column names of common
exports, every bad input, and a station imported and run whose regimes are known by hand."""

import csv
import errno
import itertools
import datetime
import os
import pathlib
import re
import runpy
import signal
import subprocess
import sys

import pytest

IMPORT = [sys.executable, os.environ["STATION_IMPORT"]]
RUN_STATION = os.environ["RUN_STATION"]


def daily_csv(path, years, temperature=15.0, rain=1.0, gaps=(), header="DATE,TMAX,TMIN,PRCP,LATITUDE,NAME",
              latitude="38.5"):
    """Daily rows of whole years; `gaps` are (year, month, days) whose first days have
    empty cells."""
    lines = [header]
    for year in years:
        day = datetime.date(year, 1, 1)
        while day.year == year:
            gap = any(day.year == y and day.month == m and day.day <= n for y, m, n in gaps)
            cells = ("", "", "") if gap else (f"{temperature + 5:g}", f"{temperature - 5:g}", f"{rain:g}")
            lines.append(f"{day},{','.join(cells)},{latitude},Test Station")
            day += datetime.timedelta(days=1)
    path.write_text("\n".join(lines) + "\n")
    return path


def monthly_csv(path, rows, header="DATE,TAVG,PRCP"):
    path.write_text(header + "\n" + "\n".join(rows) + "\n")
    return path


def station_import(*arguments, cwd):
    return subprocess.run(IMPORT + [str(argument) for argument in arguments], cwd=cwd, capture_output=True,
                          text=True)


def values(folder, name):
    return {line.split()[0]: [float(v) for v in line.split()[1:]]
            for line in (folder / name).read_text().splitlines()}


def test_units_both_ways_keep_every_digit(tmp_path):
    rows = [f"1990-{m:02d},0.1,25.4" for m in range(1, 13)]
    metric = station_import("--capacity-mm", 150, "--latitude", 40, monthly_csv(tmp_path / "m.csv", rows), "metric",
                            cwd=tmp_path)
    assert metric.returncode == 0, metric.stderr
    assert values(tmp_path / "metric", "monthly_T")["1990"] == [0.1 * 9.0 / 5.0 + 32.0] * 12  # not 32.2
    assert values(tmp_path / "metric", "monthly_P")["1990"] == [1.0] * 12
    rows = [f"1990-{m:02d},68.5,1.25" for m in range(1, 13)]
    us = station_import("--units", "us", "--capacity-in", 6, "--latitude", 40,
                        monthly_csv(tmp_path / "u.csv", rows), "us", cwd=tmp_path)
    assert us.returncode == 0, us.stderr
    assert values(tmp_path / "us", "monthly_T")["1990"] == pytest.approx([68.5] * 12, abs=1e-12)
    assert values(tmp_path / "us", "monthly_P")["1990"] == pytest.approx([1.25] * 12, abs=1e-15)
    assert (tmp_path / "us" / "parameter").read_text().split()[:3] == ["40.0", "N", "6.0"]


@pytest.mark.parametrize("missing, kept", [(3, True), (4, False)])
def test_a_month_with_three_missing_days_is_complete_and_with_four_is_not(tmp_path, missing, kept):
    export = daily_csv(tmp_path / "d.csv", [1990, 1991], gaps=[(1991, 2, missing)])
    result = station_import("--capacity-mm", 150, export, "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert list(values(tmp_path / "station", "monthly_T")) == (["1990", "1991"] if kept else ["1990"])
    report = (tmp_path / "station" / "import_report.csv").read_text()
    outcome = "kept" if kept else "dropped"
    assert f"1991,{outcome},2,temperature,{missing}," in report
    assert f"1991,{outcome},2,precipitation,{missing}," in report
    # A month with missing days is the mean or the sum of its observed days.
    if kept:
        assert values(tmp_path / "station", "monthly_P")["1991"][1] == pytest.approx((28 - missing) / 25.4)


def test_a_dropped_row_is_a_missing_day(tmp_path):
    export = daily_csv(tmp_path / "d.csv", [1990])
    lines = export.read_text().splitlines()
    export.write_text("\n".join(lines[:40] + lines[45:]) + "\n")  # 5 days of February gone
    result = station_import("--capacity-mm", 150, export, "station", cwd=tmp_path)
    assert result.returncode == 1
    assert "1990: dropped (February temperature: 5 days missing; February precipitation: 5 days missing)" \
        in result.stdout


def test_incomplete_months_are_filled_from_the_stations_mean_of_that_month(tmp_path):
    rows = []
    for year, july in ((1990, "20,10"), (1991, "24,30"), (1992, ",")):
        rows += [f"{year}-{m:02d},{july if m == 7 else '10,50'}" for m in range(1, 13)]
    export = monthly_csv(tmp_path / "m.csv", rows)
    without = station_import("--capacity-mm", 150, "--latitude", 40, export, "plain", cwd=tmp_path)
    assert list(values(tmp_path / "plain", "monthly_T")) == ["1990", "1991"]
    filled = station_import("--capacity-mm", 150, "--latitude", 40, "--fill-months", 1, export, "filled", cwd=tmp_path)
    assert filled.returncode == 0 and without.returncode == 0
    july = values(tmp_path / "filled", "monthly_T")["1992"][6]
    assert july == pytest.approx(22.0 * 9 / 5 + 32)
    assert values(tmp_path / "filled", "monthly_P")["1992"][6] == pytest.approx(20.0 / 25.4)
    with open(tmp_path / "filled" / "import_report.csv", newline="") as report:
        rows = list(csv.reader(report))
    assert ["1992", "filled", "7", "temperature", "",
            "filled with the station's July mean, 22 deg C over 2 complete months"] in rows


def test_common_exports_and_a_southern_station(tmp_path):
    # A daily summary as national archives export it: quoted names, no mean temperature.
    export = daily_csv(tmp_path / "ghcn.csv", [2001], latitude="-31.9",
                       header='"DATE","TMAX","TMIN","PRCP","LATITUDE","NAME"')
    result = station_import("--capacity-mm", 127, export, "perth", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stderr == ""
    assert (tmp_path / "perth" / "parameter").read_text() == "31.9 S 5.0 2.5 0.66 90.0 Test_Station\n"
    # A monthly summary with YEAR and MONTH columns and a column named by option.
    rows = [f"1995,{m},{12.5},{30}" for m in range(1, 13)]
    monthly = monthly_csv(tmp_path / "gsom.csv", rows, header="YEAR,MONTH,MEANTEMP,PRCP")
    result = station_import("--capacity-mm", 150, "--latitude", 52, "--name", "De Bilt", "--mean-column",
                            "MEANTEMP", monthly, "bilt", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert (tmp_path / "bilt" / "parameter").read_text().endswith(" N 5.905511811023622 2.5 0.66 0.0 De_Bilt\n")


@pytest.mark.parametrize("latitude, noticed", [("60.0", True), ("-64.8", True), ("49.9", False), ("-50", False)])
def test_a_station_beyond_the_day_length_tables_is_noticed(tmp_path, latitude, noticed):
    # Equal months draw no doubt about the hemisphere: the notice is the only warning.
    export = daily_csv(tmp_path / "export.csv", [2001], latitude=latitude)
    result = station_import("--capacity-mm", 100, export, "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    notice = ("day length is taken from the 50° row of the table beyond 50° of latitude: PET is underestimated in "
              "summer and overestimated in winter there")
    assert result.stderr == (f"station_import: warning: {export}: {notice}\n" if noticed else "")
    # The station runs with run_station's own notice.
    ran = subprocess.run([RUN_STATION, "station/"], cwd=tmp_path, capture_output=True, text=True)
    assert ran.returncode == 0, ran.stdout
    assert (notice in ran.stderr) == noticed


@pytest.mark.parametrize("row, message", [
    ("1990-13,10,5", 'line 3, column DATE: "1990-13" is not a date (YYYY-MM)'),
    ("1990-01,10,6", "line 2 and line 3 both give 1990-01-01 with different values"),
    ("1990-02,warm,5", 'line 3, column TAVG: "warm" is not a number'),
    ("1990-02,71,5", "line 3, column TAVG: 71 deg C lies outside what any station records (-95 to 65 deg C)"),
    ("1990-02,10,-0.5", "line 3, column PRCP: negative precipitation (-0.5 mm)"),
    ("1990-02,10,5,95", "line 3, column LATITUDE: latitude 95 lies outside -90 to 90"),
])
def test_bad_input_is_one_line_and_no_station_folder(tmp_path, row, message):
    export = monthly_csv(tmp_path / "m.csv", ["1990-01,10,5,40", row], header="DATE,TAVG,PRCP,LATITUDE")
    result = station_import("--capacity-mm", 150, export, "station", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stderr == f"station_import: {export}: {message}\n"
    assert not (tmp_path / "station").exists()


def test_an_existing_station_is_replaced_only_when_told(tmp_path):
    export = monthly_csv(tmp_path / "m.csv", [f"1990-{m:02d},10,50" for m in range(1, 13)])
    (tmp_path / "station").mkdir()
    (tmp_path / "station" / "monthly_T").write_text("mine\n")
    refused = station_import("--capacity-mm", 150, "--latitude", 40, export, "station", cwd=tmp_path)
    assert refused.returncode == 1 and "give --force" in refused.stderr
    assert (tmp_path / "station" / "monthly_T").read_text() == "mine\n"
    forced = station_import("--force", "--capacity-mm", 150, "--latitude", 40, export, "station", cwd=tmp_path)
    assert forced.returncode == 0
    assert (tmp_path / "station" / "monthly_T").read_text().startswith("1990 50.0 ")


def test_imported_years_have_the_regimes_worked_out_by_hand(tmp_path):
    """1990 is hot and rainless: no water ever enters the soil, so every day is dry, and the
    soil temperature is 20 + 2.5 = 22.5 deg C every day (equal months give no amplitude):
    ARIDIC (dry on all 360 warm days, no biological window), EXTREME ARIDIC (dry every day),
    Isohyperthermic (22.5 is 22 or more; no seasonal difference). 1991 is cool and wet:
    10 mm a day is about 300 mm a month against a PET of about 45 mm, so the profile stays
    full, every day is moist and every month wet: PERUDIC, PERUDIC; the soil is 12.5 deg C
    every day: Isomesic."""
    export = tmp_path / "d.csv"
    dry = daily_csv(tmp_path / "dry.csv", [1990], temperature=20.0, rain=0.0).read_text().splitlines()
    wet = daily_csv(tmp_path / "wet.csv", [1991], temperature=10.0, rain=10.0).read_text().splitlines()
    export.write_text("\n".join(dry + wet[1:]) + "\n")
    result = station_import("--capacity-mm", 150, export, "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    run = subprocess.run([RUN_STATION, "--csv"], cwd=tmp_path / "station", capture_output=True, text=True)
    assert run.returncode == 0, run.stdout
    rows = [line.split(",") for line in (tmp_path / "station" / "years.csv").read_text().splitlines()[1:]]
    assert [(row[0], row[-3], row[-2], row[-1]) for row in rows] == [
        ("1990", "ARIDIC", "EXTREME ARIDIC", "Isohyperthermic"),
        ("1991", "PERUDIC", "PERUDIC", "Isomesic")]


def twelve_months(tmp_path):
    return monthly_csv(tmp_path / "m.csv", [f"1990-{m:02d},10,50" for m in range(1, 13)])


def test_files_are_written_whole_or_not_at_all_and_never_through_a_link(tmp_path):
    export = twelve_months(tmp_path)
    assert station_import("--capacity-mm", 150, "--latitude", 40, export, "station", cwd=tmp_path).returncode == 0
    station = tmp_path / "station"
    before = {name: (station / name).read_bytes() for name in ("monthly_T", "monthly_P", "parameter")}
    # Links where an import of an earlier version put its temporary files.
    victim = tmp_path / "victim"
    victim.write_text("keep\n")
    for name in ("monthly_T", "monthly_P", "parameter", "import_report.csv"):
        for pid in range(os.getpid(), os.getpid() + 50):
            (station / f".{name}.station_import-{pid}").symlink_to(victim)
    (station / "import_report.csv").unlink()
    (station / "import_report.csv").mkdir()
    changed = monthly_csv(tmp_path / "n.csv", [f"1990-{m:02d},20,80" for m in range(1, 13)])
    blocked = station_import("--force", "--capacity-mm", 150, "--latitude", 40, changed, "station", cwd=tmp_path)
    assert blocked.returncode == 1
    assert "import_report.csv is a folder" in blocked.stderr
    assert {name: (station / name).read_bytes() for name in before} == before
    assert victim.read_text() == "keep\n"

    (station / "import_report.csv").rmdir()
    fresh = station_import("--force", "--capacity-mm", 150, "--latitude", 40, changed, "station", cwd=tmp_path)
    assert fresh.returncode == 0, fresh.stderr
    assert (station / "monthly_T").read_text().startswith("1990 68.0 ")
    assert victim.read_text() == "keep\n"
    assert not [path for path in station.iterdir() if not path.is_symlink() and "station_import-" in path.name]


@pytest.mark.parametrize("name, message", [
    ("a\0b", "holds a control character"),
    ("x" * 5000, "the station's name is longer than 4096 bytes"),
])
def test_what_run_station_refuses_is_not_imported(tmp_path, name, message):
    export = monthly_csv(tmp_path / "m.csv", [f"1990-{m:02d},10,50,{name}" for m in range(1, 13)],
                         header="DATE,TAVG,PRCP,NAME")
    result = station_import("--capacity-mm", 150, "--latitude", 40, export, "station", cwd=tmp_path)
    assert result.returncode == 1
    assert message in result.stderr
    assert not (tmp_path / "station").exists()


def test_a_month_of_daily_rain_past_what_run_station_takes_is_refused(tmp_path):
    export = daily_csv(tmp_path / "d.csv", [1990], rain=1900.0)
    result = station_import("--capacity-mm", 150, export, "station", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stderr == (f"station_import: {export}: 1990 January: the monthly precipitation 2318.9 inches is not "
                             "one that run_station takes (0 to 1000 inches, no missing-value code)\n")
    assert not (tmp_path / "station").exists()


def test_the_largest_capacity_imports_and_runs(tmp_path):
    result = station_import("--capacity-mm", 1000000, "--latitude", 40, twelve_months(tmp_path), "station",
                            cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    run = subprocess.run([RUN_STATION], cwd=tmp_path / "station", capture_output=True, text=True)
    assert run.returncode == 0, run.stdout


def test_a_file_that_is_no_text_table_is_refused_within_bounds(tmp_path):
    endless = tmp_path / "zero.csv"
    endless.symlink_to("/dev/zero")
    result = station_import("--capacity-mm", 150, "--latitude", 40, endless, "station", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stderr == (f"station_import: {endless}: line 1 is longer than 1,000,000 characters; the file is "
                             "not a table of records\n")


def test_station_csv_keeps_what_is_known_of_the_station(tmp_path):
    export = tmp_path / "ghcn.csv"
    rows = ['"STATION","NAME","LATITUDE","LONGITUDE","ELEVATION","DATE","TAVG","PRCP"']
    rows += [f'"SF000000001","CAPE TOWN INTL, SF","-33.9648","18.6017","46","1995-{m:02d}","17.5","40"'
             for m in range(1, 13)]
    export.write_text("\n".join(rows) + "\n")
    result = station_import("--capacity-mm", 100, export, "cape", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stderr == "", "equal months raise no doubt about the hemisphere"
    with open(tmp_path / "cape" / "station.csv", newline="") as table:
        assert list(csv.reader(table)) == [
            ["id", "name", "latitude", "longitude", "elevation", "source", "files"],
            ["SF000000001", "CAPE TOWN INTL, SF", "-33.9648", "18.6017", "46.0", "csv", "ghcn.csv"]]


@pytest.mark.parametrize("days, accepted", [(0, True), (10, True), (11, False), (-1, False)])
def test_a_month_may_miss_at_most_ten_days(tmp_path, days, accepted):
    export = daily_csv(tmp_path / "d.csv", [1990])
    result = station_import("--capacity-mm", 150, "--max-missing-days", days, export, "station", cwd=tmp_path)
    assert (result.returncode == 0) == accepted
    if not accepted:
        assert "--max-missing-days takes 0 to 10 days" in result.stderr


def test_a_southern_station_with_a_northern_summer_is_warned_of(tmp_path):
    rows = [f"1990-{m:02d},{10 + (8 if m in (6, 7, 8) else 0)},50" for m in range(1, 13)]
    result = station_import("--capacity-mm", 150, "--latitude", -35, monthly_csv(tmp_path / "m.csv", rows), "station",
                            cwd=tmp_path)
    assert result.returncode == 0
    assert "warning: " in result.stderr and "June to August, but the station is southern (S)" in result.stderr


def tree(root):
    """Every path below `root` with what it holds: the bytes of a file, the target of a
    link, or None for a folder."""
    found = {}
    for path in sorted(root.rglob("*")):
        found[str(path.relative_to(root))] = (os.readlink(path) if path.is_symlink() else
                                             None if path.is_dir() else path.read_bytes())
    return found


class Faults:
    """Makes the `at`-th call that touches the folder `root` fail (no space left) or
    first sends the process a signal, as a full disk or Ctrl-C would at that moment."""

    def __init__(self, monkeypatch, root, at, kind):
        self.root, self.at, self.kind, self.calls = str(root), at, kind, 0
        module = sys.modules["soil_climate.importing.folders"]
        for owner, name in ((os, "rename"), (os, "mkdir"), (os, "chmod"), (module, "open")):
            real = getattr(owner, name, open)
            monkeypatch.setattr(owner, name, self.wrap(real), raising=False)

    def wrap(self, real):
        def call(path, *rest, **options):
            if any(str(argument).startswith(self.root) for argument in (path, *rest[:1])):
                self.calls += 1
                if self.calls == self.at:
                    if self.kind == "full disk":
                        raise OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))
                    os.kill(os.getpid(), self.kind)
            return real(path, *rest, **options)
        return call


@pytest.mark.parametrize("kind", ["full disk", signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
@pytest.mark.parametrize("layout", ["stations below an old one", "one station in new folders"])
def test_an_import_is_written_whole_or_leaves_every_folder_as_it_was(tmp_path, monkeypatch, capsys, kind, layout):
    """At every step of the writing, a full disk or a signal leaves the folders exactly as
    they were: no new folder or temporary file, the old station with its results intact."""
    main = runpy.run_path(os.environ["STATION_IMPORT"])["main"]
    rows = ['"STATION","NAME","LATITUDE","DATE","TAVG","PRCP"']
    for station in ("S0", "S1", "S2"):
        rows += [f'"{station}","{station}","40","1995-{m:02d}","15.5","40"' for m in range(1, 13)]
    export = monthly_csv(tmp_path / "n.csv", rows[1:], header=rows[0])
    out = tmp_path / "out"
    if layout == "stations below an old one":
        (out / "S0").mkdir(parents=True)
        for name in ("monthly_T", "monthly_P", "parameter", "years.csv"):
            (out / "S0" / name).write_text(f"old {name}\n")
        arguments, status = ["--force", export, out], 1
    else:
        arguments, status = ["--station", "S1", export, out / "a" / "b"], 1
    before = tree(tmp_path)
    for at in itertools.count(1):
        with monkeypatch.context() as patch:
            faults = Faults(patch, out, at, kind)
            result = main(["--capacity-mm", "150", *map(str, arguments)])
        errors = capsys.readouterr().err
        if faults.calls < at:
            break
        expected = status if kind == "full disk" else 128 + kind
        assert (result, errors.count("\n")) == (expected, 1), (at, errors)
        assert tree(tmp_path) == before, at
    assert at > 5 and result == 0, errors
    written = tree(tmp_path)
    if layout == "stations below an old one":
        assert written["out/S0/years.csv"] == b"old years.csv\n"
        assert written["out/S2/monthly_T"].startswith(b"1995 59.9")
        assert not [path for path in written if "station_import-" in path]
    else:
        assert written["out/a/b/parameter"].endswith(b" S1\n")


@pytest.mark.parametrize("number", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
def test_a_signal_while_reading_ends_the_import_with_one_line_and_its_status(tmp_path, number):
    export = daily_csv(tmp_path / "d.csv", range(1900, 2000))
    process = subprocess.Popen(IMPORT + ["--capacity-mm", "150", str(export), "station"], cwd=tmp_path,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def reading():
        try:
            return any(os.readlink(fd) == str(export) for fd in pathlib.Path(f"/proc/{process.pid}/fd").iterdir())
        except FileNotFoundError:
            return False
    # Sent once the file is open, so that it meets the import, not Python starting up.
    while process.poll() is None and not reading():
        pass
    process.send_signal(number)
    out, errors = process.communicate(timeout=60)
    assert (process.returncode, errors) == (128 + number, f"station_import: interrupted by {number.name}; no "
                                                          "station folder was changed\n")
    assert sorted(path.name for path in tmp_path.iterdir()) == ["d.csv"]


def test_a_southern_station_given_phase_shift_0_is_warned_of_and_every_pointer_leads_to_the_guide(tmp_path):
    rows = [f"1990-{m:02d},{10 + (8 if m in (1, 2, 12) else 0)},50" for m in range(1, 13)]
    result = station_import("--capacity-mm", 150, "--latitude", -32, "--phase-shift", 0,
                            monthly_csv(tmp_path / "m.csv", rows), "station", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    ran = subprocess.run([RUN_STATION, "station/"], cwd=tmp_path, capture_output=True, text=True)
    for stderr in (result.stderr, ran.stderr):
        assert "a southern station (S) with phase_shift 0 has its warmest soil on 15 May" in stderr
    # Every pointer a warning gives, as printed and as written in the sources, names a
    # section of the guide.
    root = pathlib.Path(os.environ["DOC_DIR"]).parent
    guide = (root / "doc" / "guide.md").read_text()
    sections = {line.lstrip("#").strip() for line in guide.splitlines() if line.startswith("#")}
    pointer = re.compile(r'user guide: \\?"([^"\\]+)')
    printed = set(pointer.findall(result.stderr + ran.stderr))
    written = {found for folder in ("common", "inputs", "driver", "python", "r") for path in (root / folder).rglob("*")
               if path.suffix in (".cpp", ".hpp", ".py", ".R") for found in pointer.findall(path.read_text())}
    assert printed and printed <= written
    assert written <= sections, written - sections
