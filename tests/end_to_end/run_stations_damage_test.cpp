// run_stations when its inputs, outputs or logs are not what they should be: outputs
// damaged after a run run again on --resume, an interrupted resume never passes off old
// results as new, a station's outputs are one set, odd spellings of a folder keep its
// outputs in its own folder, and files that are not regular, too large, or out of bounds
// end in one line, never in a hang or an abort.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "station_folder.hpp"

namespace soil_climate::testing {
namespace {

namespace fs = std::filesystem;

// Every command runs under a time limit: a read that waits on a FIFO fails the test
// instead of hanging it.
std::string run_stations(const std::string& arguments, const std::string& program = RUN_STATION_PATH) {
    return "timeout 60 env RUN_STATION='" + program + "' '" + RUN_STATIONS_PATH + "' " + arguments;
}

// The gathering step alone over an earlier run's list and logs, as the Slurm gathering
// job runs it.
std::string gather_tables(const std::string& results) {
    const std::string gather = (fs::path(RUN_STATION_PATH).parent_path() / "gather_stations").string();
    return "timeout 60 '" + gather + "' tables '" + results + "' '" + results + "/logs' < '" + results +
           "/logs/stations.list'";
}

void lay_out(const station_folder& root, const std::vector<std::pair<std::string, std::string>>& folders) {
    for (const auto& [folder, station] : folders) {
        fs::create_directories(root.path() / folder);
        root.copy_example(station, folder + "/");
    }
}

std::string absolute(const station_folder& root, const std::string& name) {
    return (root.path() / name).string();
}

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string all_outputs(const station_folder& root, const std::string& folder) {
    std::string text;
    for (const std::string& name : names_in(root.path() / folder)) {
        text += name + "\n" + root.read(folder + "/" + name);
    }
    return text;
}

std::string cut_after_line(const std::string& text, int lines_kept) {
    std::size_t at = 0;
    for (int i = 0; i < lines_kept; ++i) {
        at = text.find('\n', at) + 1;
    }
    return text.substr(0, at);
}

// An output damaged after its run: --resume runs the station again and makes it whole,
// leaving the undamaged station alone; the gathering step alone reports each damaged
// table of years as a failure of its station, in one line.
TEST(RunStationsDamage, OutputsThatDoNotReadBackRunAgain) {
    struct damage_case {
        const char* what;
        std::function<void(const station_folder&, const std::string&)> damage;
        std::string gathering_says;  // after "<outputs>/years.csv", or "" where it sees no fault
    };
    const auto rewrite = [](const char* name, std::function<std::string(const std::string&)> change) {
        return [name, change](const station_folder& root, const std::string& outputs) {
            root.write(outputs + name, change(root.read(outputs + name)));
        };
    };
    const damage_case cases[] = {
        {"years.csv cut at a line end", rewrite("years.csv", [](const std::string& t) { return cut_after_line(t, 5); }),
         " is not the table its run wrote"},
        {"years.csv cut inside a line", rewrite("years.csv", [](const std::string& t) { return t.substr(0, 1000); }),
         " is cut short: its last line has no line end"},
        {"a regime renamed",
         rewrite("years.csv",
                 [](const std::string& t) { return t.substr(0, t.find("XERIC")) + "MOIST,TYPIC XERIC,Thermic\n"; }),
         ": record 2 names a regime this program does not know"},
        {"years.csv header only", rewrite("years.csv", [](const std::string& t) { return cut_after_line(t, 1); }),
         " holds no year"},
        {"years.csv empty", rewrite("years.csv", [](const std::string&) { return std::string(); }), " holds no year"},
        {"summary cut short", rewrite("summary", [](const std::string& t) { return t.substr(0, t.size() / 2); }), ""},
        {"a report cut short", rewrite("1990", [](const std::string& t) { return t.substr(0, 100); }), ""},
        {"a report removed", [](const station_folder& root, const std::string& outputs) {
             fs::remove(root.path() / (outputs + "1990"));
         }, ""},
        {"SMR emptied", rewrite("SMR", [](const std::string&) { return std::string(); }), ""},
    };
    for (const damage_case& c : cases) {
        station_folder root;
        lay_out(root, {{"a", "davis"}, {"b", "contrasts"}});
        ASSERT_EQ(root.shell(run_stations("-o results a b")).status, 0) << c.what;
        const std::string whole = all_outputs(root, "results/stations/a");
        const auto b_time = fs::last_write_time(root.path() / "results/stations/b/summary");
        c.damage(root, "results/stations/a/");

        const auto gathered = root.shell(gather_tables("results"));
        if (!c.gathering_says.empty()) {
            EXPECT_EQ(gathered.status, 1) << c.what;
            const std::string a = absolute(root, "a");
            EXPECT_EQ(gathered.err, "run_stations: " + a + " failed (years.csv): " +
                                        absolute(root, "results/stations/a/years.csv") + c.gathering_says +
                                        "\nrun_stations: 1 of 2 stations failed.\n")
                << c.what;
        }

        const auto resumed = root.shell(run_stations("--resume -o results a b"));
        EXPECT_EQ(resumed.status, 0) << c.what << ": " << resumed.err;
        EXPECT_EQ(resumed.err, "") << c.what;
        EXPECT_EQ(all_outputs(root, "results/stations/a"), whole) << c.what;
        EXPECT_EQ(fs::last_write_time(root.path() / "results/stations/b/summary"), b_time) << c.what;
        EXPECT_NE(root.read("results/stations_summary.csv").find("/a\",30,"), std::string::npos) << c.what;
    }
}

// Ctrl-C during a resume after an input was edited (before the edited station's turn),
// the edit undone, a resume, the edit made again and a resume: the last resume runs the
// edited station, as the first would have. The interruption is a SIGINT to the whole run,
// sent by the program as it starts on the stations.
TEST(RunStationsDamage, AnInterruptedPlanIsNeverTakenForARun) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"first", "southern"}, {"edited", "contrasts"}});
    ASSERT_EQ(root.shell(run_stations("-o fresh edited")).status, 0);
    ASSERT_EQ(root.shell(run_stations("-o results a")).status, 0);
    const std::string old_table = root.read("results/stations/a/years.csv");
    // Run once a station, it interrupts as it starts in the folder "first"; run for a whole
    // batch of stations (--stations), as it starts the batch.
    root.write("interrupting", "#!/bin/sh\ncase \" $* \" in \" --version \"|\" --help \") ;; *\" --stations \"*) kill -INT 0 ;; "
                               "*) [ \"${PWD##*/}\" != first ] || kill -INT 0 ;; esac\nexec '" +
                                   std::string(RUN_STATION_PATH) + "' \"$@\"\n");
    ASSERT_EQ(root.shell("chmod +x interrupting").status, 0);

    root.copy_example("contrasts", "a/");
    const auto interrupted =
        root.shell("PATH='" + fs::path(RUN_STATION_PATH).parent_path().string() + "':$PATH setsid --wait " +
                   run_stations("--resume -j 1 -o results first a", absolute(root, "interrupting")));
    EXPECT_EQ(interrupted.err.find("cannot find"), std::string::npos) << "gather_stations is found on the PATH";
    EXPECT_FALSE(root.exists("results/stations/first/years.csv")) << "the run was interrupted";
    root.copy_example("davis", "a/");
    const auto reverted = root.shell(run_stations("--resume -o results a"));
    EXPECT_EQ(reverted.status, 0) << reverted.err;
    EXPECT_EQ(root.read("results/stations/a/years.csv"), old_table);

    root.copy_example("contrasts", "a/");
    const auto edited = root.shell(run_stations("--resume -o results a"));
    EXPECT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(root.read("results/stations/a/years.csv"), root.read("fresh/stations/edited/years.csv"))
        << "the edited inputs' results";
}

