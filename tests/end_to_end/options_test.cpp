// The long options: --csv writes a table of every year beside the documented files,
// which stay byte for byte the same; --help and --version; unknown options.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

using names = std::vector<std::string>;

TEST(Options, CsvAddsTheTableAndChangesNothingElse) {
    station_folder plain;
    plain.copy_example("davis");
    const auto without = plain.run();
    ASSERT_EQ(without.status, 0);

    station_folder with_table;
    with_table.copy_example("davis");
    const auto with = with_table.run({"--csv"});
    ASSERT_EQ(with.status, 0);
    EXPECT_EQ(with.out, without.out);

    names documented = plain.names();
    names expected = documented;
    expected.push_back("years.csv");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(with_table.names(), expected);
    for (const std::string& name : documented) {
        EXPECT_EQ(with_table.read(name), plain.read(name)) << name;
    }

    const std::string table = with_table.read("years.csv");
    EXPECT_EQ(table.rfind("year_label,station_name,latitude,hemisphere,water_holding_capacity_mm,", 0), 0u);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 31);
    EXPECT_NE(table.find("\n1981,Davis,38.5,N,152.39999999999998,"), std::string::npos);
    EXPECT_NE(table.find(",XERIC,DRY XERIC,Thermic\n2010,"), std::string::npos);
}

TEST(Options, CsvWithCapacityAndPrefix) {
    station_folder folder;
    folder.copy_example("davis", "st1_");
    const auto result = folder.run({"--csv", "--", "80", "st1_"});
    ASSERT_EQ(result.status, 0);
    EXPECT_TRUE(folder.exists("st1_years.csv"));
    EXPECT_NE(folder.read("st1_years.csv").find("\n1981,Davis,38.5,N,80,"), std::string::npos);
}

TEST(Options, HelpVersionAndUnknownOptions) {
    station_folder folder;
    const auto help = folder.run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: run_station [--csv] [--html] [capacity [prefix]]\n", 0), 0u);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);

    const auto version = folder.run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("run_station ", 0), 0u);

    const auto unknown = folder.run({"--cvs", "200"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "Command line: unknown option --cvs; run_station --help lists the options.\n");
    EXPECT_TRUE(folder.names().empty());

    // A single dash is no long option: "-5" stays a capacity (and is refused as negative).
    folder.write("monthly_T", "1961 46 50 55 59 65 71 75 74 70 63 53 46\n");
    folder.write("monthly_P", "1961 4.0 3.6 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n");
    folder.write("parameter", "38.5 N 6.0 2.5 0.66 0.0 Davis\n");
    EXPECT_EQ(folder.run({"-5"}).out,
              "Command line: water-holding capacity \"-5\" is not a number of mm from 0 to 1000000.\n");
}

TEST(Options, TheTableNameIsNoLabel) {
    station_folder folder;
    folder.write("monthly_T", "years.csv 46 50 55 59 65 71 75 74 70 63 53 46\n");
    folder.write("monthly_P", "years.csv 4.0 3.6 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n");
    folder.write("parameter", "38.5 N 6.0 2.5 0.66 0.0 Davis\n");
    const auto result = folder.run({"--csv"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "monthly_P: record 1 (years.csv): the label is the name of one of the run's own files; "
              "it cannot name the year's report.\n");
    EXPECT_EQ(folder.read("years.csv").find('\n') + 1, folder.read("years.csv").size()) << "header only";
}

}  // namespace
}  // namespace soil_climate::testing
