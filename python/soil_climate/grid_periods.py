"""Two periods of a grid compared: for each period what a single run sums up (each class's
share of the years, the most frequent class, the years simulated) and the mean of every
field over its years, then the change from the first period to the second: whether the
most frequent regime changed, the change in each class's share in percentage points and
the change in each field's mean.

    soil_climate.simulate_grid(temperature, precipitation, units="metric", capacity_mm=150,
                               periods=["1961:1990", "1991:2020"])
"""

import warnings

import numpy as np

from .grid_summaries import class_summaries, complete_years, fields_of, mark_missing_codes, xarray_module

# Units of a change in a field's mean: a temperature difference is in kelvin, which CF
# reads unambiguously (a difference of 1 K is one of 1 degC); the others keep theirs.
CHANGE_UNITS = {"mm": "mm", "days": "day", "degC": "K", "degrees": "degree", "": "1"}
MEAN_UNITS = {"mm": "mm", "days": "day", "degC": "degC", "degrees": "degree", "": "1"}
CHANGED_MEANINGS = "unchanged changed"


def parse_period(text):
    """(first, last) years of a period written FIRST:LAST (or a pair of years), else ValueError."""
    if isinstance(text, (tuple, list)) and len(text) == 2:
        first, last = text
    else:
        first, _, last = str(text).partition(":")
    try:
        first, last = int(str(first).strip()), int(str(last).strip())
    except ValueError:
        raise ValueError(f'a period is FIRST:LAST, e.g. 1961:1990, not "{text}"') from None
    if first > last:
        raise ValueError(f"the period {first}:{last} ends before it begins")
    return first, last


def parse_periods(periods):
    """Two periods, each FIRST:LAST or (first, last); a text of two separated by a comma is
    read too (the command line's --periods)."""
    if isinstance(periods, str):
        periods = [part for part in periods.split(",") if part.strip()]
    periods = [parse_period(period) for period in periods]
    if len(periods) != 2:
        raise ValueError(f"give two periods to compare, e.g. 1961:1990,1991:2020, not {len(periods)}")
    return periods


def period_label(period):
    return f"{period[0]}-{period[1]}"


def years_of(periods):
    """Every year of the periods, in order, each once (periods may overlap)."""
    return sorted({year for first, last in periods for year in range(first, last + 1)})


def select_years(array, periods):
    """The months of `array` (along ``time``) in the years of the periods."""
    years = np.asarray(array.time.dt.year.values)
    return array.isel(time=np.flatnonzero(np.isin(years, years_of(periods))))


def held_years(years, period, stacklevel=4):
    """The years of `period` among `years` (whole years simulated), with a warning where the
    climate holds only some of them; ValueError where it holds none."""
    years = np.asarray(years)
    held = years[(years >= period[0]) & (years <= period[1])]
    if len(held) == 0:
        raise ValueError(f"the climate holds no whole year of the period {period[0]}:{period[1]}")
    if len(held) < period[1] - period[0] + 1:
        warnings.warn(f"the period {period[0]}:{period[1]} has {len(held)} of its {period[1] - period[0] + 1} "
                      "years in the climate; those are compared", stacklevel=stacklevel)
    return held


def _summaries(xarray, dataset, fields, held):
    """One period's summaries: its years' shares and most frequent classes, years
    simulated and each number field's mean."""
    years = dataset.sel(year=held)
    complete = complete_years(years[fields[-1].name])
    variables = {"complete_years": complete.astype(np.int32)}
    for field in fields:
        if field.kind == "category":
            variables.update(class_summaries(xarray, field, years[field.name], complete))
        else:
            variables[f"period_mean_{field.name}"] = years[field.name].mean("year")
    return variables


def _fields(dataset):
    """The grid's fields as `dataset` holds them, a regime last: its codes count the years
    simulated."""
    return sorted(fields_of(dataset), key=lambda field: field.kind == "category")


