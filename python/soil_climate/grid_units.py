"""Units of gridded climate, read by the units library pint: monthly mean air temperature to
deg C, monthly precipitation to mm a month, a soil map's water-holding capacity to mm.

Files write their units in UDUNITS syntax ("kg m-2 s-1", "degrees Celsius", "mm month-1");
a small preprocessor turns that into pint's syntax, and pint says what the units measure
and by how much. What pint cannot read, or what does not measure the quantity asked for,
is a UnitsFault, never a guess.

Precipitation is an amount or a rate. An amount with no time basis ("mm", "m", "kg m-2") or
one a month ("mm/month") is the month's total. A rate ("mm/day", "kg m-2 s-1") is integrated
over the days of each month of the file's own calendar. One archive breaks the rule: the
monthly means of ERA5 and ERA5-Land give precipitation in "m" meaning metres a day (the mean
of the month's daily totals), which such files show by ECMWF's metadata."""

import functools
import re

WATER_DENSITY = "1000 kg m**-3"  # a kg of water on a square metre is a mm deep

# The ways a per-month time basis is written; stripped before pint reads the rest, since a
# month is a calendar month here, not pint's mean month of 30.44 days.
PER_MONTH = re.compile(r"\s*(?:/\s*(?:months?|mon)\b|[*.]?\s*\b(?:months?|mon)(?:\s*\*\*\s*|\^)?-1\b|\bper\s+(?:months?|mon)\b)",
                       re.IGNORECASE)
# "degrees Celsius", "degree_C", "deg C", "degC", "Celsius", "K": temperature scales by name.
TEMPERATURE_SCALE = re.compile(r"^(?:(?:degrees?|deg)[ _]?)?(celsius|centigrade|fahrenheit|kelvin|c|f|k)$",
                               re.IGNORECASE)
SCALES = {"c": "degree_Celsius", "celsius": "degree_Celsius", "centigrade": "degree_Celsius",
          "f": "degree_Fahrenheit", "fahrenheit": "degree_Fahrenheit", "k": "kelvin", "kelvin": "kelvin"}


class UnitsFault(ValueError):
    """Units that cannot be read, or that do not measure what the variable must hold."""


@functools.lru_cache(maxsize=1)
def registry():
    try:
        import pint
    except ImportError as missing:
        raise ImportError("reading a grid's units needs pint (Debian: python3-pint)") from missing
    units = pint.UnitRegistry()
    units.define("percent = 0.01 = pct")
    return units


def _pint_syntax(text):
    """UDUNITS syntax in pint's: integer exponents written after the symbol ("m-2", "m2"),
    products by blanks or dots, "^" for powers."""
    text = text.replace("%", "percent").replace("^", "**")
    text = re.sub(r"(?<=[A-Za-z])(-?\d+)\b", r"**\1", text)
    text = re.sub(r"(?<=[\w)])\s*\.\s*(?=[A-Za-z(])", "*", text)
    return re.sub(r"(?<=[\w)])\s+(?=[A-Za-z(])", "*", text.strip())


def parse(text):
    """(pint Quantity of 1 of the units, whether they carry a per-month basis) for a units
    attribute; UnitsFault where pint cannot read them."""
    text = " ".join(str(text).split())
    scale = TEMPERATURE_SCALE.match(text)
    if scale:
        text = SCALES[scale.group(1).lower()]
    per_month = bool(PER_MONTH.search(text))
    rest = PER_MONTH.sub("", text).strip() or "1"
    units = registry()
    try:
        quantity = units.Quantity(1.0) if rest == "1" else units.parse_expression(_pint_syntax(rest))
    except Exception:  # pint raises many kinds of error for text it cannot parse
        raise UnitsFault(f"units {text!r} cannot be read") from None
    if not hasattr(quantity, "dimensionality"):  # a bare number
        quantity = units.Quantity(quantity)
    return quantity, per_month


def _decimal(factor):
    """A conversion factor as the decimal it is by definition: pint's chain of products can
    leave a last-bit error (25.400000000000002 mm an inch)."""
    return float(f"{float(factor):.15g}")


def to_celsius(variable, units_text):
    """Monthly mean air temperature in deg C. deg C is kept as it is, K less 273.15 and deg F
    as run_station converts it, ((F - 32) x 5) / 9, so that a file in deg F gives the
    station's own numbers; any other temperature scale by pint's conversion."""
    quantity, per_month = parse(units_text)
    units = registry()
    if per_month or quantity.dimensionality != units.kelvin.dimensionality or quantity.magnitude != 1.0:
        raise UnitsFault(f"units {units_text!r} are not a temperature")
    unit = quantity.units
    if unit == units.degree_Celsius:
        return variable
    if unit == units.kelvin:
        return variable - 273.15
    if unit == units.degree_Fahrenheit:
        return ((variable - 32.0) * 5.0) / 9.0
    zero = units.Quantity(0.0, unit).to(units.degree_Celsius).magnitude
    step = units.Quantity(1.0, unit).to(units.degree_Celsius).magnitude - zero
    return variable * step + zero


def precipitation_kind(units_text):
    """("amount", mm a unit) for a month's total, ("rate", mm a day a unit) for a rate."""
    quantity, per_month = parse(units_text)
    units = registry()
    water = units.parse_expression(WATER_DENSITY)
    if quantity.dimensionality == (units.kg / units.m**2).dimensionality or \
            quantity.dimensionality == (units.kg / units.m**2 / units.s).dimensionality:
        quantity = quantity / water
    if quantity.dimensionality == units.mm.dimensionality:
        return "amount", _decimal(quantity.to(units.mm).magnitude)
    if quantity.dimensionality == (units.mm / units.day).dimensionality and not per_month:
        return "rate", _decimal(quantity.to(units.mm / units.day).magnitude)
    raise UnitsFault(f"units {units_text!r} are not an amount or a rate of precipitation")


def to_mm_per_month(variable, units_text, days_in_month):
    """Monthly precipitation in mm: an amount times its factor to mm, a rate times the
    days of each month (`days_in_month`, along the variable's time)."""
    kind, factor = precipitation_kind(units_text)
    if kind == "amount":
        return variable if factor == 1.0 else variable * factor
    return variable * days_in_month if factor == 1.0 else variable * (days_in_month * factor)


def capacity_to_mm(variable, units_text, depth_mm=None):
    """A soil map's water-holding capacity in mm: a depth of water (mm, cm, m, in) as it is
    converted, a volumetric fraction ("1", "%", "m3 m-3") times the depth of soil it holds
    over, `depth_mm`, which must then be given."""
    quantity, per_month = parse(units_text)
    units = registry()
    if not per_month and quantity.dimensionality == units.mm.dimensionality:
        factor = _decimal(quantity.to(units.mm).magnitude)
        return variable if factor == 1.0 else variable * factor
    if not per_month and quantity.dimensionless:
        if depth_mm is None:
            raise UnitsFault(f"units {units_text!r} are a volumetric fraction: give the depth of soil it "
                             "holds over with --capacity-depth-mm")
        return variable * (_decimal(quantity.to("dimensionless").magnitude) * depth_mm)
    raise UnitsFault(f"units {units_text!r} are not a depth of water (mm, cm, m) or a volumetric fraction")
