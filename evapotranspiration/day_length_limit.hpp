#pragma once

#include <optional>
#include <string>

#include "evapotranspiration/day_length_tables.hpp"

namespace soil_climate {

// The last latitude of both day-length tables, degrees either side of the equator. Beyond
// it every latitude takes that row's factors.
inline constexpr double day_length_table_limit = north_latitudes.back();
static_assert(south_latitudes.back() == day_length_table_limit, "both tables end at the same latitude");

// The notice for a station or cell beyond the tables (a latitude, signed or a magnitude,
// whose magnitude is above the limit): there the factors are those of the limit's row,
// whose summer days are shorter and winter days longer than the station's own. Returns
// the notice's words, or nothing.
std::optional<std::string> day_length_limit_notice(double latitude);

}  // namespace soil_climate
