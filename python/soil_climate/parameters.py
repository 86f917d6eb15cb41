"""The station parameters from the library's one table, in the order of the parameter file:
every default of this package, of soil_grid and of station_import is read from here."""

from typing import NamedTuple, Optional

from . import _model


class Parameter(NamedTuple):
    """A station parameter: its name, unit, the range the model accepts, its default in the
    north and in the south (None where it has none) and what it is."""
    name: str
    unit: str
    lowest: float
    highest: float
    default: Optional[float]
    southern_default: Optional[float]
    meaning: str


PARAMETERS = {parameter[0]: Parameter(*parameter) for parameter in _model.station_parameters}


def default_phase_shift(southern):
    """The phase shift a station gets unless one is given: 0 days in the north, 90 in the
    south."""
    phase_shift = PARAMETERS["phase_shift"]
    return phase_shift.southern_default if southern else phase_shift.default
