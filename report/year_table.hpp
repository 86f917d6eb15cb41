#pragma once

#include <string>
#include <string_view>

#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/station_parameters.hpp"
#include "common/year_summary.hpp"

namespace soil_climate {

// One year of a station as a row of the machine-readable table ("years.csv"), for R,
// pandas and spreadsheets: fields are separated by commas and quoted where RFC 4180 asks
// (a comma, a double quote or a line end inside a field); numbers are written in the
// shortest form that reads back as exactly the same double.
struct year_table_row {
    const std::string& year_label;
    const station_parameters& station;  // water_holding_capacity in mm
    const year_summary& summary;
    const regime_counts& counts;
    double mean_soil_temperature;  // °C
    double seasonal_difference;    // °C
    soil_moisture_regime moisture_regime;
    moisture_subdivision subdivision;
    soil_temperature_regime temperature_regime;
};

void append_year_table_header(std::string& text);
void append_year_table_row(std::string& text, const year_table_row& row);

}  // namespace soil_climate
