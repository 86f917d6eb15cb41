// Input as it arrives from spreadsheets, databases and old archives. Each case either
// works as ordinary input or ends with one clear line, status 1, no crash and no hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

namespace fs = std::filesystem;
using names = std::vector<std::string>;

const std::string t_record = "1961 46 50 55 59 65 71 75 74 70 63 53 46\n";
const std::string p_record = "1961 4.0 3.6 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n";
const std::string parameters = "38.5 N 6.0 2.5 0.66 0.0 Davis\n";

void write_station(const station_folder& folder, const std::string& t, const std::string& p,
                   const std::string& parameter = parameters) {
    folder.write("monthly_T", t);
    folder.write("monthly_P", p);
    folder.write("parameter", parameter);
}

std::string with_crlf(std::string text) {
    std::string converted;
    for (const char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

TEST(BadInputCatalogue, WindowsLineEndsAndAByteOrderMarkReadLikePlainText) {
    station_folder plain;
    write_station(plain, t_record, p_record);
    ASSERT_EQ(plain.run().status, 0);

    const std::string bom = "\xEF\xBB\xBF";
    station_folder exported;
    write_station(exported, bom + with_crlf(t_record), bom + with_crlf(p_record), bom + with_crlf(parameters));
    const auto result = exported.run();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "1961\n\nEnd of Program.\n");
    for (const char* output : {"1961", "summary", "SMR", "SMRS", "WSMR"}) {
        EXPECT_EQ(exported.read(output), plain.read(output)) << output;
    }
}

struct failing_input {
    const char* what;
    std::string t;
    std::string p;
    std::string parameter;
    std::string message;
    names files_after;
};

TEST(BadInputCatalogue, EachEndsWithOneLineAndStatusOne) {
    const names inputs{"monthly_P", "monthly_T", "parameter"};
    const names inputs_and_summary{"monthly_P", "monthly_T", "parameter", "summary"};
    const std::string long_label(300, 'L');
    const std::vector<failing_input> cases = {
        {"stray comma", "1961 46, 50 55 59 65 71 75 74 70 63 53 46\n", p_record, parameters,
         "monthly_T: record 1 (1961): January value \"46,\" is not a finite number.\n", inputs_and_summary},
        {"comma-separated record", "1961,46,50,55,59,65,71,75,74,70,63,53,46\n", p_record, parameters,
         "monthly_T: record 1 (1961,46,50,55,59,65,71,75,74,70,63,53,46): the file ends after 0 of 12 values.\n",
         inputs_and_summary},
        {"NA", t_record, "1961 4.0 NA 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n", parameters,
         "monthly_P: record 1 (1961): February value \"NA\" is not a finite number.\n", inputs_and_summary},
        {"-99.9 temperature", "1961 46 50 55 59 65 71 75 74 70 63 53 -99.9\n", p_record, parameters,
         "monthly_T: record 1 (1961): December value \"-99.9\" is a missing-value code, not a measurement.\n",
         inputs_and_summary},
        {"-99.9 precipitation", t_record, "1961 4.0 3.6 2.7 1.2 0.6 -99.9 0.0 0.1 0.3 1.1 2.4 3.3\n", parameters,
         "monthly_P: record 1 (1961): June value \"-99.9\" is a missing-value code, not a measurement.\n",
         inputs_and_summary},
        {"missing month", "1961 46 50 55 59 65 71 75 74 70 63 53\n1962 46 50 55 59 65 71 75 74 70 63 53 46\n",
         p_record + p_record, parameters,
         "monthly_T: record 1 (1961): December value \"1962\" lies outside -200 to 250 degrees F.\n",
         inputs_and_summary},
        {"truncated file", t_record + "1962 46 50 5", p_record + p_record, parameters,
         "1961\nmonthly_T: record 2 (1962): the file ends after 3 of 12 values.\n",
         {"1961", "monthly_P", "monthly_T", "parameter", "summary"}},
        {"empty temperature file", "", p_record, parameters, "monthly_T: the temperature file holds no year.\n",
         inputs_and_summary},
        {"empty precipitation file", t_record, "", parameters,
         "monthly_P: no record for year 1 (1961) of the temperature file.\n", inputs_and_summary},
        {"empty parameter file", t_record, p_record, "", "parameter: the record ends before field latitude.\n",
         inputs},
        {"label too long for a file name", long_label + t_record.substr(4), long_label + p_record.substr(4),
         parameters, long_label + "\nOutput file opening failed.\n", inputs_and_summary},
    };
    for (const failing_input& c : cases) {
        station_folder folder;
        write_station(folder, c.t, c.p, c.parameter);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.out, c.message) << c.what;
        EXPECT_EQ(folder.names(), c.files_after) << c.what;
    }
}

TEST(BadInputCatalogue, LongNamesWork) {
    const std::string station_name(4000, 'S');
    const std::string label(200, 'Y');
    station_folder folder;
    write_station(folder, label + t_record.substr(4), label + p_record.substr(4),
                  "38.5 N 6.0 2.5 0.66 0.0 " + station_name + "\n");
    const auto result = folder.run({"152.4"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(folder.read(label).find("for Station " + station_name + " in " + label + "\n"), std::string::npos);
    EXPECT_NE(folder.read("summary").find("\n" + label + "   "), std::string::npos);
}

TEST(BadInputCatalogue, FoldersWhereFilesBelong) {
    struct folder_case {
        const char* file;
        names files_after;  // the parameter record is read before the summary is created
    };
    const folder_case cases[] = {
        {"monthly_T", {"monthly_P", "monthly_T", "parameter", "summary"}},
        {"monthly_P", {"monthly_P", "monthly_T", "parameter", "summary"}},
        {"parameter", {"monthly_P", "monthly_T", "parameter"}},
    };
    for (const folder_case& c : cases) {
        station_folder folder;
        write_station(folder, t_record, p_record);
        fs::remove(folder.path() / c.file);
        fs::create_directory(folder.path() / c.file);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << c.file;
        EXPECT_EQ(result.out, std::string(c.file) + ": the file cannot be read.\n");
        EXPECT_EQ(folder.names(), c.files_after) << c.file;
    }

    // A prefix naming a file as if it were a folder.
    station_folder folder;
    write_station(folder, t_record, p_record);
    const auto result = folder.run({"100", "monthly_T/"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Temperature input file opening failed.\n");
}

TEST(BadInputCatalogue, UnwritableOutputFolder) {
    station_folder folder;
    write_station(folder, t_record, p_record);
    fs::permissions(folder.path() / "monthly_T", fs::perms::others_read, fs::perm_options::add);
    fs::permissions(folder.path() / "monthly_P", fs::perms::others_read, fs::perm_options::add);
    fs::permissions(folder.path() / "parameter", fs::perms::others_read, fs::perm_options::add);
    fs::permissions(folder.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    station_folder::outcome result{};
    if (!folder.run_unprivileged({}, result)) {
        GTEST_SKIP() << "cannot run without privileges here";
    }
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Output file of Summary opening failed.\n");
    EXPECT_EQ(folder.names(), (names{"monthly_P", "monthly_T", "parameter"}));
}

}  // namespace
}  // namespace soil_climate::testing
