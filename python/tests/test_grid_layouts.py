"""soil_grid on the layouts the archives publish: one climate written as each archive writes
it gives the regimes of the same climate as plain deg C / mm NetCDF; the faults of such
files are one line with nothing written; the output is read right by xarray and GDAL."""

import datetime
import json
import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import soil_climate

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
pytest.importorskip("netCDF4", reason="soil_grid needs python3-netcdf4")
pytest.importorskip("pint", reason="soil_grid reads units with python3-pint")

SOIL_GRID = pathlib.Path(os.environ.get("SOIL_GRID", "soil_grid"))
YEARS = (1991, 1992, 1993, 1994)
REGIMES = ("moisture_regime", "subdivision", "temperature_regime")


def climate(calendar="standard"):
    """Temperature (deg C) and precipitation (mm a month) of 3 latitudes by 4 longitudes,
    with a sea cell, seasons of both hemispheres and a dry summer in one row."""
    time = xarray.cftime_range(f"{YEARS[0]}-01-01", periods=12 * len(YEARS), freq="MS", calendar=calendar)
    lat = np.array([-30.0, 10.0, 50.0])
    lon = np.array([0.0, 5.0, 10.0, 15.0])
    month = np.arange(12 * len(YEARS)) % 12
    season = np.cos((month - 6.5) * np.pi / 6)[:, None, None] * np.sign(lat)[None, :, None]
    rng = np.random.default_rng(11)
    temperature = 14.0 + 10.0 * season + rng.normal(0.0, 1.0, (len(time), 3, 4))
    precipitation = 60.0 - 45.0 * season + rng.uniform(0.0, 25.0, (len(time), 3, 4))
    temperature[:, 1, 3] = np.nan
    precipitation[:, 1, 3] = np.nan
    coords = {"time": time, "lat": ("lat", lat, {"units": "degrees_north"}),
              "lon": ("lon", lon, {"units": "degrees_east"})}
    return (xarray.DataArray(temperature, dims=("time", "lat", "lon"), coords=coords),
            xarray.DataArray(precipitation, dims=("time", "lat", "lon"), coords=coords))


def days(array):
    return array.time.dt.days_in_month


def save(dataset, path):
    dataset.to_netcdf(path)
    return path.name


def plain(folder, t, p):
    return [save(xarray.Dataset({"tas": t.assign_attrs(units="degC"), "pr": p.assign_attrs(units="mm")}),
                 folder / "plain.nc")], []


def era5(folder, t, p):
    """ERA5 monthly means: valid_time, latitude from north to south, expver of the final
    and the preliminary months, t2m in K and tp in m a day with ECMWF's GRIB metadata."""
    dataset = xarray.Dataset({"t2m": (t + 273.15).assign_attrs(units="K", GRIB_paramId=167),
                              "tp": (p / days(p) / 1000.0).assign_attrs(units="m", long_name="Total precipitation",
                                                                      GRIB_paramId=228, GRIB_stepType="avgad")})
    dataset = dataset.rename(time="valid_time", lat="latitude", lon="longitude").isel(latitude=slice(None, None, -1))
    final = dataset.where(dataset.valid_time.dt.year < YEARS[-1])
    preliminary = dataset.where(dataset.valid_time.dt.year == YEARS[-1])
    both = xarray.concat([final, preliminary], dim=xarray.DataArray([1, 5], dims="expver", name="expver"))
    both.attrs.update(GRIB_centre="ecmf", institution="European Centre for Medium-Range Weather Forecasts")
    return [save(both, folder / "era5.nc")], []


def cru(folder, t, p):
    """CRU TS: tmp in "degrees Celsius" and pre in "mm/month", in files of two years."""
    names = []
    for first in (0, 24):
        part = slice(first, first + 24)
        names.append(save(xarray.Dataset({"tmp": t[part].assign_attrs(units="degrees Celsius"),
                                          "pre": p[part].assign_attrs(units="mm/month")}),
                          folder / f"cru_ts4.{YEARS[0] + first // 12}.dat.nc"))
    return names[::-1], []  # given out of order: joined by their months


