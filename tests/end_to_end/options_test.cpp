// The long options: --csv writes a table of every year beside the documented files,
// which stay byte for byte the same; --help and --version; unknown options.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

using names = std::vector<std::string>;

// The names in a folder below the station folder, sorted.
names station_folder_names(const station_folder& root, const std::string& folder) {
    names found;
    for (const auto& entry : std::filesystem::directory_iterator(root.path() / folder)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

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

TEST(Options, FiguresAddThreeDrawingsAndChangeNothingElse) {
    station_folder plain;
    plain.copy_example("davis");
    ASSERT_EQ(plain.run({"--html"}).status, 0);
    station_folder with_figures;
    with_figures.copy_example("davis");
    ASSERT_EQ(with_figures.run({"--html", "--figures"}).status, 0);
    names expected = plain.names();
    for (const char* figure : {"moisture_calendar.svg", "temperature_calendar.svg", "regime_frequencies.svg"}) {
        expected.push_back(figure);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(with_figures.names(), expected);
    for (const std::string& name : plain.names()) {
        EXPECT_EQ(with_figures.read(name), plain.read(name)) << name;
    }
    // The page's moisture calendar is the figure's drawing, past the figure's own size.
    const std::string page = with_figures.read("station.html");
    const std::string figure = with_figures.read("moisture_calendar.svg");
    const std::string drawing = figure.substr(figure.find(" viewBox"));
    EXPECT_NE(page.find(drawing), std::string::npos);
}

TEST(Options, ATemperatureScaleIsWholeDegreesMinBelowMax) {
    for (const char* scale : {"10", "20:10", "5:5", "0.5:20", "-200:20", "a:b", ""}) {
        station_folder folder;
        folder.copy_example("davis");
        const auto refused = folder.run({"--html", "--temperature-scale", scale});
        EXPECT_EQ(refused.status, 1) << scale;
        EXPECT_EQ(refused.out.rfind("Command line: --temperature-scale", 0), 0u) << scale;
    }
    station_folder folder;
    folder.copy_example("davis");
    ASSERT_EQ(folder.run({"--html", "--temperature-scale", "-10:40"}).status, 0);
    const std::string page = folder.read("station.html");
    EXPECT_NE(page.find("<linearGradient id=\"t190\">"), std::string::npos);
    EXPECT_NE(page.find("<linearGradient id=\"t239\">"), std::string::npos);
    EXPECT_EQ(page.find("id=\"t240\""), std::string::npos);
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
    EXPECT_EQ(help.out.rfind("Usage: run_station [--csv] [--html] [--figures] [--cold-regimes] [--no-reports] "
                             "[--output-dir DIR]\n",
                             0),
              0u);
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

// Outputs apart from the inputs: a read-only station folder run into an output folder of
// its own, given as a folder alone; --no-reports keeps every other file byte for byte.
TEST(Options, ReadOnlyInputsLeanOutputsAndAFolderAlone) {
    station_folder full;
    full.copy_example("davis");
    ASSERT_EQ(full.run({"--csv", "--html"}).status, 0);

    station_folder root;
    std::filesystem::create_directories(root.path() / "stations" / "davis");
    root.copy_example("davis", "stations/davis/");
    ASSERT_EQ(root.shell("chmod a-w stations/davis").status, 0);
    const auto lean = root.run({"--csv", "--html", "--no-reports", "--output-dir", "results/davis", "stations/davis"});
    ASSERT_EQ(root.shell("chmod u+w stations/davis").status, 0);
    EXPECT_EQ(lean.status, 0) << lean.out;
    EXPECT_EQ(root.names(), (names{"results", "stations"}));
    EXPECT_EQ(station_folder_names(root, "stations/davis"), (names{"monthly_P", "monthly_T", "parameter"}));
    const names kept{"SMR", "SMRS", "WSMR", "station.html", "summary", "years.csv"};
    EXPECT_EQ(station_folder_names(root, "results/davis"), kept);
    for (const std::string& name : kept) {
        EXPECT_EQ(root.read("results/davis/" + name), full.read(name)) << name;
    }
    EXPECT_EQ(lean.out, full.run({"--csv"}).out) << "the progress lines are the same";

    // A fault in the input leaves no output folder behind.
    root.write("stations/davis/monthly_P", "1981 1 2\n");
    EXPECT_EQ(root.run({"--output-dir", "results/broken", "stations/davis"}).status, 1);
    EXPECT_FALSE(root.exists("results/broken"));

    const auto doubled = root.run({"--input-dir", "stations/davis", "150", "other/"});
    EXPECT_EQ(doubled.status, 1);
    EXPECT_EQ(doubled.out, "Command line: give the station's folder once, either as a folder or as the prefix.\n");
}

// A station whose summer falls in the other hemisphere's months is run, with a warning.
TEST(Options, AStationOnTheWrongSideOfTheEquatorIsWarnedOf) {
    station_folder folder;
    folder.copy_example("davis");
    folder.write("parameter", "38.5 S 6.0 2.5 0.66 90 Davis\n");
    const auto result = folder.run();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Warning: monthly_T: the warmest months of the mean year are June to August, but the "
                          "station is southern (S); its hemisphere or the sign of its latitude may be wrong.\n");
}

// Beyond 50° of latitude the day-length tables hold their last row: a station there is run,
// with a notice, and every output is that of the same station at 50°.
TEST(Options, AStationBeyondTheDayLengthTablesIsNoticed) {
    const std::string notice =
        "Warning: parameter: day length is taken from the 50° row of the table beyond 50° of latitude: PET is "
        "underestimated in summer and overestimated in winter there.\n";
    station_folder at_fifty;
    at_fifty.copy_example("davis");
    at_fifty.write("parameter", "50.0 N 6.0 2.5 0.66 0.0 Davis\n");
    ASSERT_EQ(at_fifty.run().status, 0);
    struct latitude_case {
        const char* latitude;
        bool noticed;
    };
    const latitude_case cases[] = {{"49.9", false}, {"50", false}, {"50.01", true}, {"60.0", true}, {"90", true}};
    for (const latitude_case& c : cases) {
        station_folder folder;
        folder.copy_example("davis");
        folder.write("parameter", std::string(c.latitude) + " N 6.0 2.5 0.66 0.0 Davis\n");
        const auto result = folder.run({"--csv"});
        EXPECT_EQ(result.status, 0) << c.latitude;
        EXPECT_EQ(result.err, c.noticed ? notice : "") << c.latitude;
        if (c.noticed) {
            EXPECT_EQ(folder.read("summary"), at_fifty.read("summary")) << c.latitude;
        }
    }
}

// --cold-regimes names Pergelic and Cryic years and changes nothing else: every other
// field of the years, and every file of a warm station but those that list the regimes.
TEST(Options, ColdRegimesOnRequestOnly) {
    struct cold_case {
        const char* station;
        const char* temperature_f;  // the same months every year
        const char* precipitation_in;
        const char* cold;
        const char* plain;
    };
    const cold_case cases[] = {
        // Fairbanks-like, 64.8° N: mean soil temperature 0.4 °C, summer soil below 15 °C.
        {"64.8 N 6.0 2.5 0.66 0.0 Fairbanks", "-7.9 -2.4 11.5 32.1 49.5 60.6 62.9 57.3 45.9 26.4 6.4 -3.4",
         "0.60 0.50 0.40 0.30 0.60 1.40 2.20 1.80 1.10 0.90 0.70 0.60", "Cryic", "Frigid"},
        // Arctic coast, 71.3° N: mean soil temperature -9.4 °C.
        {"71.3 N 4.0 2.5 0.66 0.0 Barrow", "-13.0 -15.0 -13.0 0.0 20.0 34.0 40.0 38.0 31.0 15.0 0.0 -9.0",
         "0.20 0.20 0.20 0.20 0.20 0.40 1.00 1.00 0.60 0.50 0.30 0.20", "Pergelic", "Frigid"},
    };
    for (const cold_case& c : cases) {
        std::string temperature, precipitation;
        for (const char* year : {"1991", "1992", "1993"}) {
            temperature += std::string(year) + " " + c.temperature_f + "\n";
            precipitation += std::string(year) + " " + c.precipitation_in + "\n";
        }
        station_folder plain, cold;
        for (const station_folder* folder : {&plain, &cold}) {
            folder->write("parameter", std::string(c.station) + "\n");
            folder->write("monthly_T", temperature);
            folder->write("monthly_P", precipitation);
        }
        ASSERT_EQ(plain.run({"--csv"}).status, 0) << c.station;
        ASSERT_EQ(cold.run({"--csv", "--cold-regimes"}).status, 0) << c.station;
        std::string years = cold.read("years.csv");
        EXPECT_EQ(std::count(years.begin(), years.end(), '\n'), 4) << c.station;
        for (std::size_t at = years.find(std::string(",") + c.cold + "\n"); at != std::string::npos;
             at = years.find(std::string(",") + c.cold + "\n")) {
            years.replace(at + 1, std::string(c.cold).size(), c.plain);
        }
        EXPECT_EQ(years, plain.read("years.csv")) << c.station;
    }

    station_folder plain, cold;
    plain.copy_example("davis");
    cold.copy_example("davis");
    ASSERT_EQ(plain.run({"--csv", "--html", "--figures"}).status, 0);
    ASSERT_EQ(cold.run({"--csv", "--html", "--figures", "--cold-regimes"}).status, 0);
    const names listing = {"regime_frequencies.svg", "station.html", "temperature_calendar.svg"};
    ASSERT_EQ(cold.names(), plain.names());
    for (const std::string& name : plain.names()) {
        if (std::find(listing.begin(), listing.end(), name) == listing.end() &&
            std::filesystem::is_regular_file(plain.path() / name)) {
            EXPECT_EQ(cold.read(name), plain.read(name)) << name;
        }
    }
    for (const std::string& name : listing) {
        EXPECT_EQ(plain.read(name).find("Cryic"), std::string::npos) << name;
        EXPECT_NE(cold.read(name).find("Pergelic"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace soil_climate::testing
