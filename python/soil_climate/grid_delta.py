"""A climate model's change put onto an observed climate by the delta method: the model's
historical and future runs are each reduced to a mean of every calendar month (January
with January, over all of a run's years), and for each calendar month

- the temperature change, future less historical mean (deg C), is added to each observed
  month;
- the precipitation change is a ratio, max(future, 1 mm) / max(historical, 1 mm), bounded
  at 3, which multiplies each observed month. The floor of 1 mm a month keeps a dry
  month's ratio finite and near 1 when the model is dry in both runs; the bound keeps a
  month the model makes wet from a near-dry start from multiplying the observed rain
  without limit.

Where the model's grid is not the observation's, the changes (not the runs) are
interpolated bilinearly onto the observed cells through xarray, and observed cells
beyond the model's outer cell centres take the change extended linearly from its edge.
The scenario keeps the observed years, their months and missing values: it is the
observed climate as the model's future would have it.

    temperature, precipitation = soil_climate.delta_scenario(
        observed_tas, observed_pr, historical_tas, historical_pr, future_tas, future_pr)
"""

import numpy as np

from .grid_summaries import xarray_module

PRECIPITATION_FLOOR_MM = 1.0
RATIO_BOUND = 3.0
LATITUDE_NAMES = ("lat", "latitude")
LONGITUDE_NAMES = ("lon", "longitude")


def monthly_means(run, what):
    """A run's mean of each calendar month along ``month`` (1 to 12), missing values left
    out; ValueError where a calendar month has no value."""
    if "time" not in run.dims:
        raise ValueError(f"the {what} needs a monthly 'time' dimension")
    means = run.groupby("time.month").mean("time")
    if sorted(int(month) for month in means.month.values) != list(range(1, 13)):
        raise ValueError(f"the {what} does not hold every calendar month")
    return means


def precipitation_ratio(historical_mm, future_mm):
    """The ratio that multiplies an observed month's precipitation: the future's monthly
    mean over the historical's, each at least PRECIPITATION_FLOOR_MM, at most RATIO_BOUND."""
    floor = PRECIPITATION_FLOOR_MM
    return (np.maximum(future_mm, floor) / np.maximum(historical_mm, floor)).clip(max=RATIO_BOUND)


def _on_grid(change, observed):
    """The change on the observed cells: as it is where the grids' coordinates agree, else
    interpolated bilinearly (and extended linearly beyond the model's outer centres)."""
    targets = {}
    for names in (LATITUDE_NAMES, LONGITUDE_NAMES):
        mine = next((dim for dim in change.dims if str(dim).lower() in names), None)
        theirs = next((dim for dim in observed.dims if str(dim).lower() in names), None)
        if mine is None or theirs is None:
            continue
        if mine != theirs:
            change = change.rename({mine: theirs})
        targets[theirs] = observed[theirs]
    if all(dim in change.coords and change.sizes[dim] == target.size and
           np.allclose(change[dim].values, target.values, rtol=0.0, atol=1e-6) for dim, target in targets.items()):
        return change.assign_coords(targets)
    return change.interp(targets, method="linear", kwargs={"fill_value": "extrapolate"})


def monthly_change(historical_temperature, historical_precipitation, future_temperature, future_precipitation):
    """The model's change of each calendar month along ``month``: (the warming in deg C, the
    precipitation ratio), on the model's grid."""
    means = [monthly_means(run, what) for run, what in (
        (historical_temperature, "historical temperature"), (future_temperature, "future temperature"),
        (historical_precipitation, "historical precipitation"), (future_precipitation, "future precipitation"))]
    try:
        # One grid for all four: a difference of two grids would keep only the cells they share.
        means = xarray_module().align(*means, join="exact")
    except ValueError:
        raise ValueError("the model's historical and future runs must lie on one grid") from None
    return means[1] - means[0], precipitation_ratio(means[2], means[3])


def apply_change(observed_temperature, observed_precipitation, warming, ratio):
    """The observed climate with a monthly change from `monthly_change` applied, the change
    put on the observed grid first."""
    warming, ratio = _on_grid(warming, observed_temperature), _on_grid(ratio, observed_precipitation)
    temperature = (observed_temperature.groupby("time.month") + warming).drop_vars("month")
    precipitation = (observed_precipitation.groupby("time.month") * ratio).drop_vars("month")
    return (temperature.transpose(*observed_temperature.dims).assign_attrs(observed_temperature.attrs),
            precipitation.transpose(*observed_precipitation.dims).assign_attrs(observed_precipitation.attrs))


def delta_scenario(observed_temperature, observed_precipitation, historical_temperature, historical_precipitation,
                   future_temperature, future_precipitation):
    """The observed climate (deg C and mm a month, monthly ``time``) with the model's change
    from its historical to its future run applied month by month (see the module's
    description). Returns (temperature, precipitation) on the observed grid and months."""
    return apply_change(observed_temperature, observed_precipitation,
                        *monthly_change(historical_temperature, historical_precipitation, future_temperature,
                                        future_precipitation))
