#include "evapotranspiration/pet.hpp"

#include <array>
#include <cmath>
#include <cstddef>

#include "evapotranspiration/day_length_tables.hpp"

namespace soil_climate {
namespace {

struct hot_month_row {
    double from_celsius;
    double unadjusted_pet_mm;
};

// Unadjusted PET of months at 26.5 °C and above, in half-degree bands with no
// interpolation inside a band.
constexpr std::array<hot_month_row, 24> hot_month_pet{{
    {26.5, 135.0}, {27.0, 139.5}, {27.5, 143.7}, {28.0, 147.8}, {28.5, 151.7}, {29.0, 155.4},
    {29.5, 158.9}, {30.0, 162.1}, {30.5, 165.2}, {31.0, 168.0}, {31.5, 170.7}, {32.0, 173.1},
    {32.5, 175.3}, {33.0, 177.2}, {33.5, 179.0}, {34.0, 180.5}, {34.5, 181.8}, {35.0, 182.9},
    {35.5, 183.7}, {36.0, 184.3}, {36.5, 184.7}, {37.0, 184.9}, {37.5, 185.0}, {38.0, 185.0},
}};

constexpr double hottest_band_celsius = 38.0;
constexpr double hottest_band_pet_mm = 185.0;
constexpr double hot_month_threshold_celsius = 26.5;

double pet_exponent_of(double heat_index) {
    return 6.75e-7 * std::pow(heat_index, 3) - 7.71e-5 * std::pow(heat_index, 2) + 0.01792 * heat_index +
           0.49239;
}

// The value of the band whose lower temperature is the greatest one not above t.
double hot_month_value(double t) {
    for (std::size_t row = 0; row + 1 < hot_month_pet.size(); ++row) {
        if (hot_month_pet[row].from_celsius <= t && t < hot_month_pet[row + 1].from_celsius) {
            return hot_month_pet[row].unadjusted_pet_mm;
        }
    }
    return hottest_band_pet_mm;
}

double unadjusted_pet_of(double t, double heat_index, double pet_exponent) {
    if (t >= hottest_band_celsius) {
        return hottest_band_pet_mm;
    }
    if (t >= hot_month_threshold_celsius) {
        return hot_month_value(t);
    }
    if (t > 0.0) {
        // heat_index > 0 here: this month itself added a positive term to it.
        return 16.0 * std::pow(10.0 * t / heat_index, pet_exponent);
    }
    return 0.0;
}

// How many entries of an ascending latitude table are at or below the latitude.
template <std::size_t n>
std::size_t rows_at_or_below(const std::array<double, n>& latitudes, double latitude) {
    std::size_t count = 0;
    while (count < n && latitudes[count] <= latitude) {
        ++count;
    }
    return count;
}

// Northern stations take the row of the greatest tabulated latitude not above theirs,
// without interpolation. A latitude below 0 (not accepted as input) takes the 0° row.
day_length_row northern_factors(double latitude) {
    const std::size_t counted = rows_at_or_below(north_latitudes, latitude);
    return north_day_length_factors[counted == 0 ? 0 : counted - 1];
}

// Southern stations interpolate linearly between the bracketing rows; below 5° the
// northern 0° row is the 0° end of the band; from 48° on the 50° row holds unchanged.
day_length_row southern_factors(double latitude) {
    const std::size_t counted = rows_at_or_below(south_latitudes, latitude);
    day_length_row factors{};
    for (int m = 0; m < months_per_year; ++m) {
        if (counted == 0) {
            const double n0 = north_day_length_factors[0][m];
            const double s5 = south_day_length_factors[0][m];
            factors[m] = n0 + (s5 - n0) * latitude / 5.0;
        } else if (counted < south_latitudes.size() - 1) {
            const double lo = south_latitudes[counted - 1];
            const double hi = south_latitudes[counted];
            const double s_lo = south_day_length_factors[counted - 1][m];
            const double s_hi = south_day_length_factors[counted][m];
            factors[m] = s_lo + (s_hi - s_lo) * (latitude - lo) / (hi - lo);
        } else {
            factors[m] = south_day_length_factors.back()[m];
        }
    }
    return factors;
}

}  // namespace

double heat_index(const monthly_series& temperatures) {
    double heat_index = 0.0;
    for (const double t : temperatures) {
        if (t > 0.0) {
            heat_index += std::pow(t / 5.0, 1.514);
        }
    }
    return heat_index;
}

monthly_series unadjusted_pet(const monthly_series& temperatures) {
    const double index = heat_index(temperatures);
    const double pet_exponent = pet_exponent_of(index);
    monthly_series unadjusted{};
    for (int m = 0; m < months_per_year; ++m) {
        unadjusted[m] = unadjusted_pet_of(temperatures[m], index, pet_exponent);
    }
    return unadjusted;
}

day_length_row day_length_factors(double latitude, earth_hemisphere hemisphere) {
    if (hemisphere == earth_hemisphere::north) {
        return northern_factors(latitude);
    }
    if (hemisphere == earth_hemisphere::south) {
        return southern_factors(latitude);
    }
    return day_length_row{};
}

monthly_series compute_pet(const monthly_series& temperatures, double latitude, earth_hemisphere hemisphere) {
    monthly_series pet{};
    if (hemisphere != earth_hemisphere::north && hemisphere != earth_hemisphere::south) {
        return pet;
    }
    const day_length_row day_length_factor = day_length_factors(latitude, hemisphere);
    const monthly_series unadjusted = unadjusted_pet(temperatures);
    for (int m = 0; m < months_per_year; ++m) {
        pet[m] = unadjusted[m] * day_length_factor[m];
    }
    return pet;
}

}  // namespace soil_climate
