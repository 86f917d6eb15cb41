// Year labels become report file names, outputs can fail or be interrupted after they are
// opened, and links or a second run can stand in the way: none of this may lose or
// corrupt data, nor pass for success.
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

// A station of `years` years labelled from 10001, in the folder itself.
void write_long_station(const station_folder& folder, int years) {
    std::string t;
    std::string p;
    for (int year = 10001; year <= 10000 + years; ++year) {
        t += std::to_string(year) + values;
        p += std::to_string(year) + rain;
    }
    folder.write("monthly_T", t);
    folder.write("monthly_P", p);
    folder.write("parameter", "38.5 N 6.0 2.5 0.66 0.0 Davis\n");
}

std::vector<std::string> data_files(const station_folder& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
        found.push_back(fs::relative(entry.path(), folder.path()).string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool holds_temporary_file(const station_folder& folder) {
    const names all = folder.names();
    return std::any_of(all.begin(), all.end(), [](const std::string& name) { return name.find(".run_station-") == 0; });
}

TEST(YearLabels, LabelsThatWouldOverwriteOrEscapeAreRejectedBeforeAnythingIsWritten) {
    struct rejected {
        std::string label;
        std::string problem;
    };
    const rejected cases[] = {
        {"monthly_T", "the label is the name of one of the run's own files"},
        {"parameter", "the label is the name of one of the run's own files"},
        {"summary", "the label is the name of one of the run's own files"},
        {"WSMR", "the label is the name of one of the run's own files"},
        {"years.csv", "the label is the name of one of the run's own files"},
        {"station.html", "the label is the name of one of the run's own files"},
        {"../../escaped", "the label holds a path separator"},
        {"..", "the label names a folder"},
        {".run_station-7-1", "the label has the form of the run's temporary file names"},
    };
    for (const rejected& c : cases) {
        station_folder folder;
        write_station(folder, c.label);
        const auto result = folder.run({"152.4", "data/"});
        EXPECT_EQ(result.status, 1) << c.label;
        EXPECT_EQ(result.out,
                  "data/monthly_P: record 2 (" + c.label + "): " + c.problem + "; it cannot name the year's report.\n")
            << c.label;
        EXPECT_EQ(data_files(folder), (names{"data", "data/monthly_P", "data/monthly_T", "data/parameter"}))
            << c.label;
    }
}

TEST(YearLabels, OrdinaryLabelsWorkAndRepeatedOrMismatchedLabelsAreWarnings) {
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

    // Files sorted differently pair the wrong years: the outputs are the same, with a warning.
    folder.write("data/monthly_T", std::string("1961") + values + "1963" + values + "1962" + values);
    folder.write("data/monthly_P", std::string("1961") + rain + "1962" + rain + "1963" + rain);
    const auto mismatched = folder.run({"152.4", "data/"});
    EXPECT_EQ(mismatched.status, 0);
    EXPECT_EQ(mismatched.err,
              "Warning: data/monthly_P: record 2 (1962) has the label 1963 in data/monthly_T; the two files may pair "
              "the wrong years. The precipitation record's label names the year.\n"
              "Warning: data/monthly_P: record 3 (1963) has the label 1962 in data/monthly_T; the two files may pair "
              "the wrong years. The precipitation record's label names the year.\n");
}

// Links under the name of an output are replaced by the output; what they point to, the
// run's own inputs above all, stays as it was.
TEST(OutputLinks, AreReplacedNeverFollowed) {
    struct link_case {
        const char* what;
        const char* name;
        const char* target;
        bool hard;
    };
    const link_case cases[] = {
        {"symbolic link to an input", "1962", "monthly_T", false},
        {"symbolic link out of the folder", "1963", "../outside", false},
        {"hard link to an input", "1962", "monthly_P", true},
        {"summary linked to an input", "summary", "parameter", false},
        {"symbolic link to a full device", "SMR", "/dev/full", false},
    };
    for (const link_case& c : cases) {
        station_folder folder;
        write_long_station(folder, 0);
        folder.write("monthly_T", std::string("1961") + values + "1962" + values + "1963" + values);
        folder.write("monthly_P", std::string("1961") + rain + "1962" + rain + "1963" + rain);
        const fs::path outside = folder.path().parent_path() / "outside";
        const std::string before = folder.read("monthly_T") + folder.read("monthly_P") + folder.read("parameter");
        if (c.hard) {
            fs::create_hard_link(folder.path() / c.target, folder.path() / c.name);
        } else {
            fs::create_symlink(c.target, folder.path() / c.name);
        }
        const auto result = folder.run();
        EXPECT_EQ(result.status, 0) << c.what;
        EXPECT_EQ(folder.read("monthly_T") + folder.read("monthly_P") + folder.read("parameter"), before) << c.what;
        EXPECT_FALSE(fs::exists(outside)) << c.what;
        EXPECT_FALSE(fs::is_symlink(folder.path() / c.name)) << c.what;
        EXPECT_EQ(fs::hard_link_count(folder.path() / c.name), 1u) << c.what;
    }
}

// A file that grows past the size limit fails to be written (as on a full disk): the run
// fails with that file's message, leaves no part of it, and the earlier complete file of
// that name stays.
TEST(WriteFailures, AFailedWriteLeavesThePreviousCompleteFile) {
    struct limited_output {
        const char* what;
        int years;
        int limit_blocks;  // of 512 bytes
        std::string message;
        const char* kept;  // an earlier file that must stay as it was
    };
    const limited_output cases[] = {
        {"a report", 3, 2, "10001\nOutput file 10001 writing failed.\n", "10001"},
        {"the summary", 200, 20, "Output file of Summary writing failed.\n", "summary"},
    };
    for (const limited_output& c : cases) {
        station_folder folder;
        write_long_station(folder, c.years);
        folder.write(c.kept, "an earlier complete file\n");
        const auto result = folder.shell("trap '' XFSZ; ulimit -f " + std::to_string(c.limit_blocks) + "; '" +
                                         std::string(RUN_STATION_PATH) + "'");
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_NE(result.out.find(c.message), std::string::npos) << c.what << ": " << result.out;
        EXPECT_EQ(folder.read(c.kept), "an earlier complete file\n") << c.what;
        EXPECT_FALSE(holds_temporary_file(folder)) << c.what;
    }
}

// Interrupted mid-run, a run leaves only complete files: the reports it finished, and no
// summary cut short. A later run clears the temporary files that a crash left.
TEST(Interruptions, LeaveOnlyCompleteFiles) {
    station_folder folder;
    write_long_station(folder, 20000);
    folder.write("summary", "an earlier complete summary\n");
    // A shell starts a background run with SIGINT ignored, which the run keeps ignoring;
    // started with the default action, it takes Ctrl-C as a foreground run does.
    const auto result = folder.shell("env --default-signal=INT '" + std::string(RUN_STATION_PATH) +
                                     "' > /dev/null & run=$!; "
                                     "until [ -e 10050 ]; do sleep 0.01; done; kill -INT $run; wait $run");
    EXPECT_NE(result.status, 0);
    EXPECT_FALSE(holds_temporary_file(folder));
    EXPECT_EQ(folder.read("summary"), "an earlier complete summary\n");
    const std::string report = folder.read("10050");
    EXPECT_EQ(report.substr(report.size() - 2), "\n\n");
    EXPECT_NE(report.find("Dry after Summer Solstice"), std::string::npos);

    // What a crash (SIGKILL) leaves, the next run removes.
    folder.write(".run_station-99999-0", "half a summ");
    write_long_station(folder, 2);
    EXPECT_EQ(folder.run().status, 0);
    EXPECT_FALSE(holds_temporary_file(folder));
}

TEST(Concurrency, ASecondRunOnTheSameStationIsRefusedAtOnce) {
    station_folder folder;
    write_long_station(folder, 20000);
    const std::string program = "'" + std::string(RUN_STATION_PATH) + "'";
    const auto result = folder.shell(program + " > /dev/null & first=$!; "
                                     "until [ -e 10002 ]; do sleep 0.01; done; " +
                                     program + " 100 > second.out; second=$?; kill -TERM $first; wait $first; "
                                     "cat second.out; exit $second");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "monthly_T: another run_station is running on this station's files; wait until it has "
                          "ended.\n");
    EXPECT_FALSE(holds_temporary_file(folder));
}

TEST(StandardStreams, ClosedStreamsNeverLandInAnOutput) {
    station_folder folder;
    write_station(folder, "1961");  // a repeated label: a warning on standard error
    const auto result = folder.shell("'" + std::string(RUN_STATION_PATH) + "' 152.4 data/ <&- >&- 2>&-");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(folder.read("data/summary").find("Warning"), std::string::npos);
    EXPECT_EQ(folder.read("data/summary").rfind("YEAR  PREC", 0), 0u);
}

TEST(BinaryInput, IsRefusedQuicklyWithBoundedMemory) {
    struct binary_case {
        const char* what;
        std::string command;  // makes monthly_T
        std::string message;
    };
    const binary_case cases[] = {
        {"/dev/zero", "ln -sf /dev/zero monthly_T", "monthly_T: byte 1 is a NUL byte; the file is not a text file.\n"},
        {"a word with no end", "head -c 100000 /dev/zero | tr '\\0' 'x' > monthly_T",
         "monthly_T: byte 1 starts a word longer than 4096 bytes (\"" + std::string(60, 'x') +
             "...\"); no label or number is that long.\n"},
    };
    for (const binary_case& c : cases) {
        station_folder folder;
        write_long_station(folder, 1);
        ASSERT_EQ(folder.shell(c.command).status, 0);
        // Half a gigabyte of address space is far more than a run needs and far less than
        // an input read without bound would take (AddressSanitizer reserves far more).
#ifdef __SANITIZE_ADDRESS__
        const std::string limit = "";
#else
        const std::string limit = "ulimit -v 524288; ";
#endif
        const auto result = folder.shell(limit + "'" + std::string(RUN_STATION_PATH) + "'");
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.out, c.message) << c.what;
    }
}

