// The tables of many stations: links from the output folder to each station's page, the
// columns of the summary of stations, and a station's strip of moisture regimes.
#include "report/station_index.hpp"
#include "report/figures.hpp"

#include "report/station_page.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

TEST(StationIndex, PeriodsAreTwoOrderedSpansOfYears) {
    const std::optional<compared_periods> read = parse_periods("1961:1990,1991:2020");
    ASSERT_TRUE(read);
    EXPECT_EQ((*read)[0].first, 1961);
    EXPECT_EQ((*read)[1].last, 2020);
    EXPECT_TRUE(parse_periods("-50:-1,1990:1990"));
    for (const char* wrong : {"1961:1990", "1961:1990,", "1990:1961,1991:2020", "1961:1990,1991:2020,2021:2050",
                              "1961-1990,1991-2020", "1961:1990,1991:20x0", ":1990,1991:2020", "1961:1990;1991:2020"}) {
        EXPECT_FALSE(parse_periods(wrong)) << wrong;
    }
}

TEST(StationIndex, APeriodsRowGivesEachSidesYearsAndTheChange) {
    std::string header;
    append_station_periods_header(header);
    EXPECT_EQ(header, "station,first_period,first_years,second_period,second_years,first_moisture_regime,"
                      "second_moisture_regime,moisture_aridic_change_pp,moisture_xeric_change_pp,"
                      "moisture_ustic_change_pp,moisture_perudic_change_pp,moisture_udic_change_pp,"
                      "moisture_undefined_change_pp,mean_soil_temperature_change_k,status\n");
    const compared_periods periods{{{1961, 1990}, {1991, 2020}}};
    station_entry station;
    station.folder = "/st/a";
    station.periods[0].add_year(soil_moisture_regime::xeric, 14.0);
    station.periods[0].add_year(soil_moisture_regime::xeric, 15.0);
    station.periods[1].add_year(soil_moisture_regime::ustic, 15.5);
    station.periods[1].add_year(soil_moisture_regime::ustic, 16.5);
    station.periods[1].add_year(soil_moisture_regime::xeric, 16.0);
    std::string row;
    append_station_periods_row(row, station, periods);
    EXPECT_EQ(row, "\"/st/a\",1961-1990,2,1991-2020,3,XERIC,USTIC,0.00,-66.67,66.67,0.00,0.00,0.00,1.50,ok\n");
    EXPECT_EQ(period_change_words(station), "XERIC to USTIC, +1.50 K");
    station.periods[1] = {};
    row.clear();
    append_station_periods_row(row, station, periods);
    EXPECT_EQ(row, "\"/st/a\",1961-1990,2,1991-2020,0,,,,,,,,,,ok\n");
    EXPECT_EQ(period_change_words(station), "");
}

