#pragma once

#include <string>
#include <string_view>

#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "model/year_result.hpp"

namespace soil_climate {

// The daily soil temperature symbol of the report: '-' below 5 °C, '5' from 5 to below
// 8 °C, '8' from 8 °C on. These bounds are inclusive, unlike the day counts.
char temperature_symbol(double soil_temperature);

// How every year's report begins, whatever its station and year.
inline constexpr std::string_view station_report_opening = "The simulation results of ";

// Appends one year's report to `text`: the monthly inputs and PET, the end-of-year
// profile, both calendars, the three regime names and the day counts.
void format_station_report(std::string& text, std::string_view year_label, std::string_view station_name,
                           const year_result& year);

}  // namespace soil_climate
