"""The delta method: a model's uniform warming moves every cell's mean soil temperature by
that much and never to a colder regime; less rain in every month never makes a year wetter;
a change on the model's coarser grid reaches the observed cells bilinearly; a dry month's
ratio keeps to its floor and bound."""

import numpy as np
import pytest

import soil_climate
from soil_climate import grid_delta

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
pytest.importorskip("scipy", reason="regridding needs python3-scipy")

# How wet each moisture regime is: a drier climate may only keep a year's rank or lower it.
WETNESS = {"ARIDIC": 0, "XERIC": 1, "USTIC": 1, "UDIC": 2, "PERUDIC": 3}


def observed(seed, years=4):
    """A generated temperate grid of 4 by 5 cells."""
    rng = np.random.default_rng(seed)
    time = xarray.cftime_range("1981-01-01", periods=12 * years, freq="MS", calendar="noleap")
    lat, lon = np.linspace(30.0, 48.0, 4), np.linspace(-8.0, 8.0, 5)
    season = np.cos((np.arange(12 * years) % 12 - 6.5) * np.pi / 6)[:, None, None]
    shape = (12 * years, 4, 5)
    coords = {"time": time, "lat": lat, "lon": lon}
    temperature = rng.uniform(4.0, 16.0) + rng.uniform(6.0, 12.0) * season + rng.normal(0.0, 1.5, shape)
    precipitation = rng.uniform(20.0, 90.0) * (1.0 - rng.uniform(0.0, 0.9) * season) + rng.uniform(0.0, 30.0, shape)
    return (xarray.DataArray(temperature, dims=("time", "lat", "lon"), coords=coords),
            xarray.DataArray(precipitation, dims=("time", "lat", "lon"), coords=coords))


def model_run(seed, offset=0.0, factor=1.0):
    """A model's run on a coarser grid inside the observed one's, `offset` warmer and
    `factor` times as wet in every month and cell."""
    rng = np.random.default_rng(seed)
    time = xarray.cftime_range("2000-01-01", periods=36, freq="MS", calendar="360_day")
    coords = {"time": time, "latitude": [33.0, 45.0], "longitude": [-5.0, 0.0, 5.0]}
    temperature = rng.normal(12.0, 6.0, (36, 2, 3))
    precipitation = rng.uniform(0.0, 120.0, (36, 2, 3))
    return (xarray.DataArray(temperature + offset, dims=("time", "latitude", "longitude"), coords=coords),
            xarray.DataArray(precipitation * factor, dims=("time", "latitude", "longitude"), coords=coords))


def both(seed, offset=0.0, factor=1.0):
    temperature, precipitation = observed(seed)
    scenario = soil_climate.delta_scenario(temperature, precipitation, *model_run(seed + 100),
                                           *model_run(seed + 100, offset, factor))
    run = {"units": "metric", "capacity_mm": 100.0 + 20.0 * (seed % 5)}
    return (soil_climate.simulate_grid(temperature, precipitation, **run),
            soil_climate.simulate_grid(*scenario, **run), scenario, (temperature, precipitation))


