"""The station parameters from the library's one table, in the order of the parameter file:
every default of this package, of soil_grid and of station_import is read from here."""

import inspect
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
    return default_of("phase_shift", southern)


def default_of(name, southern):
    """A parameter's default: the southern one for a southern station."""
    parameter = PARAMETERS[name]
    return parameter.southern_default if southern else parameter.default


def with_defaults():
    """The parameters that have a default, in table order: those a caller may leave out."""
    return tuple(parameter for parameter in PARAMETERS.values() if parameter.default is not None)


def option_of(name):
    """A parameter's command-line option: --soil-temp-offset for soil_temp_offset."""
    return "--" + name.replace("_", "-")


# The placeholder of a parameter's option, by its unit.
METAVARS = {"degrees C": "C", "(no unit)": "F", "days": "DAYS"}


def metavar_of(parameter):
    return METAVARS.get(parameter.unit, "X")


def default_words(parameter):
    """A parameter's default as the commands' help says it: "2.5", or "0 in the north, 90
    in the south"."""
    if parameter.default == parameter.southern_default:
        return f"{parameter.default:g}"
    return f"{parameter.default:g} in the north, {parameter.southern_default:g} in the south"


def given_parameters(function, given, takes):
    """The station parameters a call of `function` gives as keyword arguments, checked as
    Python checks keyword arguments: TypeError for a name that is not one of `takes` (names
    of the table) and for a parameter of `takes` without a default that is not given.
    A parameter with a default that is not given, or given as None, is None here."""
    for name in given:
        if name not in takes:
            raise TypeError(f"{function}() got an unexpected keyword argument {name!r}")
    missing = [name for name in takes if PARAMETERS[name].default is None and name not in given]
    if missing:
        quoted = [repr(name) for name in missing]
        listed = quoted[0] if len(quoted) == 1 else \
            " and ".join(quoted) if len(quoted) == 2 else ", ".join(quoted[:-1]) + ", and " + quoted[-1]
        plural = "argument" if len(missing) == 1 else "arguments"
        raise TypeError(f"{function}() missing {len(missing)} required keyword-only {plural}: {listed}")
    return {name: given.get(name) for name in takes}


def list_parameters(function, takes):
    """Gives `function`, which takes the station parameters of `takes` through **parameters,
    a signature that lists them by name (after its required keyword arguments), so that
    help() and editors show them: without a default where they have none, else with theirs
    (None where it differs in the south)."""
    signature = inspect.signature(function)
    plain = [p for p in signature.parameters.values() if p.kind is not inspect.Parameter.VAR_KEYWORD]
    required = [p for p in plain if p.kind is inspect.Parameter.KEYWORD_ONLY and p.default is inspect.Parameter.empty]
    at = plain.index(required[-1]) + 1 if required else len(plain)
    listed = []
    for name in takes:
        parameter = PARAMETERS[name]
        default = inspect.Parameter.empty if parameter.default is None else \
            parameter.default if parameter.default == parameter.southern_default else None
        listed.append(inspect.Parameter(name, inspect.Parameter.KEYWORD_ONLY, default=default))
    function.__signature__ = signature.replace(parameters=plain[:at] + listed + plain[at:])
    return function
