// Year labels become report file names, and output can fail after a file is opened:
// neither may lose or corrupt data, nor pass for success.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

namespace fs = std::filesystem;
using names = std::vector<std::string>;

const char* values = " 46 50 55 59 65 71 75 74 70 63 53 46\n";
const char* rain = " 4.0 3.6 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n";

// A station in folder "data" of `folder`, run with the prefix "data/", whose second year
// carries `label` in both files.
void write_station(const station_folder& folder, const std::string& label) {
    fs::create_directory(folder.path() / "data");
    const std::string t = std::string("1961") + values + label + values + "1963" + values;
    const std::string p = std::string("1961") + rain + label + rain + "1963" + rain;
    folder.write("data/monthly_T", t);
    folder.write("data/monthly_P", p);
    folder.write("data/parameter", "38.5 N 6.0 2.5 0.66 0.0 Davis\n");
}

std::vector<std::string> data_files(const station_folder& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
        found.push_back(fs::relative(entry.path(), folder.path()).string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(YearLabels, LabelsThatWouldOverwriteOrEscapeAreRejected) {
    struct rejected {
        std::string label;
        std::string problem;
    };
    const rejected cases[] = {
        {"monthly_T", "the label is the name of one of the run's own files"},
        {"monthly_P", "the label is the name of one of the run's own files"},
        {"parameter", "the label is the name of one of the run's own files"},
        {"summary", "the label is the name of one of the run's own files"},
        {"SMRS", "the label is the name of one of the run's own files"},
        {"SMR", "the label is the name of one of the run's own files"},
        {"WSMR", "the label is the name of one of the run's own files"},
        {"../../escaped", "the label holds a path separator"},
        {"sub/1962", "the label holds a path separator"},
        {".", "the label names a folder"},
        {"..", "the label names a folder"},
    };
    for (const rejected& c : cases) {
        station_folder folder;
        write_station(folder, c.label);
        const std::string inputs_before = folder.read("data/monthly_T") + folder.read("data/monthly_P");
        const auto result = folder.run({"152.4", "data/"});
        EXPECT_EQ(result.status, 1) << c.label;
        EXPECT_EQ(result.out, "1961\ndata/monthly_P: record 2 (" + c.label + "): " + c.problem +
                                  "; it cannot name the year's report.\n")
            << c.label;
        EXPECT_EQ(folder.read("data/monthly_T") + folder.read("data/monthly_P"), inputs_before) << c.label;
        EXPECT_EQ(data_files(folder), (names{"data", "data/1961", "data/monthly_P", "data/monthly_T",
                                             "data/parameter", "data/summary"}))
            << c.label;
        EXPECT_EQ(folder.read("data/summary").find(c.label + " "), std::string::npos) << c.label;
    }
}

TEST(YearLabels, OrdinaryLabelsWorkAndARepeatedLabelIsAWarning) {
    for (const std::string label : {"05-06", "1961a", "Y2000", "monthly_T2", "..1962", "sumMARY"}) {
        station_folder folder;
        write_station(folder, label);
        const auto result = folder.run({"152.4", "data/"});
        EXPECT_EQ(result.status, 0) << label;
        EXPECT_EQ(result.out, "1961\n" + label + "\n1963\n\nEnd of Program.\n");
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(folder.exists("data/" + label)) << label;
    }

    station_folder folder;
    write_station(folder, "1961");
    const auto result = folder.run({"152.4", "data/"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "1961\n1961\n1963\n\nEnd of Program.\n");
    EXPECT_EQ(result.err,
              "Warning: data/monthly_P: record 2 (1961) repeats the label of an earlier year; "
              "its report replaces the earlier one.\n");
    const std::string summary = folder.read("data/summary");
    EXPECT_NE(summary.find("\n1961 "), summary.rfind("\n1961 ")) << "the summary keeps both lines";
}

// A full device behind a link named like the output file: writes and the close fail.
TEST(WriteFailures, AFullDiskIsAFailureNotASuccess) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full on this system";
    }
    struct full_output {
        std::string file;
        std::string printed_before;
        std::string message;
    };
    const full_output cases[] = {
        {"summary", "1961\n1962\n1963\n", "Output file of Summary writing failed.\n"},
        {"1962", "1961\n1962\n", "Output file 1962 writing failed.\n"},
        {"SMR", "1961\n1962\n1963\n", "Output file of SMR writing failed.\n"},
        {"SMRS", "1961\n1962\n1963\n", "Output file of SMRS writing failed.\n"},
        {"WSMR", "1961\n1962\n1963\n", "Output file of WSMR writing failed.\n"},
    };
    for (const full_output& c : cases) {
        station_folder folder;
        folder.write("monthly_T", std::string("1961") + values + "1962" + values + "1963" + values);
        folder.write("monthly_P", std::string("1961") + rain + "1962" + rain + "1963" + rain);
        folder.write("parameter", "38.5 N 6.0 2.5 0.66 0.0 Davis\n");
        fs::create_symlink("/dev/full", folder.path() / c.file);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << c.file;
        EXPECT_EQ(result.out, c.printed_before + c.message) << c.file;
        EXPECT_EQ(folder.read("1961").rfind("The simulation results", 0), 0u) << "earlier years stay complete";
        if (c.file == "1962") {
            EXPECT_FALSE(folder.exists("1962")) << "a report cut short is removed";
        }
    }
}

}  // namespace
}  // namespace soil_climate::testing
