"""A station's two periods compared: each side is what simulating that period's years alone
gives, a period against itself changes nothing, and what cannot be compared is refused."""

import os

import numpy as np
import pytest

import soil_climate

EXAMPLES = os.environ.get("EXAMPLES_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))


@pytest.fixture(scope="module")
def davis():
    return soil_climate.read_station(os.path.join(EXAMPLES, "davis"))


def test_each_side_is_the_station_simulated_over_that_period_alone(davis):
    result = soil_climate.simulate(**davis)
    change = soil_climate.compare_periods(result, "1981:1995", (1996, 2010))
    assert change.years == (15, 15)
    for side, rows in enumerate((slice(0, 15), slice(15, 30))):
        alone = soil_climate.simulate(**{**davis, "temperature": davis["temperature"][rows],
                                         "precipitation": davis["precipitation"][rows],
                                         "labels": davis["labels"][rows]})
        for kind in soil_climate.REGIME_KINDS:
            assert change.frequencies[kind][side] == alone.frequencies(kind)
        assert change.means["bio8_days"][side] == pytest.approx(np.mean(alone.bio8_days))
    assert change.mean_change["mean_soil_temperature_c"] == pytest.approx(
        np.mean(result.mean_soil_temperature_c[15:]) - np.mean(result.mean_soil_temperature_c[:15]))
    assert sum(change.frequency_change["moisture_regime"].values()) == pytest.approx(0.0, abs=1e-9)
    assert repr(change).startswith("<PeriodComparison 1981-1995 (15 years) to 1996-2010 (15 years)")
    same = soil_climate.compare_periods(result, "1985:2000", "1985:2000")
    assert all(value == 0 for kind in same.frequency_change.values() for value in kind.values())
    assert all(value == 0 for value in same.mean_change.values())


@pytest.mark.parametrize("first, second, labels, message", [
    ("1981", "1996:2010", None, "a period is FIRST:LAST"),
    ("1995:1981", "1996:2010", None, "ends before it begins"),
    ("1950:1960", "1996:2010", None, "no year of the period 1950:1960"),
    ("1:3", "4:6", [f"y{n}" for n in range(30)], "needs years as the labels"),
])
def test_what_cannot_be_compared_is_refused(davis, first, second, labels, message):
    result = soil_climate.simulate(**{**davis, **({"labels": labels} if labels else {})})
    with pytest.raises(ValueError, match=message):
        soil_climate.compare_periods(result, first, second)
