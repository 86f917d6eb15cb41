"""Two periods of a grid compared: each period's summaries are a single run's over its years,
a period compared with itself changes nothing, soil_grid writes the same comparison to
NetCDF and Zarr through its blocks, and the transition table's areas add up to the land's
and measure a degree-square cell as a sphere of the authalic radius does."""

import csv
import os
import pathlib
import subprocess

import numpy as np
import pytest

import soil_climate
from soil_climate import grid_transitions

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
pytest.importorskip("netCDF4", reason="soil_grid needs python3-netcdf4")

SOIL_GRID = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
YEARS = 6
KINDS = ("moisture_regime", "subdivision", "temperature_regime")


def climate(rows=5, columns=4, years=YEARS, warming=0.0):
    """A temperate to subtropical grid whose second half of the years is `warming` deg C
    warmer and drier, with a sea corner."""
    time = xarray.cftime_range("1991-01-01", periods=12 * years, freq="MS", calendar="standard")
    lat = np.linspace(25.0, 45.0, rows)
    lon = np.linspace(-10.0, 5.0, columns)
    season = np.cos((np.arange(12 * years) % 12 - 6.5) * np.pi / 6)[:, None, None]
    later = (np.arange(12 * years) >= 12 * (years // 2))[:, None, None]
    rng = np.random.default_rng(11)
    shape = (12 * years, rows, columns)
    temperature = 12.0 + 10.0 * season + (lat[None, :, None] < 35) * 5 + warming * later + rng.normal(0, 1, shape)
    precipitation = (60.0 - 40.0 * season) * np.where(later, 0.6, 1.0) + rng.uniform(0.0, 25.0, shape)
    temperature[:, 0, 0] = np.nan
    coords = {"time": time, "lat": ("lat", lat, {"units": "degrees_north"}),
              "lon": ("lon", lon, {"units": "degrees_east"})}
    return (xarray.DataArray(temperature, dims=("time", "lat", "lon"), coords=coords),
            xarray.DataArray(precipitation, dims=("time", "lat", "lon"), coords=coords))


def change_fields(dataset):
    return [name for name in dataset.data_vars if name.endswith("_change") or name.endswith("_changed")]


def test_each_period_is_a_single_run_of_its_years_and_the_change_is_their_difference():
    temperature, precipitation = climate(warming=3.0)
    compared = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=120,
                                          periods=["1991:1993", "1994:1996"])
    assert list(compared.period.values) == ["1991-1993", "1994-1996"]
    for index, years in enumerate((slice("1991", "1993"), slice("1994", "1996"))):
        single = soil_climate.simulate_grid(temperature.sel(time=years), precipitation.sel(time=years),
                                            units="metric", capacity_mm=120)
        for name in ["complete_years"] + [f"{prefix}{kind}{suffix}" for kind in KINDS
                                          for prefix, suffix in (("most_frequent_", ""), ("", "_percent"))]:
            xarray.testing.assert_equal(compared[name].isel(period=index, drop=True).drop_vars(
                ["first_year", "last_year"], errors="ignore"), single[name])
        xarray.testing.assert_allclose(compared.period_mean_mean_soil_temperature_c.isel(period=index, drop=True)
                                       .drop_vars(["first_year", "last_year"], errors="ignore"),
                                       single.mean_soil_temperature_c.mean("year"))
    warmer = compared.mean_soil_temperature_c_change.values
    assert np.isnan(warmer[0, 0]) and np.nanmin(warmer) > 2.0
    assert compared.moisture_regime_changed.values[0, 0] == -1 and (compared.moisture_regime_changed == 1).any()
    for name in change_fields(compared):
        assert compared[name].attrs["long_name"] and ("units" in compared[name].attrs or
                                                      "flag_meanings" in compared[name].attrs), name
    assert compared.mean_soil_temperature_c_change.attrs["units"] == "K"


def test_a_period_compared_with_itself_changes_nothing_and_its_transitions_are_diagonal(tmp_path):
    temperature, precipitation = climate(warming=3.0)
    same = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=120,
                                      periods=[(1992, 1995), "1992:1995"], cold_regimes=True)
    assert "Cryic" in same.temperature_regime_percent_change.temperature_regime_class
    for name in change_fields(same):
        values = same[name].values
        assert (values[np.isfinite(values) & (values != -1)] == 0).all(), name
    areas = grid_transitions.cell_areas_km2(same)
    land = float(areas.where(same.complete_years.isel(period=0) > 0).sum())
    for kind in KINDS:
        rows = grid_transitions.transitions(same, kind, areas)
        assert all(before == after for before, after, _, _ in rows), kind
        assert sum(cells for _, _, cells, _ in rows) == 19
        assert sum(area for _, _, _, area in rows) == pytest.approx(land, rel=1e-12)


