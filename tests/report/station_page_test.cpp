#include "report/station_page.hpp"

#include <gtest/gtest.h>

#include <string>

namespace soil_climate::page {
namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

const year_row first_year{"<1961&>", soil_moisture_regime::xeric, moisture_subdivision::dry_xeric,
                          soil_temperature_regime::thermic};

TEST(StationPage, RunsOfEqualDaysAreOneShapeAndLabelsAreEscaped) {
    daily_codes moisture;
    moisture.fill(moisture_code::moist);
    for (int d = 100; d < days_per_year; ++d) {
        moisture[d] = moisture_code::dry;
    }
    std::string row;
    append_moisture_row(row, layout_for(30), 0, first_year, moisture);
    EXPECT_EQ(count_of(row, "<rect"), 2u);
    EXPECT_NE(row.find("<rect x=\"0\" width=\"200\" height=\"9\" class=\"m3\"/>"), std::string::npos);
    EXPECT_NE(row.find("<rect x=\"200\" width=\"520\" height=\"9\" class=\"m1\"/>"), std::string::npos);
    EXPECT_NE(row.find("<title>&lt;1961&amp;&gt;: XERIC, DRY XERIC, Thermic</title>"), std::string::npos);
}

TEST(StationPage, TemperatureBinsAreWholeDegreesAndTheScaleHoldsBothThresholds) {
    daily_temperatures soil;
    soil.fill(15.5);
    soil[10] = 7.999;  // below 8 °C: the 7 °C bin
    soil[11] = 8.0;    // exactly 8 °C: the 8 °C bin
    temperature_scale scale;
    std::string row;
    append_temperature_row(row, layout_for(30), 0, first_year, soil, scale);
    EXPECT_NE(row.find("<rect x=\"20\" width=\"2\" height=\"9\" class=\"t207\"/>"), std::string::npos);
    EXPECT_NE(row.find("<rect x=\"22\" width=\"2\" height=\"9\" class=\"t208\"/>"), std::string::npos);
    EXPECT_EQ(scale.coldest_bin, 7);
    EXPECT_EQ(scale.warmest_bin, 15);

    // A warm station's scale still reaches down to 4 °C, so 5 °C and 8 °C stand on it.
    const temperature_scale warm{24, 29};
    std::string legend;
    append_temperature_start(legend, layout_for(30), warm);
    EXPECT_NE(legend.find(".t204{"), std::string::npos);
    EXPECT_NE(legend.find(".t229{"), std::string::npos);
    EXPECT_EQ(legend.find(".t203{"), std::string::npos);
    EXPECT_NE(legend.find(">5 &#176;C</text>"), std::string::npos);
    EXPECT_NE(legend.find(">8 &#176;C</text>"), std::string::npos);
}

TEST(StationPage, LongRecordsGetThinnerRowsAndFewerLabels) {
    struct expected_layout {
        int years;
        int row_height;
        int label_every;
    };
    for (const expected_layout c : {expected_layout{30, 10, 2}, {120, 10, 2}, {121, 5, 3}, {1000, 3, 4}}) {
        const calendar_layout layout = layout_for(c.years);
        EXPECT_EQ(layout.row_height, c.row_height) << c.years;
        EXPECT_EQ(layout.label_every, c.label_every) << c.years;
    }
}

}  // namespace
}  // namespace soil_climate::page
