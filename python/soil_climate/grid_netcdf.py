"""A simulated grid as CF-1.8 NetCDF that xarray, GDAL/QGIS, R terra and CF readers read
right: coordinates with their units, standard names, axes and cell bounds, a grid mapping
referenced by every field (WGS 84 for latitude/longitude grids, the input's own
projection otherwise), a fill value on every variable and cell methods on the
summaries. soil_grid writes its output with `write_grid`; so can anyone with a Dataset
from `simulate_grid`."""

import numpy as np

from . import grid

# WGS 84 as GDAL writes it in a CF grid mapping's spatial_ref: longitude and latitude in degrees.
WGS84_WKT = ('GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563,AUTHORITY["EPSG","7030"]],'
             'AUTHORITY["EPSG","6326"]],PRIMEM["Greenwich",0,AUTHORITY["EPSG","8901"]],'
             'UNIT["degree",0.0174532925199433,AUTHORITY["EPSG","9122"]],AXIS["Latitude",NORTH],'
             'AXIS["Longitude",EAST],AUTHORITY["EPSG","4326"]]')
WGS84 = {"grid_mapping_name": "latitude_longitude", "longitude_of_prime_meridian": 0.0,
         "semi_major_axis": 6378137.0, "inverse_flattening": 298.257223563, "crs_wkt": WGS84_WKT,
         "spatial_ref": WGS84_WKT}
AXES = {"latitude": ("Y", "degrees_north", "latitude"), "longitude": ("X", "degrees_east", "longitude"),
        "projection_y_coordinate": ("Y", None, "y coordinate of projection"),
        "projection_x_coordinate": ("X", None, "x coordinate of projection")}
# How each summary comes from the years: the most frequent class is their mode, a share of
# years the mean of a class's indicator, the years simulated their count.
CELL_METHODS = {"most_frequent_": "year: mode", "_percent": "year: mean", "complete_years": "year: sum",
                "period_mean_": "year: mean"}


def spatial_dimensions(dataset):
    """The dimensions of the grid's cells, in their order (the last two are y and x)."""
    return [dim for dim in dataset["complete_years"].dims if dim not in ("period", "member")]


def axis_kind(dataset, dim):
    """"latitude", "longitude", "projection_y_coordinate" or "projection_x_coordinate" for a
    spatial dimension, None where it is neither (a station dimension)."""
    if dim not in dataset.coords:
        return None
    coordinate = dataset.coords[dim]
    for what, names in (("latitude", grid.LATITUDE_NAMES), ("longitude", grid.LONGITUDE_NAMES)):
        standard_name, units = grid.CF_MEANING[what]
        if coordinate.attrs.get("standard_name") == standard_name or \
                str(coordinate.attrs.get("units", "")).lower() in units or str(dim).lower() in names:
            return what
    if coordinate.attrs.get("standard_name") in ("projection_y_coordinate", "projection_x_coordinate"):
        return coordinate.attrs["standard_name"]
    if coordinate.attrs.get("axis") in ("X", "Y"):
        return f"projection_{coordinate.attrs['axis'].lower()}_coordinate"
    if str(dim).lower() in ("x", "y"):
        return f"projection_{str(dim).lower()}_coordinate"
    return None


def cell_edges(centres):
    """Cell edges halfway between the centres, the outer ones as far out as the inner (a
    single cell one unit wide)."""
    if len(centres) == 1:
        return np.array([centres[0] - 0.5, centres[0] + 0.5])
    middle = (centres[1:] + centres[:-1]) / 2.0
    return np.concatenate([[2.0 * centres[0] - middle[0]], middle, [2.0 * centres[-1] - middle[-1]]])


def _bounds(values):
    """Each cell's pair of edges, CF's bounds."""
    edges = cell_edges(values)
    return np.stack([edges[:-1], edges[1:]], axis=1)


def _grid_mapping(dataset, kinds):
    """The grid mapping's attributes: the input's own (a `crs` coordinate or variable with
    a grid_mapping_name), else WGS 84 where the grid is latitude by longitude, else None."""
    for name, variable in dataset.variables.items():
        if "grid_mapping_name" in variable.attrs:
            attributes = dict(variable.attrs)
            if "crs_wkt" not in attributes:
                try:
                    import pyproj
                    attributes["crs_wkt"] = pyproj.CRS.from_cf(attributes).to_wkt()
                except Exception:  # GDAL reads the mapping's parameters without the WKT too
                    pass
            return name, attributes
    if {"latitude", "longitude"} <= set(kinds.values()):
        return None, dict(WGS84)
    return None, None


