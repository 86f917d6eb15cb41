#include "report/year_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace soil_climate {
namespace {

TEST(YearTable, RowsQuoteWhereNeededAndNumbersReadBackExactly) {
    station_parameters station;
    station.latitude = 38.5;
    station.hemisphere = earth_hemisphere::north;
    station.water_holding_capacity = 6.0 * 25.4;
    station.station_name = "Davis,\"CA\"";
    year_result year;
    year.summary = {504.19, 824.9107216319576, 504.19 - 824.9107216319576, -383.0};
    year.counts = {139, 52, 169, 139, 52, 169, 176, 176, 120, 120};
    year.soil = {18.356481482177404, 0.1};
    year.moisture_regime = soil_moisture_regime::xeric;
    year.subdivision = moisture_subdivision::dry_xeric;
    year.temperature_regime = soil_temperature_regime::thermic;
    std::string text;
    append_year_table_row(text, {"1961", station, year});
    EXPECT_EQ(text,
              "1961,\"Davis,\"\"CA\"\"\",38.5,N,152.39999999999998,504.19,824.9107216319576,-320.7207216319576,"
              "-383,139,52,169,139,52,169,176,176,120,120,18.356481482177404,0.1,XERIC,DRY XERIC,Thermic\n");
    EXPECT_EQ(std::strtod("152.39999999999998", nullptr), 6.0 * 25.4);
    EXPECT_EQ(std::strtod("-320.7207216319576", nullptr), 504.19 - 824.9107216319576);

    std::string header;
    append_year_table_header(header);
    EXPECT_EQ(std::count(header.begin(), header.end(), ','),
              std::count(text.begin(), text.end(), ',') - 1);  // one comma is inside the quoted name
}

// The columns that R and pandas scripts select by name, in their documented order.
TEST(YearTable, HeaderNamesEveryFieldInItsOrder) {
    std::string header;
    append_year_table_header(header);
    EXPECT_EQ(header,
              "year_label,station_name,latitude,hemisphere,water_holding_capacity_mm,"
              "annual_precipitation_mm,annual_pet_mm,annual_water_balance_mm,june_august_balance_mm,"
              "year_dry_days,year_moist_dry_days,year_moist_days,dry_days,moist_dry_days,moist_days,"
              "longest_moist_run,bio8_days,summer_dry_run,winter_moist_run,"
              "mean_soil_temperature_c,seasonal_difference_c,moisture_regime,subdivision,temperature_regime\n");
}

}  // namespace
}  // namespace soil_climate
