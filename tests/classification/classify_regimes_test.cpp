#include "classification/classify_regimes.hpp"

#include <gtest/gtest.h>

#include <string>

namespace soil_climate {
namespace {

// A year built for one rule: soil temperatures by season, moisture codes by day ranges,
// and months that are all wet unless said otherwise.
struct year_case {
    daily_temperatures temperature{};
    daily_codes moisture{};
    monthly_series precipitation{};
    monthly_series pet{};
    char hemisphere = 'N';

    // Summer days 150-239, winter days 0-59 and 330-359, and the rest, °C.
    year_case& soil(double summer, double winter, double rest) {
        for (int d = 0; d < days_per_year; ++d) {
            const bool is_summer = d >= 150 && d <= 239;
            const bool is_winter = d <= 59 || d >= 330;
            temperature[d] = is_summer ? summer : is_winter ? winter : rest;
        }
        return *this;
    }
    year_case& flat_soil(double celsius) { return soil(celsius, celsius, celsius); }
    year_case& codes(int first, int last, int code) {
        for (int d = first; d <= last; ++d) {
            moisture[d] = static_cast<moisture_code>(code);
        }
        return *this;
    }
    year_case& warm(int first, int last, double celsius) {
        for (int d = first; d <= last; ++d) {
            temperature[d] = celsius;
        }
        return *this;
    }
    year_case& month_balanced(int month) {
        pet[month] = precipitation[month];
        return *this;
    }
    year_case& in_hemisphere(char letter) {
        hemisphere = letter;
        return *this;
    }

