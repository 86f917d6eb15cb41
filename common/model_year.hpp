#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace soil_climate {

// The model year: twelve months of 30 days, 24 half-months of 15 days.
// Day index d (0 to 359) is month d / 30 + 1, day d % 30 + 1; index 0 is 1 January.
inline constexpr int months_per_year = 12;
inline constexpr int days_per_month = 30;
inline constexpr int days_per_half_month = 15;
inline constexpr int days_per_year = months_per_year * days_per_month;

// The months' names, January first, as messages name them.
inline constexpr std::array<std::string_view, months_per_year> month_names{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December",
};

// Twelve monthly values, January first: temperature (°C), precipitation (mm) or PET (mm).
using monthly_series = std::array<double, months_per_year>;

// Daily soil temperatures of the model year, °C.
using daily_temperatures = std::array<double, days_per_year>;

// The daily moisture condition of the moisture control section. `unset` marks a day not
// yet recorded; every day of a replayed year holds one of the three conditions.
enum class moisture_code : std::int8_t {
    unset = 0,
    dry = 1,
    moist_dry = 2,  // partly dry and partly moist
    moist = 3,
};

// The report's legend text of each condition, by code 1 to 3.
inline constexpr std::array<std::string_view, 3> moisture_code_names{
    "Dry", "Partly Dry and Partly Moist", "Moist"};

// The printed digit of a condition: 1 dry, 2 partly dry and partly moist, 3 moist.
constexpr int code_number(moisture_code code) {
    return static_cast<int>(code);
}

// Daily moisture condition codes of the moisture control section.
using daily_codes = std::array<moisture_code, days_per_year>;

}  // namespace soil_climate
