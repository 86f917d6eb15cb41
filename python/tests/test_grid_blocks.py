"""A grid block by block: a Zarr store holds what the NetCDF file holds; a run killed anywhere
and resumed gives the store of a run never stopped, byte for byte; a store of other inputs
or options starts afresh, and a folder that is no store of soil_grid's is left alone."""

import os
import pathlib
import shutil
import signal
import subprocess
import time

import numpy as np
import pytest

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
pytest.importorskip("zarr", reason="Zarr stores need python3-zarr")
pytest.importorskip("pint", reason="soil_grid reads units with python3-pint")

SOIL_GRID = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
ROWS, COLUMNS, YEARS = 40, 12, 6


def write_climate(path):
    time_axis = xarray.cftime_range("1991-01-01", periods=12 * YEARS, freq="MS", calendar="standard")
    lat = np.linspace(-40.0, 60.0, ROWS)
    rng = np.random.default_rng(5)
    season = np.cos((np.arange(12 * YEARS) % 12 - 6.5) * np.pi / 6)[:, None, None] * np.sign(lat)[None, :, None]
    shape = (12 * YEARS, ROWS, COLUMNS)
    temperature = 15.0 + 10.0 * season + rng.normal(0.0, 1.5, shape)
    precipitation = 55.0 - 40.0 * season + rng.uniform(0.0, 30.0, shape)
    temperature[:, :3, :4] = np.nan  # sea
    coords = {"time": time_axis, "lat": ("lat", lat, {"units": "degrees_north"}),
              "lon": ("lon", np.arange(COLUMNS) * 1.0, {"units": "degrees_east"})}
    xarray.Dataset({"tas": (("time", "lat", "lon"), temperature, {"units": "degC"}),
                    "pr": (("time", "lat", "lon"), precipitation, {"units": "mm"})}, coords=coords).to_netcdf(path)


def command(*arguments):
    return [str(SOIL_GRID), "--capacity-mm", "140", "--chunks", "lat=2", *map(str, arguments)]


def files_of(store):
    """Every file of a store, by its path within the store, with its bytes."""
    return {str(path.relative_to(store)): path.read_bytes() for path in sorted(store.rglob("*")) if path.is_file()}


@pytest.fixture(scope="module")
def reference(tmp_path_factory):
    folder = tmp_path_factory.mktemp("reference")
    write_climate(folder / "in.nc")
    for output in ("whole.zarr", "whole.nc"):
        result = subprocess.run(command("--resume", "in.nc", output), cwd=folder, capture_output=True, text=True)
        assert result.returncode == 0, result.stderr
    return folder


def test_the_store_holds_what_the_netcdf_file_holds(reference):
    store = xarray.open_zarr(reference / "whole.zarr", consolidated=True)
    netcdf = xarray.open_dataset(reference / "whole.nc")
    for name in netcdf.data_vars:
        assert store[name].equals(netcdf[name]), name
    assert store.most_frequent_moisture_regime.attrs["grid_mapping"] == "crs"
    assert not (reference / "whole.zarr" / ".soil_grid_blocks").exists()
    assert store.moisture_regime.encoding["chunks"] == (YEARS, 2, COLUMNS)


def test_blocks_that_end_short_of_the_grid_hold_the_same_values(reference, tmp_path):
    # 40 rows in blocks of 3: the last block is one row of a chunk of three.
    arguments = [str(SOIL_GRID), "--capacity-mm", "140", "--chunks", "lat=3", str(reference / "in.nc")]
    assert subprocess.run([*arguments, "short.nc"], cwd=tmp_path, capture_output=True).returncode == 0
    whole = xarray.open_dataset(reference / "whole.nc", mask_and_scale=False)
    short = xarray.open_dataset(tmp_path / "short.nc", mask_and_scale=False)
    for name in whole.data_vars:
        assert short[name].dtype == whole[name].dtype and short[name].equals(whole[name]), name
    assert short.moisture_regime.encoding["chunksizes"] == (YEARS, 3, COLUMNS)


