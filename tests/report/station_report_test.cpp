#include "report/station_report.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace soil_climate {
namespace {

std::string repeat(const std::string& cell, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += cell;
    }
    return text;
}

// A calendar row's month number, "%2d ".
std::string month_label(int month) {
    char label[8];
    std::snprintf(label, sizeof label, "%2d ", month);
    return label;
}

TEST(TemperatureSymbol, InclusiveBounds) {
    EXPECT_EQ(temperature_symbol(4.999), '-');
    EXPECT_EQ(temperature_symbol(-30.0), '-');
    EXPECT_EQ(temperature_symbol(5.0), '5');
    EXPECT_EQ(temperature_symbol(7.999), '5');
    EXPECT_EQ(temperature_symbol(8.0), '8');
}

// The whole report of one made-up year, written out by hand from the report layout: month
// columns of 8, slant cells of 6 plus two blanks, calendar cells of 2 plus one blank, rows
// ending in their blanks, and the legends.
TEST(FormatStationReport, EveryByteOfAYear) {
    const monthly_series temperature{-1.04, 0.0, 3.36, 9.96, 14.44, 19.0, 22.77, 22.1, 18.0, 12.5, 6.01, 1.49};
    const monthly_series precipitation{101.6, 76.2, 50.8, 25.4, 12.7, 0.0, 0.0, 2.54, 5.08, 25.4, 63.5, 88.9};
    const monthly_series pet{0.0, 1.23, 15.67, 40.0, 80.5, 120.04, 150.96, 130.0, 90.0, 50.0, 10.0, 0.5};
    slant_array profile{};
    for (int i = 0; i < 8; ++i) {
        profile[i] = 2.3;
    }
    profile[8] = 1.0;
    profile[63] = 0.25;
    daily_temperatures soil;
    soil.fill(20.0);
    for (int d = 0; d < 60; ++d) {
        soil[d] = d < 30 ? 4.99 : 4.0;
    }
    soil[30] = 5.0;
    soil[31] = 7.99;
    soil[32] = 8.0;
    daily_codes moisture;
    for (int d = 0; d < days_per_year; ++d) {
        moisture[d] = d < 180 ? moisture_code::moist : d < 270 ? moisture_code::dry : moisture_code::moist_dry;
    }
    const regime_counts counts{90, 90, 180, 85, 88, 170, 270, 255, 90, 120};

    std::string text;
    year_result year;
    year.monthly_temperature = temperature;
    year.monthly_precipitation = precipitation;
    year.monthly_pet = pet;
    year.moisture_profile = profile;
    year.moisture_calendar = moisture;
    year.temperature_calendar = soil;
    year.temperature_regime = soil_temperature_regime::thermic;
    year.moisture_regime = soil_moisture_regime::xeric;
    year.subdivision = moisture_subdivision::typic_xeric;
    year.counts = counts;
    format_station_report(text, "1961", "Davis", year);

    const std::string months =
        "       1       2       3       4       5       6       7       8       9      10      11      12\n";
    const std::string days =
        "    1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 ";
    const std::string zero_row = repeat(" 0.000  ", 8);
    std::string expected =
        "The simulation results of Ombrisk Model for Station Davis in 1961\n\n"
        "Monthly Temperature (degree Celsius):\n" +
        months +
        "    -1.0     0.0     3.4    10.0    14.4    19.0    22.8    22.1    18.0    12.5     6.0     1.5\n\n"
        "Monthly Precipitation (mm):\n" +
        months +
        "   101.6    76.2    50.8    25.4    12.7     0.0     0.0     2.5     5.1    25.4    63.5    88.9\n\n"
        "Monthly PET (mm):\n" +
        months +
        "     0.0     1.2    15.7    40.0    80.5   120.0   151.0   130.0    90.0    50.0    10.0     0.5\n\n"
        "Soil Moisture (mm) in every slant at the end of the year:\n"
        "           1       2       3       4       5       6       7       8  \n"
        "     1  " + repeat(" 2.300  ", 8) + "\n"
        "     2   1.000  " + repeat(" 0.000  ", 7) + "\n"
        "     3  " + zero_row + "\n"
        "     4  " + zero_row + "\n"
        "     5  " + zero_row + "\n"
        "     6  " + zero_row + "\n"
        "     7  " + zero_row + "\n"
        "     8  " + repeat(" 0.000  ", 7) + " 0.250  \n\n"
        "Soil Temperature Calender:\n" + days + "\n"
        " 1 " + repeat(" - ", 30) + "\n"
        " 2  5  5  8 " + repeat(" - ", 27) + "\n";
    for (int month = 3; month <= 12; ++month) {
        expected += month_label(month);
        expected += repeat(" 8 ", 30);
        expected += "\n";
    }
    expected += "-: T<5  5: 5<=T<8 8: T>=8\n\n"
                "Soil Moisture Calender:\n" + days;
    for (int month = 1; month <= 12; ++month) {
        const char* code = month <= 6 ? " 3 " : month <= 9 ? " 1 " : " 2 ";
        expected += "\n";
        expected += month_label(month);
        expected += repeat(code, 30);
    }
    expected +=
        "\n1: Dry  2: Partly Dry and Partly Moist  3: Moist\n\n"
        "Soil Temperature Regime:\n   Thermic\n\n"
        "Soil Moisture Regime:\n   XERIC\n\n"
        "Tentative Subdivision of Soil Moisture Regime:\n   TYPIC XERIC\n\n"
        "Number of cumulative days that the MCS during one year\n"
        "       DRY               M/D               Moist\n"
        "        90                90               180\n\n"
        "Number of cumulative days that the MCS when soil temperature is above 5 degree C\n"
        "       DRY               M/D               Moist\n"
        "        85                88               170\n\n"
        "Highest number of consecutive days that the MCS is Moist in some parts\n"
        "               Year               T>8\n"
        "               270               255\n\n"
        "Highest number of consecutive days that the MCS is\n"
        "Dry after Summer Solstice  Moist after Winter Solstice\n"
        "            90                          120\n\n";
    EXPECT_EQ(text, expected);
}

// A year of zeros and empty calendars, classified UDIC, TYPIC UDIC and Mesic.
year_result udic_year(const slant_array& profile) {
    year_result year;
    year.moisture_profile = profile;
    year.temperature_regime = soil_temperature_regime::mesic;
    year.moisture_regime = soil_moisture_regime::udic;
    year.subdivision = moisture_subdivision::typic_udic;
    return year;
}

// Empty slants of a profile whose capacity was given as -0 hold -0.0 beside 0.0; each
// prints as printf prints it.
TEST(FormatStationReport, SlantCellsKeepTheSignOfZero) {
    slant_array profile{};
    profile[1] = -0.0;
    profile[3] = -0.0;
    std::string text;
    format_station_report(text, "1", "s", udic_year(profile));
    EXPECT_NE(text.find("\n     1   0.000  -0.000   0.000  -0.000   0.000   0.000"), std::string::npos);
}

TEST(FormatStationReport, LongNamesAreWrittenWhole) {
    const std::string station(3000, 's');
    const std::string label(2000, 'y');
    std::string text;
    format_station_report(text, label, station, udic_year({}));
    EXPECT_EQ(text.rfind("The simulation results of Ombrisk Model for Station " + station + " in " + label + "\n\n", 0),
              0u);
}

}  // namespace
}  // namespace soil_climate
