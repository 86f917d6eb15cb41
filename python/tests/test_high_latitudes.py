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


# Two cold stations' mean years (deg F, inches): Fairbanks-like at 64.8 N (mean soil
# temperature 0.4 deg C, its summer below 15) and an Arctic coast at 71.3 N (-9.4 deg C).
COLD_STATIONS = {
    64.8: ([-7.9, -2.4, 11.5, 32.1, 49.5, 60.6, 62.9, 57.3, 45.9, 26.4, 6.4, -3.4],
           [0.60, 0.50, 0.40, 0.30, 0.60, 1.40, 2.20, 1.80, 1.10, 0.90, 0.70, 0.60]),
    71.3: ([-13.0, -15.0, -13.0, 0.0, 20.0, 34.0, 40.0, 38.0, 31.0, 15.0, 0.0, -9.0],
           [0.20, 0.20, 0.20, 0.20, 0.20, 0.40, 1.00, 1.00, 0.60, 0.50, 0.30, 0.20]),
}


def test_the_cold_regimes_come_only_when_asked_for(tmp_path):
    xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
    years = 3
    for latitude, cold in ((64.8, "Cryic"), (71.3, "Pergelic")):
        temperature, precipitation = ([months] * years for months in COLD_STATIONS[latitude])
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            plain, asked = (soil_climate.simulate(temperature, precipitation, units="us", latitude=latitude,
                                                  capacity_mm=150.0, cold_regimes=flag) for flag in (False, True))
        assert list(plain.temperature_regime) == ["Frigid"] * years
        assert list(asked.temperature_regime) == [cold] * years
        assert list(plain.frequencies("temperature_regime")) == list(soil_climate.TEMPERATURE_REGIME_NAMES)
        assert list(asked.frequencies("temperature_regime"))[-2:] == ["Pergelic", "Cryic"]
        assert asked.frequencies("temperature_regime")[cold] == (years, 100.0)
        for field in soil_climate.YEAR_FIELDS:
            if field.source == "year" and field.name != "temperature_regime":
                assert np.array_equal(getattr(plain, field.name), getattr(asked, field.name)), field.name
    with pytest.raises(TypeError, match="cold_regimes must be True or False"):
        soil_climate.simulate([[0.0] * 12], [[1.0] * 12], units="us", latitude=40.0, capacity_mm=150.0,
                              cold_regimes="yes")

    # The same on a grid of the two, from Python and from soil_grid: ten classes, the cold
    # ones last, only with the option.
    time = xarray.cftime_range("1991-01-01", periods=12 * years, freq="MS", calendar="standard")
    coords = {"time": time, "lat": [64.8, 71.3], "lon": [-150.0]}

    def layer(index):
        values = np.array([COLD_STATIONS[lat][index] for lat in coords["lat"]]).T  # (12, lat)
        return xarray.DataArray(np.tile(values, (years, 1))[:, :, None], dims=("time", "lat", "lon"), coords=coords)

    tas, pr = (layer(0) - 32.0) * 5.0 / 9.0, layer(1) * 25.4
    xarray.Dataset({"tas": tas.assign_attrs(units="degC"), "pr": pr.assign_attrs(units="mm")}).to_netcdf(
        tmp_path / "cold.nc")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        plain = soil_climate.simulate_grid(tas, pr, units="metric", capacity_mm=150.0)
        asked = soil_climate.simulate_grid(tas, pr, units="metric", capacity_mm=150.0, cold_regimes=True)
    assert plain.sizes["temperature_regime_class"] == 8
    assert list(asked.temperature_regime_class.values[-2:]) == ["Pergelic", "Cryic"]
    assert list(asked.most_frequent_temperature_regime.values[:, 0]) == [9, 8]
    for flags in ((), ("--cold-regimes",)):
        result = subprocess.run([str(SOIL_GRID), "--capacity-mm", "150", *flags, "cold.nc", "out.nc"],
                                cwd=tmp_path, capture_output=True, text=True)
        assert result.returncode == 0, result.stderr
        with xarray.open_dataset(tmp_path / "out.nc") as written:
            expected = asked if flags else plain
            assert written.temperature_regime.attrs["flag_meanings"] == \
                expected.temperature_regime.attrs["flag_meanings"]
            assert (written.temperature_regime.values == expected.temperature_regime.values).all()
        (tmp_path / "out.nc").unlink()
