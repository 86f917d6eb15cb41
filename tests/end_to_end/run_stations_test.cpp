// run_stations over several station folders with GNU parallel: the same results as each
// station run alone, a failing station reported without stopping the others, and
// --resume skipping the stations already done.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

namespace fs = std::filesystem;

bool have_parallel() {
    return std::system("command -v parallel > /dev/null 2>&1") == 0;
}

std::string run_stations(const std::string& arguments) {
    return std::string("RUN_STATION='") + RUN_STATION_PATH + "' '" + RUN_STATIONS_PATH + "' " + arguments;
}

// The station folders davis, contrasts and southern below `root`, and one that misses
// its precipitation file.
void lay_out_stations(const station_folder& root) {
    for (const char* station : {"davis", "contrasts", "southern", "broken"}) {
        fs::create_directory(root.path() / station);
        root.copy_example(station == std::string("broken") ? "southern" : station, std::string(station) + "/");
    }
    fs::remove(root.path() / "broken" / "monthly_P");
}

TEST(RunStations, EachStationAsIfRunAloneAndFailuresReportedAtTheEnd) {
    if (!have_parallel()) {
        GTEST_SKIP() << "GNU parallel is not installed";
    }
    station_folder root;
    lay_out_stations(root);
    const auto result = root.shell(run_stations("-j 2 -o results davis contrasts broken southern"));
    EXPECT_EQ(result.status, 1);
    const std::string broken = (root.path() / "broken").string();
    EXPECT_EQ(result.err, "run_stations: " + broken +
                              " failed (exit 1): Precipitation input file opening failed.\n"
                              "run_stations: 1 of 4 stations failed.\n");

    std::string expected_rows;
    for (const char* station : {"davis", "contrasts", "southern"}) {
        station_folder alone;
        alone.copy_example(station);
        ASSERT_EQ(alone.run({"--csv"}).status, 0);
        for (const std::string& name : alone.names()) {
            EXPECT_EQ(root.read(std::string(station) + "/" + name), alone.read(name)) << station << "/" << name;
        }
        const std::string table = alone.read("years.csv");
        const std::string quoted = "\"" + (root.path() / station).string() + "\",";
        for (std::size_t line = table.find('\n') + 1; line < table.size(); line = table.find('\n', line) + 1) {
            expected_rows += quoted + table.substr(line, table.find('\n', line) + 1 - line);
        }
    }
    const std::string table = root.read("results/stations.csv");
    EXPECT_EQ(table.rfind("station,year_label,station_name,", 0), 0u);
    EXPECT_EQ(table.substr(table.find('\n') + 1), expected_rows);

    const std::string summary = root.read("results/stations_summary.csv");
    EXPECT_EQ(summary.rfind("station,years,moisture_aridic_percent,moisture_xeric_percent,", 0), 0u);
    EXPECT_NE(summary.find("\n\"" + (root.path() / "contrasts").string() +
                           "\",3,33.33,33.33,0.00,0.00,33.33,0.00,0.00,0.00,0.00,0.00,33.33,33.33,"),
              std::string::npos);
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 4);
}

TEST(RunStations, ResumeSkipsTheStationsAlreadyDone) {
    if (!have_parallel()) {
        GTEST_SKIP() << "GNU parallel is not installed";
    }
    station_folder root;
    lay_out_stations(root);
    const std::string stations = " davis contrasts southern broken";
    ASSERT_EQ(root.shell(run_stations("-j 2" + stations)).status, 1);

    // A finished station's report is removed: a resumed run must not write it again.
    fs::remove(root.path() / "davis" / "1981");
    root.copy_example("southern", "broken/");
    const auto resumed = root.shell(run_stations("--resume -j 2" + stations));
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_FALSE(root.exists("davis/1981"));
    EXPECT_TRUE(root.exists("broken/years.csv"));
    const std::string table = root.read("stations.csv");
    EXPECT_NE(table.find("/broken\",1991,Perth,"), std::string::npos);
}

TEST(RunStations, UsageErrors) {
    station_folder root;
    EXPECT_EQ(root.shell(run_stations("")).status, 2);
    EXPECT_EQ(root.shell(run_stations("--bogus davis")).status, 2);
    const auto help = root.shell(run_stations("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: run_stations [options] STATION_DIR...", 0), 0u);
}

}  // namespace
}  // namespace soil_climate::testing
