"""GeoTIFFs in and out: monthly rasters read back give the regimes of the same values held
in memory, the regime GeoTIFFs carry the grid's CRS, a north-up geotransform, the station
page's colours and names and the shares, and faults are one-line errors leaving no file."""

import glob
import json
import os
import subprocess

import numpy as np
import pytest

import soil_climate

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")
rasterio = pytest.importorskip("rasterio", reason="GeoTIFFs need python3-rasterio")
pytest.importorskip("osgeo.gdal", reason="GeoTIFFs need python3-gdal")
from rasterio.transform import from_origin  # noqa: E402

from soil_climate import _model  # noqa: E402
from soil_climate.grid_geotiff import grid_crs, write_geotiff  # noqa: E402
from soil_climate.grid_rasters import open_monthly_rasters  # noqa: E402

YEARS = 2
WEST, NORTH, CELL = 10.0, 50.0, 0.5
KINDS = ("moisture_regime", "subdivision", "temperature_regime")


def monthly_climate():
    """Three rows by four columns, north first, two years of float32-exact values; the cell
    (1, 1) is sea."""
    rng = np.random.default_rng(3)
    month = np.arange(12 * YEARS) % 12
    season = np.cos((month - 6.5) * np.pi / 6)[:, None, None]
    temperature = (9.0 + 10.0 * season + rng.normal(0.0, 2.0, (12 * YEARS, 3, 4))).astype(np.float32)
    precipitation = (50.0 - 30.0 * season + rng.uniform(0.0, 40.0, (12 * YEARS, 3, 4))).astype(np.float32)
    temperature[:, 1, 1] = precipitation[:, 1, 1] = np.nan
    return temperature.astype(np.float64), precipitation.astype(np.float64)


def write_raster(path, values, *, crs="EPSG:4326", transform=None, dtype="float32", nodata=-9999.0, scale=None,
                 offset=None, units=None):
    transform = transform or from_origin(WEST, NORTH, CELL, CELL)
    with rasterio.open(path, "w", driver="GTiff", height=values.shape[0], width=values.shape[1], count=1,
                       dtype=dtype, crs=crs, transform=transform, nodata=nodata) as raster:
        raster.write(values.astype(dtype), 1)
        if scale is not None:
            raster.scales, raster.offsets = (scale,), (offset,)
        if units:
            raster.update_tags(1, units=units)


