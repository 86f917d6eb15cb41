#include "model/year_evaluation.hpp"

#include <gtest/gtest.h>

#include <numeric>

#include "soil_climate/station_simulation.hpp"

namespace soil_climate {
namespace {

TEST(SummarizeYear, JuneToAugustBalanceInBothHemispheres) {
    monthly_series precipitation{};
    monthly_series pet{};
    precipitation[5] = 80.0;
    precipitation[6] = 70.0;
    precipitation[7] = 60.0;
    pet[5] = 100.0;
    pet[6] = 120.0;
    pet[7] = 110.0;
    precipitation[0] = 15.5;
    pet[11] = 4.25;
    const year_summary summary = summarize_year(precipitation, pet);
    EXPECT_EQ(summary.june_august_balance, -120.0);
    EXPECT_EQ(summary.annual_precipitation, 225.5);
    EXPECT_EQ(summary.annual_pet, 334.25);
    EXPECT_EQ(summary.annual_water_balance, 225.5 - 334.25);
}

TEST(TallyYear, EachYearAddsOneToEachTallyAndItsSums) {
    run_tallies tallies;
    year_result year;
    year.moisture_regime = soil_moisture_regime::udic;
    year.subdivision = moisture_subdivision::typic_udic;
    year.temperature_regime = soil_temperature_regime::mesic;
    year.counts.dry_days = 3;
    year.counts.bio8_days = 200;
    year.summary = {100.0, 80.0, 20.0, -5.0};
    tally_year(tallies, year);
    year.moisture_regime = soil_moisture_regime::aridic;
    year.subdivision = moisture_subdivision::weak_aridic;
    year.summary = {50.0, 90.0, -40.0, -30.0};
    tally_year(tallies, year);

    EXPECT_EQ(tallies.moisture_regimes[4], 1);
    EXPECT_EQ(tallies.subdivisions[13], 1);
    EXPECT_EQ(tallies.moisture_regimes[0], 1);
    EXPECT_EQ(tallies.subdivisions[4], 1);
    EXPECT_EQ(tallies.temperature_regimes[2], 2);
    EXPECT_EQ(std::accumulate(tallies.moisture_regimes.begin(), tallies.moisture_regimes.end(), 0), 2);
    EXPECT_EQ(std::accumulate(tallies.subdivisions.begin(), tallies.subdivisions.end(), 0), 2);
    EXPECT_EQ(tallies.years, 2);
    const summary_sums expected{150.0, 170.0, -20.0, -35.0, 6.0, 0.0, 0.0, 400.0};
    EXPECT_EQ(tallies.sums, expected);
}

}  // namespace
}  // namespace soil_climate
