"""What a grid's years add up to in each cell: the share of the simulated years in each class
of a regime, the most frequent class and the number of years simulated. A single run sums
all of its years; a comparison of periods sums each period's years alike."""

import numpy as np

from . import _model


def xarray_module():
    try:
        import xarray
    except ImportError as missing:
        raise ImportError("simulate_grid needs xarray (Debian: python3-xarray; for Dask-backed grids also "
                          "python3-dask)") from missing
    return xarray


def year_fields(cold_regimes=False):
    """The fields of the table of a year's fields that the grid holds, in table order, each
    category field with the names its table lists (the cold regimes only when asked for)."""
    from . import YEAR_FIELDS, regime_names
    names = set(_model.grid_field_names)
    return tuple(field._replace(categories=regime_names(field.name, cold_regimes)) if field.kind == "category"
                 else field for field in YEAR_FIELDS if field.name in names)


def fields_of(dataset):
    """The grid's fields as a simulated Dataset holds them: each category field with the
    names of its ``{name}_class`` coordinate (with or without the cold regimes)."""
    return tuple(field._replace(categories=tuple(str(name) for name in dataset[f"{field.name}_class"].values))
                 if field.kind == "category" else field for field in year_fields())


def mark_missing_codes(dataset):
    """The codes' missing mark travels with the Dataset, so that any NetCDF writer keeps it."""
    for variable in dataset.data_vars.values():
        if variable.dtype == np.int8:
            variable.encoding["_FillValue"] = np.int8(-1)


def flag_meanings(categories):
    """CF flag_meanings of a category field's names: one word each, blanks as underscores."""
    return " ".join(name.replace(" ", "_") for name in categories)


def complete_years(codes):
    """The years simulated in each cell: those with a regime, of the codes along `year`
    (NaN or −1 where a year was not simulated)."""
    return (codes >= 0).sum("year")


def class_tallies(codes, classes):
    """(counts, most frequent) of the codes along the last axis, as the model's tally of a
    station's years gives them: a function of this module, which a Dask task can name."""
    return _model.class_tallies(codes, classes)


def class_summaries(xarray, field, codes, complete):
    """``{field}_percent``, each cell's share in percent of its simulated years in each class
    of the category `field` (NaN where none was simulated), and ``most_frequent_{field}``,
    the class of the most years (the first in the table on a tie, −1 where none), from the
    codes along `year`."""
    values = np.arange(len(field.categories), dtype=np.int8)
    meanings = flag_meanings(field.categories)
    classes = xarray.DataArray(list(field.categories), dims=f"{field.name}_class")
    # The counts and the most frequent class as the model's tally gives them for a station.
    share, most = xarray.apply_ufunc(
        class_tallies, codes, input_core_dims=[["year"]], output_core_dims=[[classes.dims[0]], []],
        kwargs={"classes": len(values)}, dask="parallelized", output_dtypes=[np.int32, np.int8],
        dask_gufunc_kwargs={"output_sizes": {classes.dims[0]: len(values)}})
    share = share.transpose(classes.dims[0], ...)
    percent = share * 100.0 / complete.where(complete > 0)
    return {
        f"{field.name}_percent": percent.assign_coords({classes.dims[0]: classes}).assign_attrs(
            long_name=f"share of the simulated years in each class of {field.meaning}", units="percent"),
        f"most_frequent_{field.name}": most.assign_attrs(
            long_name=f"most frequent class of {field.meaning}", flag_values=values, flag_meanings=meanings),
    }
