// The one check of station parameters and monthly values, and the entry point that refuses
// what it finds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/hemisphere_check.hpp"
#include "common/input_limits.hpp"
#include "soil_climate/station_simulation.hpp"

namespace soil_climate {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

station_parameters davis() {
    station_parameters station;
    station.latitude = 38.5;
    station.water_holding_capacity = 152.4;
    station.soil_temp_offset = 2.5;
    station.amplitude_factor = 0.66;
    station.station_name = "Davis";
    return station;
}

struct station_case {
    const char* what;
    void (*spoil)(station_parameters&);
    input_fault fault;
    const char* field;  // nullptr for the hemisphere
};

TEST(CheckStation, NamesTheFirstFieldTheModelCannotTake) {
    const station_case cases[] = {
        {"lowercase hemisphere", [](station_parameters& s) { s.hemisphere = static_cast<earth_hemisphere>('n'); },
         input_fault::unknown_hemisphere, nullptr},
        {"negative latitude", [](station_parameters& s) { s.latitude = -0.5; }, input_fault::out_of_range, "latitude"},
        {"latitude past the pole", [](station_parameters& s) { s.latitude = 90.0001; }, input_fault::out_of_range,
         "latitude"},
        {"no latitude", [](station_parameters& s) { s.latitude = nan; }, input_fault::not_finite, "latitude"},
        {"negative capacity", [](station_parameters& s) { s.water_holding_capacity = -1e-9; },
         input_fault::out_of_range, "water_holding_capacity"},
        {"endless capacity", [](station_parameters& s) { s.water_holding_capacity = inf; }, input_fault::not_finite,
         "water_holding_capacity"},
        {"offset", [](station_parameters& s) { s.soil_temp_offset = 30.5; }, input_fault::out_of_range,
         "soil_temp_offset"},
        {"factor", [](station_parameters& s) { s.amplitude_factor = -3.5; }, input_fault::out_of_range,
         "amplitude_factor"},
        {"phase shift", [](station_parameters& s) { s.phase_shift = nan; }, input_fault::not_finite, "phase_shift"},
        // Two faults: the parameter file's order decides which is named.
        {"latitude before capacity",
         [](station_parameters& s) {
             s.water_holding_capacity = -1.0;
             s.latitude = 91.0;
         },
         input_fault::out_of_range, "latitude"},
    };
    for (const station_case& c : cases) {
        station_parameters station = davis();
        c.spoil(station);
        const auto problem = check_station(station);
        ASSERT_TRUE(problem.has_value()) << c.what;
        EXPECT_EQ(problem->fault, c.fault) << c.what;
        EXPECT_EQ(problem->month, -1) << c.what;
        if (c.field == nullptr) {
            EXPECT_EQ(problem->range, nullptr) << c.what;
        } else {
            ASSERT_NE(problem->range, nullptr) << c.what;
            EXPECT_STREQ(problem->range->field, c.field) << c.what;
        }
        EXPECT_THROW(station_simulation{station}, invalid_input) << c.what;
    }
    // The bounds themselves are usable.
    station_parameters edges = davis();
    edges.latitude = 90.0;
    edges.water_holding_capacity = 1.0e6;
    edges.phase_shift = -100000.0;
    EXPECT_FALSE(check_station(edges).has_value());
}

TEST(CheckMonthlyValue, GapsCodesAndRangesInEitherUnits) {
    struct monthly_case {
        double value;
        const value_range* range;
        std::optional<input_fault> fault;
    };
    const monthly_case cases[] = {
        {-99.9, &air_temperature_fahrenheit, input_fault::missing_value_code},
        {-9999.0, &precipitation_mm, input_fault::missing_value_code},
        {-99.8, &air_temperature_fahrenheit, std::nullopt},
        {nan, &air_temperature_celsius, input_fault::not_finite},
        {-inf, &precipitation_inches, input_fault::not_finite},
        {-0.01, &precipitation_inches, input_fault::out_of_range},
        {1000.0, &precipitation_inches, std::nullopt},
        {25400.0, &precipitation_mm, std::nullopt},
        {25400.001, &precipitation_mm, input_fault::out_of_range},
        {250.5, &air_temperature_fahrenheit, input_fault::out_of_range},
    };
    for (const monthly_case& c : cases) {
        const auto problem = check_monthly_value(c.value, *c.range, 4);
        ASSERT_EQ(problem.has_value(), c.fault.has_value()) << c.value << " " << c.range->unit;
        if (problem) {
            EXPECT_EQ(problem->fault, *c.fault) << c.value;
            EXPECT_EQ(problem->month, 4);
            EXPECT_EQ(problem->range, c.range);
        }
    }
}

TEST(CheckMonthlyValue, TheEntryPointRefusesABadMonthAndKeepsItsState) {
    monthly_series temperature{};
    temperature.fill(15.0);
    monthly_series precipitation{};
    precipitation.fill(40.0);
    station_simulation once(davis());
    station_simulation refused(davis());
    const year_result first = once.simulate_year(temperature, precipitation);
    monthly_series spoiled = precipitation;
    spoiled[8] = -99.0;
    try {
        refused.simulate_year(temperature, spoiled);
        FAIL() << "a missing-value code was simulated";
    } catch (const invalid_input& refusal) {
        EXPECT_EQ(refusal.month, 8);
        EXPECT_EQ(refusal.problem.fault, input_fault::missing_value_code);
        EXPECT_EQ(std::string(refusal.what()), "September precipitation is not a number from 0 to 25400 mm");
    }
    // The refused year left nothing behind: the next year is simulated as if it came first.
    const year_result after = refused.simulate_year(temperature, precipitation);
    EXPECT_EQ(after.equilibrium_passes, first.equilibrium_passes);
    EXPECT_EQ(after.moisture_profile, first.moisture_profile);
}

// The hemisphere check: only a whole season of warmth on the wrong side raises a doubt.
TEST(HemisphereDoubt, TheWarmestThreeMonthsOnTheWrongSideOfTheYear) {
    const auto warm_in = [](std::initializer_list<int> months) {
        monthly_series t{};
        t.fill(10.0);
        double warmth = 20.0;
        for (const int m : months) {
            t[m] = warmth++;
        }
        return t;
    };
    struct doubt_case {
        earth_hemisphere hemisphere;
        monthly_series temperature;
        bool doubted;
    };
    const doubt_case cases[] = {
        {earth_hemisphere::south, warm_in({5, 6, 7}), true},
        {earth_hemisphere::north, warm_in({11, 0, 1}), true},
        {earth_hemisphere::south, warm_in({11, 0, 1}), false},
        {earth_hemisphere::north, warm_in({5, 6, 7}), false},
        {earth_hemisphere::south, warm_in({5, 6, 8}), false},  // September among the three
        {earth_hemisphere::north, warm_in({}), false},          // no season at all
    };
    for (const doubt_case& c : cases) {
        EXPECT_EQ(hemisphere_doubt(c.hemisphere, c.temperature).has_value(), c.doubted)
            << hemisphere_letter(c.hemisphere) << " " << c.temperature[0] << " " << c.temperature[6];
    }
}

}  // namespace
}  // namespace soil_climate
