#include "evapotranspiration/day_length_limit.hpp"

#include <cmath>
#include <cstdio>

namespace soil_climate {

std::optional<std::string> day_length_limit_notice(double latitude) {
    if (!(std::fabs(latitude) > day_length_table_limit)) {
        return std::nullopt;
    }
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", day_length_table_limit);
    return std::string("day length is taken from the ") + limit + "° row of the table beyond " + limit +
           "° of latitude: PET is underestimated in summer and overestimated in winter there";
}

}  // namespace soil_climate
