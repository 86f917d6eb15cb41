// Runs the built program on missing, unwritable and malformed files and checks the one-line
// message, the exit status and which files exist afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

using names = std::vector<std::string>;

const std::string two_years_t =
    "1961 46 50 55 59 65 71 75 74 70 63 53 46\n"
    "1962 45 51 54 60 66 72 76 73 69 62 52 47\n";
const std::string two_years_p =
    "1961 4.0 3.6 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n"
    "1962 3.0 4.6 2.0 1.5 0.4 0.1 0.0 0.0 0.5 0.9 3.4 4.3\n";
const std::string parameters = "38.5 N 6.0 2.5 0.66 0.0 Davis\n";

void write_station(const station_folder& folder, const std::string& t = two_years_t,
                   const std::string& p = two_years_p, const std::string& parameter = parameters) {
    folder.write("monthly_T", t);
    folder.write("monthly_P", p);
    folder.write("parameter", parameter);
}

const names inputs{"monthly_P", "monthly_T", "parameter"};

TEST(MissingFiles, EachInputHasItsMessageAndNothingIsCreated) {
    struct missing {
        const char* file;
        const char* message;
    };
    const missing cases[] = {
        {"monthly_T", "Temperature input file opening failed.\n"},
        {"monthly_P", "Precipitation input file opening failed.\n"},
        {"parameter", "Parameter input file opening failed.\n"},
    };
    for (const missing& c : cases) {
        station_folder folder;
        write_station(folder);
        std::filesystem::remove(folder.path() / c.file);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << c.file;
        EXPECT_EQ(result.out, c.message);
        EXPECT_EQ(result.err, std::string("run_station: cannot open ") + c.file + ": No such file or directory\n");
        EXPECT_EQ(folder.names().size(), 2u) << c.file << ": no file may be created";
    }

    // With a prefix, a missing folder is a missing input too.
    station_folder folder;
    const auto result = folder.run({"200", "nowhere/st1_"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Temperature input file opening failed.\n");
    EXPECT_TRUE(folder.names().empty());

    // A folder given as the prefix without its final "/".
    std::filesystem::create_directory(folder.path() / "davis");
    const auto slip = folder.run({"200", "davis"});
    EXPECT_EQ(slip.out, "Temperature input file opening failed.\n");
    EXPECT_EQ(slip.err, "run_station: cannot open davismonthly_T: No such file or directory (the prefix \"davis\" is "
                        "a folder; \"davis/\" reads the files in it)\n");
}

TEST(UnwritableOutputs, EachOutputHasItsMessage) {
    {
        station_folder folder;
        write_station(folder);
        std::filesystem::create_directory(folder.path() / "summary");
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "Output file of Summary opening failed.\n");
        EXPECT_EQ(folder.names(), (names{"monthly_P", "monthly_T", "parameter", "summary"}));
    }
    {
        // The report of the second year cannot be created: the first year's report is
        // complete, and the summary, never complete, does not appear.
        station_folder folder;
        write_station(folder);
        std::filesystem::create_directory(folder.path() / "1962");
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "1961\n1962\nOutput file opening failed.\n");
        EXPECT_EQ(folder.names(), (names{"1961", "1962", "monthly_P", "monthly_T", "parameter"}));
    }
    struct frequency_file {
        const char* blocked;
        const char* message;
    };
    const frequency_file cases[] = {
        {"SMRS", "Output file of SMRS opening failed.\n"},
        {"SMR", "Output file of SMR opening failed.\n"},
        {"WSMR", "Output file of WSMR opening failed.\n"},
    };
    for (const frequency_file& c : cases) {
        station_folder folder;
        write_station(folder);
        std::filesystem::create_directory(folder.path() / c.blocked);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << c.blocked;
        EXPECT_EQ(result.out, std::string("1961\n1962\n") + c.message);
        // No file that gathers the years appears, neither the frequency files nor the
        // summary: the run's end-of-run files replace their earlier versions together.
        EXPECT_EQ(folder.names(), (names{"1961", "1962", c.blocked, "monthly_P", "monthly_T", "parameter"}));
    }
}

struct bad_input {
    const char* what;
    std::string t;
    std::string p;
    std::string parameter;
    std::vector<std::string> arguments;
    std::string message;
    names files_after;
};