def terraclimate(folder, t, p):
    """TerraClimate: tmax, tmin and ppt, one file a variable and a year."""
    names = []
    for year in YEARS:
        months = slice((year - YEARS[0]) * 12, (year - YEARS[0] + 1) * 12)
        for name, values in (("tmax", t[months] + 4.0), ("tmin", t[months] - 4.0), ("ppt", p[months])):
            names.append(save(xarray.Dataset({name: values.assign_attrs(units="degC" if name != "ppt" else "mm")}),
                              folder / f"TerraClimate_{name}_{year}.nc"))
    return names, []


def cmip6(folder, t, p):
    """CMIP6: tas in K and pr in kg m-2 s-1 on a no-leap calendar, mid-month times, split
    by year, one variable a file, given as globs."""
    middle = [value + datetime.timedelta(days=14) for value in t.time.values]
    t, p = (array.assign_coords(time=middle) for array in (t, p))
    for year in YEARS:
        months = slice((year - YEARS[0]) * 12, (year - YEARS[0] + 1) * 12)
        save(xarray.Dataset({"tas": (t[months] + 273.15).assign_attrs(units="K")}), folder / f"tas_Amon_{year}.nc")
        flux = p[months] / (days(p[months]) * 86400.0)
        save(xarray.Dataset({"pr": flux.assign_attrs(units="kg m-2 s-1")}), folder / f"pr_Amon_{year}.nc")
    return [], ["--temperature", "tas_Amon_*.nc", "--precipitation", "pr_Amon_*.nc"]


def eobs(folder, t, p):
    """E-OBS: tg in "Celsius" and rr in mm on latitude/longitude."""
    dataset = xarray.Dataset({"tg": t.assign_attrs(units="Celsius"), "rr": p.assign_attrs(units="mm")})
    return [save(dataset.rename(lat="latitude", lon="longitude"), folder / "eobs.nc")], []


def prism(folder, t, p):
    """PRISM: one GeoTIFF a month and a variable, the month in the name, no units."""
    rasterio = pytest.importorskip("rasterio", reason="GeoTIFFs need python3-rasterio")
    from rasterio.transform import from_origin
    north_up = {name: array.isel(lat=slice(None, None, -1)) for name, array in (("tmean", t), ("ppt", p))}
    transform = from_origin(-2.5, 70.0, 5.0, 40.0)
    for name, array in north_up.items():
        for index in range(array.sizes["time"]):
            path = folder / f"PRISM_{name}_stable_4kmM3_{YEARS[0] + index // 12}{index % 12 + 1:02d}_bil.tif"
            with rasterio.open(path, "w", driver="GTiff", height=3, width=4, count=1, dtype="float64",
                               crs="EPSG:4326", transform=transform, nodata=-9999.0) as raster:
                raster.write(np.nan_to_num(array.values[index], nan=-9999.0), 1)
    return [], ["--date-pattern", "_%Y%m_", "--temperature-units", "degC", "--precipitation-units", "mm",
                "--temperature", "PRISM_tmean_*.tif", "--precipitation", "PRISM_ppt_*.tif"]


LAYOUTS = {"prism": (prism, "standard"), "era5": (era5, "standard"), "cru": (cru, "standard"), "terraclimate": (terraclimate, "standard"),
           "cmip6": (cmip6, "noleap"), "eobs": (eobs, "standard")}


def run_soil_grid(*arguments, cwd):
    return subprocess.run([str(SOIL_GRID), *map(str, arguments)], cwd=cwd, capture_output=True, text=True)


def regimes(path):
    """The regime codes of an output, on ascending lat and lon, whatever it was given on."""
    dataset = xarray.open_dataset(path)
    dataset = dataset.rename({name: short for name, short in (("latitude", "lat"), ("longitude", "lon"))
                              if name in dataset.dims})
    return dataset.sortby(["lat", "lon"])