TEST(StationIndex, SummaryColumnsAndRowsOfAStation) {
    const std::size_t bands = listed_temperature_regimes(false);
    std::string header;
    append_station_summary_header(header, bands);
    EXPECT_EQ(header.rfind("station,years,moisture_aridic_percent,moisture_xeric_percent,", 0), 0u);
    EXPECT_NE(header.find(",subdivision_extreme_aridic_percent,"), std::string::npos);
    EXPECT_NE(
        header.find(",temperature_isohyperthermic_percent,latitude,longitude,elevation,status,message,warnings\n"),
        std::string::npos);

    station_entry station;
    station.folder = "/st/\"a\"";
    station_tally& tally = station.tally;
    tally.add_year(soil_moisture_regime::xeric, moisture_subdivision::dry_xeric, soil_temperature_regime::thermic);
    tally.add_year(soil_moisture_regime::xeric, moisture_subdivision::typic_xeric, soil_temperature_regime::thermic);
    tally.add_year(soil_moisture_regime::aridic, moisture_subdivision::weak_aridic, soil_temperature_regime::mesic);
    station.place = {-33.9, 18.4, std::nullopt};
    std::string row;
    append_station_summary_row(row, station, bands);
    // Moisture regimes ARIDIC and XERIC, then subdivisions WEAK ARIDIC to TYPIC XERIC.
    EXPECT_EQ(row.rfind("\"/st/\"\"a\"\"\",3,33.33,66.67,0.00,0.00,0.00,0.00,"
                        "0.00,0.00,0.00,0.00,33.33,33.33,33.33,0.00,",
                        0),
              0u);
    EXPECT_TRUE(row.ends_with(",0.00,-33.9,18.4,,ok,,\n")) << row;
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));

    station_entry failed;
    failed.folder = "/st/b";
    failed.status = "failed (exit 1)";
    failed.message = "parameter: field hemisphere \"n\" is not N or S.";
    row.clear();
    append_station_summary_row(row, failed, bands);
    EXPECT_EQ(row, "\"/st/b\"," + std::string(34, ',') +
                       "failed (exit 1),\"parameter: field hemisphere \"\"n\"\" is not N or S.\",\n");
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));

    // The cold regimes' columns come only when a station has a cold year.
    const station_entry stations[] = {station, failed};
    EXPECT_EQ(gathered_temperature_regimes(stations), bands);
    station_entry cold;
    cold.tally.add_year(soil_moisture_regime::udic, moisture_subdivision::typic_udic, soil_temperature_regime::cryic);
    const station_entry with_cold[] = {station, cold};
    const std::size_t all = gathered_temperature_regimes(with_cold);
    EXPECT_EQ(all, bands + 2);
    header.clear();
    append_station_summary_header(header, all);
    EXPECT_NE(header.find(",temperature_isohyperthermic_percent,temperature_pergelic_percent,"
                          "temperature_cryic_percent,latitude,"),
              std::string::npos);
    row.clear();
    append_station_summary_row(row, cold, all);
    EXPECT_NE(row.find(",100.00,,,,ok,"), std::string::npos) << row;
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));
}

// The index tells every station, the failed ones visibly, and places those with
// coordinates on the map in their regime's colour.
TEST(StationIndex, EveryStationFailedOrNotAndTheMap) {
    std::vector<station_entry> stations(2);
    stations[0].given = "cape<town>";
    stations[0].page_link = "stations/cape/station.html";
    stations[0].tally.station_name = "Cape";
    stations[0].tally.add_year(soil_moisture_regime::xeric, moisture_subdivision::dry_xeric,
                               soil_temperature_regime::thermic);
    stations[0].place = {-33.9, 18.4, 42.0};
    stations[1].given = "broken";
    stations[1].status = "failed (exit 1)";
    stations[1].message = "monthly_T: the temperature file holds no year.";
    std::string index;
    page::append_index(index, stations);
    EXPECT_NE(index.find("<p>2 stations, 1 failed.</p>"), std::string::npos);
    EXPECT_NE(index.find("<a href=\"stations/cape/station.html\">cape&lt;town&gt;</a>"), std::string::npos);
    EXPECT_NE(index.find("<td>broken</td><td>failed (exit 1)</td><td>monthly_T: the temperature file holds no "
                         "year.</td>"),
              std::string::npos);
    EXPECT_NE(index.find("fill=\"" + std::string(moisture_regime_colour(soil_moisture_regime::xeric)) +
                         "\" stroke=\"#333\" stroke-width=\"0.5\"><title>cape&lt;town&gt;</title></circle>"),
              std::string::npos);
    EXPECT_EQ(index.substr(index.size() - 16), "</body>\n</html>\n");
    EXPECT_NE(index.find("<p class=\"unplaced\">1 station is not on the map"), std::string::npos);
    EXPECT_EQ(index.find("Stations with warnings"), std::string::npos) << "no station had a warning";

    // No station placed: no map, and the count says so; a warning's text is escaped.
    stations[0].place = {};
    stations[0].warnings = {"parameter: a <warning>"};
    index.clear();
    page::append_index(index, stations);
    EXPECT_EQ(index.find("<svg class=\"map\""), std::string::npos);
    EXPECT_NE(index.find("<p class=\"unplaced\">2 stations are not on the map"), std::string::npos);
    EXPECT_NE(index.find("<tr><td>cape&lt;town&gt;</td><td>parameter: a &lt;warning&gt;</td></tr>"),
              std::string::npos);
    EXPECT_NE(index.find("title=\"parameter: a &lt;warning&gt;\" style=\"color:#b60\">&#9888; 1 warning</span>"),
              std::string::npos);
}

}  // namespace
}  // namespace soil_climate
