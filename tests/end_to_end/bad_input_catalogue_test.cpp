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
};

TEST(BadInputCatalogue, EachEndsWithOneLineAndStatusOneAndChangesNoFile) {
    const std::string long_label(300, 'L');
    const std::string nul_year = "1961 46 50 55 59 65 71" + std::string(1, '\0') + "75 74 70 63 53 46\n";
    const std::vector<failing_input> cases = {
        {"stray comma", "1961 46, 50 55 59 65 71 75 74 70 63 53 46\n", p_record, parameters,
         "monthly_T: record 1 (1961): February value \",\" is not a finite number.\n"},
        {"comma-separated record", "1961,46,50,55,59,65,71,75,74,70,63,53,46\n", p_record, parameters,
         "monthly_T: record 1 (1961,46,50,55,59,65,71,75,74,70,63,53,46): the file ends after 0 of 12 values.\n"},
        {"NA", t_record, "1961 4.0 NA 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n", parameters,
         "monthly_P: record 1 (1961): February value \"NA\" is not a finite number.\n"},
        {"-99.9 temperature", "1961 46 50 55 59 65 71 75 74 70 63 53 -99.9\n", p_record, parameters,
         "monthly_T: record 1 (1961): December value \"-99.9\" is a missing-value code, not a measurement.\n"},
        {"-99.0 temperature", "1961 46 50 55 -99.0 65 71 75 74 70 63 53 46\n", p_record, parameters,
         "monthly_T: record 1 (1961): April value \"-99.0\" is a missing-value code, not a measurement.\n"},
        {"-99.9 precipitation", t_record, "1961 4.0 3.6 2.7 1.2 0.6 -99.9 0.0 0.1 0.3 1.1 2.4 3.3\n", parameters,
         "monthly_P: record 1 (1961): June value \"-99.9\" is a missing-value code, not a measurement.\n"},
        {"missing month", "1961 46 50 55 59 65 71 75 74 70 63 53\n1962 46 50 55 59 65 71 75 74 70 63 53 46\n",
         p_record + p_record, parameters,
         "monthly_T: record 1 (1961): December value \"1962\" lies outside -200 to 250 degrees F.\n"},
        {"truncated file", t_record + "1962 46 50 5", p_record + p_record, parameters,
         "monthly_T: record 2 (1962): the file ends after 3 of 12 values.\n"},
        {"empty temperature file", "", p_record, parameters, "monthly_T: the temperature file holds no year.\n"},
        {"empty precipitation file", t_record, "", parameters,
         "monthly_P: no record for year 1 (1961) of the temperature file.\n"},
        {"empty parameter file", t_record, p_record, "", "parameter: the record ends before field latitude.\n"},
        {"label too long for a file name", long_label + t_record.substr(4), long_label + p_record.substr(4),
         parameters,
         "monthly_P: record 1 (" + std::string(60, 'L') +
             "...): the label is too long for a file name; it cannot name the year's report.\n"},
        {"NUL byte", t_record + nul_year, p_record + p_record, parameters,
         "monthly_T: byte 64 is a NUL byte; the file is not a text file.\n"},
        {"NUL bytes after the last year", t_record, p_record + std::string(100, '\0'), parameters,
         "monthly_P: byte 54 is a NUL byte; the file is not a text file.\n"},
        {"soil temperature offset without a range", t_record, p_record, "38.5 N 6.0 1e308 0.66 0.0 Davis\n",
         "parameter: field soil_temp_offset 1e+308 is outside -30 to 30 degrees C.\n"},
    };
    for (const failing_input& c : cases) {
        station_folder folder;
        write_station(folder, c.t, c.p, c.parameter);
        // Outputs of an earlier complete run stay exactly as they were.
        folder.write("summary", "an earlier summary\n");
        folder.write("1961", "an earlier report\n");
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.out, c.message) << c.what;
        EXPECT_EQ(folder.names(), (names{"1961", "monthly_P", "monthly_T", "parameter", "summary"})) << c.what;
        EXPECT_EQ(folder.read("summary") + folder.read("1961"), "an earlier summary\nan earlier report\n") << c.what;
    }
}

// Old fixed-width files glue fields together; they read as the formatted reads read them,
// exactly as the same values written with blanks.
TEST(BadInputCatalogue, GluedFieldsGiveTheOutputsOfTheSameValuesWithBlanks) {
    station_folder spaced;
    write_station(spaced, "1961 45.2 -3.1 12.5 0.5 65 71 75 74 70 63 53 46\n", p_record, parameters);
    station_folder glued;
    write_station(glued, "1961 45.2-3.1 12.5.5 65 71 75 74 70 63 53 46\n",
                  "1961 4.0 3.6 2.7 1.2 0.6 0.2 0.0 0.1 0.3 1.1 2.4 3.3\n", "38.5N 6.0 2.5 0.66 0.0 Davis\n");
    ASSERT_EQ(spaced.run().status, 0);
    const auto result = glued.run();
    ASSERT_EQ(result.status, 0) << result.out;
    for (const char* output : {"1961", "summary", "SMR", "SMRS", "WSMR"}) {
        EXPECT_EQ(glued.read(output), spaced.read(output)) << output;
    }
}

TEST(BadInputCatalogue, WarningsGoToStandardErrorOnly) {
    station_folder plain;
    write_station(plain, t_record, p_record, "31.9 S 5.0 2.5 0.66 90 Perth\n");
    ASSERT_EQ(plain.run().status, 0);
    station_folder warned;
    write_station(warned, t_record, p_record, "31.9 S 5.0 2.5 0.66 90 Perth Airport\n");
    const auto result = warned.run();
    EXPECT_EQ(result.status, 0);
    // The record's summer is June to August: the southern station also draws the hemisphere
    // warning.
    EXPECT_EQ(result.err,
              "Warning: parameter: the text after the station name, \"Airport\", is not read; the station is named "
              "\"Perth\" (a name is one word: join its words with underscores).\n"
              "Warning: monthly_T: the warmest months of the mean year are June to August, but the station is "
              "southern (S); its hemisphere or the sign of its latitude may be wrong.\n");
    for (const char* output : {"1961", "summary", "SMR", "SMRS", "WSMR"}) {
        EXPECT_EQ(warned.read(output), plain.read(output)) << output;
    }
}

// A named pipe cannot be read twice: it is held in memory, and the run is as from a file.
TEST(BadInputCatalogue, NamedPipesAreReadOnceAndHeld) {
    station_folder plain;
    write_station(plain, t_record, p_record);
    ASSERT_EQ(plain.run().status, 0);
    station_folder piped;
    write_station(piped, t_record, p_record);
    const auto result = piped.shell("mv monthly_T records && mkfifo monthly_T && (cat records > monthly_T &) && '" +
                                    std::string(RUN_STATION_PATH) + "'");
    EXPECT_EQ(result.status, 0) << result.out;
    for (const char* output : {"1961", "summary", "SMR", "SMRS", "WSMR"}) {
        EXPECT_EQ(piped.read(output), plain.read(output)) << output;
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
    for (const char* file : {"monthly_T", "monthly_P", "parameter"}) {
        station_folder folder;
        write_station(folder, t_record, p_record);
        fs::remove(folder.path() / file);
        fs::create_directory(folder.path() / file);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 1) << file;
        EXPECT_EQ(result.out, std::string(file) + ": the file cannot be read.\n");
        EXPECT_EQ(folder.names(), (names{"monthly_P", "monthly_T", "parameter"})) << file;
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