def cf_complete(dataset):
    """The Dataset with every attribute and variable a CF reader or GDAL needs: the spatial
    coordinates' axis, units, standard_name and bounds, the grid mapping `crs` named by
    every field, and the summaries' cell_methods."""
    dataset = dataset.copy()
    spatial = spatial_dimensions(dataset)
    kinds = {dim: axis_kind(dataset, dim) for dim in spatial}
    for dim, kind in kinds.items():
        if kind is None:
            continue
        axis, units, standard_name = AXES[kind]
        coordinate = dataset[dim]
        attributes = {"standard_name": kind, "axis": axis, "long_name": standard_name}
        if units:
            attributes["units"] = units
        dataset[dim].attrs.update({key: value for key, value in attributes.items() if key not in coordinate.attrs})
        if coordinate.ndim == 1 and coordinate.size > 1 and np.issubdtype(coordinate.dtype, np.number):
            name = f"{dim}_bnds"
            # A variable of its own, named by the coordinate's `bounds`: as a coordinate it would
            # go into a global `coordinates` attribute in no fixed order.
            dataset[name] = ((dim, "nv"), _bounds(np.asarray(coordinate.values, dtype=np.float64)))
            dataset[dim].attrs["bounds"] = name
    for what in ("latitude", "longitude"):  # 2-D latitude and longitude of a projected grid
        try:
            coordinate = grid.find_coordinate(dataset["complete_years"], grid.LATITUDE_NAMES if what == "latitude"
                                              else grid.LONGITUDE_NAMES, what)
        except ValueError:
            continue
        if coordinate.ndim == 2:
            dataset[coordinate.name].attrs.update(standard_name=what, units=AXES[what][1])
    name, mapping = _grid_mapping(dataset, kinds)
    if mapping is not None:
        if name is not None:
            dataset = dataset.drop_vars(name)
        dataset["crs"] = ((), np.int32(0), mapping)
        for variable in dataset.data_vars.values():
            if set(spatial) <= set(variable.dims):
                variable.attrs["grid_mapping"] = "crs"
    for variable_name, variable in dataset.data_vars.items():
        for marker, method in CELL_METHODS.items():
            if variable_name.startswith(marker) or variable_name.endswith(marker) or variable_name == marker:
                variable.attrs["cell_methods"] = method
    return dataset


def encoding_of(dataset):
    """Compressed variables with fill values: the codes' −1, the day counts as 16-bit whole
    days, NaN for numbers; none on coordinates, which have no missing values."""
    counts = {field.name for field in grid.year_fields() if field.kind == "count"}
    encoding = {}
    for name, variable in dataset.data_vars.items():
        settings = {"zlib": True, "complevel": 1, "shuffle": True}
        if variable.dtype == np.int8:
            settings["_FillValue"] = np.int8(-1)
        elif name in counts:
            settings.update(dtype="int16", _FillValue=np.int16(-1))  # whole days, exactly
        elif variable.dtype.kind == "f":
            settings["_FillValue"] = np.nan
        elif variable.dtype.kind == "i" and variable.ndim > 0:
            settings["_FillValue"] = variable.dtype.type(-1)
        else:
            settings = {}
        encoding[name] = settings
    bounds = {variable.attrs["bounds"] for variable in dataset.coords.values() if "bounds" in variable.attrs}
    for name, variable in dataset.variables.items():
        if (name in dataset.coords or name in bounds) and variable.dtype.kind in "fi":
            encoding[name] = {"_FillValue": None}
    return encoding


def write_grid(dataset, path):
    """Writes a Dataset from `simulate_grid` to `path` as compressed CF-1.8 NetCDF, the way
    soil_grid writes it: under a temporary name in the output's folder, renamed into place
    when complete, so that `path` is never a half-written file."""
    from .grid_staging import Staging
    staging = Staging()
    try:
        write_netcdf_file(dataset, staging.file(path))
        staging.commit()
    finally:
        staging.discard()


def write_netcdf_file(dataset, path):
    """Writes the Dataset, CF-completed, straight to `path`."""
    dataset = cf_complete(dataset)
    dataset.attrs.setdefault("Conventions", "CF-1.8")
    dataset.to_netcdf(path, encoding=encoding_of(dataset), format="NETCDF4")