    year_case() {
        precipitation.fill(100.0);
        pet.fill(50.0);
        moisture.fill(moisture_code::moist);
    }
};

struct classified {
    std::string temperature_regime;
    std::string moisture_regime;
    std::string subdivision;
    regime_counts counts;
};

classified classify(const year_case& year) {
    const regime_classification result =
        classify_regimes(year.temperature, summarize_soil_temperature(year.temperature), year.moisture,
                         year.precipitation, year.pet, static_cast<earth_hemisphere>(year.hemisphere));
    return {std::string(name_of(result.temperature_regime)), std::string(name_of(result.moisture_regime)),
            std::string(name_of(result.subdivision)), result.counts};
}

// A Mediterranean year: seasonal (mean 15 °C, summer-winter difference 10 °C), moist
// January to June, dry from 1 July for `dry_days` days, moist again after.
year_case mediterranean(int dry_days) { return year_case().soil(20.0, 10.0, 15.0).codes(180, 179 + dry_days, 1); }

struct regime_rule {
    const char* rule;
    year_case year;
    const char* moisture_regime;
    const char* subdivision;
};

TEST(ClassifyRegimes, MoistureRegimeAndSubdivisionRules) {
    const regime_rule rules[] = {
        // ARIDIC: dry on at least half the warm days, biological window under 90 days.
        {"all dry", year_case().flat_soil(20.0).codes(0, 359, 1), "ARIDIC", "EXTREME ARIDIC"},
        {"no warm day", year_case().flat_soil(0.0).codes(0, 359, 1), "ARIDIC", "EXTREME ARIDIC"},
        {"no warm day, one moist", year_case().flat_soil(0.0).codes(0, 358, 1), "ARIDIC", "TYPIC ARIDIC"},
        {"bio8 45", year_case().flat_soil(20.0).codes(0, 359, 1).codes(10, 54, 3), "ARIDIC", "TYPIC ARIDIC"},
        {"bio8 46", year_case().flat_soil(20.0).codes(0, 359, 1).codes(10, 55, 3), "ARIDIC", "WEAK ARIDIC"},
        {"bio8 89", year_case().flat_soil(20.0).codes(0, 359, 1).codes(10, 98, 3), "ARIDIC", "WEAK ARIDIC"},
        // bio8 of 90 rules ARIDIC out; constant soil is isothermal, so USTIC follows.
        {"bio8 90", year_case().flat_soil(20.0).codes(0, 359, 1).codes(10, 99, 3), "USTIC", "ARIDIC TROPUSTIC"},
        // The half of 181 warm days rounds down: 90 dry warm days are enough.
        {"half rounds down",
         year_case().flat_soil(0.0).warm(0, 180, 10.0).codes(0, 29, 1).codes(75, 104, 1).codes(151, 180, 1), "ARIDIC",
         "WEAK ARIDIC"},
        {"89 of 181",
         year_case()
             .flat_soil(0.0)
             .warm(0, 180, 10.0)
             .codes(0, 28, 1)
             .codes(75, 104, 1)
             .codes(151, 180, 1)
             .month_balanced(0),
         "UDIC", "DRY TROPUDIC"},

        // XERIC: mean below 22, not isothermal, 45 dry days after the summer solstice and
        // 45 moist days after the winter one.
        {"dry 120 days", mediterranean(120), "XERIC", "DRY XERIC"},
        {"dry 91 days", mediterranean(91), "XERIC", "DRY XERIC"},
        {"dry 90 days", mediterranean(90), "XERIC", "TYPIC XERIC"},
        {"dry 45 days", mediterranean(45), "XERIC", "TYPIC XERIC"},
        {"dry 44 days", mediterranean(44).month_balanced(0), "UDIC", "DRY TEMPUDIC"},
        {"difference exactly 5", year_case().soil(17.5, 12.5, 15.0).codes(180, 299, 1), "XERIC", "DRY XERIC"},
        {"mean exactly 22", year_case().soil(24.5, 19.5, 22.0).codes(180, 299, 1), "USTIC", "XERIC TEMPUSTIC"},
        {"winter moist 45", mediterranean(120).codes(0, 119, 2).codes(30, 74, 3), "XERIC", "DRY XERIC"},
        {"winter moist 44", mediterranean(120).codes(0, 119, 2).codes(30, 73, 3), "USTIC", "TYPIC TEMPUSTIC"},
        {"southern", mediterranean(0).in_hemisphere('S').codes(0, 119, 1), "XERIC", "DRY XERIC"},
        {"southern windows", mediterranean(120).in_hemisphere('S'), "USTIC", "TYPIC TEMPUSTIC"},

        // USTIC: dry in some or all parts for 90 days or more, mean 8 °C or above.
        {"bio8 179", year_case().flat_soil(20.0).warm(179, 179, 5.0).warm(359, 359, 5.0).codes(0, 89, 2), "USTIC",
         "ARIDIC TROPUSTIC"},
        {"bio8 180", year_case().flat_soil(20.0).codes(0, 179, 1), "USTIC", "TYPIC TROPUSTIC"},
        {"bio8 269", year_case().flat_soil(20.0).codes(0, 90, 1), "USTIC", "TYPIC TROPUSTIC"},
        {"bio8 270", year_case().flat_soil(20.0).codes(0, 89, 1), "USTIC", "UDIC TROPUSTIC"},
        {"wet tempustic", year_case().soil(20.0, 10.0, 15.0).codes(60, 179, 2), "USTIC", "WET TEMPUSTIC"},
        {"winter moist 46", year_case().soil(20.0, 10.0, 15.0).codes(46, 179, 2), "USTIC", "WET TEMPUSTIC"},
        {"winter moist 45", year_case().soil(20.0, 10.0, 15.0).codes(45, 179, 2), "USTIC", "TYPIC TEMPUSTIC"},
        {"winter moist 44 wet", year_case().soil(20.0, 10.0, 15.0).codes(0, 179, 2).codes(10, 53, 3), "USTIC",
         "TYPIC TEMPUSTIC"},
        {"summer moist 45", year_case().soil(20.0, 10.0, 15.0).codes(60, 179, 2).codes(225, 225, 1).codes(271, 271, 1),
         "USTIC", "TYPIC TEMPUSTIC"},
        {"summer moist 46", year_case().soil(20.0, 10.0, 15.0).codes(60, 179, 2).codes(226, 226, 1).codes(272, 272, 1),
         "USTIC", "WET TEMPUSTIC"},
        {"mean 8", year_case().flat_soil(8.0).codes(0, 89, 2), "USTIC", "ARIDIC TROPUSTIC"},
        {"mean below 8", year_case().flat_soil(7.5).codes(0, 89, 2), "UNDEFINED", "UNDEFINED"},

        // PERUDIC and UDIC.
        {"all months wet", year_case().flat_soil(20.0), "PERUDIC", "PERUDIC"},
        {"one month balanced", year_case().flat_soil(20.0).month_balanced(6), "UDIC", "TYPIC UDIC"},
        {"dry run 89", year_case().flat_soil(20.0).codes(0, 88, 2), "PERUDIC", "PERUDIC"},
        {"dry run 29", year_case().flat_soil(20.0).codes(0, 28, 2).month_balanced(0), "UDIC", "TYPIC UDIC"},
        {"dry run 30", year_case().flat_soil(20.0).codes(0, 29, 2).month_balanced(0), "UDIC", "DRY TROPUDIC"},
        {"dry run 30 seasonal", year_case().soil(20.0, 10.0, 15.0).codes(0, 29, 2).month_balanced(0), "UDIC",
         "DRY TEMPUDIC"},
    };
    for (const regime_rule& rule : rules) {
        const classified result = classify(rule.year);
        EXPECT_EQ(result.moisture_regime, rule.moisture_regime) << rule.rule;
        EXPECT_EQ(result.subdivision, rule.subdivision) << rule.rule;
    }
}

TEST(ClassifyRegimes, TemperatureRegimeBands) {
    struct band {
        year_case year;
        const char* name;
    };
    const band bands[] = {
        {year_case().flat_soil(7.99), "Isofrigid"},
        {year_case().flat_soil(8.0), "Isomesic"},
        {year_case().flat_soil(14.99), "Isomesic"},
        {year_case().flat_soil(15.0), "Isothermic"},
        {year_case().flat_soil(22.0), "Isohyperthermic"},
        {year_case().soil(12.5, 2.5, 7.5), "Frigid"},
        {year_case().soil(13.0, 3.0, 8.0), "Mesic"},
        {year_case().soil(20.0, 10.0, 15.0), "Thermic"},
        {year_case().soil(24.5, 19.5, 22.0), "Hyperthermic"},  // difference exactly 5: not isothermal
        {year_case().soil(24.5, 19.51, 22.0), "Isohyperthermic"},
        {year_case().soil(-10.0, -30.0, -20.0), "Frigid"},
    };
    for (const band& b : bands) {
        EXPECT_EQ(classify(b.year).temperature_regime, b.name) << b.name;
    }
}

// The cold regimes' bounds, each on both sides, with the regime the year has without
// them: below 0 °C Pergelic; below 8 °C Cryic when the hemisphere's summer (June-August
// north, December-February south) stays below 15 °C.
TEST(ClassifyRegimes, ColdRegimeBands) {
    struct band {
        const char* rule;
        year_case year;
        const char* cold;
        const char* plain;
    };
    const band bands[] = {
        {"mean -0.01", year_case().flat_soil(-0.01), "Pergelic", "Isofrigid"},
        {"mean -0.0", year_case().flat_soil(-0.0), "Cryic", "Isofrigid"},
        {"mean 0.0", year_case().flat_soil(0.0), "Cryic", "Isofrigid"},
        {"mean 7.99", year_case().flat_soil(7.99), "Cryic", "Isofrigid"},
        {"mean 8.0", year_case().flat_soil(8.0), "Isomesic", "Isomesic"},
        {"seasonal, mean below 0", year_case().soil(14.0, -20.0, -1.0), "Pergelic", "Frigid"},
        {"north summer 14.99", year_case().soil(14.99, 1.0, 7.0), "Cryic", "Frigid"},
        {"north summer 15.0", year_case().soil(15.0, 1.0, 7.0), "Frigid", "Frigid"},
        {"south summer 14.99", year_case().soil(16.0, 14.99, 0.0).in_hemisphere('S'), "Cryic", "Isofrigid"},
        {"south summer 15.0", year_case().soil(16.0, 15.0, 0.0).in_hemisphere('S'), "Isofrigid", "Isofrigid"},
        {"north reads June-August", year_case().soil(16.0, 14.99, 0.0), "Isofrigid", "Isofrigid"},
        {"warm year", year_case().soil(20.0, 10.0, 15.0), "Thermic", "Thermic"},
    };
    for (const band& b : bands) {
        const year_case& y = b.year;
        const auto hemisphere = static_cast<earth_hemisphere>(y.hemisphere);
        const regime_classification cold =
            classify_regimes(y.temperature, summarize_soil_temperature(y.temperature), y.moisture,
                                                   y.precipitation, y.pet, hemisphere, {.cold_regimes = true});
        EXPECT_EQ(name_of(cold.temperature_regime), b.cold) << b.rule;
        EXPECT_EQ(classify(y).temperature_regime, b.plain) << b.rule;
        // The cold regimes change the temperature regime only.
        const classified plain = classify(y);
        EXPECT_EQ(name_of(cold.moisture_regime), plain.moisture_regime) << b.rule;
        EXPECT_EQ(name_of(cold.subdivision), plain.subdivision) << b.rule;
    }
}

TEST(ClassifyRegimes, DayCountsAndRuns) {
    // All moist and above 8 °C.
    regime_counts all_moist = classify(year_case().flat_soil(20.0)).counts;
    EXPECT_EQ(all_moist.year_moist_days, 360);
    EXPECT_EQ(all_moist.moist_days, 360);
    EXPECT_EQ(all_moist.longest_moist_run, 360);
    EXPECT_EQ(all_moist.bio8_days, 360);
    EXPECT_EQ(all_moist.year_dry_days + all_moist.year_moist_dry_days + all_moist.dry_days + all_moist.moist_dry_days,
              0);
    EXPECT_EQ(all_moist.summer_dry_run, 0);
    EXPECT_EQ(all_moist.winter_moist_run, 120);

    // Exactly 5 °C is not warm and exactly 8 °C breaks the biological window.
    const regime_counts edges =
        classify(year_case().flat_soil(20.0).warm(0, 9, 5.0).warm(100, 100, 8.0).codes(0, 19, 1).codes(20, 29, 2))
            .counts;
    EXPECT_EQ(edges.year_dry_days, 20);
    EXPECT_EQ(edges.dry_days, 10);
    EXPECT_EQ(edges.year_moist_dry_days, 10);
    EXPECT_EQ(edges.moist_dry_days, 10);
    EXPECT_EQ(edges.bio8_days, 259);          // days 101 to 359
    EXPECT_EQ(edges.longest_moist_run, 340);  // days 20 to 359

    // Runs never wrap from day 359 to day 0; a run open on the last day counts in full.
    const regime_counts wrap =
        classify(year_case().flat_soil(20.0).codes(0, 359, 1).codes(0, 9, 3).codes(340, 359, 3)).counts;
    EXPECT_EQ(wrap.longest_moist_run, 20);
    EXPECT_EQ(wrap.bio8_days, 20);
}

TEST(ClassifyRegimes, SolsticeWindowsFollowTheHemisphere) {
    const year_case year = year_case().flat_soil(20.0).codes(0, 49, 1).codes(180, 229, 1).codes(230, 299, 3);
    const regime_counts north = classify(year).counts;
    EXPECT_EQ(north.summer_dry_run, 50);    // July to October
    EXPECT_EQ(north.winter_moist_run, 70);  // January to April: days 50 to 119
    year_case southern = year;
    const regime_counts south = classify(southern.in_hemisphere('S')).counts;
    EXPECT_EQ(south.summer_dry_run, 50);    // January to April
    EXPECT_EQ(south.winter_moist_run, 70);  // July to October

    // Any other letter sets both runs to 0 and never chooses XERIC.
    year_case other = mediterranean(120);
    const classified unknown = classify(other.in_hemisphere('n'));
    EXPECT_EQ(unknown.counts.summer_dry_run, 0);
    EXPECT_EQ(unknown.counts.winter_moist_run, 0);
    EXPECT_EQ(unknown.moisture_regime, "USTIC");
    EXPECT_EQ(unknown.subdivision, "TYPIC TEMPUSTIC");
}

}  // namespace
}  // namespace soil_climate