// The run simulates exactly the years it checked: records appended while it runs are not
// read (a label that would escape the folder among them), and a record changed in place
// ends the run before anything of it is written.
TEST(InputsChangedDuringARun, WhatWasCheckedIsWhatIsWritten) {
    const std::string program = "'" + std::string(RUN_STATION_PATH) + "'";
    {
        station_folder folder;
        write_long_station(folder, 20000);
        const std::string parameter = folder.read("parameter");
        const auto result = folder.shell(
            program + " --csv > /dev/null & run=$!; until [ -e 10002 ]; do sleep 0.01; done; "
                      "printf '9001 46 49 56 58 64 73 75 74 70 62 50 46\nparameter 46 49 56 58 64 73 75 74 70 62 50 46\n' "
                      ">> monthly_T; printf '../escaped 1 1 1 1 1 1 1 1 1 1 1 1\nparameter 1 1 1 1 1 1 1 1 1 1 1 1\n' "
                      ">> monthly_P; wait $run");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(folder.read("parameter"), parameter);
        EXPECT_FALSE(fs::exists(folder.path().parent_path() / "escaped"));
        const std::string years = folder.read("years.csv");
        EXPECT_EQ(std::count(years.begin(), years.end(), '\n'), 20001);
    }
    {
        station_folder folder;
        write_long_station(folder, 20000);
        const std::string changed = std::string("30000 10 10 10 10 10 10 10 10 10 10 10 10\n");
        const auto result = folder.shell(program + " > out & run=$!; until [ -e 10002 ]; do sleep 0.01; done; "
                                                   "cat monthly_T > copy; { head -n -1 copy; printf '" +
                                         changed + "'; } > monthly_T; wait $run");
        EXPECT_EQ(result.status, 1);
        const std::string out = folder.read("out");
        EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1),
                  "monthly_T, monthly_P: record 20000 changed during the run; the run ends before writing anything of "
                  "it.\n");
        EXPECT_FALSE(folder.exists("summary"));
        EXPECT_FALSE(holds_temporary_file(folder));
    }
}