// A station's outputs are one set: after its inputs change, the reports of years the new
// run did not write are gone, with or without --resume, apart or in place; a file that is
// not a report keeps its place, whatever its name.
TEST(RunStationsDamage, ARunLeavesNoReportsOfAnEarlierOne) {
    struct set_case {
        std::string options;
        std::vector<std::string> reports;  // after the second run
    };
    const set_case cases[] = {
        {"--no-reports", {}},
        {"--resume --no-reports", {}},
        {"", {"arid", "udic", "xeric"}},
        {"--resume", {"arid", "udic", "xeric"}},
        {"--in-place --no-reports", {}},
        {"--in-place --resume", {"arid", "udic", "xeric"}},
    };
    for (const set_case& c : cases) {
        station_folder root;
        lay_out(root, {{"a", "davis"}});
        const bool in_place = c.options.find("--in-place") != std::string::npos;
        const std::string outputs = in_place ? "a" : "results/stations/a";
        const std::string first = in_place ? "--in-place -o results a" : "-o results a";
        ASSERT_EQ(root.shell(run_stations(first)).status, 0) << c.options;
        root.write(outputs + "/notes", "kept\n");
        root.write(outputs + "/1985", "my own notes on 1985\n");  // a year's name, not a report
        root.copy_example("contrasts", "a/");
        const auto second = root.shell(run_stations(c.options + " -o results a"));
        EXPECT_EQ(second.status, 0) << c.options << ": " << second.err;
        std::vector<std::string> expected{"1985", "SMR", "SMRS", "WSMR", "notes", "summary", "years.csv"};
        if (in_place) {
            expected.insert(expected.end(), {"monthly_P", "monthly_T", "parameter"});
        }
        expected.insert(expected.end(), c.reports.begin(), c.reports.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names_in(root.path() / outputs), expected) << c.options;
        EXPECT_EQ(root.read(outputs + "/1985"), "my own notes on 1985\n") << c.options;
    }
}

