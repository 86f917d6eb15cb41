#!/usr/bin/env python3
"""Writes a small synthetic monthly climate grid, as the archives publish them, for trying
soil_grid: a continent of 2-degree cells from 50 S to 60 N between 30 W and 40 E with sea
around it, ten years (1991-2000) of monthly mean air temperature in K ("tas") and
precipitation flux in kg m-2 s-1 ("pr"), on the standard calendar.

    python3 examples/make_grid.py grid.nc
"""

import sys

import numpy as np
import pandas
import xarray


def climate(latitudes, longitudes, years, land_everywhere=False):
    """Temperature (K) and precipitation (kg m-2 s-1) of a plain, smooth, seasonal world: warm
    at the equator and seasonal towards the poles, wet in the tropics and on the west coasts
    of the mid-latitudes, with winter rain on the west coasts near 38 degrees, and dry in
    the subtropics and the interior. `land_everywhere` leaves out the sea."""
    time = pandas.date_range(f"{years[0]}-01-01", periods=12 * len(years), freq="MS")
    month = np.asarray(time.month) - 1
    lat = latitudes[None, :, None]
    lon = longitudes[None, None, :]
    season = np.cos((month[:, None, None] - 6.5) * np.pi / 6.0) * np.sign(lat)
    year = (np.asarray(time.year) - years[0])[:, None, None]
    celsius = 27.0 - 0.0085 * lat**2 + 0.16 * np.abs(lat) * season + 0.02 * year
    wet = 9.0 * np.exp(-(lat / 12.0) ** 2) + 3.0 * np.exp(-((np.abs(lat) - 50.0) / 6.0) ** 2) * (lon < 10.0)
    monsoon = 1.0 + 0.8 * np.sign(lat) * season * np.exp(-(lat / 20.0) ** 2)
    winter_rain = 2.5 * np.exp(-((np.abs(lat) - 38.0) / 6.0) ** 2) * (lon < 5.0) * (1.0 - season)
    mm_a_day = np.maximum(0.0, (wet + 0.4) * monsoon + winter_rain + 0.3 * np.sin(year + lon / 7.0))
    shape = (len(time), len(latitudes), len(longitudes))
    celsius = np.broadcast_to(celsius, shape)
    mm_a_day = np.broadcast_to(mm_a_day, shape)
    land = (np.abs(lat - 5.0) < 48.0) & (np.abs(lon - 8.0) < 28.0 - np.abs(lat) / 6.0)
    sea = np.broadcast_to(~(land | land_everywhere), shape)
    kelvin = np.where(sea, np.nan, celsius + 273.15)
    flux = np.where(sea, np.nan, mm_a_day / 86400.0)
    coords = {"time": time, "lat": ("lat", latitudes, {"units": "degrees_north", "standard_name": "latitude"}),
              "lon": ("lon", longitudes, {"units": "degrees_east", "standard_name": "longitude"})}
    return xarray.Dataset(
        {"tas": (("time", "lat", "lon"), kelvin, {"units": "K", "long_name": "near-surface air temperature"}),
         "pr": (("time", "lat", "lon"), flux, {"units": "kg m-2 s-1", "long_name": "precipitation"})},
        coords=coords, attrs={"title": "A synthetic continent", "Conventions": "CF-1.8"})


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_grid.py OUTPUT.nc")
    latitudes = np.arange(-49.0, 60.0, 2.0)
    longitudes = np.arange(-29.0, 40.0, 2.0)
    climate(latitudes, longitudes, list(range(1991, 2001))).to_netcdf(sys.argv[1])


if __name__ == "__main__":
    main()