def test_cells_of_a_degree_measure_the_authalic_sphere():
    lat, lon = np.arange(-89.5, 90.0, 1.0), np.arange(0.5, 360.0, 1.0)
    codes = xarray.DataArray(np.zeros((1, 180, 360), np.int8), dims=("period", "lat", "lon"),
                             coords={"lat": lat, "lon": lon})
    areas = grid_transitions.cell_areas_km2(xarray.Dataset({"most_frequent_moisture_regime": codes}))
    radius_km = grid_transitions.AUTHALIC_RADIUS_M / 1000.0
    assert float(areas.sum()) == pytest.approx(4.0 * np.pi * radius_km ** 2, rel=1e-9)
    # A degree of arc on the sphere is 111.195 km; at the equator a cell is nearly its square.
    assert float(areas.sel(lat=0.5, lon=0.5)) == pytest.approx(111.195 ** 2, rel=1e-3)
    projected = xarray.Dataset({"most_frequent_moisture_regime": xarray.DataArray(
        np.zeros((1, 2, 3), np.int8), dims=("period", "y", "x"),
        coords={"y": ("y", [0.0, 5000.0], {"units": "m"}), "x": ("x", [0.0, 2.0, 4.0], {"units": "km"})})})
    assert grid_transitions.cell_areas_km2(projected).values == pytest.approx(np.full((2, 3), 10.0))


def test_soil_grid_compares_periods_into_netcdf_and_zarr_alike_with_a_transition_table(tmp_path):
    temperature, precipitation = climate(warming=3.0)
    xarray.Dataset({"tas": temperature.assign_attrs(units="degC"),
                    "pr": precipitation.assign_attrs(units="mm")}).to_netcdf(tmp_path / "in.nc")
    for output in ("out.nc", "out.zarr"):
        run = subprocess.run([str(SOIL_GRID), "--capacity-mm", "120", "--chunks", "lat=2", "--periods",
                              "1991:1993,1994:1996", "in.nc", output], cwd=tmp_path, capture_output=True, text=True)
        assert run.returncode == 0, run.stderr
    netcdf = xarray.open_dataset(tmp_path / "out.nc", mask_and_scale=False)
    store = xarray.open_zarr(tmp_path / "out.zarr", mask_and_scale=False)
    expected = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=120,
                                          periods=["1991:1993", "1994:1996"])
    for name in change_fields(expected) + ["most_frequent_moisture_regime", "complete_years"]:
        np.testing.assert_array_equal(netcdf[name].values, store[name].values, err_msg=name)
        np.testing.assert_allclose(netcdf[name].values, expected[name].values, err_msg=name)
    assert netcdf.most_frequent_moisture_regime.dims == ("period", "lat", "lon")
    with open(tmp_path / "out.transitions.csv") as file:
        rows = list(csv.DictReader(file))
    land = float(grid_transitions.cell_areas_km2(netcdf).where(netcdf.complete_years.isel(period=0) > 0).sum())
    for kind in KINDS:
        mine = [row for row in rows if row["kind"] == kind]
        assert sum(int(row["cells"]) for row in mine) == 19
        assert sum(float(row["area_km2"]) for row in mine) == pytest.approx(land, abs=0.01 * len(mine))
    assert any(row["from"] != row["to"] for row in rows)


