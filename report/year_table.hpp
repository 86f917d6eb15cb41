#pragma once

#include <string>

#include "model/year_fields.hpp"

namespace soil_climate {

// One year of a station as a row of the machine-readable table ("years.csv"), for R,
// pandas and spreadsheets: one column for each field of the table of a year's fields, in
// its order, as comma-separated values; numbers are written in the shortest form that
// reads back as exactly the same double.
void append_year_table_header(std::string& text);
void append_year_table_row(std::string& text, const station_year& row);

}  // namespace soil_climate
