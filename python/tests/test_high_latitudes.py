"""Beyond 50 degrees of latitude the day-length tables hold their last row: every Python
front end says so once, with the library's words, and says nothing at 50 degrees or nearer
the equator."""

import os
import pathlib
import shutil
import subprocess
import warnings

import numpy as np
import pytest

import soil_climate

EXAMPLE = pathlib.Path(os.environ["EXAMPLES_DIR"]) / "davis"
SOIL_GRID = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
NOTICE = ("day length is taken from the 50° row of the table beyond 50° of latitude: PET is underestimated in "
          "summer and overestimated in winter there")


def notices(call):
    """The notices among the warnings that `call` raises, and its result."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = call()
    return [str(warning.message) for warning in caught if NOTICE in str(warning.message)], result


def station_folder(folder, latitude):
    folder.mkdir()
    for name in ("monthly_T", "monthly_P"):
        shutil.copy(EXAMPLE / name, folder / name)
    (folder / "parameter").write_text(f"{latitude} N 6.0 2.5 0.66 0.0 Davis\n")
    return folder


@pytest.mark.parametrize("latitude, noticed", [(60.0, True), (-60.0, True), (50.01, True), (49.9, False),
                                               (-49.9, False), (50.0, False), (-50.0, False)])
def test_simulate_notices_a_station_beyond_the_tables(latitude, noticed):
    found = soil_climate.read_station(EXAMPLE)
    found["latitude"] = latitude
    del found["hemisphere"], found["phase_shift"]
    said, result = notices(lambda: soil_climate.simulate(**found))
    assert said == ([NOTICE] if noticed else [])
    beyond = abs(latitude) > 50.0
    if beyond:
        # The results are those of the same station at 50 degrees.
        found["latitude"] = 50.0 if latitude > 0 else -50.0
        _, at_fifty = notices(lambda: soil_climate.simulate(**found))
        assert np.array_equal(result.monthly_pet, at_fifty.monthly_pet)


@pytest.mark.parametrize("latitude, noticed", [(60.0, True), (49.9, False)])
def test_read_station_notices_a_station_beyond_the_tables(tmp_path, latitude, noticed):
    folder = station_folder(tmp_path / "station", latitude)
    said, found = notices(lambda: soil_climate.read_station(folder))
    assert said == ([f"{folder}/: {folder}/parameter: {NOTICE}."] if noticed else [])
    assert found["latitude"] == latitude


def test_soil_grid_counts_the_cells_beyond_the_tables_once(tmp_path):
    xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
    pytest.importorskip("netCDF4", reason="soil_grid needs python3-netcdf4")
    pytest.importorskip("pint", reason="soil_grid reads units with python3-pint")
    years = 2
    time_axis = xarray.cftime_range("1990-01-01", periods=12 * years, freq="MS", calendar="standard")
    season = np.cos((np.arange(12 * years) % 12 - 6.5) * np.pi / 6)[:, None, None]
    for name, lat, said in (("north", [45.0, 49.9, 50.0, 55.0, 60.0], f"{NOTICE} (6 of the 15 cells)"),
                            ("south", [-64.8, -50.0, -40.0], f"{NOTICE} (3 of the 9 cells)"),
                            ("within", [-50.0, 0.0, 49.9], None)):
        shape = (12 * years, len(lat), 3)
        coords = {"time": time_axis, "lat": ("lat", lat, {"units": "degrees_north"}),
                  "lon": ("lon", [0.0, 1.0, 2.0], {"units": "degrees_east"})}
        xarray.Dataset({"tas": (("time", "lat", "lon"), np.broadcast_to(8.0 + 9.0 * season, shape).copy(),
                                {"units": "degC"}),
                        "pr": (("time", "lat", "lon"), np.broadcast_to(50.0 - 30.0 * season, shape).copy(),
                               {"units": "mm"})}, coords=coords).to_netcdf(tmp_path / f"{name}.nc")
        result = subprocess.run([str(SOIL_GRID), "--capacity-mm", "140", "--chunks", "lat=1", f"{name}.nc",
                                 f"{name}_out.nc"], cwd=tmp_path, capture_output=True, text=True)
        assert result.returncode == 0, result.stderr
        lines = [line for line in result.stderr.splitlines() if NOTICE in line]
        assert lines == ([] if said is None else [f"soil_grid: warning: {said}"]), name