@pytest.mark.parametrize("options, message", [
    (["--periods", "1991:1993"], "--periods: give two periods to compare"),
    (["--periods", "1993:1991,1994:1996"], "ends before it begins"),
    (["--periods", "1991:1993,2050:2060"], "no whole year of the period 2050:2060"),
])
def test_periods_the_climate_cannot_give_are_refused_in_one_line(tmp_path, options, message):
    temperature, precipitation = climate(rows=2, columns=2)
    xarray.Dataset({"tas": temperature.assign_attrs(units="degC"),
                    "pr": precipitation.assign_attrs(units="mm")}).to_netcdf(tmp_path / "in.nc")
    run = subprocess.run([str(SOIL_GRID), "--capacity-mm", "120", *options, "in.nc", "out.nc"], cwd=tmp_path,
                         capture_output=True, text=True)
    assert run.returncode != 0 and message in run.stderr and len(run.stderr.strip().splitlines()) <= 3
    assert sorted(os.listdir(tmp_path)) == ["in.nc"]


def test_soil_grid_writes_each_periods_geotiffs_the_change_layers_and_the_change_maps(tmp_path):
    pytest.importorskip("osgeo.gdal", reason="GeoTIFFs need python3-gdal")
    import json
    temperature, precipitation = climate(warming=3.0)
    xarray.Dataset({"tas": temperature.assign_attrs(units="degC"),
                    "pr": precipitation.assign_attrs(units="mm")}).to_netcdf(tmp_path / "in.nc")
    run = subprocess.run([str(SOIL_GRID), "--capacity-mm", "120", "--periods", "1991:1993,1994:1996", "--geotiff",
                          "tifs", "--map", "change.png", "--map-regime", "xeric", "in.nc", "out.nc"], cwd=tmp_path,
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    names = set(os.listdir(tmp_path / "tifs"))
    assert {"most_frequent_moisture_regime_1991-1993.tif", "most_frequent_moisture_regime_1994-1996.tif",
            "moisture_regime_changed.tif", "moisture_regime_percent_change.tif",
            "mean_soil_temperature_c_change.tif"} <= names
    info = json.loads(subprocess.run(["gdalinfo", "-json", str(tmp_path / "tifs" / "moisture_regime_changed.tif")],
                                     capture_output=True, text=True, check=True).stdout)
    band = info["bands"][0]
    assert band["categories"] == ["unchanged", "changed"] and band["noDataValue"] == 255
    assert (tmp_path / "change.png").stat().st_size > 10000
    refused = subprocess.run([str(SOIL_GRID), "--capacity-mm", "120", "--periods", "1991:1993,1994:1996", "--map",
                              "m.png", "--map-regime", "SOGGY", "in.nc", "other.nc"], cwd=tmp_path,
                             capture_output=True, text=True)
    assert refused.returncode == 1 and "--map-regime: no regime 'SOGGY'" in refused.stderr
    assert not (tmp_path / "other.nc").exists()


def test_a_period_the_climate_holds_in_part_is_compared_over_its_years_held_with_a_warning(tmp_path):
    temperature, precipitation = climate(rows=2, columns=2)
    xarray.Dataset({"tas": temperature.assign_attrs(units="degC"),
                    "pr": precipitation.assign_attrs(units="mm")}).to_netcdf(tmp_path / "in.nc")
    run = subprocess.run([str(SOIL_GRID), "--capacity-mm", "120", "--periods", "1989:1993,1994:1996", "in.nc",
                          "out.nc"], cwd=tmp_path, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert "warning: the period 1989:1993 has 3 of its 5 years in the climate" in run.stderr
    assert list(xarray.open_dataset(tmp_path / "out.nc").year.values) == list(range(1991, 1997))
