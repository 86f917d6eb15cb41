"""Two periods of a station's record compared: how often each regime occurred in each, in
years and percent of the period's years, the change in percentage points, and the change
in the mean of every field of the year (soil temperatures, day counts, water sums).

    result = soil_climate.simulate(**soil_climate.read_station("examples/davis"))
    change = soil_climate.compare_periods(result, "1961:1990", "1991:2020")
"""

import numpy as np

from .grid_periods import parse_period


class PeriodComparison:
    """Two periods of one station. ``periods`` are the (first, last) years asked for,
    ``years`` the number of the station's years in each; ``frequencies[kind]`` a pair of
    dicts name -> (years, percent), one a period, every name of the table included, and
    ``frequency_change[kind]`` name -> percentage points (second less first);
    ``means[field]`` the pair of the periods' means of a field of the year and
    ``mean_change[field]`` their difference, in the field's units (K for the soil
    temperatures' degC)."""

    def __init__(self, periods, years, frequencies, means):
        self.periods, self.years, self.frequencies, self.means = periods, years, frequencies, means
        self.frequency_change = {kind: {name: after[name][1] - before[name][1] for name in before}
                                 for kind, (before, after) in frequencies.items()}
        self.mean_change = {name: after - before for name, (before, after) in means.items()}

    def __repr__(self):
        (a, b), (c, d) = self.periods
        moved = ", ".join(f"{name} {change:+.1f} pp" for name, change in
                          self.frequency_change["moisture_regime"].items() if change != 0) or "no change"
        return (f"<PeriodComparison {a}-{b} ({self.years[0]} years) to {c}-{d} ({self.years[1]} years): moisture "
                f"regimes {moved}; mean soil temperature {self.mean_change['mean_soil_temperature_c']:+.2f} K>")


def compare_periods(result, first, second):
    """Compares the years of `result` (a StationResult whose labels are years) in the
    period `first` with those in `second`, each "FIRST:LAST" or (first, last). ValueError
    for a period that is no period, labels that are not years, or a period that holds
    none of the station's years."""
    from . import REGIME_KINDS, YEAR_FIELDS
    periods = (parse_period(first), parse_period(second))
    try:
        years = np.array([int(label) for label in result.labels], dtype=np.int64)
    except ValueError:
        raise ValueError("comparing periods needs years as the labels of the station's years") from None
    chosen = []
    for low, high in periods:
        rows = np.flatnonzero((years >= low) & (years <= high))
        if len(rows) == 0:
            raise ValueError(f"the station holds no year of the period {low}:{high}")
        chosen.append(result.select(rows))
    fields = [field.name for field in YEAR_FIELDS if field.source == "year" and field.kind in ("number", "count")]
    frequencies = {kind: tuple(part.frequencies(kind) for part in chosen) for kind in REGIME_KINDS}
    means = {name: tuple(float(np.mean(np.asarray(getattr(part, name), dtype=np.float64))) for part in chosen)
             for name in fields}
    return PeriodComparison(periods, tuple(len(part) for part in chosen), frequencies, means)
