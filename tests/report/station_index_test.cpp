// The tables of many stations: links from the output folder to each station's page, the
// columns of the summary of stations, and a station's strip of moisture regimes.
#include "report/station_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace soil_climate {
namespace {

TEST(StationIndex, LinksLeadFromTheOutputFolderToEachPage) {
    struct link_case {
        const char* from;
        const char* to;
        const char* link;
    };
    const link_case cases[] = {
        {"/work/out", "/work/st/a/station.html", "../st/a/station.html"},
        {"/work", "/work/a/station.html", "a/station.html"},
        {"/", "/a/station.html", "a/station.html"},
        {"/x/y/z", "/a/station.html", "../../../a/station.html"},
        {"/out", "/st/d\xC3\xA9 f,\"q\"#?%/station.html", "../st/d%C3%A9%20f%2C%22q%22%23%3F%25/station.html"},
        {"/out", "/st/a~b_c-d.e/station.html", "../st/a~b_c-d.e/station.html"},
    };
    for (const link_case& c : cases) {
        EXPECT_EQ(page::relative_link(c.from, c.to), c.link) << c.from << " -> " << c.to;
    }
}

TEST(StationIndex, SummaryColumnsAndRowsOfAStation) {
    std::string header;
    append_station_summary_header(header);
    EXPECT_EQ(header.rfind("station,years,moisture_aridic_percent,moisture_xeric_percent,", 0), 0u);
    EXPECT_NE(header.find(",subdivision_extreme_aridic_percent,"), std::string::npos);
    EXPECT_NE(header.find(",temperature_isohyperthermic_percent\n"), std::string::npos);

    station_tally tally;
    tally.add_year(soil_moisture_regime::xeric, moisture_subdivision::dry_xeric, soil_temperature_regime::thermic);
    tally.add_year(soil_moisture_regime::xeric, moisture_subdivision::typic_xeric, soil_temperature_regime::thermic);
    tally.add_year(soil_moisture_regime::aridic, moisture_subdivision::weak_aridic, soil_temperature_regime::mesic);
    std::string row;
    append_station_summary_row(row, "/st/\"a\"", tally);
    // Moisture regimes ARIDIC and XERIC, then subdivisions WEAK ARIDIC to TYPIC XERIC.
    EXPECT_EQ(row.rfind("\"/st/\"\"a\"\"\",3,33.33,66.67,0.00,0.00,0.00,0.00,"
                        "0.00,0.00,0.00,0.00,33.33,33.33,33.33,0.00,",
                        0),
              0u);
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));

    std::string index;
    tally.station_name = "<Davis>";
    page::append_index_row(index, "/st/a", "a/station.html", tally);
    EXPECT_NE(index.find("<td>&lt;Davis&gt;</td><td class=\"years\">3</td><td>XERIC</td><td>Thermic</td>"),
              std::string::npos);
    EXPECT_NE(index.find("<rect x=\"0\" width=\"2\" height=\"1\" fill=\"#E69F00\"/>"
                         "<rect x=\"2\" width=\"1\" height=\"1\" fill=\"#D55E00\"/></svg>"),
              std::string::npos);
}

}  // namespace
}  // namespace soil_climate
