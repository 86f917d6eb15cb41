#pragma once

#include <array>
#include <string_view>

namespace soil_climate {

// The moisture regimes, in the row order of the frequency files.
inline constexpr std::array<std::string_view, 6> moisture_regime_names{
    "ARIDIC", "XERIC", "USTIC", "PERUDIC", "UDIC", "UNDEFINED",
};

// The tentative subdivisions, in the row order of the frequency files.
inline constexpr std::array<std::string_view, 16> subdivision_names{
    "UNDEFINED",        "PERUDIC",         "EXTREME ARIDIC",  "TYPIC ARIDIC",
    "WEAK ARIDIC",      "DRY XERIC",       "TYPIC XERIC",     "ARIDIC TROPUSTIC",
    "TYPIC TROPUSTIC",  "UDIC TROPUSTIC",  "XERIC TEMPUSTIC", "WET TEMPUSTIC",
    "TYPIC TEMPUSTIC",  "TYPIC UDIC",      "DRY TROPUDIC",    "DRY TEMPUDIC",
};

// The soil temperature regimes: plain and isothermal name of each mean-temperature band.
inline constexpr std::array<std::string_view, 8> temperature_regime_names{
    "Frigid", "Isofrigid", "Mesic", "Isomesic", "Thermic", "Isothermic", "Hyperthermic", "Isohyperthermic",
};

}  // namespace soil_climate