TEST(BadInput, OneLineMessageStatusOneAndNoFileWritten) {
    const std::string t3 = two_years_t + "1963 45 51 54 60 66 72 76 73 69 62 52\n";
    const std::vector<bad_input> cases = {
        {"short parameter record", two_years_t, two_years_p, "38.5 N 6.0 2.5 0.66\n", {},
         "parameter: the record ends before field phase_shift.\n", inputs},
        {"non-numeric parameter", two_years_t, two_years_p, "38.5 N six 2.5 0.66 0 Davis\n", {},
         "parameter: field water_holding_capacity \"six\" is not a finite number.\n", inputs},
        {"lower-case hemisphere", two_years_t, two_years_p, "38.5 n 6.0 2.5 0.66 0 Davis\n", {},
         "parameter: field hemisphere \"n\" is not N or S.\n", inputs},
        {"negative latitude", two_years_t, two_years_p, "-38.5 S 6.0 2.5 0.66 0 Perth\n", {},
         "parameter: field latitude -38.5 is outside 0 to 90 degrees.\n", inputs},
        {"latitude above 90", two_years_t, two_years_p, "95 N 6.0 2.5 0.66 0 Nowhere\n", {},
         "parameter: field latitude 95 is outside 0 to 90 degrees.\n", inputs},
        {"negative capacity in the file", two_years_t, two_years_p, "38.5 N -6.0 2.5 0.66 0 Davis\n", {},
         "parameter: field water_holding_capacity is outside 0 to 1000000 mm.\n", inputs},
        {"negative capacity on the command line", two_years_t, two_years_p, parameters, {"-50"},
         "Command line: water-holding capacity \"-50\" is not a number of mm from 0 to 1000000.\n", inputs},
        {"infinite capacity on the command line", two_years_t, two_years_p, parameters, {"inf"},
         "Command line: water-holding capacity \"inf\" is not a number of mm; run_station --help explains the "
         "arguments.\n",
         inputs},
        {"capacity that is no number", two_years_t, two_years_p, parameters, {"abc"},
         "Command line: water-holding capacity \"abc\" is not a number of mm; run_station --help explains the "
         "arguments.\n",
         inputs},
        {"empty capacity", two_years_t, two_years_p, parameters, {"", "st_"},
         "Command line: water-holding capacity \"\" is not a number of mm; run_station --help explains the "
         "arguments.\n",
         inputs},
        {"capacity with a unit", two_years_t, two_years_p, parameters, {"6in"},
         "Command line: water-holding capacity \"6in\" is not a number of mm; run_station --help explains the "
         "arguments.\n",
         inputs},
        {"capacity beyond any soil", two_years_t, two_years_p, parameters, {"2e6"},
         "Command line: water-holding capacity \"2e6\" is not a number of mm from 0 to 1000000.\n", inputs},
        {"capacity beyond any soil in the file", two_years_t, two_years_p, "38.5 N 1e300 2.5 0.66 0 Davis\n", {},
         "parameter: field water_holding_capacity is outside 0 to 1000000 mm.\n", inputs},
        {"truncated last record", t3, two_years_p + "1963 1 1 1 1 1 1 1 1 1 1 1 1\n", parameters, {},
         "monthly_T: record 3 (1963): the file ends after 11 of 12 values.\n", inputs},
        {"missing value", two_years_t + "1963 45 51 54 NA 66 72 76 73 69 62 52 47\n",
         two_years_p + "1963 1 1 1 1 1 1 1 1 1 1 1 1\n", parameters, {},
         "monthly_T: record 3 (1963): April value \"NA\" is not a finite number.\n", inputs},
        {"fewer precipitation records", t3 + " 47\n", two_years_p, parameters, {},
         "monthly_P: no record for year 3 (1963) of the temperature file.\n", inputs},
        {"no year", "\n  \n", two_years_p, parameters, {}, "monthly_T: the temperature file holds no year.\n",
         inputs},
    };
    for (const bad_input& c : cases) {
        station_folder folder;
        write_station(folder, c.t, c.p, c.parameter);
        const auto result = folder.run(c.arguments);
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.out, c.message) << c.what;
        EXPECT_EQ(folder.names(), c.files_after) << c.what;
    }
}

TEST(CommandLine, CapacityAndPrefix) {
    station_folder folder;
    write_station(folder);
    const auto from_file = folder.run();
    ASSERT_EQ(from_file.status, 0);
    EXPECT_EQ(from_file.out, "1961\n1962\n\nEnd of Program.\n");
    const std::string report_from_file = folder.read("1961");

    // 6.0 inches is 152.4 mm; the same capacity given in mm gives the same results.
    const auto in_mm = folder.run({"152.4"});
    ASSERT_EQ(in_mm.status, 0);
    EXPECT_EQ(folder.read("1961"), report_from_file);

    // A capacity of 0 is a soil that holds no water: every day is dry.
    ASSERT_EQ(folder.run({"0"}).status, 0);
    EXPECT_NE(folder.read("1961").find("DRY               M/D               Moist\n       360"), std::string::npos);

    // Any way of writing a plain number keeps its meaning.
    for (const auto& [written, plain] : {std::pair{" 75", "75"}, {"+120", "120"}, {".75e2", "75"}, {"1e2", "100"}}) {
        ASSERT_EQ(folder.run({plain}).status, 0);
        const std::string report = folder.read("1961");
        ASSERT_EQ(folder.run({written}).status, 0) << written;
        EXPECT_EQ(folder.read("1961"), report) << written;
    }
    EXPECT_EQ(folder.run({"-0"}).status, 0);

    // -h is --help: the usage, and no file touched.
    const auto help = folder.run({"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: run_station", 0), 0u);

    // A prefix ending in an underscore, with a capacity; further arguments are ignored.
    station_folder prefixed;
    write_station(prefixed);
    prefixed.write("st1_monthly_T", two_years_t);
    prefixed.write("st1_monthly_P", two_years_p);
    prefixed.write("st1_parameter", "38.5 N 1.0 2.5 0.66 0.0 Davis\n");
    std::filesystem::remove(prefixed.path() / "monthly_T");
    const auto with_prefix = prefixed.run({"152.4", "st1_", "ignored"});
    ASSERT_EQ(with_prefix.status, 0);
    EXPECT_EQ(with_prefix.out, "1961\n1962\n\nEnd of Program.\n");
    EXPECT_EQ(prefixed.read("st1_1961"), report_from_file);
    EXPECT_EQ(prefixed.names(), (names{"monthly_P", "parameter", "st1_1961", "st1_1962", "st1_SMR", "st1_SMRS",
                                       "st1_WSMR", "st1_monthly_P", "st1_monthly_T", "st1_parameter",
                                       "st1_summary"}));
}

}  // namespace
}  // namespace soil_climate::testing