@pytest.mark.parametrize("seed", range(4))
def test_a_uniform_warming_moves_soil_temperature_by_as_much_and_never_to_a_colder_regime(seed):
    baseline, scenario, (warmer, wetter), (temperature, precipitation) = both(seed, offset=2.0)
    np.testing.assert_allclose(warmer.values, temperature.values + 2.0, atol=1e-9)
    np.testing.assert_allclose(wetter.values, precipitation.values, rtol=1e-12)
    change = soil_climate.compare_grids(baseline, scenario)
    np.testing.assert_allclose(change.mean_soil_temperature_c_change.values, 2.0, atol=1e-9)
    # The temperature regimes run cold to warm in pairs, each plain one before its isothermal one.
    assert (scenario.temperature_regime.values // 2 >= baseline.temperature_regime.values // 2).all()


@pytest.mark.parametrize("seed", range(4))
def test_less_rain_in_every_month_never_makes_a_year_wetter(seed):
    baseline, scenario, (_, drier), (_, precipitation) = both(seed, factor=0.6)
    assert (drier.values <= precipitation.values).all()
    names = np.asarray(soil_climate.MOISTURE_REGIME_NAMES)
    before, after = names[baseline.moisture_regime.values], names[scenario.moisture_regime.values]
    defined = np.isin(before, list(WETNESS)) & np.isin(after, list(WETNESS))
    rank = np.vectorize(WETNESS.get)
    assert (rank(after[defined]) <= rank(before[defined])).all()
    assert (scenario.dry_days.values >= baseline.dry_days.values).all()


def test_a_change_on_a_coarser_grid_reaches_the_observed_cells_bilinearly():
    temperature, precipitation = observed(1)
    historical = model_run(9)
    # A warming that grows by 0.1 deg C a degree of latitude northwards and 0.05 eastwards.
    gradient = 0.1 * historical[0].latitude + 0.05 * historical[0].longitude
    warmer, _ = soil_climate.delta_scenario(temperature, precipitation, *historical,
                                            historical[0] + gradient, historical[1])
    expected = 0.1 * temperature.lat + 0.05 * temperature.lon
    np.testing.assert_allclose((warmer - temperature).values, np.broadcast_to(expected.values, temperature.shape),
                               atol=1e-9)


@pytest.mark.parametrize("historical, future, ratio", [
    (0.0, 0.0, 1.0),  # dry in both runs: unchanged
    (0.4, 0.9, 1.0),  # both below the floor
    (0.0, 2.5, 2.5),  # from the floor
    (0.0, 40.0, 3.0),  # bounded
    (20.0, 90.0, 3.0),
    (80.0, 20.0, 0.25),
    (4.0, 0.0, 0.25),  # to the floor
])
def test_a_months_precipitation_ratio_keeps_to_its_floor_and_bound(historical, future, ratio):
    assert float(grid_delta.precipitation_ratio(xarray.DataArray(historical), xarray.DataArray(future))) == \
        pytest.approx(ratio)


def test_an_ensemble_of_identical_members_agrees_everywhere_and_of_opposite_ones_nowhere():
    temperature, precipitation = observed(3)
    historical = model_run(7)
    run = {"units": "metric", "capacity_mm": 120.0}
    baseline = soil_climate.simulate_grid(temperature, precipitation, **run)

    def member(offset, factor):
        future = (historical[0] + offset, historical[1] * factor)
        return soil_climate.simulate_grid(*soil_climate.delta_scenario(temperature, precipitation, *historical,
                                                                       *future), **run)

    warm, cold = member(3.0, 0.5), member(-3.0, 1.5)
    same = soil_climate.compare_ensemble(baseline, [warm, warm, warm], labels=["a", "b", "c"])
    assert list(same.member.values) == ["a", "b", "c"]
    for kind in ("moisture_regime", "temperature_regime"):
        assert (same[f"{kind}_change_robust"] == 1).all() and (same[f"{kind}_change_agreement"] == 100.0).all()
        np.testing.assert_array_equal(same[f"ensemble_most_frequent_{kind}"],
                                      warm[f"most_frequent_{kind}"])
        assert (same[f"{kind}_member_share"].max(f"{kind}_class") == 100.0).all()
    assert (same.mean_soil_temperature_c_robust == 1).all() and (same.dry_days_robust == 1).all()
    opposite = soil_climate.compare_ensemble(baseline, [warm, cold])
    assert (opposite.mean_soil_temperature_c_robust == 0).all()
    assert (opposite.mean_soil_temperature_c_agreement <= 50.0).all()
    shares = opposite.temperature_regime_member_share.max("temperature_regime_class")
    assert (shares >= 50.0).all() and (opposite.temperature_regime_change_agreement >= 50.0).all()


def test_soil_grid_runs_a_baseline_and_a_two_model_scenario_end_to_end(tmp_path):
    import csv
    import os
    import pathlib
    import subprocess
    pytest.importorskip("osgeo.gdal", reason="GeoTIFFs need python3-gdal")
    soil_grid = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
    temperature, precipitation = observed(5)
    xarray.Dataset({"tas": temperature.assign_attrs(units="degC"),
                    "pr": precipitation.assign_attrs(units="mm")}).to_netcdf(tmp_path / "obs.nc")
    runs = {}
    for model, (offset, factor) in {"a": (2.0, 0.7), "b": (1.0, 1.2)}.items():
        for name, run in (("historical", model_run(20)), ("future", model_run(20, offset, factor))):
            runs[model, name] = run
            # The model's files as CMIP6 publishes them: K and kg m-2 s-1 on a 360-day calendar.
            xarray.Dataset({"tas": (run[0] + 273.15).assign_attrs(units="K"),
                            "pr": (run[1] / 86400.0 / 30.0).assign_attrs(units="kg m-2 s-1")}).to_netcdf(
                tmp_path / f"{name}_{model}.nc")
    models = ["--historical", "historical_a.nc", "--future", "future_a.nc",
              "--historical", "historical_b.nc", "--future", "future_b.nc"]
    for output, extra in (("out.nc", ["--geotiff", "tifs", "--map", "change.png"]), ("out.zarr", [])):
        run = subprocess.run([str(soil_grid), "--capacity-mm", "110", "--chunks", "lat=2", "--baseline", "obs.nc",
                              *models, *extra, output], cwd=tmp_path, capture_output=True, text=True)
        assert run.returncode == 0, run.stderr
    netcdf = xarray.open_dataset(tmp_path / "out.nc", mask_and_scale=False)
    store = xarray.open_zarr(tmp_path / "out.zarr", mask_and_scale=False)
    baseline = soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=110.0)
    members = [soil_climate.simulate_grid(*soil_climate.delta_scenario(
        temperature, precipitation, *runs[model, "historical"], *runs[model, "future"]), units="metric",
        capacity_mm=110.0) for model in ("a", "b")]
    expected = soil_climate.compare_ensemble(baseline, members)
    assert list(netcdf.member.values) == ["future_a", "future_b"]
    for name in ("ensemble_most_frequent_moisture_regime", "moisture_regime_change_robust",
                 "mean_soil_temperature_c_change", "mean_soil_temperature_c_agreement", "dry_days_change"):
        np.testing.assert_array_equal(netcdf[name].values, store[name].values, err_msg=name)
        np.testing.assert_allclose(netcdf[name].values, expected[name].values, rtol=1e-5, err_msg=name)
    with open(tmp_path / "out.transitions.csv") as file:
        rows = [row for row in csv.DictReader(file) if row["kind"] == "temperature_regime"]
    assert {(row["from_period"], row["to_period"]) for row in rows} == {("baseline", "ensemble")}
    assert sum(int(row["cells"]) for row in rows) == 20
    assert {"temperature_regime_change_robust.tif", "most_frequent_moisture_regime_ensemble.tif"} <= \
        set(os.listdir(tmp_path / "tifs"))
    assert (tmp_path / "change.png").exists()
    unpaired = subprocess.run([str(soil_grid), "--capacity-mm", "110", "--baseline", "obs.nc", *models[:6], "x.nc"],
                              cwd=tmp_path, capture_output=True, text=True)
    assert unpaired.returncode == 2 and "one of each for every member" in unpaired.stderr