@pytest.mark.parametrize("layout", LAYOUTS)
def test_every_archive_layout_gives_the_regimes_of_the_plain_file(tmp_path, layout):
    write, calendar = LAYOUTS[layout]
    t, p = climate(calendar)
    (tmp_path / "plain").mkdir()
    (tmp_path / layout).mkdir()
    plain_inputs, _ = plain(tmp_path / "plain", t, p)
    inputs, options = write(tmp_path / layout, t, p)
    expected = run_soil_grid("--capacity-mm", 120, *plain_inputs, "out.nc", cwd=tmp_path / "plain")
    result = run_soil_grid("--capacity-mm", 120, *options, *inputs, "out.nc", cwd=tmp_path / layout)
    assert expected.returncode == 0 and result.returncode == 0, result.stderr
    want, got = regimes(tmp_path / "plain" / "out.nc"), regimes(tmp_path / layout / "out.nc")
    assert list(got.year.values) == list(YEARS)
    for name in REGIMES:
        np.testing.assert_array_equal(got[name].fillna(-1).values, want[name].fillna(-1).values, err_msg=name)
    # Unit conversions and the mean of the extremes round, but never by more than a trace.
    np.testing.assert_allclose(got.annual_pet_mm.values, want.annual_pet_mm.values, rtol=1e-9)
    if layout == "terraclimate":
        assert "mean air temperature made as the mean of tmax and tmin" in got.attrs["history"]


def test_era5_precipitation_in_metres_without_ecmwf_metadata_is_refused_until_its_units_are_named(tmp_path):
    t, p = climate()
    tp = (p / days(p) / 1000.0).assign_attrs(units="m")
    save(xarray.Dataset({"tas": t.assign_attrs(units="degC"), "tp": tp}), tmp_path / "in.nc")
    refused = run_soil_grid("--capacity-mm", 120, "in.nc", "out.nc", cwd=tmp_path)
    assert refused.returncode == 1 and "give --precipitation-units m or m/day" in refused.stderr
    assert not (tmp_path / "out.nc").exists()
    named = run_soil_grid("--capacity-mm", 120, "--precipitation-units", "m/day", "in.nc", "out.nc", cwd=tmp_path)
    assert named.returncode == 0, named.stderr


def test_capacity_maps_are_read_in_their_units_and_regridded_only_on_request(tmp_path):
    t, p = climate()
    save(xarray.Dataset({"tas": t.assign_attrs(units="degC"), "pr": p.assign_attrs(units="mm")}), tmp_path / "in.nc")
    coarse = xarray.DataArray(np.full((3, 4), 12.0), dims=("lat", "lon"), coords={"lat": t.lat, "lon": t.lon})
    save(xarray.Dataset({"awc": coarse.assign_attrs(units="cm")}), tmp_path / "cm.nc")
    fine_lat = np.sort(np.concatenate([t.lat.values, t.lat.values + 0.5]))
    fine_lon = np.sort(np.concatenate([t.lon.values, t.lon.values + 0.5]))
    fine = xarray.DataArray(np.full((6, 8), 0.24), dims=("latitude", "longitude"),
                            coords={"latitude": fine_lat, "longitude": fine_lon})
    save(xarray.Dataset({"theta": fine.assign_attrs(units="m3 m-3")}), tmp_path / "fine.nc")
    assert run_soil_grid("--capacity-mm", 120, "in.nc", "mm.nc", cwd=tmp_path).returncode == 0
    assert run_soil_grid("--capacity", "cm.nc:awc", "in.nc", "cm_out.nc", cwd=tmp_path).returncode == 0
    refused = run_soil_grid("--capacity", "fine.nc:theta", "--capacity-depth-mm", 500, "in.nc", "fine_out.nc",
                            cwd=tmp_path)
    assert refused.returncode == 1 and "is not the climate's" in refused.stderr and \
        "--capacity-regrid nearest" in refused.stderr, refused.stderr
    regridded = run_soil_grid("--capacity", "fine.nc:theta", "--capacity-depth-mm", 500, "--capacity-regrid",
                              "nearest", "in.nc", "fine_out.nc", cwd=tmp_path)
    assert regridded.returncode == 0, regridded.stderr
    for name in ("cm_out.nc", "fine_out.nc"):  # 12 cm, and 0.24 of 500 mm, are 120 mm
        for regime in REGIMES:
            np.testing.assert_array_equal(regimes(tmp_path / name)[regime].values,
                                          regimes(tmp_path / "mm.nc")[regime].values)


