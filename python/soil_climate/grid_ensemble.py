"""An ensemble of climate-model runs against one baseline: each member compared with the
baseline as two periods are, along a ``member`` dimension, and what the members say
together. For each regime kind K:

- ``K_member_share``: the share of the members, in percent, in which each class is the
  scenario's most frequent;
- ``ensemble_most_frequent_K``: the class that most members make the most frequent (the
  first in the table on a tie, −1 where no member has a regime);
- ``K_change_agreement``: the share of the members that agree with most of them on whether
  the cell's most frequent class changes from the baseline's, and ``K_change_robust``,
  1 where at least two thirds agree.

For each field's change in mean F, ``F_agreement`` is the share of the members whose
change has the sign of the members' mean change (a change of 0 its own sign), and
``F_robust`` 1 where at least two thirds agree, as climate-impact maps mark agreement."""

import numpy as np

from .grid_periods import compare_grids
from .grid_summaries import class_summaries, fields_of, mark_missing_codes, xarray_module

ROBUST_SHARE = 2.0 / 3.0


def _robust(agreement, meaning):
    return (agreement >= ROBUST_SHARE * 100.0 - 1e-9).astype(np.int8).where(agreement.notnull(), -1).astype(
        np.int8).assign_attrs(long_name=f"whether at least two thirds of the members agree on {meaning}",
                              flag_values=np.array([0, 1], dtype=np.int8), flag_meanings="not_robust robust")


def compare_ensemble(baseline, members, labels=None):
    """`baseline` and each of `members` (Datasets of `simulate_grid` on the same cells)
    compared: each member's comparison with the baseline along ``member`` (labelled by
    `labels`, default "1", "2", ...) and the ensemble's layers (see the module's
    description)."""
    xarray = xarray_module()
    members = list(members)
    if not members:
        raise ValueError("an ensemble needs at least one member")
    labels = [str(n) for n in range(1, len(members) + 1)] if labels is None else [str(label) for label in labels]
    if len(labels) != len(members):
        raise ValueError(f"{len(labels)} labels for {len(members)} members")
    compared = xarray.concat([compare_grids(baseline, member) for member in members], dim="member",
                             coords="minimal", compat="override", combine_attrs="override")
    compared = compared.assign_coords(member=("member", labels, {"long_name": "member of the ensemble"}))
    for field in fields_of(compared):
        if field.kind == "category":
            _regime_agreement(xarray, compared, field)
        else:
            _sign_agreement(compared, field.name)
    mark_missing_codes(compared)
    return compared


def _regime_agreement(xarray, compared, field):
    scenario = compared[f"most_frequent_{field.name}"].isel(period=1, drop=True).rename(member="year")
    with_regime = (scenario >= 0).sum("year")
    shares = class_summaries(xarray, field, scenario, with_regime)
    compared[f"{field.name}_member_share"] = shares[f"{field.name}_percent"].assign_attrs(
        long_name=f"share of the members in which each class of {field.meaning} is the scenario's most frequent",
        units="percent")
    compared[f"ensemble_most_frequent_{field.name}"] = shares[f"most_frequent_{field.name}"].assign_attrs(
        long_name=f"class of {field.meaning} most members make the most frequent")
    changed = compared[f"{field.name}_changed"]
    voting = (changed >= 0).sum("member")
    yes = (changed == 1).sum("member")
    agreement = (np.maximum(yes, voting - yes) * 100.0 / voting.where(voting > 0)).assign_attrs(
        long_name=f"share of the members that agree with most on whether the most frequent class of "
                  f"{field.meaning} changes", units="percent")
    compared[f"{field.name}_change_agreement"] = agreement
    compared[f"{field.name}_change_robust"] = _robust(agreement, f"whether {field.meaning} changes")


def _sign_agreement(compared, field_name):
    change = compared[f"{field_name}_change"]
    direction = np.sign(change.mean("member"))
    agree = (np.sign(change) == direction).where(change.notnull()).sum("member", min_count=1)
    agreement = (agree * 100.0 / change.notnull().sum("member")).where(direction.notnull()).assign_attrs(
        long_name=f"share of the members whose {change.attrs['long_name']} has the sign of the members' mean",
        units="percent")
    compared[f"{field_name}_agreement"] = agreement
    compared[f"{field_name}_robust"] = _robust(agreement, f"the sign of the change of {field_name}")


def ensemble_view(compared):
    """An ensemble's comparison read as two sides, as the maps, GeoTIFFs and transition
    table read two periods: the baseline, and the ensemble's most frequent regimes with the
    share of the members behind each (as ``*_percent``); changed where they differ; each
    change the members' mean; the robust flags kept."""
    xarray = xarray_module()
    baseline = compared.isel(member=0, period=0, drop=True)
    view = xarray.Dataset(attrs=dict(compared.attrs))
    sides = ("baseline", "ensemble")
    for field in fields_of(compared):
        if field.kind != "category":
            view[f"{field.name}_change"] = compared[f"{field.name}_change"].mean("member").assign_attrs(
                compared[f"{field.name}_change"].attrs)
            view[f"{field.name}_robust"] = compared[f"{field.name}_robust"]
            continue
        kind = field.name
        most = xarray.concat([baseline[f"most_frequent_{kind}"], compared[f"ensemble_most_frequent_{kind}"]],
                             dim="period", coords="minimal", compat="override")
        view[f"most_frequent_{kind}"] = most.assign_attrs(compared[f"most_frequent_{kind}"].attrs)
        view[f"{kind}_percent"] = xarray.concat([baseline[f"{kind}_percent"], compared[f"{kind}_member_share"]],
                                                dim="period", coords="minimal", compat="override")
        before, after = most.isel(period=0), most.isel(period=1)
        view[f"{kind}_changed"] = (before != after).astype(np.int8).where((before >= 0) & (after >= 0), -1).astype(
            np.int8).assign_attrs(compared[f"{kind}_changed"].attrs)
        view[f"{kind}_percent_change"] = compared[f"{kind}_percent_change"].mean("member").assign_attrs(
            compared[f"{kind}_percent_change"].attrs)
        view[f"{kind}_change_robust"] = compared[f"{kind}_change_robust"]
    view["complete_years"] = xarray.concat([baseline["complete_years"],
                                            compared["complete_years"].isel(period=1, drop=True).max("member")], dim="period",
                                           coords="minimal", compat="override")
    return view.assign_coords(period=("period", list(sides)))
