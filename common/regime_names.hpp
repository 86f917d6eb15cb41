#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace soil_climate {

// The soil moisture regimes, in the row order of the frequency files.
enum class soil_moisture_regime { aridic, xeric, ustic, perudic, udic, undefined };
inline constexpr std::array<std::string_view, 6> moisture_regime_names{
    "ARIDIC", "XERIC", "USTIC", "PERUDIC", "UDIC", "UNDEFINED",
};

// The tentative subdivisions, in the row order of the frequency files.
enum class moisture_subdivision {
    undefined,
    perudic,
    extreme_aridic,
    typic_aridic,
    weak_aridic,
    dry_xeric,
    typic_xeric,
    aridic_tropustic,
    typic_tropustic,
    udic_tropustic,
    xeric_tempustic,
    wet_tempustic,
    typic_tempustic,
    typic_udic,
    dry_tropudic,
    dry_tempudic,
};
inline constexpr std::array<std::string_view, 16> subdivision_names{
    "UNDEFINED",        "PERUDIC",         "EXTREME ARIDIC",  "TYPIC ARIDIC",
    "WEAK ARIDIC",      "DRY XERIC",       "TYPIC XERIC",     "ARIDIC TROPUSTIC",
    "TYPIC TROPUSTIC",  "UDIC TROPUSTIC",  "XERIC TEMPUSTIC", "WET TEMPUSTIC",
    "TYPIC TEMPUSTIC",  "TYPIC UDIC",      "DRY TROPUDIC",    "DRY TEMPUDIC",
};

// The soil temperature regimes: plain and isothermal name of each mean-temperature band,
// then the two cold regimes, which a year takes only when the cold regimes are asked for.
// The tables that list every regime list the first eight unless a run asks for them.
enum class soil_temperature_regime {
    frigid,
    isofrigid,
    mesic,
    isomesic,
    thermic,
    isothermic,
    hyperthermic,
    isohyperthermic,
    pergelic,
    cryic,
};
inline constexpr std::array<std::string_view, 10> temperature_regime_names{
    "Frigid",     "Isofrigid",    "Mesic",           "Isomesic", "Thermic",
    "Isothermic", "Hyperthermic", "Isohyperthermic", "Pergelic", "Cryic",
};
inline constexpr std::size_t index_of_first_cold_regime = 8;
// How many temperature regimes a run lists: all of them with the cold regimes, the eight
// bands without.
constexpr std::size_t listed_temperature_regimes(bool cold_regimes) {
    return cold_regimes ? temperature_regime_names.size() : index_of_first_cold_regime;
}

// A regime's position in its name table, which is also its row in the frequency files.
template <typename Regime>
constexpr std::size_t index_of(Regime regime) {
    return static_cast<std::size_t>(regime);
}

// The printed name of each regime: the entry of its name table.
constexpr std::string_view name_of(soil_moisture_regime regime) {
    return moisture_regime_names[index_of(regime)];
}
constexpr std::string_view name_of(moisture_subdivision subdivision) {
    return subdivision_names[index_of(subdivision)];
}
constexpr std::string_view name_of(soil_temperature_regime regime) {
    return temperature_regime_names[index_of(regime)];
}

}  // namespace soil_climate
