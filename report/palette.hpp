#pragma once

// The colours of the regimes and of the moisture calendar's days, as "#RRGGBB": one scheme
// for the station page, the figures, the index of stations, and the maps and GeoTIFFs of
// the Python and R modules, so that a regime looks the same wherever it is drawn.

#include <array>
#include <cstddef>
#include <string_view>

#include "common/model_year.hpp"
#include "common/regime_names.hpp"

namespace soil_climate {

// A day of the moisture calendar (codes 1 to 3): dry, partly dry and partly moist, moist in
// vermillion, yellow and blue of the Okabe-Ito palette, told apart with every common
// colour-vision deficiency.
inline constexpr std::array<std::string_view, 3> moisture_code_colours{"#D55E00", "#F0E442", "#0072B2"};

// Each moisture regime: dry regimes in warm colours, wet ones in blues, none of them the
// yellow of a partly dry day; every pair stays apart (CIE76 distance above 30) for normal
// vision and simulated protanopia, deuteranopia and tritanopia. Colours of Paul Tol's
// schemes.
inline constexpr std::array<std::string_view, moisture_regime_names.size()> moisture_regime_colours{
    "#882255",  // ARIDIC: wine
    "#EE6677",  // XERIC: rose
    "#997700",  // USTIC: ochre
    "#332288",  // PERUDIC: indigo
    "#56B4E9",  // UDIC: sky blue
    "#DDDDDD",  // UNDEFINED: pale grey
};

// Each soil temperature regime, cold to warm in blue, green, yellow and red, the
// isothermal regime of each band a lighter tone of the same hue: Paul Tol's bright scheme
// for the bands, his light scheme for their isothermal tones.
inline constexpr std::array<std::string_view, temperature_regime_names.size()> temperature_regime_colours{
    "#4477AA", "#99DDFF",  // Frigid, Isofrigid
    "#228833", "#BBCC33",  // Mesic, Isomesic
    "#CCBB44", "#EEDD88",  // Thermic, Isothermic
    "#EE6677", "#FFAABB",  // Hyperthermic, Isohyperthermic
    "#222255", "#77AADD",  // Pergelic, Cryic: the coldest darkest
};

constexpr std::string_view moisture_code_colour(moisture_code code) {
    return moisture_code_colours[static_cast<std::size_t>(code) - 1];
}
constexpr std::string_view moisture_regime_colour(soil_moisture_regime regime) {
    return moisture_regime_colours[index_of(regime)];
}
constexpr std::string_view temperature_regime_colour(soil_temperature_regime regime) {
    return temperature_regime_colours[index_of(regime)];
}

}  // namespace soil_climate