def two_files(folder, overlap=0, gap=0):
    t, p = climate()
    first, second = slice(0, 24 + overlap), slice(24 + gap, 48)
    for name, part in (("a.nc", first), ("b.nc", second)):
        save(xarray.Dataset({"tas": t[part].assign_attrs(units="degC"), "pr": p[part].assign_attrs(units="mm")}),
             folder / name)
    return ["a.nc", "b.nc"]


@pytest.mark.parametrize("prepare, arguments, message", [
    (lambda folder: two_files(folder, overlap=1), ["--capacity-mm", 120],
     "a.nc and b.nc both hold the temperature of 1993-01"),
    (lambda folder: two_files(folder, gap=2), ["--capacity-mm", 120],
     "the temperature of the months between 1992-12 (a.nc) and 1993-03 (b.nc) is in none of the files"),
    (lambda folder: two_files(folder), ["--capacity-mm", 120, "--capacity-mm", "nan"], None),
    (lambda folder: [save(xarray.Dataset({name: climate()[0].assign_attrs(units="degC") for name in ("tas", "tmp")}
                                         | {"pr": climate()[1].assign_attrs(units="mm")}), folder / "two.nc")],
     ["--capacity-mm", 120], "tas and tmp could each be the mean temperature; name one with --temperature-var"),
    (lambda folder: two_files(folder)[:1], ["--capacity-mm", 120, "--map", "m.jpgg"], "--map m.jpgg:"),
    (lambda folder: two_files(folder)[:1], ["--capacity-mm", 120, "--map", "nodir/m.png"],
     "nodir/m.png: cannot be written: the folder"),
    (lambda folder: ["no_such_*.nc"], ["--capacity-mm", 120], "no_such_*.nc: no file matches"),
])
def test_faults_of_the_files_are_one_line_and_leave_nothing(tmp_path, prepare, arguments, message):
    inputs = prepare(tmp_path)
    before = sorted(path.name for path in tmp_path.iterdir())
    result = run_soil_grid(*arguments, *inputs, "out.nc", cwd=tmp_path)
    if message is None:  # a usage error, before anything is read
        assert result.returncode == 2 and "not a finite number" in result.stderr
    else:
        assert result.returncode == 1 and result.stderr.count("\n") == 1 and message in result.stderr, result.stderr
    assert sorted(path.name for path in tmp_path.iterdir()) == before


def test_an_output_that_is_an_input_is_refused_and_the_input_kept(tmp_path):
    inputs = two_files(tmp_path)
    os.symlink("a.nc", tmp_path / "link.nc")
    before = (tmp_path / "a.nc").read_bytes()
    for output in ("a.nc", "link.nc"):
        result = run_soil_grid("--capacity-mm", 120, inputs[0], output, cwd=tmp_path)
        assert result.returncode == 1 and "would overwrite the input a.nc" in result.stderr, result.stderr
    assert (tmp_path / "a.nc").read_bytes() == before


def test_the_output_is_read_right_by_xarray_gdal_and_a_plain_to_netcdf(tmp_path):
    t, p = climate()
    grid = soil_climate.simulate_grid(t, p, units="metric", capacity_mm=120.0)
    grid.to_netcdf(tmp_path / "plain_save.nc")
    reread = xarray.open_dataset(tmp_path / "plain_save.nc")
    assert np.isnan(reread.most_frequent_moisture_regime.values[1, 3])  # the sea stays missing
    soil_climate.write_grid(grid, tmp_path / "grid.nc")
    written = xarray.open_dataset(tmp_path / "grid.nc")
    assert written.lat.attrs["standard_name"] == "latitude" and written.lon.attrs["units"] == "degrees_east"
    assert written.lat.attrs["bounds"] == "lat_bnds" and written.crs.attrs["grid_mapping_name"] == "latitude_longitude"
    assert written.most_frequent_moisture_regime.attrs["grid_mapping"] == "crs"
    assert written.most_frequent_moisture_regime.attrs["cell_methods"] == "year: mode"
    assert written.moisture_regime.attrs["flag_meanings"].split()[0] == "ARIDIC"
    if shutil.which("gdalinfo") is None:
        pytest.skip("gdalinfo (Debian: gdal-bin) is not installed")
    shown = subprocess.run(["gdalinfo", "-json", f"NETCDF:{tmp_path / 'grid.nc'}:most_frequent_moisture_regime"],
                           capture_output=True, text=True, check=True)
    info = json.loads(shown.stdout)
    assert "WGS 84" in info["coordinateSystem"]["wkt"]
    assert info["geoTransform"][1] == pytest.approx(5.0) and info["size"] == [4, 3]


