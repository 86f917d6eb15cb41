"""Where the regimes went between two periods: for each regime kind, the cells whose most
frequent class was one class in the first period and another (or the same) in the second,
counted and weighed by the cells' areas in km². Latitude/longitude cells are measured on
the sphere of the authalic radius (the sphere of the WGS 84 ellipsoid's area), from their
bounds; projected cells by their size in the projection's units."""

import csv
import math

import numpy as np

from .grid_netcdf import axis_kind, cell_edges

AUTHALIC_RADIUS_M = 6371007.181
REGIME_KINDS = ("moisture_regime", "subdivision", "temperature_regime")
SQUARE_KM_PER_SQUARE_UNIT = {"m": 1e-6, "metre": 1e-6, "meter": 1e-6, "metres": 1e-6, "meters": 1e-6,
                             "km": 1.0, "kilometre": 1.0, "kilometer": 1.0, "kilometres": 1.0, "kilometers": 1.0}
COLUMNS = ("kind", "from_period", "to_period", "from", "to", "cells", "area_km2")


def _spatial(dataset):
    return [dim for dim in dataset["most_frequent_moisture_regime"].dims if dim != "period"]


def _edges(dataset, dim):
    """The cells' edges along `dim`: from the coordinate's CF bounds where it has them, else
    halfway between the centres."""
    coordinate = dataset[dim]
    bounds = coordinate.attrs.get("bounds")
    if bounds in dataset.variables:
        pairs = np.asarray(dataset[bounds].values, dtype=np.float64)
        return pairs[:, 0], pairs[:, 1]
    edges = cell_edges(np.asarray(coordinate.values, dtype=np.float64))
    return edges[:-1], edges[1:]


def cell_areas_km2(dataset):
    """Each cell's area in km², on the grid's two spatial dimensions: a latitude/longitude
    cell's on the sphere of the authalic radius, R² × Δλ × |sin φ₂ − sin φ₁|; a projected
    cell's as its width times its height in the coordinates' units (m or km). ValueError
    where the grid is neither."""
    spatial = _spatial(dataset)
    kinds = {dim: axis_kind(dataset, dim) for dim in spatial}
    if len(spatial) != 2 or any(dim not in dataset.coords or dataset[dim].ndim != 1 for dim in spatial):
        raise ValueError("cell areas need a grid of two spatial dimensions with 1-D coordinates")
    if set(kinds.values()) == {"latitude", "longitude"}:
        latitude = next(dim for dim, kind in kinds.items() if kind == "latitude")
        longitude = next(dim for dim, kind in kinds.items() if kind == "longitude")
        south, north = (np.radians(np.clip(edge, -90.0, 90.0)) for edge in _edges(dataset, latitude))
        west, east = (np.radians(edge) for edge in _edges(dataset, longitude))
        band = np.abs(np.sin(north) - np.sin(south))
        width = np.abs(east - west)
        areas = AUTHALIC_RADIUS_M ** 2 * band[:, None] * width[None, :] / 1e6
        dims = (latitude, longitude)
    elif set(kinds.values()) == {"projection_y_coordinate", "projection_x_coordinate"}:
        sizes = []
        for dim in spatial:
            units = str(dataset[dim].attrs.get("units", "")).strip().lower()
            if units not in SQUARE_KM_PER_SQUARE_UNIT:
                raise ValueError(f"the cell size along {dim} is in {units or 'no units'}: cell areas need the "
                                 "projection's coordinates in m or km")
            low, high = _edges(dataset, dim)
            sizes.append(np.abs(high - low) * math.sqrt(SQUARE_KM_PER_SQUARE_UNIT[units]))
        areas = sizes[0][:, None] * sizes[1][None, :]
        dims = tuple(spatial)
    else:
        raise ValueError(f"cell areas need latitude and longitude, or projected x and y, not "
                         f"{', '.join(map(str, spatial))}")
    import xarray
    return xarray.DataArray(areas, dims=dims, coords={dim: dataset[dim] for dim in dims},
                            attrs={"long_name": "area of the cell", "units": "km2"}).transpose(*spatial)


def transitions(dataset, kind, areas=None):
    """Rows (from class, to class, cells, area km²) of the cells simulated in both periods,
    every pair of classes that holds a cell, in the classes' table order; the areas are
    None where `areas` (from `cell_areas_km2`) is None."""
    names = [str(name) for name in dataset[f"{kind}_class"].values]
    most = dataset[f"most_frequent_{kind}"]
    before = np.asarray(most.isel(period=0).values, dtype=np.int64).ravel()
    after = np.asarray(most.isel(period=1).values, dtype=np.int64).ravel()
    both = (before >= 0) & (after >= 0)
    pair = before[both] * len(names) + after[both]
    cells = np.bincount(pair, minlength=len(names) ** 2)
    area = None
    if areas is not None:
        weights = np.asarray(areas.transpose(*most.isel(period=0).dims).values).ravel()[both]
        area = np.bincount(pair, weights=weights, minlength=len(names) ** 2)
    return [(names[index // len(names)], names[index % len(names)], int(cells[index]),
             None if area is None else float(area[index])) for index in np.flatnonzero(cells)]


def write_transitions(dataset, path, areas=None):
    """Writes the transition table of every regime kind to the CSV file `path`: one row a
    pair of classes that holds a cell, with the periods' labels, the cells and their area
    in km² (empty where the grid's cell areas are unknown)."""
    labels = [str(label) for label in dataset["period"].values]
    with open(path, "w", newline="") as file:
        writer = csv.writer(file, lineterminator="\n")
        writer.writerow(COLUMNS)
        for kind in REGIME_KINDS:
            for before, after, cells, area in transitions(dataset, kind, areas):
                writer.writerow((kind, labels[0], labels[1], before, after, cells,
                                 "" if area is None else f"{area:.3f}"))