// A folder given as ".", "b/." or "b/c/.." is named by the folder it resolves to: its
// outputs go to OUTPUT_DIR/stations/<name>/, never into OUTPUT_DIR/stations or OUTPUT_DIR.
TEST(RunStationsDamage, AFolderSpelledWithDotsIsNamedByItsResolvedPath) {
    struct spelling_case {
        std::string from;  // the working folder
        std::string given;
        std::string outputs;
    };
    const spelling_case cases[] = {
        {".", "b/.", "results/stations/b"},
        {".", "b/c/..", "results/stations/b"},
        {"b", ".", "results/stations/b"},
        {"b/c", "..", "results/stations/b"},
    };
    for (const spelling_case& c : cases) {
        station_folder root;
        lay_out(root, {{"b", "davis"}});
        fs::create_directories(root.path() / "b" / "c");
        const auto ran = root.shell("cd '" + c.from + "' && " +
                                    run_stations("-o '" + absolute(root, "results") + "' '" + c.given + "'"));
        EXPECT_EQ(ran.status, 0) << c.given << ": " << ran.err;
        EXPECT_TRUE(root.exists(c.outputs + "/years.csv")) << c.given;
        EXPECT_FALSE(root.exists("results/stations/years.csv")) << c.given;
        EXPECT_FALSE(root.exists("results/years.csv")) << c.given;
    }
}

// What stands at a station's station.csv or years.csv, or at one of its log entries, is
// read only when it is a regular file and within bounds; otherwise the station fails in
// one line (the others are gathered), or a damaged log entry makes it run again.
TEST(RunStationsDamage, FilesThatAreNotWhatTheySeemEndInOneLine) {
    struct file_case {
        std::string what;
        std::string name;    // below the root, after the first run
        std::string make;    // a shell command that puts it there
        bool resume_reruns;  // a log entry: --resume runs the station again and succeeds
        std::string fails;   // else the station's failure, after its folder
    };
    const std::string a_csv = "a/station.csv";
    const std::string a_years = "results/stations/a/years.csv";
    const file_case cases[] = {
        {"station.csv a FIFO", a_csv, "mkfifo a/station.csv", false, " failed (station.csv): {a}/station.csv is not a regular file"},
        {"station.csv a folder", a_csv, "mkdir a/station.csv", false, " failed (station.csv): {a}/station.csv is not a regular file"},
        {"station.csv endless", a_csv, "ln -s /dev/zero a/station.csv", false, " failed (station.csv): {a}/station.csv is not a regular file"},
        {"station.csv too long", a_csv, "truncate -s 2M a/station.csv", false, " failed (station.csv): {a}/station.csv holds more than 1 MiB"},
        {"latitude 95", a_csv, "printf 'id,latitude,longitude\\nx,95,10\\n' > a/station.csv", false,
         " failed (station.csv): {a}/station.csv: the latitude \"95\" is not a number within -90 to 90 degrees"},
        {"longitude not a number", a_csv, "printf 'id,latitude,longitude\\nx,38.5,east\\n' > a/station.csv", false,
         " failed (station.csv): {a}/station.csv: the longitude \"east\" is not a number within -180 to 360 degrees"},
        {"years.csv a FIFO", a_years, "rm " + a_years + " && mkfifo " + a_years, false,
         " failed (years.csv): {o}/years.csv is not a regular file"},
        {"years.csv endless", a_years, "rm " + a_years + " && ln -s /dev/zero " + a_years, false,
         " failed (years.csv): {o}/years.csv is not a regular file"},
        {"record a folder", "", "rm results/logs/{k}.fingerprint && mkdir results/logs/{k}.fingerprint", true, ""},
        {"status a FIFO", "", "rm results/logs/{k}.status && mkfifo results/logs/{k}.status", true, ""},
        {"plan a folder", "", "mkdir -p results/logs/{k}.planned/x", true, ""},
        {"output log a FIFO", "", "rm results/logs/{k}.out && mkfifo results/logs/{k}.out", true, ""},
    };
    for (const file_case& c : cases) {
        station_folder root;
        lay_out(root, {{"a", "davis"}, {"b", "contrasts"}});
        ASSERT_EQ(root.shell(run_stations("-o results a b")).status, 0) << c.what;
        std::string encoded;
        for (const char ch : absolute(root, "a")) {
            encoded += ch == '/' ? std::string("%2F") : std::string(1, ch);
        }
        std::string make = c.make;
        for (std::size_t at; (at = make.find("{k}")) != std::string::npos;) {
            make.replace(at, 3, "'" + encoded + "'");
        }
        ASSERT_EQ(root.shell(make).status, 0) << c.what;
        // A years.csv damaged after the run is seen by the gathering step alone (--resume
        // would run the station again and mend it); the rest by a resume after an edit.
        const bool outputs = c.name == a_years;
        const auto gathered = outputs ? root.shell(gather_tables("results")) : station_folder::outcome{};
        root.copy_example("southern", "a/");
        const auto resumed = root.shell(run_stations("--resume -o results a b"));
        if (c.resume_reruns) {
            EXPECT_EQ(resumed.status, 0) << c.what << ": " << resumed.err;
            EXPECT_EQ(resumed.err, "") << c.what;
            EXPECT_NE(root.read("results/stations/a/years.csv").find(",Perth,"), std::string::npos) << c.what;
            const auto again = root.shell(run_stations("--resume -o results a b"));
            EXPECT_EQ(again.status, 0) << c.what << ": " << again.err;
            continue;
        }
        const station_folder::outcome& failed = outputs ? gathered : resumed;
        std::string fails = c.fails;
        for (const auto& [mark, path] : {std::pair{"{a}", absolute(root, "a")},
                                         std::pair{"{o}", absolute(root, "results/stations/a")}}) {
            if (const std::size_t at = fails.find(mark); at != std::string::npos) {
                fails.replace(at, 3, path);
            }
        }
        EXPECT_EQ(failed.status, 1) << c.what;
        EXPECT_EQ(failed.err, "run_stations: " + absolute(root, "a") + fails + "\nrun_stations: 1 of 2 stations failed.\n")
            << c.what;
        if (!outputs) {
            const std::string summary = root.read("results/stations_summary.csv");
            EXPECT_NE(summary.find("/b\",3,"), std::string::npos) << c.what << ": the other station is gathered";
            EXPECT_NE(summary.find("/a\"," + std::string(34, ',') + "failed ("), std::string::npos) << c.what;
        }
    }
}