// The summary, the table of years, the page and the frequency files replace an earlier
// run's together or not at all: a folder in the way of the last of them leaves the
// earlier set whole.
TEST(EndOfRunFiles, AFailureLeavesTheEarlierSetWhole) {
    station_folder folder;
    folder.copy_example("davis");
    ASSERT_EQ(folder.run({"--csv", "--html"}).status, 0);
    const names kept{"summary", "years.csv", "station.html", "SMR", "WSMR"};
    std::vector<std::string> before;
    for (const std::string& name : kept) {
        before.push_back(folder.read(name));
    }
    fs::remove(folder.path() / "SMRS");
    fs::create_directories(folder.path() / "SMRS" / "inside");
    const auto result = folder.run({"--csv", "--html", "0"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Output file of SMRS opening failed.\n"), std::string::npos);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(folder.read(kept[i]), before[i]) << kept[i];
    }
    EXPECT_FALSE(holds_temporary_file(folder));
}

// The lock stays with the station's name: replacing monthly_T during a run (as an editor
// or an import does) lets no second run in, and the first ends as it would have.
TEST(StationLock, HoldsWhenTheInputIsReplaced) {
    station_folder folder;
    write_long_station(folder, 20000);
    const std::string program = "'" + std::string(RUN_STATION_PATH) + "'";
    const auto result = folder.shell(program + " > /dev/null & first=$!; until [ -e 10002 ]; do sleep 0.01; done; "
                                               "cp monthly_T new && mv new monthly_T; " +
                                     program + " > second.out; second=$?; wait $first; first=$?; "
                                               "cat second.out; exit $((first * 10 + second))");
    EXPECT_EQ(result.status, 1) << "the first run succeeds, the second is refused";
    EXPECT_EQ(result.out, "monthly_T: another run_station is running on this station's files; wait until it has "
                          "ended.\n");
    EXPECT_FALSE(folder.exists(".run_station.lock"));
    EXPECT_TRUE(folder.exists("summary"));
    EXPECT_FALSE(holds_temporary_file(folder));
}

// A signal ignored when the run began stays ignored (nohup); a reader of the progress
// lines that goes away ends the run without leaving temporary files.
TEST(Signals, IgnoredStayIgnoredAndABrokenPipeCleansUp) {
    const std::string program = "'" + std::string(RUN_STATION_PATH) + "'";
    {
        station_folder folder;
        write_long_station(folder, 3000);
        const auto result = folder.shell("trap '' HUP; " + program +
                                         " > /dev/null & run=$!; until [ -e 10002 ]; do sleep 0.01; done; "
                                         "kill -HUP $run; wait $run");
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(folder.exists("summary"));
    }
    {
        station_folder folder;
        write_long_station(folder, 20000);
        const auto result = folder.shell(program + " | head -n 1");
        EXPECT_EQ(result.out, "10001\n");
        EXPECT_FALSE(holds_temporary_file(folder));
        EXPECT_FALSE(folder.exists(".run_station.lock"));
    }
}

// Arguments and names the run can refuse at once, before anything is written, and labels
// that print escaped.
TEST(NamesAndArguments, RefusedAtOnceOrShownSafely) {
    for (const char* capacity : {"1e", "1e+", "150e-"}) {
        station_folder folder;
        folder.copy_example("davis");
        const auto result = folder.run({capacity});
        EXPECT_EQ(result.status, 1) << capacity;
        EXPECT_EQ(result.out, std::string("Command line: water-holding capacity \"") + capacity +
                                  "\" is not a number of mm; run_station --help explains the arguments.\n");
    }
    {
        // A prefix whose last part leaves room for the labels but not for the temporary
        // names: refused before the first report.
        station_folder folder;
        write_long_station(folder, 12);
        const std::string prefix(240, 'p');
        for (const char* name : {"monthly_T", "monthly_P", "parameter"}) {
            fs::rename(folder.path() / name, folder.path() / (prefix + name));
        }
        const auto result = folder.run({"100", prefix});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.out.find("is too long: the names of the run's temporary files would pass 255 bytes.\n"),
                  std::string::npos)
            << result.out;
        EXPECT_EQ(folder.names().size(), 3u);
    }
    {
        station_folder folder;
        write_long_station(folder, 1);
        folder.write("monthly_T", std::string("a\x1b[31mRED") + values);
        folder.write("monthly_P", std::string("a\x1b[31mRED") + rain);
        const auto result = folder.run();
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "a\\x1B[31mRED\n\nEnd of Program.\n");
    }
    {
        // A phase shift of a calendar year, as stored parameter files hold it.
        station_folder folder;
        write_long_station(folder, 2);
        folder.write("parameter", "38.5 N 6.0 2.5 0.66 365 Davis\n");
        EXPECT_EQ(folder.run().status, 0);
    }
}

}  // namespace
}  // namespace soil_climate::testing
