"""Judging the gaps of a station's months: which years are kept as they are, kept with
filled months, or dropped, and the report of every gap."""

import calendar
from dataclasses import dataclass, field

from .observations import ELEMENTS

MONTH_NAMES = tuple(calendar.month_name[1:])


@dataclass
class Gap:
    """A month of one element that is not complete, or complete with some days missing."""

    month: int  # 1 = January
    element: str
    missing: int | None  # days, or None for a monthly record missing as a whole


@dataclass
class YearOutcome:
    """What became of one year: "kept", "filled" or "dropped", with its gaps, the months
    taken over their observed days, the months with estimated values (their count in
    `missing`), and its twelve values of each element unless dropped."""

    year: int
    outcome: str
    gaps: list = field(default_factory=list)
    values: dict | None = None
    partial: list = field(default_factory=list)
    estimated: list = field(default_factory=list)


def settle_years(records, max_missing_days, fill_months):
    """Every year's outcome, and the station's mean of each calendar month and element over
    its complete months, as (mean, count) or None."""
    months, daily = records.months, records.daily

    def complete(month, element):
        return month is not None and month[element].observed > 0 and month[element].missing <= max_missing_days

    means = {}
    for element in ELEMENTS:
        for number in range(1, 13):
            values = [month[element].value(element) for (year, n), month in months.items()
                      if n == number and complete(month, element)]
            means[element, number] = (sum(values) / len(values), len(values)) if values else None

    outcomes = []
    for year in sorted({year for year, _ in months}):
        result = YearOutcome(year, "kept")
        for number in range(1, 13):
            month = months.get((year, number))
            for element in ELEMENTS:
                if complete(month, element) and month[element].missing > 0:
                    result.partial.append(Gap(number, element, month[element].missing))
                if month is not None and month[element].estimated:
                    result.estimated.append(Gap(number, element, month[element].estimated))
                if not complete(month, element):
                    if month is None:
                        missing = calendar.monthrange(year, number)[1] if daily else None
                    else:
                        missing = month[element].missing
                    result.gaps.append(Gap(number, element, missing))
        incomplete = {gap.month for gap in result.gaps}
        if len(incomplete) > fill_months or any(means[gap.element, gap.month] is None for gap in result.gaps):
            result.outcome = "dropped"
            outcomes.append(result)
            continue
        result.values = {element: [] for element in ELEMENTS}
        for number in range(1, 13):
            month = months.get((year, number))
            for element in ELEMENTS:
                result.values[element].append(month[element].value(element) if complete(month, element)
                                              else means[element, number][0])
        result.outcome = "filled" if result.gaps else "kept"
        outcomes.append(result)
    return outcomes, means


def describe_gap(gap):
    if gap.missing is None:
        return f"{MONTH_NAMES[gap.month - 1]} {gap.element} missing"
    return f"{MONTH_NAMES[gap.month - 1]} {gap.element}: {gap.missing} day{'' if gap.missing == 1 else 's'} missing"


def report_rows(outcomes, means, series):
    """Rows of import_report.csv, and the lines printed: first what was done to the rows
    (sorted, duplicates dropped), then every year."""
    rows = [("year", "outcome", "month", "element", "missing_days", "note")]
    lines = []
    for count, outcome, note in ((series.sorted_rows, "sorted", "rows out of date order, sorted"),
                                 (series.duplicate_rows, "duplicates", "exact duplicate rows, dropped")):
        if count:
            rows.append(("", outcome, "", "", "", f"{count} {note}"))
            lines.append(f"{count} {note}")
    for result in outcomes:
        year, outcome = result.year, result.outcome
        notes = []
        if outcome != "dropped":
            for gap in result.partial:
                rows.append((year, outcome, gap.month, gap.element, gap.missing,
                             "complete enough: taken over the observed days"))
                notes.append(describe_gap(gap))
            for gap in result.estimated:
                plural = "s" if gap.missing > 1 else ""
                rows.append((year, outcome, gap.month, gap.element, "",
                             f"{gap.missing} estimated value{plural}, kept"))
                notes.append(f"{MONTH_NAMES[gap.month - 1]} {gap.element}: {gap.missing} estimated value{plural}")
        if not result.gaps:
            if not result.partial and not result.estimated:
                rows.append((year, "kept", "", "", "", ""))
            lines.append(f"{year}: kept" + (f" ({'; '.join(notes)})" if notes else ""))
            continue
        for gap in result.gaps:
            if outcome == "dropped":
                note = ("month incomplete" if means[gap.element, gap.month]
                        else "month incomplete, no complete month to fill from")
            else:
                mean, count = means[gap.element, gap.month]
                unit = "deg C" if gap.element == "temperature" else "mm"
                note = (f"filled with the station's {MONTH_NAMES[gap.month - 1]} mean, {mean:.6g} {unit} "
                        f"over {count} complete months")
            rows.append((year, outcome, gap.month, gap.element, "" if gap.missing is None else gap.missing, note))
            notes.append(describe_gap(gap))
        lines.append(f"{year}: {outcome} ({'; '.join(notes)})")
    return rows, lines
