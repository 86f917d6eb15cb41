// Thornthwaite's method held against figures published for it, each with its source. The
// figures are the published ones as printed, not values worked from the model's formulas.

#include <gtest/gtest.h>

#include <cmath>

#include "evapotranspiration/pet.hpp"

namespace soil_climate {
namespace {

// Richmond Hill, Ontario, 43.87° N: the monthly mean air temperatures (°C), the unadjusted
// monthly PET (mm) and the heat index of the worked example of Thornthwaite & Mather
// (1957), as quoted in a public stormwater design guide.
constexpr monthly_series richmond_hill_celsius{-6.2, -4.9, -0.3, 6.9, 13.3, 18.7, 21.4, 20.3, 15.9, 9.1, 3.1, -2.7};
constexpr monthly_series richmond_hill_unadjusted_mm{0.0,    0.0,    0.0,   29.91, 62.44, 91.50,
                                                     106.44, 100.33, 76.28, 40.80, 12.19, 0.0};
constexpr double richmond_hill_heat_index = 39.50;

TEST(PublishedReferences, RichmondHillWorkedExample) {
    // The figures are printed to two decimals.
    EXPECT_NEAR(heat_index(richmond_hill_celsius), richmond_hill_heat_index, 0.01);
    const monthly_series unadjusted = unadjusted_pet(richmond_hill_celsius);
    for (int m = 0; m < months_per_year; ++m) {
        EXPECT_NEAR(unadjusted[m], richmond_hill_unadjusted_mm[m], 0.01) << "month " << m + 1;
    }
}

// Thornthwaite & Mather (1957), Table 5: the unadjusted PET of hot months, printed in mm a
// day to one decimal. The model holds monthly totals of 30 days.
TEST(PublishedReferences, HotMonthTableInMillimetresADay) {
    struct hot_month {
        double celsius;
        double mm_a_day;
    };
    const hot_month rows[] = {{26.5, 4.5}, {28.5, 5.1}, {30.0, 5.4}, {32.5, 5.8}, {35.0, 6.1}, {38.0, 6.2}};
    for (const hot_month& row : rows) {
        // The heat index does not reach the hot months; any cooler year around them will do.
        monthly_series year{};
        year.fill(12.0);
        year[6] = row.celsius;
        const double mm_a_day = unadjusted_pet(year)[6] / 30.0;
        EXPECT_DOUBLE_EQ(std::round(mm_a_day * 10.0) / 10.0, row.mm_a_day) << row.celsius << " °C";
    }
}

// Thornthwaite (1948): the mean possible duration of sunlight by latitude, in units of 30
// days of 12 hours, January to December.
TEST(PublishedReferences, DayLengthRows) {
    struct published_row {
        double latitude;
        earth_hemisphere hemisphere;
        day_length_row factors;
    };
    const published_row rows[] = {
        // Thornthwaite (1948), 40° N.
        {40.0, earth_hemisphere::north, {0.84, 0.83, 1.03, 1.11, 1.24, 1.25, 1.27, 1.18, 1.04, 0.96, 0.83, 0.81}},
        // Thornthwaite (1948), 50° S.
        {50.0, earth_hemisphere::south, {1.37, 1.12, 1.08, 0.89, 0.77, 0.67, 0.74, 0.88, 0.99, 1.19, 1.29, 1.41}},
    };
    for (const published_row& row : rows) {
        const day_length_row factors = day_length_factors(row.latitude, row.hemisphere);
        for (int m = 0; m < months_per_year; ++m) {
            EXPECT_DOUBLE_EQ(factors[m], row.factors[m])
                << row.latitude << "° " << hemisphere_letter(row.hemisphere) << ", month " << m + 1;
        }
    }
}

// The published table ends at 50°. Beyond it the model deliberately holds the 50° row
// rather than extrapolate: summer PET there is too low and winter PET too high, by more the
// farther the station lies from 50°. A change to that is a change of the model's results
// at every such station, and must be made on purpose.
TEST(PublishedReferences, BeyondFiftyDegreesTheFiftyDegreeRowHolds) {
    monthly_series year{};
    year.fill(8.0);
    year[6] = 16.0;
    for (const earth_hemisphere hemisphere : {earth_hemisphere::north, earth_hemisphere::south}) {
        const day_length_row at_fifty = day_length_factors(50.0, hemisphere);
        const monthly_series pet_at_fifty = compute_pet(year, 50.0, hemisphere);
        for (const double latitude : {50.5, 57.0, 64.8, 70.0, 90.0}) {
            const char letter = hemisphere_letter(hemisphere);
            EXPECT_EQ(day_length_factors(latitude, hemisphere), at_fifty) << latitude << "° " << letter;
            EXPECT_EQ(compute_pet(year, latitude, hemisphere), pet_at_fifty) << latitude << "° " << letter;
        }
    }
}

}  // namespace
}  // namespace soil_climate