def test_every_output_is_written_together_or_none_is(tmp_path):
    pytest.importorskip("rasterio", reason="GeoTIFFs need python3-rasterio")
    t, p = climate()
    inputs, _ = plain(tmp_path, t, p)
    (tmp_path / "taken").write_text("a file where the GeoTIFFs' folder should be")
    os.symlink("elsewhere.png", tmp_path / "map.png")
    before = sorted(path.name for path in tmp_path.iterdir())
    refused = run_soil_grid("--capacity-mm", 120, "--map", "map.png", "--geotiff", "taken", *inputs, "out.nc",
                            cwd=tmp_path)
    assert refused.returncode == 1 and "must be a folder" in refused.stderr, refused.stderr
    assert sorted(path.name for path in tmp_path.iterdir()) == before
    done = run_soil_grid("--capacity-mm", 120, "--map", "map.png", "--map-kind", "dominance", "--geotiff", "tifs",
                         *inputs, "out.nc", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    # The link at the map's name is replaced, never written through.
    assert not (tmp_path / "map.png").is_symlink() and not (tmp_path / "elsewhere.png").exists()
    assert {"most_frequent_moisture_regime.tif", "moisture_regime_percent.tif"} <= \
        {path.name for path in (tmp_path / "tifs").iterdir()}
    assert not list(tmp_path.glob(".soil_grid-*"))


def test_a_projected_grid_keeps_its_projection_and_gives_the_regimes_of_its_latitudes(tmp_path):
    """A Lambert conformal grid on y/x with 2-D latitude and its CF grid mapping, as
    national grids publish them: simulated at each cell's latitude, written on y/x with the
    projection for GDAL."""
    t, p = climate()
    plain_inputs, _ = plain(tmp_path, t, p)
    y, x = np.arange(3) * 500_000.0, np.arange(4) * 400_000.0
    latitude = np.broadcast_to(t.lat.values[:, None], (3, 4))
    longitude = np.broadcast_to(t.lon.values[None, :], (3, 4))
    coords = {"time": t.time, "y": ("y", y, {"units": "m", "standard_name": "projection_y_coordinate"}),
              "x": ("x", x, {"units": "m", "standard_name": "projection_x_coordinate"}),
              "lat": (("y", "x"), latitude, {"units": "degrees_north"}),
              "lon": (("y", "x"), longitude, {"units": "degrees_east"})}
    mapping = {"grid_mapping_name": "lambert_conformal_conic", "standard_parallel": [33.0, 45.0],
               "longitude_of_central_meridian": 10.0, "latitude_of_projection_origin": 40.0,
               "false_easting": 0.0, "false_northing": 0.0}
    dataset = xarray.Dataset({name: (("time", "y", "x"), array.values, {"units": units, "grid_mapping": "lambert"})
                              for name, array, units in (("tas", t, "degC"), ("pr", p, "mm"))}, coords=coords)
    dataset["lambert"] = ((), 0, mapping)
    save(dataset, tmp_path / "lcc.nc")
    for inputs, output in ((plain_inputs, "plain_out.nc"), (["lcc.nc"], "lcc_out.nc")):
        result = run_soil_grid("--capacity-mm", 120, *inputs, output, cwd=tmp_path)
        assert result.returncode == 0, result.stderr
    projected, geographic = xarray.open_dataset(tmp_path / "lcc_out.nc"), xarray.open_dataset(tmp_path / "plain_out.nc")
    for name in REGIMES:
        np.testing.assert_array_equal(projected[name].values, geographic[name].values)
    assert projected.crs.attrs["grid_mapping_name"] == "lambert_conformal_conic"
    if shutil.which("gdalinfo"):
        shown = subprocess.run(["gdalinfo", "-json", f"NETCDF:{tmp_path / 'lcc_out.nc'}:most_frequent_moisture_regime"],
                               capture_output=True, text=True, check=True)
        assert "Lambert" in json.loads(shown.stdout)["coordinateSystem"]["wkt"]
