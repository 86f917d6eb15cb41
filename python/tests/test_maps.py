"""Regime maps (matplotlib, Agg): cells where their coordinates put them with a degree of
longitude at its ground length, the sea in a grey of its own, minority cells hatched, every
kind of map written, and bad grids, kinds and file names refused before anything is drawn."""

import numpy as np
import pytest

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")
import matplotlib.pyplot as pyplot  # noqa: E402

xarray = pytest.importorskip("xarray", reason="grids need python3-xarray")

import soil_climate  # noqa: E402
from soil_climate import maps  # noqa: E402
from figure_pixels import pixel_at  # noqa: E402

CLASSES = {"moisture_regime": list(soil_climate._model.moisture_regime_names),
           "subdivision": [list(field.categories) for field in soil_climate.YEAR_FIELDS
                           if field.name == "subdivision"][0],
           "temperature_regime": list(soil_climate.TEMPERATURE_REGIME_NAMES)}
XERIC, UDIC = 1, 4


@pytest.fixture(autouse=True)
def no_figure_left_open():
    yield
    pyplot.close("all")


def one_hot(codes, count):
    """Percent of the years in each of `count` classes of cells wholly in class `codes`
    (-1: nothing simulated)."""
    codes = np.asarray(codes)
    percent = np.where(np.arange(count).reshape((-1,) + (1,) * codes.ndim) == codes, 100.0, 0.0)
    return np.where(codes >= 0, percent, np.nan)


def regime_grid(moisture, coords, dims=("lat", "lon"), **percent):
    """By hand, the regime variables of simulate_grid's Dataset: `moisture` (and any other
    kind given) the percent of the years in each class, (classes, *dims); a kind not given
    has every simulated cell in its first class."""
    percent["moisture_regime"] = np.asarray(moisture, dtype=float)
    sea = np.isnan(percent["moisture_regime"][0])
    variables = {}
    for kind, names in CLASSES.items():
        values = percent.get(kind)
        values = one_hot(np.where(sea, -1, 0), len(names)) if values is None else np.asarray(values, dtype=float)
        most = np.where(np.isnan(values[0]), -1, np.argmax(np.nan_to_num(values, nan=-1.0), axis=0))
        variables[f"{kind}_percent"] = xarray.DataArray(values, dims=(f"{kind}_class",) + dims,
                                                        coords={f"{kind}_class": names})
        variables[f"most_frequent_{kind}"] = xarray.DataArray(most.astype(np.int8), dims=dims)
    return xarray.Dataset(variables, coords=coords)


def rgb(colour):
    return tuple(round(255 * c) for c in matplotlib.colors.to_rgb(colour))


def hatched_centres(ax):
    hatched = [collection for collection in ax.collections if collection.get_hatch()]
    if not hatched:
        return set()
    assert len(hatched) == 1
    return {tuple(np.round(path.vertices[:4].mean(axis=0), 6)) for path in hatched[0].get_paths()}


def marked(shape, cell):
    """Every cell udic all years but `cell`, xeric."""
    codes = np.full(shape, UDIC)
    codes[cell] = XERIC
    return one_hot(codes, 6)


LAT, LON = np.array([48.0, 50.0, 52.0]), np.array([0.0, 1.0, 2.0, 3.0])
Y, X = np.array([0.0, 5000.0, 10000.0]), np.array([0.0, 5000.0, 10000.0, 15000.0])
WRAPPED = np.array([0.0, 1.0, 2.0, 357.0, 358.0, 359.0])
LAYOUTS = {
    # name: Dataset, where the xeric cell is drawn, a udic cell, aspect, x limits
    "lat/lon at 50 N": (regime_grid(marked((3, 4), (2, 3)), {"lat": LAT, "lon": LON}),
                        (3.0, 52.0), (0.0, 48.0), 1 / np.cos(np.radians(50.0)), (-0.5, 3.5)),
    "latitudes north to south": (regime_grid(marked((3, 4), (0, 3)), {"lat": LAT[::-1], "lon": LON}),
                                 (3.0, 52.0), (0.0, 48.0), 1 / np.cos(np.radians(50.0)), (-0.5, 3.5)),
    "lon, lat order": (regime_grid(marked((3, 4), (2, 3)), {"lat": LAT, "lon": LON}).transpose(..., "lon", "lat"),
                       (3.0, 52.0), (0.0, 48.0), 1 / np.cos(np.radians(50.0)), (-0.5, 3.5)),
    "projected, 2-D lat/lon": (
        regime_grid(marked((3, 4), (2, 3)), {"y": ("y", Y, {"units": "m"}), "x": ("x", X, {"units": "m"}),
                                             "lat": (("y", "x"), np.add.outer(Y / 1e5, X * 0) + 40.0),
                                             "lon": (("y", "x"), np.add.outer(Y * 0, X / 1e5))},
                    dims=("y", "x")),
        (15000.0, 10000.0), (0.0, 0.0), 1.0, (-2500.0, 17500.0)),
    "0-360 across the prime meridian": (
        regime_grid(marked((3, 6), (1, 4)), {"lat": LAT, "lon": WRAPPED}),
        (-2.0, 50.0), (2.0, 50.0), 1 / np.cos(np.radians(50.0)), (-3.5, 2.5)),
}


