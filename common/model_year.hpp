#pragma once

#include <array>

namespace soil_climate {

// The model year: twelve months of 30 days, 24 half-months of 15 days.
// Day index d (0 to 359) is month d / 30 + 1, day d % 30 + 1; index 0 is 1 January.
inline constexpr int months_per_year = 12;
inline constexpr int days_per_month = 30;
inline constexpr int days_per_half_month = 15;
inline constexpr int days_per_year = months_per_year * days_per_month;

// Twelve monthly values, January first: temperature (°C), precipitation (mm) or PET (mm).
using monthly_series = std::array<double, months_per_year>;

// Daily soil temperatures of the model year, °C.
using daily_temperatures = std::array<double, days_per_year>;

// Daily moisture condition codes of the moisture control section.
using daily_codes = std::array<int, days_per_year>;

// Moisture condition codes.
inline constexpr int condition_dry = 1;
inline constexpr int condition_moist_dry = 2;  // partly dry and partly moist
inline constexpr int condition_moist = 3;

}  // namespace soil_climate
