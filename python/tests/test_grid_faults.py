"""soil_grid on hostile inputs and options: a cut file, NaN where a number must be, files that
are not a monthly climate, outputs that cannot be written and signals each end in one line,
with nothing left behind and the input untouched."""

import os
import pathlib
import resource
import signal
import subprocess
import time

import numpy as np
import pytest

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
pytest.importorskip("netCDF4", reason="soil_grid needs python3-netcdf4")
pytest.importorskip("pint", reason="soil_grid reads units with python3-pint")

SOIL_GRID = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))


def climate(rows=3, columns=2, years=3):
    time_axis = xarray.cftime_range("1990-01-01", periods=12 * years, freq="MS", calendar="standard")
    lat = np.linspace(35.0, 45.0, rows)
    lon = np.linspace(-5.0, 5.0, columns)
    season = np.cos((np.arange(12 * years) % 12 - 6.5) * np.pi / 6)[:, None, None]
    shape = (12 * years, rows, columns)
    coords = {"time": time_axis, "lat": ("lat", lat, {"units": "degrees_north"}),
              "lon": ("lon", lon, {"units": "degrees_east"})}
    return xarray.Dataset({"tas": (("time", "lat", "lon"), np.broadcast_to(14.0 + 9.0 * season, shape).copy(),
                                   {"units": "degC"}),
                           "pr": (("time", "lat", "lon"), np.broadcast_to(50.0 - 30.0 * season, shape).copy(),
                                  {"units": "mm"})}, coords=coords)


def write(folder, dataset, name="in.nc", **options):
    dataset.to_netcdf(folder / name, **options)
    return name


def cut_classic(folder):
    name = write(folder, climate(rows=9, columns=9), format="NETCDF3_CLASSIC")
    data = (folder / name).read_bytes()
    (folder / name).write_bytes(data[:-400])
    return [name]


def nan_latitude(folder):
    dataset = climate()
    return [write(folder, dataset.assign_coords(lat=("lat", [35.0, np.nan, 45.0], {"units": "degrees_north"})))]


def all_sea(folder):
    dataset = climate()
    return [write(folder, dataset.where(dataset.tas > 1000.0))]


def integer_time(folder):
    dataset = climate().assign_coords(time=np.arange(36))
    return [write(folder, dataset)]


def month_dimension(folder):
    dataset = climate(years=1).rename(time="month").assign_coords(month=np.arange(1, 13))
    return [write(folder, dataset)]


def backwards(folder):
    return [write(folder, climate().isel(time=slice(None, None, -1)))]


def random_bytes(folder):
    (folder / "in.nc").write_bytes(np.random.default_rng(1).bytes(3000))
    return ["in.nc"]


def extra_dimension(folder):
    dataset = climate().expand_dims(depth=[0.0, 1.0]).transpose("time", "depth", "lat", "lon")
    return [write(folder, dataset)]


@pytest.mark.parametrize("prepare, options, status, message", [
    (cut_classic, [], 1, "in.nc: cannot be read as NetCDF: the file is cut short"),
    (nan_latitude, [], 1, "has data but no latitude (NaN)"),
    (all_sea, [], 1, "nothing could be simulated"),
    (integer_time, [], 1, "in.nc: the time coordinate time cannot be read as dates"),
    (month_dimension, [], 1, "in.nc: the time coordinate month cannot be read as dates"),
    (backwards, [], 1, "in.nc: the time steps do not follow each other forwards"),
    (random_bytes, [], 1, "in.nc: cannot be read as NetCDF"),
    (extra_dimension, ["--map", "m.png"], 1, "--map and --geotiff need a grid of two dimensions"),
    (backwards, ["--soil-temp-offset", "nan"], 2, "not a finite number"),
    (backwards, ["--phase-shift", "inf"], 2, "not a finite number"),
    (backwards, ["--workers", "0"], 2, "is not a whole number of 1 or more"),
    (backwards, ["--scheduler", "inproc"], 2, "is not a scheduler's address"),
    (backwards, ["--scheduler", "tcp://node01:port"], 2, "is not a scheduler's address"),
    (backwards, ["--map", "m.xyz"], 1, "--map m.xyz:"),
    (backwards, ["--map", "out.nc"], 1, "--map out.nc:"),
])
def test_each_fault_is_one_line_and_leaves_the_folder_as_it_was(tmp_path, prepare, options, status, message):
    inputs = prepare(tmp_path)
    before = {path.name: path.read_bytes() for path in tmp_path.iterdir()}
    result = subprocess.run([str(SOIL_GRID), "--capacity-mm", "150", *options, *inputs, "out.nc"], cwd=tmp_path,
                            capture_output=True, text=True)
    lines = [line for line in result.stderr.splitlines() if "warning" not in line]
    assert result.returncode == status and message in result.stderr, result.stderr
    assert status == 2 or len(lines) == 1, result.stderr
    assert {path.name: path.read_bytes() for path in tmp_path.iterdir()} == before


def test_a_partial_period_and_unsimulated_cells_are_said(tmp_path):
    dataset = climate()
    dataset["tas"][5, 0, 0] = np.nan  # one year short of a month: the cell's other years go on
    dataset["tas"][:, 1, 1] = np.where(np.arange(36) % 12 == 3, np.nan, 10.0)  # every year short
    write(tmp_path, dataset)
    result = subprocess.run([str(SOIL_GRID), "--capacity-mm", "150", "--years", "1989:2100", "in.nc", "out.nc"],
                            cwd=tmp_path, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    assert "the climate holds 1990 to 1992 of these years; those are used" in result.stderr
    assert "1 of the 6 cells with data hold no whole year without a missing month" in result.stderr


def test_a_full_disk_is_one_line_and_leaves_no_temporary_file(tmp_path):
    write(tmp_path, climate(rows=30, columns=30, years=6))

    def small_files():  # files beyond 20 kB fail as on a full disk, with EFBIG instead of a signal
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (20_000, 20_000))

    result = subprocess.run([str(SOIL_GRID), "--capacity-mm", "150", "in.nc", "out.nc"], cwd=tmp_path,
                            capture_output=True, text=True, preexec_fn=small_files)
    assert result.returncode == 1 and result.stderr.count("\n") == 1, result.stderr
    assert "out.nc: cannot be written" in result.stderr
    assert sorted(path.name for path in tmp_path.iterdir()) == ["in.nc"]


@pytest.mark.parametrize("number", [signal.SIGTERM, signal.SIGHUP, signal.SIGINT])
def test_a_signal_ends_the_run_with_one_line_and_nothing_left(tmp_path, number):
    write(tmp_path, climate(rows=120, columns=120, years=8))
    process = subprocess.Popen([str(SOIL_GRID), "--capacity-mm", "150", "--map", "m.png", "in.nc", "out.nc"],
                               cwd=tmp_path, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 60.0
    # Once the grid is read the staged outputs are near; signal as soon as Python runs the command.
    while time.monotonic() < deadline and process.poll() is None and \
            not any(path.name.startswith(".soil_grid-") for path in tmp_path.iterdir()):
        time.sleep(0.01)
    process.send_signal(number)
    _, errors = process.communicate(timeout=120)
    if process.returncode == 0:
        pytest.skip("the run ended before the signal came")
    assert process.returncode == 128 + number, errors
    assert errors.count("\n") == 1 and ("nothing was written" in errors), errors
    assert sorted(path.name for path in tmp_path.iterdir()) == ["in.nc"]