@pytest.mark.parametrize("blocks_done", [1, 6, 14])
def test_a_run_killed_anywhere_and_resumed_is_the_run_never_stopped(tmp_path, blocks_done):
    write_climate(tmp_path / "in.nc")
    store = tmp_path / "s.zarr"
    assert subprocess.run(command("--resume", "in.nc", "s.zarr"), cwd=tmp_path, capture_output=True).returncode == 0
    never_stopped = files_of(store)
    shutil.rmtree(store)
    process = subprocess.Popen(command("--resume", "in.nc", "s.zarr"), cwd=tmp_path, stderr=subprocess.PIPE)
    marks = store / ".soil_grid_blocks"
    deadline = time.monotonic() + 60.0
    while process.poll() is None and time.monotonic() < deadline and \
            (not marks.is_dir() or len([m for m in os.listdir(marks) if m.isdigit()]) < blocks_done):
        time.sleep(0.002)
    process.send_signal(signal.SIGKILL)
    process.wait()
    if process.returncode == 0:
        pytest.skip("the run ended before it could be killed")
    assert not (store / ".zmetadata").exists()  # never looks complete
    resumed = subprocess.run(command("--resume", "in.nc", "s.zarr"), cwd=tmp_path, capture_output=True, text=True)
    assert resumed.returncode == 0 and "resuming" in resumed.stderr, resumed.stderr
    assert files_of(store) == never_stopped


def test_a_changed_option_starts_afresh_and_a_foreign_folder_is_refused(reference, tmp_path):
    os.link(reference / "in.nc", tmp_path / "in.nc")
    first = subprocess.run(command("--resume", "in.nc", "s.zarr"), cwd=tmp_path, capture_output=True, text=True)
    assert first.returncode == 0, first.stderr
    again = subprocess.run(command("--resume", "in.nc", "s.zarr"), cwd=tmp_path, capture_output=True, text=True)
    assert again.returncode == 0 and "already complete" in again.stderr, again.stderr
    changed = subprocess.run(command("--resume", "--soil-temp-offset", "3", "in.nc", "s.zarr"), cwd=tmp_path,
                             capture_output=True, text=True)
    assert changed.returncode == 0 and "starting afresh" in changed.stderr, changed.stderr
    assert float(xarray.open_zarr(tmp_path / "s.zarr").attrs["soil_temp_offset"]) == 3.0
    (tmp_path / "mine.zarr").mkdir()
    (tmp_path / "mine.zarr" / "notes.txt").write_text("a folder of the user's")
    refused = subprocess.run(command("in.nc", "mine.zarr"), cwd=tmp_path, capture_output=True, text=True)
    assert refused.returncode == 1 and "is not a store that soil_grid wrote" in refused.stderr
    assert (tmp_path / "mine.zarr" / "notes.txt").read_text() == "a folder of the user's"


def test_two_workers_of_a_cluster_write_what_the_threads_write(reference, tmp_path):
    pytest.importorskip("dask.distributed", reason="needs python3-distributed")
    result = subprocess.run(command("--workers", 2, str(reference / "in.nc"), "cluster.nc"), cwd=tmp_path,
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    cluster, threads = xarray.open_dataset(tmp_path / "cluster.nc"), xarray.open_dataset(reference / "whole.nc")
    for name in threads.data_vars:
        assert cluster[name].equals(threads[name]), name


def test_the_outputs_say_the_station_parameters_they_were_simulated_with(reference):
    # The defaults: one everywhere as a number, one that differs in the south in words.
    for output in (xarray.open_dataset(reference / "whole.nc"), xarray.open_zarr(reference / "whole.zarr")):
        with output:
            assert float(output.attrs["soil_temp_offset"]) == 2.5
            assert float(output.attrs["amplitude_factor"]) == 0.66
            assert output.attrs["phase_shift"] == "0 days in the north, 90 in the south"