// A list of stations cut short, or empty, fails the gathering step in one line and keeps
// the earlier tables.
TEST(RunStationsDamage, AListOfStationsCutShortKeepsTheEarlierTables) {
    station_folder root;
    lay_out(root, {{"a", "davis"}, {"b", "contrasts"}});
    ASSERT_EQ(root.shell(run_stations("-o results a b")).status, 0);
    const std::string list = root.read("results/logs/stations.list");
    const std::string tables = root.read("results/stations.csv") + root.read("results/stations_summary.csv");
    struct list_case {
        std::string list;
        std::string message;
    };
    const list_case cases[] = {
        {list.substr(0, list.size() - 1), "The list of stations is cut short."},
        {list.substr(0, list.size() - 5), "The list of stations is cut short."},
        {list.substr(0, list.find('\0', list.find('\0') + 1) + 1) + "x", "The list of stations is cut short."},
        {"", "The list of stations holds no station."},
        {std::string("a\0relative\0k\0o\0", 16), "The list of stations is damaged at station 1."},
    };
    for (const list_case& c : cases) {
        root.write("results/logs/stations.list", c.list);
        const auto gathered = root.shell(gather_tables("results"));
        EXPECT_EQ(gathered.status, 1) << c.message;
        EXPECT_EQ(gathered.err, "run_stations: " + c.message + " The earlier tables are kept.\n");
        EXPECT_EQ(root.read("results/stations.csv") + root.read("results/stations_summary.csv"), tables);
    }
}

// An output folder or logs folder that cannot be written ends the run in one line, before
// anything runs.
TEST(RunStationsDamage, AnUnwritableOutputFolderEndsInOneLine) {
    struct folder_case {
        std::string make;
        std::string options;
        std::string message;
    };
    const folder_case cases[] = {
        {"mkdir -p results/.run_stations.lock", "", "cannot write in the output folder {r}"},
        {"touch results", "", "cannot create the output folder results"},
        {"mkdir results && touch results/logs", "--resume", "cannot write in the logs folder {r}/logs"},
    };
    for (const folder_case& c : cases) {
        station_folder root;
        lay_out(root, {{"a", "davis"}});
        ASSERT_EQ(root.shell(c.make).status, 0);
        const auto ran = root.shell(run_stations(c.options + " -o results a"));
        std::string message = c.message;
        if (const std::size_t at = message.find("{r}"); at != std::string::npos) {
            message.replace(at, 3, absolute(root, "results"));
        }
        EXPECT_EQ(ran.status, 2) << c.make;
        EXPECT_EQ(ran.err, "run_stations: " + message + "\n") << c.make;
        EXPECT_FALSE(root.exists("results/stations/a")) << c.make;
    }
}

}  // namespace
}  // namespace soil_climate::testing