@pytest.mark.parametrize("name", LAYOUTS)
def test_cells_are_drawn_where_their_coordinates_are_at_ground_aspect(name):
    dataset, xeric, udic, aspect, limits = LAYOUTS[name]
    before = dataset.copy(deep=True)
    ax = maps.plot_regime_map(dataset, "moisture_regime")
    colours = soil_climate._model.moisture_regime_colours
    assert pixel_at(ax, *xeric) == rgb(colours[XERIC])
    assert pixel_at(ax, *udic) == rgb(colours[UDIC])
    assert ax.get_aspect() == pytest.approx(aspect)
    assert ax.get_xlim() == pytest.approx(limits)
    assert not hatched_centres(ax)
    assert [text.get_text() for text in ax.get_legend().get_texts()] == ["XERIC", "UDIC"]
    xarray.testing.assert_identical(dataset, before)
    pyplot.close(ax.figure)


def test_no_data_is_a_grey_unlike_every_regime_and_named_in_the_legend():
    codes = np.arange(18).reshape(3, 6)
    codes[2, 5] = -1
    dataset = regime_grid(one_hot(np.where(codes < 0, -1, codes % 6), 6), {"lat": LAT, "lon": np.arange(6.0)},
                          subdivision=one_hot(np.where(codes < 0, -1, codes % 16), 16),
                          temperature_regime=one_hot(np.where(codes < 0, -1, codes % 8), 8))
    grey = np.array(matplotlib.colors.to_rgb(maps.NO_DATA_COLOUR))
    for kind in CLASSES:
        ax = maps.plot_regime_map(dataset, kind)
        assert pixel_at(ax, 5.0, 52.0) == rgb(maps.NO_DATA_COLOUR), kind
        legend = ax.get_legend()
        labels = [text.get_text() for text in legend.get_texts()]
        assert labels == CLASSES[kind] + [maps.NO_DATA_LABEL], kind
        regimes = [np.array(patch.get_facecolor()[:3]) for patch in legend.get_patches()[:-1]]
        assert min(np.abs(colour - grey).sum() for colour in regimes) > 0.2, kind
        pyplot.close(ax.figure)
    mesh = maps.plot_share_map(dataset, "temperature_regime")
    assert pixel_at(mesh.axes, 5.0, 52.0) == rgb(maps.NO_DATA_COLOUR)
    pyplot.close(mesh.axes.figure)


def test_cells_whose_most_frequent_regime_holds_under_half_the_years_are_hatched():
    # Per cell: its moisture shares, whether hatched. A tie goes to the first class.
    cells = [([49.0, 25.5, 25.5, 0, 0, 0], True), ([50.0, 50.0, 0, 0, 0, 0], False),
             ([0, 0, 51.0, 49.0, 0, 0], False), ([100.0, 0, 0, 0, 0, 0], False),
             ([100 / 3, 100 / 3, 100 / 3, 0, 0, 0], True), ([np.nan] * 6, False),
             ([0, 0, 0, 40.0, 40.0, 20.0], True), ([0, 0, 0, 0, 0, 100.0], False)]
    lon = np.array([0.0, 2.0, 4.0, 6.0, 352.0, 354.0, 356.0, 358.0])
    percent = np.array([shares for shares, _ in cells]).T[:, None, :]
    dataset = regime_grid(percent, {"lat": [-30.0], "lon": lon})
    share = maps.most_frequent_share(dataset).values[0]
    assert share[:5] == pytest.approx([49.0, 50.0, 51.0, 100.0, 100 / 3]) and np.isnan(share[5])
    ax = maps.plot_regime_map(dataset)
    expected = {(round(x - 360.0 if x > 180 else x, 6), -30.0) for x, (_, hatched) in zip(lon, cells) if hatched}
    assert hatched_centres(ax) == expected
    assert maps.HATCH_LABEL in [text.get_text() for text in ax.get_legend().get_texts()]
    pyplot.close(ax.figure)


