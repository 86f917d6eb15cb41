#include "model/annual_cycle.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "soil_climate/station_simulation.hpp"

namespace soil_climate {
namespace {

station_parameters temperate_station() {
    station_parameters station;
    station.latitude = 40.0;
    station.hemisphere = earth_hemisphere::north;
    return station;
}

year_result year_with(double celsius, double monthly_precipitation_mm) {
    year_result year;
    year.monthly_temperature.fill(celsius);
    year.monthly_precipitation.fill(monthly_precipitation_mm);
    return year;
}

constexpr double slant_capacity = 150.0 / 64.0;

// The annual cycle over a year's arrays, its outputs kept in the year.
annual_cycle_result cycle(year_result& year, const station_parameters& station, double slant_capacity,
                          equilibrium_totals& totals) {
    const annual_cycle_result result =
        run_annual_cycle({year.monthly_temperature, year.monthly_precipitation}, station, slant_capacity, totals);
    year.monthly_pet = result.monthly_pet;
    year.moisture_profile = result.moisture_profile;
    year.moisture_calendar = result.moisture_calendar;
    return result;
}

TEST(AnnualCycle, FirstYearTakesASecondPassUnlessItStaysEmpty) {
    equilibrium_totals totals;
    year_result wet = year_with(12.0, 60.0);
    const annual_cycle_result first = cycle(wet, temperate_station(), slant_capacity, totals);
    EXPECT_TRUE(first.converged);
    EXPECT_GE(first.passes, 2);
    EXPECT_GT(totals.profile_total, 0.0);

    equilibrium_totals fresh;
    year_result dry = year_with(12.0, 0.0);
    const annual_cycle_result all_dry = cycle(dry, temperate_station(), slant_capacity, fresh);
    EXPECT_EQ(all_dry.passes, 1);
    EXPECT_EQ(dry.moisture_profile, slant_array{});
    EXPECT_TRUE(std::all_of(dry.moisture_calendar.begin(), dry.moisture_calendar.end(),
                            [](moisture_code code) { return code == moisture_code::dry; }));

    // An all-dry year after a wet one compares its first pass with the wet year's total.
    const annual_cycle_result dry_after_wet = cycle(dry, temperate_station(), slant_capacity, totals);
    EXPECT_EQ(dry_after_wet.passes, 2);
    EXPECT_EQ(totals.profile_total, 0.0);
}

TEST(AnnualCycle, LaterYearEndsAfterOnePassWithinOnePercentOfThePreviousTotal) {
    // Cold and very wet: PET is zero, so one pass from an empty profile fills it.
    equilibrium_totals totals;
    year_result year = year_with(-5.0, 500.0);
    EXPECT_EQ(cycle(year, temperate_station(), slant_capacity, totals).passes, 2);
    EXPECT_EQ(totals.profile_total, 150.0);
    EXPECT_EQ(cycle(year, temperate_station(), slant_capacity, totals).passes, 1);
}

TEST(AnnualCycle, ReplayStartsFromEquilibriumAndFillsTheWholeCalendar) {
    equilibrium_totals totals;
    year_result year = year_with(-5.0, 500.0);
    ASSERT_TRUE(cycle(year, temperate_station(), slant_capacity, totals).converged);
    // From an empty profile the first days of January would be dry; from the full
    // equilibrium profile every day is moist.
    EXPECT_TRUE(std::all_of(year.moisture_calendar.begin(), year.moisture_calendar.end(),
                            [](moisture_code code) { return code == moisture_code::moist; }));

    year_result seasonal;
    seasonal.monthly_temperature = {2, 4, 8, 12, 17, 22, 26, 25, 21, 14, 8, 3};
    seasonal.monthly_precipitation = {90, 80, 70, 40, 20, 5, 0, 2, 10, 40, 70, 90};
    ASSERT_TRUE(cycle(seasonal, temperate_station(), slant_capacity, totals).converged);
    EXPECT_TRUE(std::none_of(seasonal.moisture_calendar.begin(), seasonal.moisture_calendar.end(),
                             [](moisture_code code) { return code == moisture_code::unset; }));
    EXPECT_EQ(seasonal.moisture_calendar[0], moisture_code::moist);
    EXPECT_EQ(seasonal.moisture_calendar[210], moisture_code::dry);  // dry by August
    EXPECT_GT(seasonal.monthly_pet[6], seasonal.monthly_pet[0]);
}

TEST(AnnualCycle, ANegativeCapacityStopsAtThePassLimitInsteadOfRunningForever) {
    // Slants that hold negative water never satisfy the 1 % test.
    equilibrium_totals totals;
    year_result year = year_with(-5.0, 60.0);
    const annual_cycle_result result = cycle(year, temperate_station(), -1.0, totals);
    EXPECT_FALSE(result.converged);
    EXPECT_EQ(result.passes, equilibrium_pass_limit);
}

}  // namespace
}  // namespace soil_climate
