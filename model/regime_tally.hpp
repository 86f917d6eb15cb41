#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "common/regime_names.hpp"

namespace soil_climate {

// How many years took each name of the three regime tables, in table order, and how many
// years there were: what a run counts of a station, and the gathering step of each
// station it gathers.
struct regime_tally {
    int years = 0;
    std::array<int, moisture_regime_names.size()> moisture_regimes{};
    std::array<int, subdivision_names.size()> subdivisions{};
    std::array<int, temperature_regime_names.size()> temperature_regimes{};

    void add(soil_moisture_regime moisture, moisture_subdivision subdivision, soil_temperature_regime temperature) {
        ++moisture_regimes[index_of(moisture)];
        ++subdivisions[index_of(subdivision)];
        ++temperature_regimes[index_of(temperature)];
        ++years;
    }
};

// The most frequent name of a regime table by its tally: its place in the table, the
// first in table order on a tie (0 for a tally of no year).
constexpr std::size_t most_frequent(std::span<const int> tally) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < tally.size(); ++i) {
        if (tally[i] > tally[best]) {
            best = i;
        }
    }
    return best;
}

// Adds one cell's years to `tally`, one count a class of a regime table, from the codes of
// its years (a class's place in the table; NaN or negative for a year without one).
inline void tally_codes(std::span<const double> codes, std::span<int> tally) {
    for (const double code : codes) {
        if (code >= 0.0 && code < static_cast<double>(tally.size())) {
            ++tally[static_cast<std::size_t>(code)];
        }
    }
}

}  // namespace soil_climate