def test_a_member_dimension_in_the_models_files_gives_the_members_of_an_ensemble(tmp_path):
    import os
    import pathlib
    import subprocess
    soil_grid = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
    temperature, precipitation = observed(6)
    xarray.Dataset({"tas": temperature.assign_attrs(units="degC"),
                    "pr": precipitation.assign_attrs(units="mm")}).to_netcdf(tmp_path / "obs.nc")
    historical = model_run(30)
    for name, offsets in (("historical", [0.0, 0.0]), ("future", [2.0, -2.0])):
        members = xarray.DataArray(offsets, dims="member", coords={"member": ["warm", "cold"]})
        xarray.Dataset({"tas": (historical[0] + members).assign_attrs(units="degC"),
                        "pr": (historical[1] + 0.0 * members).assign_attrs(units="mm")}).to_netcdf(
            tmp_path / f"{name}.nc")
    run = subprocess.run([str(soil_grid), "--capacity-mm", "110", "--baseline", "obs.nc", "--historical",
                          "historical.nc", "--future", "future.nc", "out.nc"], cwd=tmp_path, capture_output=True,
                         text=True)
    assert run.returncode == 0, run.stderr
    out = xarray.open_dataset(tmp_path / "out.nc")
    assert list(out.member.values) == ["future warm", "future cold"]
    np.testing.assert_allclose(out.mean_soil_temperature_c_change.values,
                               np.broadcast_to([[[2.0]], [[-2.0]]], out.mean_soil_temperature_c_change.shape),
                               atol=1e-5)
    assert (out.mean_soil_temperature_c_robust == 0).all()
