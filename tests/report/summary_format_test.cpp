#include "report/summary_format.hpp"

#include <gtest/gtest.h>

#include "common/regime_names.hpp"

namespace soil_climate {
namespace {

TEST(SummaryFormat, HeaderYearAndAverageLines) {
    std::string text;
    append_summary_header(text);
    regime_counts counts;
    counts.dry_days = 135;
    counts.moist_dry_days = 80;
    counts.moist_days = 145;
    counts.bio8_days = 180;
    append_summary_line(text, "1981", {401.26, 829.9, -428.64, -402.5}, counts, moisture_subdivision::weak_aridic);
    append_average_line(text, {1284.0, 1647.0, -363.0, -771.0, 271.0, 129.0, 320.0, 356.0}, 2);
    EXPECT_EQ(text,
              "YEAR  PREC  PET   AWB   MSD  Dry Days  M/D Days  Moist Days  BIO8  Soil Moisture Regime\n"
              "       mm    mm    mm    mm   Biological Windows at 5 degC\n\n"
              "1981   401  830  -429  -402       135        80         145   180  WEAK ARIDIC\n"
              "\n AVG   642  824  -182  -386       136        64         160   178\n");
}

// Three years, one ARIDIC and two XERIC.
TEST(SummaryFormat, FrequencyTablesListEveryRowAndATotalOf100) {
    const std::array<int, 6> tally{1, 2, 0, 0, 0, 0};
    std::string table;
    append_frequency_table(table, tally, moisture_regime_names, 3);
    EXPECT_EQ(table,
              "Years  Soil Moisture Regime  Frequency\n"
              "    1                ARIDIC  33.33\n"
              "    2                 XERIC  66.67\n"
              "    0                 USTIC  0.00\n"
              "    0               PERUDIC  0.00\n"
              "    0                  UDIC  0.00\n"
              "    0             UNDEFINED  0.00\n"
              "\n    3                        100\n");

    std::string list;
    append_frequency_list(list, tally, moisture_regime_names, 3);
    EXPECT_EQ(list,
              "33.33,    ARIDIC\n"
              "66.67,     XERIC\n"
              "0.00,     USTIC\n"
              "0.00,   PERUDIC\n"
              "0.00,      UDIC\n"
              "0.00, UNDEFINED\n");

    std::array<int, 16> subdivisions{};
    subdivisions[13] = 7;
    std::string rows;
    append_frequency_table(rows, subdivisions, subdivision_names, 7);
    EXPECT_NE(rows.find("    0      ARIDIC TROPUSTIC  0.00\n"), std::string::npos);
    EXPECT_NE(rows.find("    7            TYPIC UDIC  100.00\n"), std::string::npos);
    EXPECT_NE(rows.find("    0          DRY TEMPUDIC  0.00\n\n    7                        100\n"), std::string::npos);
}

}  // namespace
}  // namespace soil_climate
