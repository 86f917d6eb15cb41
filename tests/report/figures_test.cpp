#include "report/figures.hpp"

#include <gtest/gtest.h>

#include <string>

namespace soil_climate::figures {
namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const year_row first_year{"<1961&>", soil_moisture_regime::xeric, moisture_subdivision::dry_xeric,
                          soil_temperature_regime::thermic};

TEST(Figures, RunsOfEqualDaysAreOneShapeColouredByAttributeAndLabelsAreEscaped) {
    daily_codes moisture;
    moisture.fill(moisture_code::moist);
    for (int d = 100; d < days_per_year; ++d) {
        moisture[d] = moisture_code::dry;
    }
    std::string row;
    append_moisture_row(row, layout_for(30), 0, first_year, moisture);
    EXPECT_EQ(count_of(row, "<rect"), 3u);  // two runs and the regime's cell
    EXPECT_TRUE(holds(row, "<rect x=\"0\" width=\"200\" height=\"9\" fill=\"#0072B2\"/>"));
    EXPECT_TRUE(holds(row, "<rect x=\"200\" width=\"520\" height=\"9\" fill=\"#D55E00\"/>"));
    EXPECT_TRUE(holds(row, "<rect x=\"726\" width=\"8\" height=\"9\" fill=\"#EE6677\"/>"));  // XERIC
    EXPECT_TRUE(holds(row, "<title>&lt;1961&amp;&gt;: XERIC, DRY XERIC, Thermic</title>"));
    EXPECT_FALSE(holds(row, "class="));
}

TEST(Figures, TemperatureBinsAreWholeDegreesNamedByReferenceAndDefinedAtTheClose) {
    daily_temperatures soil;
    soil.fill(15.5);
    soil[10] = 7.999;  // below 8 °C: the 7 °C bin
    soil[11] = 8.0;    // exactly 8 °C: the 8 °C bin
    temperature_scale scale;
    std::string row;
    append_temperature_row(row, layout_for(30), 0, first_year, soil, scale);
    EXPECT_TRUE(holds(row, "<rect x=\"20\" width=\"2\" height=\"9\" fill=\"url(#t207)\"/>"));
    EXPECT_TRUE(holds(row, "<rect x=\"22\" width=\"2\" height=\"9\" fill=\"url(#t208)\"/>"));
    EXPECT_EQ(scale.coldest_bin, 7);
    EXPECT_EQ(scale.warmest_bin, 15);

    // A warm station's scale still reaches down to 4 °C, so 5 °C and 8 °C stand on it; every
    // bin is defined, and no label runs into the thresholds' (4 lies next to 5 °C).
    const temperature_scale warm{24, 29, {}};
    std::string close;
    close_temperature_calendar(close, layout_for(30), warm);
    EXPECT_TRUE(holds(close, "<linearGradient id=\"t204\">"));
    EXPECT_TRUE(holds(close, "<linearGradient id=\"t229\">"));
    EXPECT_FALSE(holds(close, "id=\"t203\""));
    EXPECT_TRUE(holds(close, ">5 &#176;C</text>"));
    EXPECT_TRUE(holds(close, ">8 &#176;C</text>"));
    EXPECT_FALSE(holds(close, ">4</text>"));
    EXPECT_TRUE(holds(close, ">30</text>"));

    // A fixed scale keeps its bins, the days beyond it in its end bins.
    temperature_scale fixed{1000, -1000, std::pair{10, 20}};
    row.clear();
    append_temperature_row(row, layout_for(30), 0, first_year, soil, fixed);
    EXPECT_TRUE(holds(row, "fill=\"url(#t210)\""));
    EXPECT_FALSE(holds(row, "url(#t207)"));
    close.clear();
    close_temperature_calendar(close, layout_for(30), fixed);
    EXPECT_EQ(count_of(close, "<linearGradient"), 10u);
    // A threshold off the fixed scale is not drawn and keeps no label of the scale away.
    close.clear();
    close_temperature_calendar(close, layout_for(30), temperature_scale{1000, -1000, std::pair{9, 30}});
    EXPECT_TRUE(holds(close, ">9</text>"));
    EXPECT_FALSE(holds(close, ">8 &#176;C</text>"));
}

TEST(Figures, LongRecordsGetThinnerRowsAndFewerLabels) {
    struct expected_layout {
        int rows;
        int row_height;
        int label_every;
    };
    for (const expected_layout c : {expected_layout{30, 10, 2}, {120, 10, 2}, {121, 5, 3}, {1000, 3, 4}}) {
        const calendar_layout layout = layout_for(c.rows);
        EXPECT_EQ(layout.row_height, c.row_height) << c.rows;
        EXPECT_EQ(layout.label_every, c.label_every) << c.rows;
    }
}

TEST(Figures, MissingYearsGetLabelledEmptyRowsBeforeTheNextYear) {
    calendar_rows rows;
    std::string gaps;
    const auto gap = [&](int row, const std::string& label) { gaps += std::to_string(row) + ":" + label + " "; };
    EXPECT_EQ(rows.next("2001", gap), 0);
    EXPECT_EQ(rows.next("2002", gap), 1);
    EXPECT_EQ(rows.next("2005", gap), 4);
    EXPECT_EQ(rows.next("2030", gap), 6);
    EXPECT_EQ(gaps, "2:2003 3:2004 5:2006-2029 ");
    std::string row;
    append_gap_row(row, layout_for(30), 2, "2003");
    EXPECT_TRUE(holds(row, "<title>2003: no record</title>"));
    EXPECT_TRUE(holds(row, ">2003</text>"));
    EXPECT_TRUE(holds(row, "stroke-dasharray"));
}

TEST(Figures, ADrawingAloneIsSizedForAJournalPageAndOnThePageInPixels) {
    std::string alone;
    std::string on_page;
    open_moisture_calendar(alone, target::file, layout_for(30), "Davis");
    open_moisture_calendar(on_page, target::page, layout_for(30), "Davis");
    EXPECT_TRUE(alone.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
    EXPECT_TRUE(holds(alone, " width=\"174.0mm\""));
    EXPECT_TRUE(on_page.starts_with("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"810\" height=\""));
    // Past the size, the two are the same drawing.
    EXPECT_EQ(alone.substr(alone.find(" viewBox")), on_page.substr(on_page.find(" viewBox")));
}

}  // namespace
}  // namespace soil_climate::figures