def _compared(xarray, per_period, coords, fields):
    """The two sides' summaries joined along ``period`` and the change from the first to
    the second."""
    result = xarray.Dataset()
    for name, first in per_period[0].items():
        joined = xarray.concat([first, per_period[1][name]], dim="period", coords="minimal",
                               compat="override", combine_attrs="override")
        result[name] = joined.assign_coords(coords).assign_attrs(first.attrs)
    result["complete_years"].attrs.update(
        long_name="number of years of the period simulated (whole years without a missing month)", units="1")
    for field in fields:
        if field.kind == "category":
            _category_change(result, field)
        else:
            _mean_change(result, field)
    mark_missing_codes(result)
    labels = [str(label) for label in coords["period"][1]]
    result.attrs["periods_compared"] = f"{labels[0]} and {labels[1]}"
    return result


def compare_periods(dataset, periods):
    """A Dataset of `simulate_grid` (its years holding both periods) with its summaries
    made per period, along a ``period`` dimension, and the change layers from the first
    period to the second (see the module's description)."""
    xarray = xarray_module()
    periods = parse_periods(periods)
    fields = _fields(dataset)
    held = [held_years(dataset.year.values, period) for period in periods]
    per_period = [_summaries(xarray, dataset, fields, years) for years in held]
    coords = {"period": ("period", [period_label(period) for period in periods],
                         {"long_name": "period of years compared"}),
              "first_year": ("period", np.array([p[0] for p in periods], dtype=np.int32),
                             {"long_name": "first year of the period"}),
              "last_year": ("period", np.array([p[1] for p in periods], dtype=np.int32),
                            {"long_name": "last year of the period"})}
    compared = _compared(xarray, per_period, coords, fields)
    result = dataset.drop_vars([name for name in per_period[0] if name in dataset])
    for name, variable in compared.data_vars.items():
        result[name] = variable
    result.attrs.update(compared.attrs)
    mark_missing_codes(result)
    return result


def compare_grids(first, second, labels=("baseline", "scenario")):
    """Two Datasets of `simulate_grid` on the same cells compared, as two periods are (a
    baseline and its scenario, or two runs of a model): each one's summaries along
    ``period``, labelled by `labels`, and the change from the first to the second. The
    years' own fields are left out, since the two may share their years."""
    xarray = xarray_module()
    fields = _fields(first)
    per_period = [_summaries(xarray, dataset, fields, dataset.year.values) for dataset in (first, second)]
    coords = {"period": ("period", [str(label) for label in labels], {"long_name": "climate compared"})}
    return _compared(xarray, per_period, coords, fields)


def _category_change(result, field):
    most = result[f"most_frequent_{field.name}"]
    before, after = most.isel(period=0, drop=True), most.isel(period=1, drop=True)
    both = (before >= 0) & (after >= 0)
    result[f"{field.name}_changed"] = (before != after).astype(np.int8).where(both, -1).astype(np.int8).assign_attrs(
        long_name=f"whether the most frequent class of {field.meaning} changed from the first period to the "
                  "second", flag_values=np.array([0, 1], dtype=np.int8), flag_meanings=CHANGED_MEANINGS)
    percent = result[f"{field.name}_percent"]
    result[f"{field.name}_percent_change"] = (percent.isel(period=1, drop=True) -
                                              percent.isel(period=0, drop=True)).assign_attrs(
        long_name=f"change in the share of the simulated years in each class of {field.meaning} from the first "
                  "period to the second, in percentage points", units="percent")


def _mean_change(result, field):
    mean = result[f"period_mean_{field.name}"]
    mean.attrs.update(long_name=f"mean over the period's simulated years of {field.meaning}",
                      units=MEAN_UNITS.get(field.unit, field.unit))
    result[f"{field.name}_change"] = (mean.isel(period=1, drop=True) - mean.isel(period=0, drop=True)).assign_attrs(
        long_name=f"change in the mean of {field.meaning} from the first period to the second",
        units=CHANGE_UNITS.get(field.unit, field.unit))
