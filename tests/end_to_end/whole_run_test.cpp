// Whole runs compared byte for byte with reference outputs. The reference files were
// checked by hand before they were stored: the layout against the report and summary
// formats (column widths, the blanks that end calendar and slant rows, legends, the total
// line of 100), and the values of the "arid" year of the contrasts station against hand
// arithmetic (°F to °C, inches to mm, hot-month PET bands times the 40° N day-length
// factors, day counts adding up to 360, the dry run after the summer solstice).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

namespace fs = std::filesystem;

struct whole_run {
    const char* name;        // folder of the reference outputs
    const char* station;     // the example or test station of the inputs
    std::vector<std::string> arguments;
    std::string prefix;
};

void PrintTo(const whole_run& run, std::ostream* out) {
    *out << run.name;
}

class WholeRun : public ::testing::TestWithParam<whole_run> {};

TEST_P(WholeRun, EveryOutputFileMatchesItsReference) {
    const whole_run& run = GetParam();
    station_folder folder;
    folder.copy_example(run.station, run.prefix);
    const auto result = folder.run(run.arguments);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, expected_file(std::string(run.name) + "/stdout"));
    EXPECT_EQ(result.err, "");

    std::vector<std::string> expected_names;
    for (const auto& entry : fs::directory_iterator(fs::path(EXPECTED_DIR) / run.name)) {
        const std::string name = entry.path().filename().string();
        if (name != "stdout") {
            expected_names.push_back(name);
            EXPECT_EQ(folder.read(name), expected_file(std::string(run.name) + "/" + name)) << name;
        }
    }
    // Every day of every replayed year has a condition code: no calendar cell is 0.
    for (const std::string& name : expected_names) {
        const std::string report = folder.read(name);
        const std::size_t calendar = report.find("Soil Moisture Calender:");
        if (calendar != std::string::npos) {
            const std::size_t legend = report.find("\n1: Dry", calendar);
            EXPECT_EQ(report.substr(calendar, legend - calendar).find(" 0 "), std::string::npos) << name;
        }
    }
    for (const char* input : {"monthly_T", "monthly_P", "parameter"}) {
        expected_names.push_back(run.prefix + input);
    }
    std::sort(expected_names.begin(), expected_names.end());
    EXPECT_EQ(folder.names(), expected_names);
}

INSTANTIATE_TEST_SUITE_P(
    Stations, WholeRun,
    ::testing::Values(whole_run{"davis", "davis", {}, ""}, whole_run{"contrasts", "contrasts", {}, ""},
                      whole_run{"shallow", "contrasts", {"80", "shallow_"}, "shallow_"},
                      whole_run{"southern", "southern", {}, ""}),
    [](const ::testing::TestParamInfo<whole_run>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace soil_climate::testing