def simulated_grid():
    """Two latitudes by three longitudes of four years, one a sea cell."""
    time = xarray.cftime_range("1990-01-01", periods=48, freq="MS", calendar="360_day")
    rng = np.random.default_rng(3)
    season = np.cos((np.arange(48) % 12 - 6.5) * np.pi / 6)[:, None, None]
    temperature = 12.0 + 9.0 * season + rng.normal(0.0, 1.0, (48, 2, 3))
    precipitation = 50.0 - 30.0 * season + rng.uniform(0.0, 30.0, (48, 2, 3))
    temperature[:, 0, 2] = precipitation[:, 0, 2] = np.nan
    coords = {"time": time, "lat": [45.0, 46.0], "lon": [5.0, 6.0, 7.0]}
    return soil_climate.simulate_grid(xarray.DataArray(temperature, dims=("time", "lat", "lon"), coords=coords),
                                      xarray.DataArray(precipitation, dims=("time", "lat", "lon"), coords=coords),
                                      units="metric", capacity_mm=120.0)


def test_every_kind_of_map_writes_its_figure_to_the_path_given(tmp_path):
    dataset = simulated_grid()
    widths = {}
    for kind in maps.MAP_KINDS:
        path = tmp_path / f"{kind}.png"
        maps.draw_regime_maps(dataset, path, f"a grid, {kind}", kind=kind)
        assert path.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
        widths[kind] = matplotlib.image.imread(path).shape[1]
    assert widths["subdivision"] < widths["regimes"]
    # A temporary name written in the format given.
    maps.draw_regime_maps(dataset, tmp_path / "map.pdf.part", "pdf", kind="dominance", format="pdf")
    assert (tmp_path / "map.pdf.part").read_bytes()[:5] == b"%PDF-"
    assert pyplot.get_fignums() == []


def test_check_map_path_gives_the_format_of_the_extension():
    assert [maps.check_map_path(path) for path in ("a/Map.PNG", "map.pdf", "b.c/map.svg")] == ["png", "pdf", "svg"]


STATION = xarray.Dataset({"most_frequent_moisture_regime": ("station", np.array([0, 1], dtype=np.int8)),
                          "most_frequent_temperature_regime": ("station", np.array([0, 1], dtype=np.int8))})
MEMBERS = regime_grid(np.full((6, 2, 3, 4), 100 / 6), {"lat": LAT, "lon": LON}, dims=("member", "lat", "lon"))
GRID = LAYOUTS["lat/lon at 50 N"][0]
REFUSALS = [
    # call, message
    (lambda path: maps.draw_regime_maps(GRID, path / "map.png", "t", kind="texture"), "unknown map kind 'texture'"),
    (lambda path: maps.draw_regime_maps(GRID, path / "map.xyz", "t"), r"cannot write \.xyz maps"),
    (lambda path: maps.draw_regime_maps(GRID, path / "map", "t"), "needs an extension"),
    (lambda path: maps.draw_regime_maps(GRID, path / "map.part", "t", format="gif"), r"cannot write \.gif"),
    (lambda path: maps.draw_regime_maps(STATION, path / "map.png", "t"), "along 'station', not on a grid"),
    (lambda path: maps.draw_regime_maps(MEMBERS, path / "map.png", "t"), r"has 3 \(member, lat, lon\): "
                                                                          "select one member"),
    (lambda path: maps.plot_regime_map(GRID, "moisture"), "unknown regime 'moisture'"),
    (lambda path: maps.check_map_path(path / "map.docx"), r"cannot write \.docx"),
]


@pytest.mark.parametrize("call, message", REFUSALS)
def test_bad_kinds_grids_and_file_names_are_one_line_errors_before_drawing(tmp_path, call, message):
    with pytest.raises(ValueError, match=message) as refusal:
        call(tmp_path)
    assert "\n" not in str(refusal.value)
    assert list(tmp_path.iterdir()) == [] and pyplot.get_fignums() == []
