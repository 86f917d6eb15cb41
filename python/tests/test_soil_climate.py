"""The Python module against run_station's own files, and its refusals of bad input."""

import concurrent.futures
import csv
import os
import pathlib
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import soil_climate

EXAMPLE = pathlib.Path(os.environ["EXAMPLES_DIR"]) / "davis"


def read_monthly(path):
    labels, values = [], []
    for line in path.read_text().split("\n"):
        if line.strip():
            words = line.split()
            labels.append(words[0])
            values.append([float(word) for word in words[1:13]])
    return labels, np.array(values)


def simulate_davis(**changes):
    labels, temperature = read_monthly(EXAMPLE / "monthly_T")
    _, precipitation = read_monthly(EXAMPLE / "monthly_P")
    arguments = dict(units="us", latitude=38.5, hemisphere="N", capacity_mm=6.0 * 25.4, labels=labels,
                     station_name="Davis")
    arguments.update(changes)
    return soil_climate.simulate(temperature, precipitation, **arguments)


@pytest.fixture(scope="module")
def davis_run(tmp_path_factory):
    """run_station --csv on the example station, in a fresh folder."""
    folder = tmp_path_factory.mktemp("davis")
    for name in ("monthly_T", "monthly_P", "parameter"):
        (folder / name).write_bytes((EXAMPLE / name).read_bytes())
    subprocess.run([os.environ["RUN_STATION"], "--csv"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


def report_calendar(report, heading):
    """The 12 rows of 30 cells under a calendar heading of a year's report."""
    lines = report.split("\n")
    start = lines.index(heading) + 2
    return [cell for line in lines[start:start + 12] for cell in line.split()[1:]]


def test_every_field_equals_the_table_of_years_and_the_reports(davis_run):
    result = simulate_davis()
    with open(davis_run / "years.csv", newline="") as table:
        rows = list(csv.DictReader(table))
    assert len(rows) == len(result) == 30
    frame = result.to_pandas() if _has_pandas() else None
    assert [field.name for field in soil_climate.YEAR_FIELDS] == list(rows[0])
    if frame is not None:
        assert list(frame.columns) == list(rows[0])
    for index, row in enumerate(rows):
        assert row["year_label"] == result.labels[index]
        for name in soil_climate.SUM_FIELDS + ("mean_soil_temperature_c", "seasonal_difference_c"):
            assert float(row[name]) == getattr(result, name)[index], name
        for name in soil_climate.COUNT_FIELDS:
            assert int(row[name]) == getattr(result, name)[index], name
        for name in ("moisture_regime", "subdivision", "temperature_regime"):
            assert row[name] == getattr(result, name)[index], name
        if frame is not None:
            assert [str(value) for value in frame.iloc[index]] == [str(value) for value in _typed(row, frame)]

        report = (davis_run / row["year_label"]).read_text()
        moisture = report_calendar(report, "Soil Moisture Calender:")
        assert moisture == [str(code) for code in result.moisture_calendar[index]]
        symbols = report_calendar(report, "Soil Temperature Calender:")
        soil = result.temperature_calendar[index]
        assert symbols == ["-" if t < 5.0 else "5" if t < 8.0 else "8" for t in soil]


def _has_pandas():
    try:
        import pandas  # noqa: F401
    except ImportError:
        return False
    return True


def _typed(row, frame):
    """The CSV row's fields with the types of the frame's columns."""
    return [type(frame[column].iloc[0])(row[column]) if column not in ("year_label", "station_name", "hemisphere",
            "moisture_regime", "subdivision", "temperature_regime") else row[column] for column in frame.columns]


def test_metric_and_us_units_agree():
    us = simulate_davis()
    labels, temperature_f = read_monthly(EXAMPLE / "monthly_T")
    _, precipitation_in = read_monthly(EXAMPLE / "monthly_P")
    metric = soil_climate.simulate(((temperature_f - 32.0) * 5.0) / 9.0, precipitation_in * 25.4, latitude=38.5,
                                   hemisphere="N", capacity_mm=6.0 * 25.4, labels=labels, units="metric")
    for name in ("monthly_pet", "moisture_calendar", "temperature_calendar", "moisture_profile"):
        assert np.array_equal(getattr(us, name), getattr(metric, name)), name
    assert list(us.subdivision) == list(metric.subdivision)


def test_threads_give_the_results_of_one_thread():
    alone = simulate_davis()
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        together = list(pool.map(lambda _: simulate_davis(), range(8)))
    for result in together:
        assert np.array_equal(result.moisture_calendar, alone.moisture_calendar)
        assert np.array_equal(result.temperature_calendar, alone.temperature_calendar)


def test_frequencies_cover_every_name():
    frequencies = simulate_davis().frequencies("subdivision")
    assert list(frequencies) == list(soil_climate.SUBDIVISION_NAMES)
    assert sum(years for years, _ in frequencies.values()) == 30


def test_bad_input_raises_a_value_error_naming_the_year_and_month():
    labels, temperature = read_monthly(EXAMPLE / "monthly_T")
    _, precipitation = read_monthly(EXAMPLE / "monthly_P")

    def bad(value, month=3, year=2, array="temperature"):
        t, p = temperature.copy(), precipitation.copy()
        (t if array == "temperature" else p)[year, month] = value
        return t, p

    station = dict(units="us", latitude=38.5, hemisphere="N", capacity_mm=152.4, labels=labels)
    cases = [
        (bad(np.nan), station, "year 3 (1983), April: temperature nan is not a finite number"),
        (bad(-99.9), station, "year 3 (1983), April: temperature -99.9 is a missing-value code"),
        (bad(-99.0, 11, 0, "precipitation"), station, "year 1 (1981), December: precipitation -99 is a missing"),
        (bad(-0.5, 0, 29, "precipitation"), station, "year 30 (2010), January: precipitation -0.5 lies outside"),
        ((temperature[:, :11], precipitation), station, "temperature must have the shape (years, 12)"),
        ((temperature, precipitation[:5]), station, "the same number of years"),
        ((temperature, precipitation), dict(station, hemisphere="n"), 'hemisphere must be "N" or "S"'),
        ((temperature, precipitation), dict(station, capacity_mm=-1.0), "capacity_mm must be a number from 0"),
        ((temperature, precipitation), dict(station, units="si"), 'units must be "us"'),
    ]
    for (t, p), arguments, message in cases:
        with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
            soil_climate.simulate(t, p, **arguments)


def test_arguments_of_the_wrong_type_raise_a_type_error():
    labels, temperature = read_monthly(EXAMPLE / "monthly_T")
    _, precipitation = read_monthly(EXAMPLE / "monthly_P")
    station = dict(units="us", latitude=38.5, hemisphere="N", capacity_mm=152.4)
    cases = [
        ((temperature, precipitation), dict(station, labels="abc"), "labels must be a sequence"),
        ((temperature > 50, precipitation), station, "temperature must hold real numbers, not bool"),
        ((temperature + 0j, precipitation), station, "temperature must hold real numbers, not complex"),
        ((temperature, precipitation.astype(str)), station, "precipitation must hold real numbers"),
        ((temperature, precipitation), dict(station, capacity_mm="150"), "capacity_mm must be a real number, not str"),
        ((temperature, precipitation), dict(station, latitude=True), "latitude must be a real number, not bool"),
        ((temperature, precipitation), dict(station, hemisphere=1), "hemisphere must be a string"),
    ]
    for (t, p), arguments, message in cases:
        with pytest.raises(TypeError, match=message):
            soil_climate.simulate(t, p, **arguments)


def test_ctrl_c_stops_a_long_call_between_years():
    """A signal is taken between years: an interrupted call of many years ends long before
    the whole call would."""
    _, temperature = read_monthly(EXAMPLE / "monthly_T")
    _, precipitation = read_monthly(EXAMPLE / "monthly_P")
    many_t, many_p = np.tile(temperature, (10000, 1)), np.tile(precipitation, (10000, 1))
    station = dict(units="us", latitude=38.5, hemisphere="N", capacity_mm=152.4)
    start = time.monotonic()
    soil_climate.simulate(many_t, many_p, **station)
    whole = time.monotonic() - start
    timer = threading.Timer(whole / 10, lambda: os.kill(os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        soil_climate.simulate(many_t, many_p, **station)
    assert time.monotonic() - start < whole * 0.6


def test_read_station_reproduces_run_station_to_the_bit(davis_run):
    """The station folder read by run_station's readers (6.0 in is 152.39999999999998 mm,
    not 152.4) gives years.csv exactly, every digit."""
    result = soil_climate.simulate(**soil_climate.read_station(davis_run))
    with open(davis_run / "years.csv", newline="") as table:
        rows = list(csv.DictReader(table))
    for index, row in enumerate(rows):
        for field in soil_climate.YEAR_FIELDS:
            value = result.to_pandas()[field.name].iloc[index] if field.source == "station" else \
                getattr(result, field.name)[index]
            if field.kind == "number":
                assert float(row[field.name]) == value, (index, field.name)
            else:
                assert row[field.name] == str(value), (index, field.name)
    with pytest.raises(ValueError, match="monthly_T: record 1 .*is not a finite number"):
        broken = davis_run.parent / "broken"
        broken.mkdir(exist_ok=True)
        for name in ("monthly_P", "parameter"):
            (broken / name).write_bytes((davis_run / name).read_bytes())
        (broken / "monthly_T").write_text("1981 NA 1 2 3 4 5 6 7 8 9 10 11\n")
        soil_climate.read_station(broken)
    with pytest.raises(ValueError, match=r"^/no/such/station: no station folder there"):
        soil_climate.read_station("/no/such/station")


def test_signed_latitude_southern_defaults_and_what_a_result_says():
    labels, temperature = read_monthly(EXAMPLE / "monthly_T")
    _, precipitation = read_monthly(EXAMPLE / "monthly_P")
    south = soil_climate.simulate(temperature, precipitation, units="us", latitude=-38.5, capacity_mm=150.0)
    explicit = soil_climate.simulate(temperature, precipitation, units="us", latitude=38.5, hemisphere="S",
                                     capacity_mm=150.0, phase_shift=90.0)
    assert south.station["hemisphere"] == "S" and south.station["phase_shift"] == 90.0
    assert np.array_equal(south.temperature_calendar, explicit.temperature_calendar)
    with pytest.warns(UserWarning, match="warmest months of the mean year are June to August"):
        soil_climate.simulate(temperature, precipitation, units="us", latitude=-38.5, capacity_mm=150.0)
    with pytest.warns(UserWarning, match="southern station with phase_shift 0"):
        soil_climate.simulate(temperature, precipitation, units="us", latitude=-38.5, capacity_mm=150.0,
                              phase_shift=0)
    with pytest.raises(ValueError, match="a negative latitude is southern"):
        soil_climate.simulate(temperature, precipitation, units="us", latitude=-38.5, hemisphere="N",
                              capacity_mm=150.0)
    with pytest.raises(TypeError, match="units"):
        soil_climate.simulate(temperature, precipitation, latitude=38.5, capacity_mm=150.0)
    davis = simulate_davis()
    assert repr(davis) == ("<StationResult Davis: 30 years (1981 to 2010), latitude 38.5 N, capacity 152.4 mm; "
                           "most frequent XERIC, DRY XERIC, Thermic>")
    assert "bio8_days" in dir(davis) and "not dry" in type(davis).bio8_days.__doc__
    with pytest.raises(ValueError, match="kind must be one of moisture_regime, subdivision, temperature_regime"):
        davis.frequencies("regime")


# Colour-vision deficiencies as linear-RGB matrices (Machado, Oliveira and Fernandes 2009,
# severity 1.0).
DEFICIENCIES = {
    "normal vision": np.eye(3),
    "protanopia": np.array([[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216],
                            [-0.003882, -0.048116, 1.051998]]),
    "deuteranopia": np.array([[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413],
                              [-0.011820, 0.042940, 0.968881]]),
    "tritanopia": np.array([[1.255528, -0.076749, -0.178779], [-0.078411, 0.930809, 0.147602],
                            [0.004733, 0.691367, 0.303900]]),
}


def _lab(colour, deficiency):
    """CIE L*a*b* of an sRGB colour as seen with a deficiency."""
    srgb = np.array([int(colour[i:i + 2], 16) for i in (1, 3, 5)]) / 255.0
    linear = np.where(srgb <= 0.04045, srgb / 12.92, ((srgb + 0.055) / 1.055) ** 2.4)
    seen = np.clip(deficiency @ linear, 0.0, 1.0)
    xyz = np.array([[0.4124, 0.3576, 0.1805], [0.2126, 0.7152, 0.0722], [0.0193, 0.1192, 0.9505]]) @ seen
    f = np.cbrt(xyz / np.array([0.95047, 1.0, 1.08883]))
    return np.array([116.0 * f[1] - 16.0, 500.0 * (f[0] - f[1]), 200.0 * (f[1] - f[2])])


def test_every_pair_of_moisture_regime_colours_stays_apart_for_every_common_deficiency():
    colours = soil_climate._model.moisture_regime_colours
    for name, deficiency in DEFICIENCIES.items():
        for i, first in enumerate(colours):
            for second in colours[i + 1:]:
                distance = np.linalg.norm(_lab(first, deficiency) - _lab(second, deficiency))
                assert distance > 30.0, (name, first, second, distance)


def test_the_version_is_run_stations():
    shown = subprocess.run([os.environ["RUN_STATION"], "--version"], capture_output=True, text=True, check=True)
    assert shown.stdout.split() == ["run_station", soil_climate.__version__]
