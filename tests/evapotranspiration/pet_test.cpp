#include "evapotranspiration/pet.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "evapotranspiration/day_length_limit.hpp"
#include "evapotranspiration/day_length_tables.hpp"

namespace soil_climate {
namespace {

monthly_series all_months(double celsius) {
    monthly_series t;
    t.fill(celsius);
    return t;
}

// The unadjusted PET of January, recovered from the equator's northern factor (1.04).
double unadjusted_january(double celsius) {
    monthly_series t = all_months(10.0);
    t[0] = celsius;
    monthly_series pet{};
    pet = compute_pet(t, 0.0, earth_hemisphere::north);
    return pet[0] / north_day_length_factors[0][0];
}

TEST(ComputePet, HotMonthsTakeTheBandBelowTheirTemperature) {
    struct band {
        double celsius;
        double unadjusted_mm;
    };
    const band cases[] = {{26.5, 135.0}, {26.99, 135.0}, {27.0, 139.5}, {30.2, 162.1},
                          {37.4, 184.9}, {37.9, 185.0}, {38.0, 185.0}, {45.0, 185.0}};
    for (const band& c : cases) {
        EXPECT_DOUBLE_EQ(unadjusted_january(c.celsius), c.unadjusted_mm) << c.celsius << " °C";
    }
}

TEST(ComputePet, ModerateMonthsFollowTheHeatIndexFormula) {
    // Twelve months at 10 °C: I = 12 (10 / 5)^1.514 ≈ 34.28, a ≈ 1.0432, so the unadjusted
    // PET is 16 (100 / I)^a ≈ 48.9 mm (worked by hand).
    EXPECT_NEAR(unadjusted_january(10.0), 48.9, 0.05);

    // Just below 26.5 °C the formula applies, not the table.
    const double below = unadjusted_january(26.49);
    EXPECT_GT(below, 0.0);
    EXPECT_NE(below, 135.0);
}

TEST(ComputePet, MonthsAtOrBelowFreezingGiveNothingAndAddNothing) {
    monthly_series t = all_months(12.0);
    t[0] = 0.0;
    t[1] = -5.0;
    monthly_series with_frost{};
    with_frost = compute_pet(t, 40.0, earth_hemisphere::north);
    EXPECT_EQ(with_frost[0], 0.0);
    EXPECT_EQ(with_frost[1], 0.0);

    // A month at 0 °C adds nothing to the heat index: the other months are unchanged
    // when it is replaced by a colder one.
    t[0] = -20.0;
    monthly_series colder{};
    colder = compute_pet(t, 40.0, earth_hemisphere::north);
    EXPECT_EQ(colder, with_frost);

    monthly_series frozen{};
    frozen.fill(1.0);
    frozen = compute_pet(all_months(-3.0), 40.0, earth_hemisphere::north);
    EXPECT_EQ(frozen, monthly_series{});
}

TEST(ComputePet, EqualMonthsAtTheEquatorDifferOnlyByDayLength) {
    monthly_series pet{};
    pet = compute_pet(all_months(20.0), 0.0, earth_hemisphere::north);
    const double unadjusted = pet[0] / 1.04;
    for (int m = 0; m < months_per_year; ++m) {
        EXPECT_DOUBLE_EQ(pet[m], unadjusted * north_day_length_factors[0][m]);
    }
    EXPECT_LT(pet[1], pet[3]);  // February lowest, 30-day months below 31-day months
    EXPECT_LT(pet[3], pet[0]);
}

// The factors a latitude receives, from twelve equal months whose unadjusted PET is known.
monthly_series factors_at(double latitude, earth_hemisphere hemisphere) {
    const monthly_series hot = all_months(40.0);  // 185 mm unadjusted in every month
    monthly_series pet{};
    pet = compute_pet(hot, latitude, hemisphere);
    for (double& value : pet) {
        value /= 185.0;
    }
    return pet;
}

void expect_row(const monthly_series& factors, const day_length_row& row, double latitude) {
    for (int m = 0; m < months_per_year; ++m) {
        EXPECT_NEAR(factors[m], row[m], 1e-12) << "latitude " << latitude << ", month " << m + 1;
    }
}

day_length_row mean_of(const day_length_row& a, const day_length_row& b) {
    day_length_row mean{};
    for (int m = 0; m < months_per_year; ++m) {
        mean[m] = (a[m] + b[m]) / 2.0;
    }
    return mean;
}

TEST(ComputePet, NorthernLatitudesTakeTheRowAtOrBelowWithoutInterpolation) {
    struct selection {
        double latitude;
        int row;
    };
    const selection cases[] = {{0.0, 0},   {4.99, 0},  {5.0, 1},   {25.5, 5},  {26.0, 6},
                               {38.5, 18}, {49.9, 29}, {50.0, 30}, {70.0, 30}, {90.0, 30}};
    for (const selection& c : cases) {
        expect_row(factors_at(c.latitude, earth_hemisphere::north), north_day_length_factors[c.row], c.latitude);
    }
}

TEST(ComputePet, SouthernLatitudesInterpolateBetweenRows) {
    const auto& north = north_day_length_factors;
    const auto& south = south_day_length_factors;
    expect_row(factors_at(0.0, earth_hemisphere::south), north[0], 0.0);
    expect_row(factors_at(2.5, earth_hemisphere::south), mean_of(north[0], south[0]), 2.5);
    expect_row(factors_at(5.0, earth_hemisphere::south), south[0], 5.0);
    expect_row(factors_at(7.5, earth_hemisphere::south), mean_of(south[0], south[1]), 7.5);
    expect_row(factors_at(41.0, earth_hemisphere::south), mean_of(south[7], south[8]), 41.0);
    expect_row(factors_at(47.0, earth_hemisphere::south), mean_of(south[10], south[11]), 47.0);
    // From 48° on the 50° row holds unchanged.
    expect_row(factors_at(48.0, earth_hemisphere::south), south[12], 48.0);
    expect_row(factors_at(49.0, earth_hemisphere::south), south[12], 49.0);
    expect_row(factors_at(60.0, earth_hemisphere::south), south[12], 60.0);
}

TEST(ComputePet, OnlyUpperCaseHemisphereLettersChooseFactors) {
    for (const char letter : {'n', 's', 'X', ' '}) {
        monthly_series pet{};
        pet.fill(7.0);
        pet = compute_pet(all_months(25.0), 30.0, static_cast<earth_hemisphere>(letter));
        EXPECT_EQ(pet, monthly_series{}) << "letter '" << letter << "'";
    }
}

// Grids pass signed latitudes, stations magnitudes; a latitude that is not a number (a
// grid's missing coordinate) is no latitude beyond the tables.
TEST(DayLengthLimitNotice, OnlyLatitudesBeyondFiftyDegreesEitherSideAreNoticed) {
    struct latitude_case {
        double latitude;
        bool noticed;
    };
    const latitude_case cases[] = {{0.0, false},  {49.9, false},  {50.0, false}, {-50.0, false},
                                   {50.01, true}, {-50.01, true}, {60.0, true},  {-60.0, true},
                                   {90.0, true},  {-90.0, true},  {NAN, false}};
    for (const latitude_case& c : cases) {
        EXPECT_EQ(day_length_limit_notice(c.latitude).has_value(), c.noticed) << c.latitude;
    }
}

}  // namespace
}  // namespace soil_climate