def month_names(template):
    return [template.format(year=1990 + index // 12, month=index % 12 + 1) for index in range(12 * YEARS)]


def as_plain(values):
    lat = NORTH - CELL * (np.arange(3) + 0.5)
    lon = WEST + CELL * (np.arange(4) + 0.5)
    time = np.array([f"{1990 + i // 12}-{i % 12 + 1:02d}-01" for i in range(12 * YEARS)], dtype="datetime64[ns]")
    return xarray.DataArray(values, dims=("time", "lat", "lon"), coords={"time": time, "lat": lat, "lon": lon})


@pytest.mark.parametrize("style", ["prism", "chelsa"])
def test_monthly_rasters_give_the_regimes_of_the_same_values_held_in_memory(tmp_path, style):
    temperature, precipitation = monthly_climate()
    if style == "chelsa":
        # Kelvin tenths as integers, the sea as the nodata code; read as raw * 0.1 - 273.15.
        raw = np.where(np.isnan(temperature), 65535, np.round((temperature + 273.15) * 10.0))
        temperature = np.where(raw == 65535, np.nan, raw * 0.1 + -273.15)
        names, pattern = month_names("CHELSA_tas_{month:02d}_{year}_V.2.1.tif"), "_%m_%Y_"
        for path, values in zip(names, raw):
            write_raster(tmp_path / path, values, dtype="uint16", nodata=65535, scale=0.1, offset=-273.15, units="K")
    else:
        names, pattern = month_names("x_tmean_{year}{month:02d}_bil.tif"), "_%Y%m_"
        for path, values in zip(names, temperature):
            write_raster(tmp_path / path, np.nan_to_num(values, nan=-9999.0), units="degC")
    for path, values in zip(month_names("x_ppt_{year}{month:02d}_bil.tif"), precipitation):
        write_raster(tmp_path / path, np.nan_to_num(values, nan=-9999.0), units="mm")

    shuffled = [str(tmp_path / name) for name in names[::-1]]
    t = open_monthly_rasters(shuffled, pattern, "temperature")
    p = open_monthly_rasters(sorted(glob.glob(str(tmp_path / "x_ppt_*"))), "_%Y%m_", "precipitation")
    assert t.name == "temperature" and t.dims == ("time", "lat", "lon") and t.dtype == np.float64
    assert t.attrs == {"grid_mapping": "crs", "units": "K" if style == "chelsa" else "degC"}
    assert t.crs.attrs["grid_mapping_name"] == "latitude_longitude" and "crs_wkt" in t.crs.attrs
    assert (t.lat.attrs["units"], t.lon.attrs["standard_name"]) == ("degrees_north", "longitude")
    np.testing.assert_array_equal(t.values, temperature)
    xarray.testing.assert_equal(t.drop_vars("crs"), as_plain(temperature).rename("temperature"))

    grid = soil_climate.simulate_grid(t, p, units="metric", capacity_mm=150)
    plain = soil_climate.simulate_grid(as_plain(temperature), as_plain(precipitation), units="metric",
                                       capacity_mm=150)
    assert int(grid.complete_years[1, 1]) == 0 and int(grid.complete_years.sum()) == 11 * YEARS
    for name, variable in plain.data_vars.items():
        assert grid[name].values.tobytes() == variable.values.tobytes(), name
    assert "EPSG\",4326" in grid_crs(grid)


def regime_grid(descending):
    """A simulate_grid Dataset on 0.5 degree cells, latitudes north first or south first."""
    temperature, precipitation = monthly_climate()
    t, p = as_plain(temperature), as_plain(precipitation)
    if not descending:
        t, p = t.isel(lat=slice(None, None, -1)), p.isel(lat=slice(None, None, -1))
    return soil_climate.simulate_grid(t, p, units="metric", capacity_mm=120)


def gdalinfo(path):
    return json.loads(subprocess.run(["gdalinfo", "-json", str(path)], check=True, capture_output=True,
                                     text=True).stdout)


def read_bands(path):
    with rasterio.open(path) as raster:
        return raster.read(), raster.transform


@pytest.mark.parametrize("descending", [True, False], ids=["north-first", "south-first"])
def test_regime_geotiffs_are_north_up_with_colours_names_and_shares(tmp_path, descending):
    grid = regime_grid(descending)
    north_first = grid.sortby("lat", ascending=False)
    written = write_geotiff(grid, tmp_path / "maps")
    assert sorted(os.listdir(tmp_path / "maps")) == sorted(
        [os.path.basename(path) for path in written] + [f"most_frequent_{kind}.tif.aux.xml" for kind in KINDS])
    colours = {"moisture_regime": _model.moisture_regime_colours,
               "temperature_regime": _model.temperature_regime_colours}
    for kind in KINDS:
        names = [str(name) for name in grid[f"{kind}_class"].values]
        info = gdalinfo(tmp_path / "maps" / f"most_frequent_{kind}.tif")
        assert info["stac"]["proj:epsg"] == 4326
        assert info["geoTransform"] == [WEST, CELL, 0.0, NORTH, 0.0, -CELL]
        assert info["metadata"]["IMAGE_STRUCTURE"]["LAYOUT"] == "COG"
        assert info["metadata"]["IMAGE_STRUCTURE"]["COMPRESSION"] == "DEFLATE"
        band = info["bands"][0]
        assert (band["type"], band["noDataValue"], band["categories"]) == ("Byte", 255.0, names)
        if kind in colours:
            expected = [[int(c[i:i + 2], 16) for i in (1, 3, 5)] + [255] for c in colours[kind][:len(names)]]
            assert band["colorTable"]["entries"][:len(names)] == expected
        codes, _ = read_bands(tmp_path / "maps" / f"most_frequent_{kind}.tif")
        expected_codes = north_first[f"most_frequent_{kind}"].values
        assert codes[0, 1, 1] == 255
        np.testing.assert_array_equal(codes[0], np.where(expected_codes < 0, 255, expected_codes))

        info = gdalinfo(tmp_path / "maps" / f"{kind}_percent.tif")
        assert [b["description"] for b in info["bands"]] == names
        assert {(b["type"], b["noDataValue"]) for b in info["bands"]} == {("Float32", "NaN")}
        shares, transform = read_bands(tmp_path / "maps" / f"{kind}_percent.tif")
        assert transform == from_origin(WEST, NORTH, CELL, CELL)
        np.testing.assert_array_equal(shares, north_first[f"{kind}_percent"].values.astype(np.float32))
        dominance, _ = read_bands(tmp_path / "maps" / f"{kind}_dominance.tif")
        assert np.isnan(dominance[0, 1, 1]) and np.isnan(shares[:, 1, 1]).all()
        np.testing.assert_array_equal(dominance[0], np.fmax.reduce(shares, axis=0))
        read = xarray.open_dataarray(tmp_path / "maps" / f"{kind}_dominance.tif", engine="rasterio")
        np.testing.assert_array_equal(read.y.values, north_first.lat.values)


def test_projected_rasters_keep_their_crs_and_latitude_through_to_geotiffs(tmp_path):
    temperature, precipitation = monthly_climate()
    # UTM 33 north, 10 km cells; the third column's centres lie on its central meridian, 15 E.
    transform = from_origin(475000.0, 5550000.0, 10000.0, 10000.0)
    for element, values in (("tmean", temperature), ("ppt", precipitation)):
        for path, month in zip(month_names(f"{element}_{{year}}{{month:02d}}.tif"), values):
            write_raster(tmp_path / path, np.nan_to_num(month, nan=-9999.0), crs="EPSG:32633", transform=transform)
    t, p = (open_monthly_rasters(sorted(glob.glob(str(tmp_path / f"{element}_*"))), "%Y%m", element)
            for element in ("tmean", "ppt"))
    assert t.dims == ("time", "y", "x") and t.lat.dims == ("y", "x")
    assert (t.x.attrs["units"], t.y.attrs["standard_name"]) == ("m", "projection_y_coordinate")
    assert t.crs.attrs["grid_mapping_name"] == "transverse_mercator"
    np.testing.assert_allclose(t.lon.values[:, 2], 15.0, atol=1e-9)
    assert (np.diff(t.lat.values, axis=0) < 0).all() and 49.5 < float(t.lat.min()) < float(t.lat.max()) < 50.1
    grid = soil_climate.simulate_grid(t, p, units="metric", capacity_mm=150)
    # simulate_grid keeps the crs coordinate but not its attributes, so the grid mapping
    # is put back from the climate.
    write_geotiff(grid.assign_coords(crs=t.crs), tmp_path / "maps")
    info = gdalinfo(tmp_path / "maps" / "moisture_regime_dominance.tif")
    assert info["stac"]["proj:epsg"] == 32633 and info["geoTransform"] == list(transform.to_gdal())


def station_dataset():
    grid = regime_grid(True).stack(station=("lat", "lon"))
    return grid.reset_index("station")


def irregular_dataset():
    grid = regime_grid(True)
    return grid.assign_coords(lon=[10.25, 10.75, 11.5, 11.75])


def mistakes(tmp_path):
    """(what is done, the message expected) for each fault."""
    months = [str(tmp_path / name) for name in month_names("t_{year}{month:02d}.tif")]
    for index, path in enumerate(months):
        write_raster(path, np.full((3, 4), 10.0), transform=from_origin(WEST, NORTH + (index == 5), CELL, CELL))
    write_raster(tmp_path / "u_199001.tif", np.full((3, 4), 10.0))
    return [
        (lambda: open_monthly_rasters(months, "_%Y%m", "t"), f"{months[5]}: its grid .* differs from that of "),
        (lambda: open_monthly_rasters(months[:2] + [str(tmp_path / "u_199001.tif")], "_%Y%m", "t"),
         "t_199001.tif and .*u_199001.tif are both 1990-01"),
        (lambda: open_monthly_rasters(months[:3] + months[6:8], "_%Y%m", "t"),
         "months missing .*: 1990-04, 1990-05, 1990-06$"),
        (lambda: open_monthly_rasters(months, "_%m_%Y", "t"), "t_199001.tif: the file name does not match the date "
                                                              "pattern '_%m_%Y'"),
        (lambda: open_monthly_rasters(months, "_%Y", "t"), "needs both %Y .* and %m"),
        (lambda: write_geotiff(irregular_dataset(), tmp_path / "maps"), "lon is not regularly spaced"),
        (lambda: write_geotiff(station_dataset(), tmp_path / "maps"), "cannot be told"),
    ]


def test_faults_are_one_line_errors_and_write_nothing(tmp_path):
    for action, message in mistakes(tmp_path):
        with pytest.raises(ValueError, match=message) as raised:
            action()
        assert "\n" not in str(raised.value)
    assert not (tmp_path / "maps").exists()


def test_a_failure_while_writing_leaves_no_new_file_and_no_stale_names(tmp_path, monkeypatch):
    from soil_climate import grid_geotiff
    folder = tmp_path / "maps"
    grid = regime_grid(True)
    write_geotiff(grid, folder)
    before = {name: (folder / name).read_bytes() for name in os.listdir(folder)}
    # An earlier run's side file beside a raster that has none would lend it stale names.
    (folder / "moisture_regime_percent.tif.aux.xml").write_text("<PAMDataset/>")
    real = grid_geotiff._write_one

    def failing(gdal, path, *arguments):
        if "subdivision_percent" in path:
            raise RuntimeError("disk full")
        real(gdal, path, *arguments)

    monkeypatch.setattr(grid_geotiff, "_write_one", failing)
    with pytest.raises(RuntimeError, match="disk full"):
        write_geotiff(grid, folder)
    with pytest.raises(RuntimeError, match="disk full"):
        write_geotiff(grid, tmp_path / "new" / "maps")
    assert not (tmp_path / "new").exists()
    assert sorted(os.listdir(folder)) == sorted([*before, "moisture_regime_percent.tif.aux.xml"])
    monkeypatch.setattr(grid_geotiff, "_write_one", real)
    write_geotiff(grid, folder)
    assert {name: (folder / name).read_bytes() for name in os.listdir(folder)} == before
